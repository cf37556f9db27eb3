// CEditEngine: its lifetime (deletion of temporary files at exit) and the edit road's two
// entry points, each a short sequence of named steps: an edit starts (copy, file, record,
// editor) and a return is looked at (new saves, the box they belong to, paste, word to the
// user).
#include "engine/edit_engine.h"

#include <algorithm>

#include "engine/edit_road.h"
#include "engine/edit_rules.h"
#include "engine/temp_files.h"

namespace quillon {

namespace {

// Marks the engine busy with a copy or a paste while the scope lasts. Their waits answer
// messages sent to the program, and what such a message starts must not begin a second
// copy or paste on the same clipboard and keyboard in the middle of the first.
class CBusyScope {
public:
    explicit CBusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~CBusyScope() { m_busy = false; }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

private:
    bool& m_busy;
};

} // namespace

CEditEngine::CEditEngine(ISystem& system, CSettingsStore& settings, ITextRoutes& routes)
    : m_system(system), m_settings(settings), m_routes(routes) {
    if (m_settings.TemporaryFolder.empty())
        m_settings.TemporaryFolder = m_system.GetTempPath();
}

CEditEngine::~CEditEngine() {
    // Only at normal process exit, and only while the user wants it.
    if (m_settings.DeleteTempFile)
        table.DeleteFilesAtExit(m_system);
}

void CEditEngine::SetHost(IEngineHost* host) {
    m_host = host;
    m_settings.SetHost(host);
    m_routes.SetHostWindow(host ? host->HostWindow() : nullptr);
}

void CEditEngine::Load() {
    m_settings.Load();
    DeleteFilesLeftLastSession(*this);
}

TickNeed CEditEngine::NeedsTicks() const {
    const TickNeed routes = m_routes.Clipboard().NeedsTicks();
    return routes == TickNeed::kNone && !table.edits.empty() ? TickNeed::kSlow : routes;
}

void CEditEngine::Tell(const std::u16string& message) {
    if (m_host)
        m_host->TellUser(message);
}

bool CEditEngine::MayReach(HWND target, WindowFacts& facts) {
    if (!m_system.DescribeWindow(target, facts))
        return false; // gone already
    // One of our own windows (the Options dialog's hotkey field, say): our keys would be
    // taken as the user's there.
    if (facts.process == m_system.OwnProcess())
        return false;
    if (IsConsoleWindow(facts)) {
        Tell(notice::kConsole);
        return false;
    }
    // Nothing of a password may reach a file, a clipboard or a clipboard history.
    if (facts.password) {
        Tell(notice::kPassword);
        return false;
    }
    // The system drops keys sent to a program above us without a word: the user would get
    // an empty file and, on return, nothing.
    if (m_system.RunsAboveUs(target)) {
        Tell(notice::kAdministrator);
        return false;
    }
    return true;
}

void CEditEngine::StartEdit(HWND target, int choiceIndex) {
    if (m_busy || !target)
        return;
    try {
        // A row whose extension cannot name a file in the temporary folder starts nothing:
        // not even the keys of the copy.
        const std::vector<EXTENSIONREC>& rows = m_settings.Extensions;
        const bool tableRow = choiceIndex >= 0 && choiceIndex < static_cast<int>(rows.size());
        if (tableRow && !IsValidExtension(rows[static_cast<std::size_t>(choiceIndex)].Extension))
            return;
        WindowFacts facts;
        if (!MayReach(target, facts))
            return;
        // The text is taken, and the user's clipboard put back, before the New Extension
        // dialog may open: the user can copy and paste in it (or anywhere) meanwhile, and
        // whatever they copy is theirs, neither the file's text nor overwritten afterwards.
        CopiedText copied;
        CopyResult copy = CopyResult::kEmpty;
        CRouteRound round(m_routes.Clipboard());
        if (m_settings.SaveContent) {
            CBusyScope busy(m_busy);
            copy = CopyBox(target, facts, round, copied);
            if (copy == CopyResult::kFocusMoved)
                return; // the user moved on before anything reached the box: no text of theirs
            // A row of the table needs no dialog: its file is written first and the
            // clipboard put back after, so that the editor has its file sooner.
            if (!tableRow)
                round.End();
        }
        const EXTENSIONREC row = ChooseExtension(*this, choiceIndex);
        if (!IsValidExtension(row.Extension))
            return;
        std::u16string path;
        SaveStamp stamp;
        if (!WriteTempFile(row, copy == CopyResult::kCopied ? &copied.text : nullptr, path, stamp))
            return; // the round puts the user's clipboard back on its way out
        Record(target, facts, row, path, stamp, copy, copied);
        {
            CBusyScope busy(m_busy);
            round.End(); // nothing left to do when the dialog's turn put it back
        }
        // The box did not answer the copy: the editor still opens (an empty box answers
        // nothing either), but the user hears why the file is empty.
        if (copy == CopyResult::kUnanswered)
            Tell(notice::kNoTextCame);
        LaunchEditorOn(row, path);
        // The program and title, for the tray menu and the rules, once the editor is on its
        // way: opening the box's process costs time the user would wait for the editor.
        m_system.DescribeProgram(target, facts);
        table.edits.back().targetFacts.program = facts.program;
        table.edits.back().targetFacts.title = facts.title;
        TellIfFormattingLost(copied, facts);
    } catch (...) {
        // Called from a window message: nothing may unwind further. The round has put the
        // clipboard back on its way out.
    }
}

CopyResult CEditEngine::CopyBox(HWND target, const WindowFacts& facts, CRouteRound& clipboardRound,
                                CopiedText& copied) {
    const bool onlySelection = m_settings.EditOnlySelection != 0;
    ITextRoute& route = m_routes.For(facts);
    if (&route != &m_routes.Clipboard()) {
        const CopyResult result = route.Copy(target, facts, onlySelection, copied);
        if (result != CopyResult::kUnanswered)
            return result;
        copied = CopiedText(); // a control that does not answer its messages: the clipboard's way
    }
    // Without a copy of the user's clipboard the copy would empty it for good: no backup,
    // no edit.
    if (!clipboardRound.Begin()) {
        Tell(notice::kClipboardBusy);
        return CopyResult::kFocusMoved;
    }
    return m_routes.Clipboard().Copy(target, facts, onlySelection, copied);
}

bool CEditEngine::WriteTempFile(const EXTENSIONREC& row, const std::u16string* text, std::u16string& path,
                                SaveStamp& stamp) {
    ISystem& system = m_system;
    const std::u16string folder = ResolveTempFolder(*this);
    CScopedSeamFile file(system,
                         CreateTempFile(system, folder, MakeTempFileName(system), row.Extension, path));
    if (!file.Get()) {
        // A folder that cannot be written (gone, read-only, another user's), or names taken
        // by someone else: the user hears why nothing opened.
        Tell(notice::kNoTempFile + folder + u".");
        return false;
    }
    // Half a text (a full disk) would look whole in the editor, and its save would then cut
    // the box: a file that did not take the whole text is removed and nothing starts.
    const std::string written = text ? EncodeTempFileText(*text, row.UTF8 != 0, system) : std::string();
    if (text && !system.WriteFile(file.Get(), written)) {
        file.Close();
        system.DeleteFile(path);
        Tell(kTempFileWriteFailedMessage);
        return false;
    }
    // The time of our own write, taken once the file is closed: the system may stamp a file
    // again when its last handle closes (and FAT keeps two-second times), and a time that
    // moved after we took it would make our own write look like a save.
    file.Close();
    std::uint32_t low = 0;
    {
        CScopedSeamFile closed(system, system.OpenFileForRead(path));
        if (closed.Get())
            system.GetLastWriteLow(closed.Get(), low);
    }
    stamp = SaveStamp::Of(low, written);
    return true;
}

void CEditEngine::Record(HWND target, const WindowFacts& facts, const EXTENSIONREC& row,
                         const std::u16string& path, const SaveStamp& stamp, CopyResult copy,
                         CopiedText& copied) {
    const bool textCame = copy == CopyResult::kCopied;
    const bool selection = m_settings.EditOnlySelection != 0;
    OpenEdit edit{target, path, stamp.low};
    edit.last = stamp;
    edit.targetFacts = facts;
    edit.row = row;
    edit.knownText = textCame ? copied.text : std::u16string();
    // A box read empty is known to be empty: a save goes only into that box while it still
    // is (or holds what the edit pasted), not into another field of the page. An empty box of
    // the clipboard's way answers nothing, which tells nothing.
    edit.textKnown = textCame || (m_settings.SaveContent && copy == CopyResult::kEmpty &&
                                  facts.edit != EditKind::kNone && !selection);
    edit.knownIsPart = selection;
    edit.knownAt = copied.at;
    edit.boxTextEndedWithBreak = textCame && EndsWithLineBreak(edit.knownText);
    table.edits.push_back(std::move(edit));
}

void CEditEngine::LaunchEditorOn(const EXTENSIONREC& row, const std::u16string& path) {
    const EditorStart start{row.Editor, row.Parameters, path, row.Extension};
    if (m_host)
        m_host->StartEditor(start);
    else
        LaunchEditor(m_system, start);
}

bool CEditEngine::PollEdit(HWND focused, bool lookAgain) {
    // A copy or paste under way: this return of the focus is looked at again later.
    if (m_busy)
        return false;
    m_settling = false;
    try {
        // Most focus changes are to windows without an edit: they cost no call to the system.
        if (FindNewestEdit(focused) < 0)
            return true;
        WindowFacts facts;
        if (!m_system.DescribeWindow(focused, facts))
            return true;
        std::vector<Saved> saves = FindNewSaves(focused, facts, lookAgain);
        if (!saves.empty())
            PasteNewSaves(focused, facts, saves);
    } catch (...) {
        // A text too large to hold: the box keeps what it has.
    }
    return true;
}

std::vector<CEditEngine::Saved> CEditEngine::FindNewSaves(HWND focused, const WindowFacts& facts,
                                                          bool lookAgain) {
    // A window (a browser page) may hold several boxes, each with its own edit.
    std::vector<Saved> saves;
    for (int i = static_cast<int>(table.edits.size()) - 1; i >= 0; --i) {
        OpenEdit& edit = table.edits[static_cast<std::size_t>(i)];
        if (edit.hTarget != focused || edit.targetFacts != facts)
            continue;
        // Deleted, or locked by the editor, or unreadable now: looked at again next time.
        std::uint32_t low = 0;
        std::string bytes;
        if (!ReadSave(edit.tempPath, low, bytes) || !IsNewSave(edit, low, bytes))
            continue;
        // A save written a moment ago may be half done (an editor writing in pieces): it is
        // pasted once the editor has let go of the file, else looked at again soon.
        if (!IsSteady(edit.tempPath, low, bytes)) {
            m_settling = true;
            continue;
        }
        const SaveStamp stamp = SaveStamp::Of(low, bytes);
        const bool lookedAlready = edit.looked == stamp;
        edit.looked = stamp;
        if (lookAgain && lookedAlready)
            continue;
        std::u16string text;
        if (SavedTextOf(m_system, bytes, edit.boxTextEndedWithBreak, text))
            saves.push_back(Saved{static_cast<std::size_t>(i), low, stamp, std::move(text)});
        else if (edit.TellOnce(low))
            Tell(notice::kNotText); // kept as it is: the user may save it again as text
    }
    return saves;
}

template <class Which>
void CEditEngine::TellOnceOf(std::vector<Saved>& saves, const std::u16string& message, Which which) {
    bool tell = false;
    for (const Saved& save : saves)
        if (which(table.edits[save.index]))
            tell = table.edits[save.index].TellOnce(save.low) || tell;
    if (tell)
        Tell(message);
}

void CEditEngine::PasteNewSaves(HWND focused, const WindowFacts& facts, std::vector<Saved>& saves) {
    CBusyScope busy(m_busy);
    ITextRoute& route = m_routes.For(facts);
    CRouteRound round(route);
    if (!round.Begin()) {
        // The user's clipboard could not be put aside: nothing is risked, the saves wait.
        TellOnceOf(saves, notice::kNotPasted, [](const OpenEdit&) { return true; });
        return;
    }
    // The box's text, read once for all the edits that need it, and only when an edit knows
    // what its box held. Insert mode does not read: a text put in at the caret replaces
    // nothing the user typed meanwhile, and a copy to check would lose the caret (Ctrl+A), so
    // there the window (handle, thread, process and class) identifies the box. Nor does an
    // edit of a selection where reading would select all: the paste itself checks that its
    // text is selected again.
    std::u16string boxText;
    bool read = false;
    ReadResult how = ReadResult::kUnreadable;
    auto belongs = [&](const OpenEdit& edit) {
        if (!edit.textKnown || m_settings.Insert)
            return true;
        const bool mayCostCaret = !edit.knownIsPart;
        if (!read || (how == ReadResult::kCostsCaret && mayCostCaret)) {
            read = true;
            how = route.Read(focused, facts, mayCostCaret, boxText);
        }
        if (how == ReadResult::kCostsCaret)
            return true;
        return how == ReadResult::kRead && BoxStillHolds(boxText, edit.knownText, edit.knownIsPart);
    };
    // The newest edit that the box belongs to decides: an older edit of the same box is
    // superseded by it (its save is not pasted over the newer edit's text).
    bool pasted = false;
    for (int i = static_cast<int>(table.edits.size()) - 1; i >= 0 && how != ReadResult::kFocusMoved; --i) {
        OpenEdit& edit = table.edits[static_cast<std::size_t>(i)];
        if (edit.hTarget != focused || edit.targetFacts != facts || !belongs(edit))
            continue;
        auto save = std::find_if(saves.begin(), saves.end(),
                                 [&](const Saved& s) { return s.index == static_cast<std::size_t>(i); });
        if (save == saves.end())
            break; // this box's newest edit has no new save
        pasted = PasteSave(route, focused, facts, edit, *save);
        break;
    }
    if (pasted || how == ReadResult::kFocusMoved)
        return;
    // Nothing went in: a box that was looked at is left with nothing selected, and each save
    // of another box of this window waits for its box; the user hears of each such save once.
    route.Deselect(focused);
    TellOnceOf(saves, how == ReadResult::kNoCaret ? notice::kNoTextCursor : notice::kNotThisBox,
               [&](const OpenEdit& edit) { return !belongs(edit); });
}

bool CEditEngine::PasteSave(ITextRoute& route, HWND box, const WindowFacts& facts, OpenEdit& edit,
                            const Saved& save) {
    const PasteResult result = PasteWhereItGoes(route, box, facts, edit, save.text);
    if (result == PasteResult::kPasted) {
        // Only a save that went in is used up.
        edit.last = save.stamp;
        edit.told = false;
        NotePasted(edit);
    } else if (result != PasteResult::kFocusMoved && edit.TellOnce(save.low)) {
        Tell(result == PasteResult::kSelectionGone ? notice::kSelectAgain
             : result == PasteResult::kReadOnly    ? notice::kReadOnly
                                                   : notice::kNotPasted);
    }
    return result == PasteResult::kPasted;
}

PasteResult CEditEngine::PasteWhereItGoes(ITextRoute& route, HWND box, const WindowFacts& facts,
                                          OpenEdit& edit, const std::u16string& text) {
    const bool insert = m_settings.Insert != 0;
    PastePlace place;
    place.insert = insert;
    place.selection = edit.textKnown && edit.knownIsPart;
    place.selected = edit.knownText;
    place.at = edit.knownAt;
    const PasteResult result = route.Paste(box, facts, text, place);
    if (result != PasteResult::kPasted)
        return result;
    // What the box holds now, as far as it is known: the text replaced the selection it came
    // from, or the box told its text, or the text is all of it unless it went in at the caret.
    if (place.selection && !insert) {
        edit.knownText = text;
        edit.knownAt = place.at;
        edit.textKnown = true;
        return result;
    }
    edit.knownIsPart = false;
    edit.knownAt = -1;
    edit.textKnown = place.boxKnownAfter || !insert;
    edit.knownText = place.boxKnownAfter ? std::move(place.boxAfter) : text;
    return result;
}

bool CEditEngine::ReadSave(const std::u16string& path, std::uint32_t& low, std::string& bytes) {
    // Deleted, or locked by the editor, or unreadable now: looked at again next time.
    CScopedSeamFile file(m_system, m_system.OpenFileForRead(path));
    return file.Get() && m_system.GetLastWriteLow(file.Get(), low) && m_system.ReadFile(file.Get(), bytes);
}

bool CEditEngine::IsSteady(const std::u16string& path, std::uint32_t low, const std::string& bytes) {
    {
        CScopedSeamFile file(m_system, m_system.OpenFileForRead(path));
        // Written a while ago: done. (Only a recent save is checked further, so that the
        // check's brief denial of writing rarely meets an editor's save.)
        if (!file.Get() || !m_system.WrittenWithinMs(file.Get(), kSettleMs))
            return file.Get() != nullptr;
    }
    // An editor writing in pieces keeps the file open for writing until the last one; one
    // that has closed it may still have changed it since it was read.
    if (m_system.HeldForWriting(path))
        return false;
    std::uint32_t lowNow = 0;
    std::string bytesNow;
    return ReadSave(path, lowNow, bytesNow) && lowNow == low && bytesNow == bytes;
}

} // namespace quillon
