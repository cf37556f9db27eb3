// Support for the edit-road scenarios: Quillon.exe with a settings file whose rows start the
// scripted test editor, the test text-box program, the hotkey, the clipboard and the
// temporary files.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/support/e2e.h"

namespace quillon::e2e {

// The hotkey of these scenarios: Ctrl+Alt+Q.
constexpr unsigned kRoadHotKey = ('Q' << 8) | 0x03;

// The clipboard as format (or registered name) -> bytes; GDI handles only by presence.
using ClipboardImage = std::map<std::wstring, std::string>;
ClipboardImage ClipboardNow();
std::string Describe(const ClipboardImage& image);
// Puts the user's usual clipboard on it: Unicode text, "HTML Format" and a small DIB.
bool PutUserClipboard();
// Puts Unicode text alone on the clipboard, as a program the user copies from does.
bool PutClipboardText(const std::wstring& text);
// The Unicode text on the clipboard; empty when there is none or it stays busy.
std::wstring ClipboardText();

// Saves the file as an editor does: shared with readers, retried for a moment while
// another program has it open for itself.
::testing::AssertionResult SaveAsEditor(const std::wstring& path, const std::string& bytes);

// The text made readable for failure messages.
std::wstring Printable(const std::wstring& text);

struct RoadOptions {
    std::vector<ConfigRow> rows; // empty: one "txt" row that starts the test editor
    bool saveContent = true;
    bool insert = false;
    bool editOnlySelection = false;
    bool deleteTempFile = true;
    int delay = 200;
    // The scenarios move text the clipboard's way unless they are about the edit messages.
    bool useEditMessages = false;
    bool utf8 = true; // of the default row
    // Options for the test editor of the default row (before the path); "{W}" stands for
    // the work folder.
    std::wstring editorOptions;
    // Rows ahead of the default row, with its editor.
    std::vector<std::wstring> extensionsBefore;
    // The settings file's rules element, after the extensions.
    std::string rulesXml;
};

// Options whose editor only reports what it saw (its bytes in "{W}\seen"); the scenario
// then saves the temporary file itself, as editors do.
RoadOptions SeenOnlyOptions();

class CRoad {
public:
    explicit CRoad(const RoadOptions& options = {});
    ~CRoad();
    CRoad(const CRoad&) = delete;
    CRoad& operator=(const CRoad&) = delete;

    // Starts the text box and Quillon, the box focused and seen by Quillon.
    ::testing::AssertionResult Start(CTextBoxApp::Box box = CTextBoxApp::kMultiLine);

    // The work folder for scripts and flags; the folder of the temporary files.
    const CTempFolder& Work() const { return m_work; }
    std::wstring W(const std::wstring& name) const { return m_work.File(name); }
    const std::wstring& EditsFolder() const { return m_edits; }
    static std::wstring EditorPath();
    // Options for the test editor: --seen W\seen --wait W\go --write W\new --done W\done
    std::wstring StandardEditorOptions() const;

    CTextBoxApp& Box() { return m_box; }
    CQuillon& Quillon() { return *m_quillon; }
    HWND BoxWindow() const { return m_box.BoxWindow(m_current); }
    CTextBoxApp::Box Current() const { return m_current; }

    // Runs the server window's focus poll now (as its timer would), so that Quillon has
    // seen the focus before the next step.
    void PollFocusNow();
    // Runs the server window's purge of ended edits now.
    void PurgeNow();
    // The sign a "nothing happens" check waits for: Quillon has run its watching timers as
    // things are now (a write-back or restore it would make is done then) and handled what
    // was posted to it.
    ::testing::AssertionResult CaughtUp();
    // Presses the hotkey `presses` times (the choice list's selection moves down each
    // time), waits for the list and releases the modifiers: Alt first, then Ctrl unless
    // holdCtrl (then the caller releases it).
    ::testing::AssertionResult Hotkey(int presses = 1, bool holdCtrl = false);
    HWND ChoiceList() const;
    // Focuses another box and then this one again, as a user coming back from the editor.
    ::testing::AssertionResult ComeBack(CTextBoxApp::Box box);
    ::testing::AssertionResult ComeBack() { return ComeBack(m_current); }

    // The temporary files in the edits folder.
    std::vector<std::wstring> TempFiles() const;
    ::testing::AssertionResult WaitTempFiles(std::size_t count);
    // Waits for a file of the work folder to exist and reads it.
    ::testing::AssertionResult WaitRead(const std::wstring& name, std::string& bytes,
                                        DWORD timeoutMs = 10000);
    // For an editor started with --seen "{W}\seen": waits until it has read its file, and
    // takes the copy away for the next edit's editor. A test saves only after this, as a
    // user can only save in an editor that has opened the file.
    ::testing::AssertionResult WaitEditorSaw(std::string& bytes);
    // The usual start of a scenario: the text box program runs with the box focused and
    // holding the text, Quillon runs, the hotkey picks the first row (Ctrl left held when
    // holdCtrl), and the editor has read its file (its bytes in seen).
    ::testing::AssertionResult StartEditOf(const std::wstring& text, std::string& seen,
                                           CTextBoxApp::Box box = CTextBoxApp::kMultiLine,
                                           bool holdCtrl = false);
    // For an editor started with the standard options: it saves the bytes when told, and
    // this waits until it has.
    ::testing::AssertionResult EditorSaves(const std::string& bytes);
    // The editor saves, then the user comes back to the box.
    ::testing::AssertionResult SaveAndComeBack(const std::string& bytes);
    // The full path of the (first) temporary file; empty when there is none.
    std::wstring TempFilePath() const;
    ::testing::AssertionResult WaitBoxText(const std::wstring& expected, DWORD timeoutMs = 10000);
    // Texts too large for a window message across processes go through the clipboard and
    // the keyboard, as a user's paste and copy would.
    ::testing::AssertionResult PasteIntoBox(const std::wstring& text);
    ::testing::AssertionResult CopyFromBox(std::wstring& text);
    ::testing::AssertionResult WaitClipboard(const ClipboardImage& expected, DWORD timeoutMs = 5000);
    std::vector<std::wstring> Trace() const;
    // Waits for Quillon to have told the user the text (its trace's "Notice" line); how many
    // times it did so far.
    ::testing::AssertionResult WaitNotice(const std::wstring& text, DWORD timeoutMs = 5000) const;
    int Notices(const std::wstring& text) const;
    // The page box's field that the user is in (0 or 1): its text moves into the page box.
    bool SwitchField(int field);
    // How many letter keys the console box has received.
    int ConsoleKeys();

private:
    RoadOptions m_options;
    CTempFolder m_work;
    std::wstring m_edits;
    CTextBoxApp m_box;
    std::unique_ptr<CQuillon> m_quillon;
    CTextBoxApp::Box m_current = CTextBoxApp::kMultiLine;
};

} // namespace quillon::e2e
