// The settings of the program, their types and defaults, and the hotkey value arithmetic.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

using BOOL32 = int; // 32-bit Windows-style BOOL: 0 or nonzero

// One row of the per-extension editor table, copied whole by value.
struct EXTENSIONREC {
    std::u16string Extension;  // without the dot
    std::u16string Editor;     // full path of the editor; empty: the shell's "open"
    std::u16string Parameters; // command-line template; "%1" is the temporary file path
    BOOL32 UTF8 = 1;           // nonzero: UTF-8 with byte-order mark; 0: ANSI code page

    EXTENSIONREC() = default;
    EXTENSIONREC(std::u16string extension, std::u16string editor, std::u16string parameters, BOOL32 utf8)
        : Extension(std::move(extension)), Editor(std::move(editor)), Parameters(std::move(parameters)),
          UTF8(utf8) {}
    bool operator==(const EXTENSIONREC& o) const {
        return Extension == o.Extension && Editor == o.Editor && Parameters == o.Parameters &&
               (UTF8 != 0) == (o.UTF8 != 0);
    }
};

// One rule of the per-program table: which row of the extension table an edit in a program
// (and, optionally, a window whose title holds a text) starts with, and how.
struct RULEREC {
    std::u16string Program;     // executable name of the box's program ("notepad.exe"); empty: any
    std::u16string Title;       // a text the top-level window's title holds; empty: any title
    std::u16string Extension;   // the row of the extension table it picks
    BOOL32 List = 1;            // nonzero: the choice list shows with that row selected;
                                // 0: the edit starts at once, without the list
    BOOL32 QuietFormatting = 0; // nonzero: no word that saving drops the box's formatting

    RULEREC() = default;
    RULEREC(std::u16string program, std::u16string title, std::u16string extension, BOOL32 list,
            BOOL32 quietFormatting = 0)
        : Program(std::move(program)), Title(std::move(title)), Extension(std::move(extension)), List(list),
          QuietFormatting(quietFormatting) {}
    bool operator==(const RULEREC& o) const {
        return Program == o.Program && Title == o.Title && Extension == o.Extension &&
               (List != 0) == (o.List != 0) && (QuietFormatting != 0) == (o.QuietFormatting != 0);
    }
    bool operator!=(const RULEREC& o) const { return !(*this == o); }
};

// The hotkey value stored (its packing is the keyboard unit's: engine/keyboard.h).
namespace hotkey {
// Ctrl+Shift+F11. Windows keeps every combination with the Windows key for itself, and
// Ctrl+Alt is AltGr, which types a letter on many layouts (Ctrl+Alt+E is the euro sign on a
// German keyboard); a function key types nothing anywhere, programs rarely bind Ctrl+Shift
// with one and the system binds none (F12 belongs to debuggers).
constexpr std::uint16_t kDefault = 0x7A06;
} // namespace hotkey

// The settings as fields. The engine derives from this, so they are the engine's own fields;
// the configuration file reads and writes them under these names. Each field's default comes
// from the settings table (settings_table.h), the one place that lists every setting.
struct SettingsFields {
    SettingsFields();

    std::uint16_t HotKey;
    std::u16string TemporaryFolder; // the user's temporary folder unless the file says otherwise
    BOOL32 DeleteTempFile;
    BOOL32 SaveContent;
    BOOL32 Insert;
    BOOL32 EditOnlySelection;
    std::int32_t Delay; // stored as read; waits treat a negative value as 0
    // The system's own edit controls are read and written through their edit messages
    // (no clipboard, no keys); off, they go the clipboard's way as every other box.
    BOOL32 UseEditMessages;
    std::vector<EXTENSIONREC> Extensions;
    std::vector<RULEREC> Rules; // first match wins; none by default

    // Delay as the waits use it: never negative.
    std::int32_t EffectiveDelay() const { return Delay < 0 ? 0 : Delay; }
};

} // namespace quillon
