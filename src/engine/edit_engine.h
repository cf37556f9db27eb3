// CEditEngine: the edit road, over the settings, the routes and the table of open edits it
// is given.
//
// The "edit road" is the way one edit travels, and the word the engine's files use for it:
// the hotkey in a text box (the box), its text taken out through the box's route
// (text_route.h), a new temporary file written with it and the editor started on it
// (edit_road.h), then, each time the user comes back to the box, the file looked at and a new
// save put back into that same box. An edit (OpenEdit) stays on the road until its box is
// gone; its file is deleted at exit unless its last save never reached the box.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/edit_table.h"
#include "engine/engine_host.h"
#include "engine/settings_store.h"
#include "engine/system.h"
#include "engine/text_route.h"

namespace quillon {

// What the user is told when the temporary file could not take the box's text.
constexpr char16_t kTempFileWriteFailedMessage[] = u"The text could not be written to a temporary file (the "
                                                   u"disk may be full). No editor was started; the text "
                                                   u"box keeps its text.";

class CEditEngine {
public:
    // The engine works through the seams, the settings and the routes it is given; they
    // outlive it.
    CEditEngine(ISystem& system, CSettingsStore& settings, ITextRoutes& routes);
    // Deletes the temporary files at normal exit, while the user wants it.
    ~CEditEngine();
    CEditEngine(const CEditEngine&) = delete;
    CEditEngine& operator=(const CEditEngine&) = delete;

    CEditTable table;

    // The host registers the hotkey and tells the user; its window also becomes the
    // clipboard's owner whenever the routes empty it.
    void SetHost(IEngineHost* host);
    IEngineHost* Host() const { return m_host; }
    ISystem& System() const { return m_system; }
    CSettingsStore& Settings() const { return m_settings; }
    ITextRoutes& Routes() const { return m_routes; }

    // Reads the settings (registering the hotkey), then deletes what the last session listed.
    void Load();

    // Starts an edit of the target text box with the choice list's item index (no target:
    // nothing starts).
    void StartEdit(HWND target, int choiceIndex);
    // Looks at the edits of a window that got the focus and writes a new save back. False
    // when the window could not be looked at now, because a copy or paste is under way (its
    // waits answer messages sent to the program): the caller asks again later. A second look
    // at the same return (lookAgain) takes only saves that changed since the last look: one
    // that waits for another box must not have this box copied again and again while the
    // user types in it.
    bool PollEdit(HWND focused, bool lookAgain = false);
    void PurgeClosedEdits() { table.PurgeClosed(m_system, m_settings.DeleteTempFile != 0); }
    int FindNewestEdit(HWND target) const { return table.FindNewest(target); }

    // The last look found a save that was still being written: it is looked at again soon.
    bool SaveSettling() const { return m_settling; }
    // How often the engine wants a tick: open edits are watched for the user's return, and the
    // routes may have chores left from their rounds.
    TickNeed NeedsTicks() const;
    void Tick() { m_routes.Clipboard().Tick(); }

private:
    // One new save of an edit of the focused window, read and decoded.
    struct Saved {
        std::size_t index;
        std::uint32_t low;
        SaveStamp stamp;
        std::u16string text;
    };

    // Whether keys may go to the window at all; tells the user why not where it matters.
    bool MayReach(HWND target, WindowFacts& facts);
    // The box's text taken out through its route (or the clipboard's, where the box does not
    // answer its own messages); the round is the clipboard's, begun only when it is used.
    CopyResult CopyBox(HWND target, const WindowFacts& facts, CRouteRound& clipboardRound,
                       CopiedText& copied);
    // The new temporary file with the text (none copied: empty), and its path; false, with
    // the user told why, when it could not be made whole.
    bool WriteTempFile(const EXTENSIONREC& row, const std::u16string* text, std::u16string& path,
                       SaveStamp& stamp);
    // The edit as it starts, recorded in the table.
    void Record(HWND target, const WindowFacts& facts, const EXTENSIONREC& row, const std::u16string& path,
                const SaveStamp& stamp, CopyResult copy, CopiedText& copied);
    void LaunchEditorOn(const EXTENSIONREC& row, const std::u16string& path);

    // Every edit of the window with a save not pasted yet, newest first.
    std::vector<Saved> FindNewSaves(HWND focused, const WindowFacts& facts, bool lookAgain);
    // Pastes the save of the newest edit the box belongs to; tells of what could not go in.
    void PasteNewSaves(HWND focused, const WindowFacts& facts, std::vector<Saved>& saves);
    // Pastes a save and uses it up, or tells the user once why it waits; true when it went in.
    bool PasteSave(ITextRoute& route, HWND box, const WindowFacts& facts, OpenEdit& edit, const Saved& save);
    // Pastes a text where its edit's text is, and notes what the box holds afterwards.
    PasteResult PasteWhereItGoes(ITextRoute& route, HWND box, const WindowFacts& facts, OpenEdit& edit,
                                 const std::u16string& text);
    // Tells once per save of those listed (all, or only those that fail `which`).
    template <class Which>
    void TellOnceOf(std::vector<Saved>& saves, const std::u16string& message, Which which);

    void Tell(const std::u16string& message);
    // The saved file's time and bytes; false when it cannot be read now.
    bool ReadSave(const std::u16string& path, std::uint32_t& low, std::string& bytes);
    // Whether a save just read has stopped changing: written a while ago, or no longer open
    // for writing and the same as read.
    bool IsSteady(const std::u16string& path, std::uint32_t low, const std::string& bytes);
    // Open edits (open_edits.cpp): the time of a paste, for the tray menu, and the word that
    // a save will drop the formatting the copy brought.
    void NotePasted(OpenEdit& edit);
    void TellIfFormattingLost(const CopiedText& copied, const WindowFacts& facts);

    ISystem& m_system;
    CSettingsStore& m_settings;
    ITextRoutes& m_routes;
    IEngineHost* m_host = nullptr;
    bool m_busy = false; // a copy or a paste is under way
    bool m_settling = false;
};

// A file written less than this long ago may still be in the middle of a save.
constexpr std::uint32_t kSettleMs = 500;

} // namespace quillon
