// CEditEngine: its lifetime (defaults at construction, deletion of temporary files at exit),
// the configuration file's load and save, and the edit road's entry points.
#include "engine/edit_engine.h"

#include <algorithm>

#include "config/config_file.h"
#include "config/config_platform.h"
#include "engine/edit_road.h"
#include "engine/edit_rules.h"
#include "engine/keyboard.h"
#include "engine/text_route.h"
#include "engine/temp_files.h"

namespace quillon {

namespace {

// Closes a file of the seam when the scope ends.
class CScopedSeamFile {
public:
    CScopedSeamFile(IFiles& files, FileHandle file) : m_files(files), m_file(file) {}
    ~CScopedSeamFile() { Close(); }
    CScopedSeamFile(const CScopedSeamFile&) = delete;
    CScopedSeamFile& operator=(const CScopedSeamFile&) = delete;
    FileHandle Get() const { return m_file; }
    void Close() {
        if (m_file)
            m_files.CloseFile(m_file);
        m_file = nullptr;
    }

private:
    IFiles& m_files;
    FileHandle m_file;
};

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

bool CEditEngine::TellOnce(OpenEdit& edit, std::uint32_t saveLow) {
    if (edit.told && edit.toldLow == saveLow)
        return false;
    edit.told = true;
    edit.toldLow = saveLow;
    return true;
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

void CEditEngine::RetryLaterRestore(std::uint32_t retryMs) {
    if (m_busy || !m_laterRestore.IsHeld())
        return;
    CBusyScope busy(m_busy);
    m_laterRestore.RetryRestore(retryMs);
}

SaveStamp SaveStamp::Of(std::uint32_t low, std::string_view bytes) {
    return SaveStamp{low, true, bytes.size(), ContentHash(bytes)};
}

bool SaveStamp::IsOtherSave(const SaveStamp& now) const {
    // The bytes decide when they are known: a time alone moves without a save (stamped again
    // at close, an editor's Ctrl+S with nothing changed, a copy tool touching the file), and
    // pasting the same text again would flatten the box's formatting or double an insert.
    if (contentKnown && now.contentKnown)
        return now.size != size || now.hash != hash;
    return now.low != low;
}

bool ReadStamp(IFiles& files, const std::u16string& path, SaveStamp& stamp, std::string* bytes) {
    CScopedSeamFile file(files, files.OpenFileForRead(path));
    std::uint32_t low = 0;
    std::string read;
    if (!file.Get() || !files.GetLastWriteLow(file.Get(), low) || !files.ReadFile(file.Get(), read))
        return false;
    stamp = SaveStamp::Of(low, read);
    if (bytes)
        *bytes = std::move(read);
    return true;
}

bool IsNewSave(const OpenEdit& edit, std::uint32_t low, const std::string& bytes) {
    return edit.last.IsOtherSave(SaveStamp::Of(low, bytes));
}

void CEditEngine::WatchForLateCopy(std::uint32_t boxProcess) {
    m_lateCopy.Discard();
    // What is on the clipboard now is the user's own content, just put back.
    if (boxProcess == 0 || !m_lateCopy.Backup())
        return;
    m_lateCopyProcess = boxProcess;
    m_lateCopyUntil = m_system.NowMs() + kLateCopyWatchMs;
    m_lateCopyPresses = m_system.UserKeyPresses();
}

void CEditEngine::CheckLateCopy() {
    if (m_busy || !m_lateCopy.IsHeld())
        return;
    CBusyScope busy(m_busy);
    // The user pressed a key since (their own Ctrl+C of the box's text, having heard that
    // none came, or typing into the box): what lands now is theirs.
    if (m_system.UserKeyPresses() != m_lateCopyPresses) {
        m_lateCopy.Discard();
        return;
    }
    if (m_lateCopy.RestoreOverLateCopy(m_lateCopyProcess))
        return;
    if (m_system.NowMs() >= m_lateCopyUntil)
        m_lateCopy.Discard();
}

void CEditEngine::StartEdit(HWND target, int choiceIndex) {
    if (m_busy || !target)
        return;
    // The user's clipboard still waiting to come back goes back before a new backup, which
    // would otherwise save the pasted text in its place; a late copy still awaited is over.
    CheckLateCopy();
    m_lateCopy.Discard();
    RetryLaterRestore(kClipboardRetryMs);
    try {
        ISystem& system = m_system;
        // A row whose extension cannot name a file in the temporary folder starts nothing:
        // not even the keys of the copy.
        const int rows = static_cast<int>(Extensions.size());
        if (choiceIndex >= 0 && choiceIndex < rows &&
            !IsValidExtension(Extensions[static_cast<std::size_t>(choiceIndex)].Extension))
            return;
        WindowFacts facts;
        if (!MayReach(target, facts))
            return;
        // The text is taken, and the user's clipboard put back, before the New Extension
        // dialog may open: the user can copy and paste in it (or anywhere) meanwhile, and
        // whatever they copy is theirs, neither the file's text nor overwritten afterwards.
        CopiedText copied;
        CopyResult copy = CopyResult::kEmpty;
        CRouteRound round(*m_clipboardRoute);
        if (SaveContent) {
            CBusyScope busy(m_busy);
            copy = CopyBox(target, facts, round, copied);
            if (copy == CopyResult::kFocusMoved)
                return; // the user moved on before anything reached the box: no text of theirs
            // A row of the table needs no dialog: its file is written first and the
            // clipboard put back after, so that the editor has its file sooner.
            if (choiceIndex < 0 || choiceIndex >= rows)
                round.End();
        }
        const bool textCame = copy == CopyResult::kCopied;
        std::u16string& text = copied.text;
        const EXTENSIONREC rec = ChooseExtension(*this, choiceIndex);
        if (!IsValidExtension(rec.Extension))
            return;
        std::u16string path;
        const std::u16string folder = ResolveTempFolder(*this);
        CScopedSeamFile file(system,
                             CreateTempFile(system, folder, MakeTempFileName(system), rec.Extension, path));
        if (!file.Get()) {
            // A folder that cannot be written (gone, read-only, another user's), or names taken
            // by someone else: the user hears why nothing opened.
            Tell(notice::kNoTempFile + folder + u".");
            return;
        }
        // Half a text (a full disk) would look whole in the editor, and its save would then
        // cut the box: a file that did not take the whole text is removed and nothing starts.
        const std::string written =
            textCame ? EncodeTempFileText(text, rec.UTF8 != 0, system) : std::string();
        if (textCame && !system.WriteFile(file.Get(), written)) {
            file.Close();
            system.DeleteFile(path);
            if (m_host)
                m_host->TellUser(kTempFileWriteFailedMessage);
            return; // the backup puts the user's clipboard back on its way out
        }
        // The time of our own write, taken once the file is closed: the system may stamp a
        // file again when its last handle closes (and FAT keeps two-second times), and a
        // time that moved after we took it would make our own write look like a save.
        file.Close();
        std::uint32_t low = 0;
        {
            CScopedSeamFile written(system, system.OpenFileForRead(path));
            if (written.Get())
                system.GetLastWriteLow(written.Get(), low);
        }
        OpenEdit edit{target, path, low};
        edit.last = SaveStamp::Of(low, written);
        edit.targetFacts = facts;
        edit.row = rec;
        edit.knownText = std::move(text);
        // An edit control read empty is known to be empty: a save goes only into that box
        // while it still is (or holds what the edit pasted), not into another field of the page.
        edit.textKnown = textCame || (SaveContent && copy == CopyResult::kEmpty &&
                                      facts.edit != EditKind::kNone && EditOnlySelection == 0);
        edit.knownIsPart = EditOnlySelection != 0;
        edit.knownAt = copied.at;
        edit.boxTextEndedWithBreak = textCame && EndsWithLineBreak(edit.knownText);
        openEdits.push_back(std::move(edit));
        {
            CBusyScope busy(m_busy);
            round.End(); // nothing left to do when the dialog's turn put it back
        }
        // The box did not answer the copy: the editor still opens (an empty box answers
        // nothing either), but the user hears why the file is empty.
        if (copy == CopyResult::kUnanswered)
            Tell(notice::kNoTextCame);
        const EditorStart start{rec.Editor, rec.Parameters, path, rec.Extension};
        if (m_host)
            m_host->StartEditor(start);
        else
            LaunchEditor(system, start);
        TellIfFormattingLost(copied, facts);
    } catch (...) {
        // Called from a window message: nothing may unwind further. The round has put the
        // clipboard back on its way out.
    }
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
        // Every open edit of this window with a save not pasted yet, newest first: a window
        // (a browser page) may hold several boxes, each with its own edit.
        struct Saved {
            std::size_t index;
            std::uint32_t low;
            SaveStamp stamp;
            std::u16string text;
        };
        std::vector<Saved> saves;
        for (int i = static_cast<int>(openEdits.size()) - 1; i >= 0; --i) {
            OpenEdit& edit = openEdits[static_cast<std::size_t>(i)];
            if (edit.hTarget != focused || edit.targetFacts != facts)
                continue;
            // Deleted, or locked by the editor, or unreadable now: looked at again next time.
            std::uint32_t low = 0;
            std::string bytes;
            if (!ReadSave(edit.tempPath, low, bytes) || !IsNewSave(edit, low, bytes))
                continue;
            // A save written a moment ago may be half done (an editor writing in pieces):
            // it is pasted once the editor has let go of the file, else looked at again soon.
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
            if (SavedTextOf(m_system, bytes, edit.boxTextEndedWithBreak, text)) {
                saves.push_back(Saved{static_cast<std::size_t>(i), low, stamp, std::move(text)});
            } else if (TellOnce(openEdits[static_cast<std::size_t>(i)], low)) {
                // Kept as it is: the user may save it again as text.
                Tell(notice::kNotText);
            }
        }
        if (saves.empty())
            return true;

        // The user's clipboard still waiting to come back goes back before a new backup,
        // which would otherwise save the pasted text in its place.
        CheckLateCopy();
        m_lateCopy.Discard();
        RetryLaterRestore(kClipboardRetryMs);
        CBusyScope busy(m_busy);
        ITextRoute& route = RouteFor(facts);
        CRouteRound round(route);
        if (!round.Begin()) {
            // The user's clipboard could not be put aside: nothing is risked, the saves wait.
            bool tell = false;
            for (const Saved& save : saves)
                tell = TellOnce(openEdits[save.index], save.low) || tell;
            if (tell)
                Tell(notice::kNotPasted);
            return true;
        }
        // The box's text, read once for all the edits that need it, and only when an edit
        // knows what its box held. Insert mode does not read: a text put in at the caret
        // replaces nothing the user typed meanwhile, and a copy to check would lose the caret
        // (Ctrl+A), so there the window (handle, thread, process and class) identifies the box.
        std::u16string boxText;
        bool read = false;
        ReadResult how = ReadResult::kUnreadable;
        auto belongs = [&](const OpenEdit& edit) {
            if (!edit.textKnown || Insert)
                return true;
            if (!read) {
                read = true;
                how = route.Read(focused, facts, Insert == 0, boxText);
            }
            if (how == ReadResult::kCostsCaret)
                return true;
            return how == ReadResult::kRead && BoxStillHolds(boxText, edit.knownText, edit.knownIsPart);
        };
        // The newest edit that the box belongs to decides: an older edit of the same box is
        // superseded by it (its save is not pasted over the newer edit's text).
        bool pastedOrTried = false;
        bool pasted = false;
        auto focusLost = [&] { return how == ReadResult::kFocusMoved; };
        for (int i = static_cast<int>(openEdits.size()) - 1; i >= 0 && !pastedOrTried && !focusLost(); --i) {
            OpenEdit& edit = openEdits[static_cast<std::size_t>(i)];
            if (edit.hTarget != focused || edit.targetFacts != facts || !belongs(edit))
                continue;
            pastedOrTried = true;
            auto save = std::find_if(saves.begin(), saves.end(),
                                     [&](const Saved& s) { return s.index == static_cast<std::size_t>(i); });
            if (save == saves.end())
                break; // this box's newest edit has no new save
            const PasteResult result = PasteSave(route, focused, facts, edit, save->text);
            pasted = result == PasteResult::kPasted;
            if (pasted) {
                // Only a save that went in is used up.
                edit.last = save->stamp;
                edit.told = false;
                NotePasted(edit);
            } else if (result != PasteResult::kFocusMoved && TellOnce(edit, save->low)) {
                Tell(result == PasteResult::kSelectionGone ? notice::kSelectAgain
                     : result == PasteResult::kReadOnly    ? notice::kReadOnly
                                                           : notice::kNotPasted);
            }
        }
        if (!pasted && !focusLost()) {
            // Nothing went in: a box that was looked at is left with nothing selected, and
            // each save of another box of this window waits for its box; the user hears of
            // each such save once.
            route.Deselect(focused);
            bool tell = false;
            for (const Saved& save : saves)
                if (!belongs(openEdits[save.index]))
                    tell = TellOnce(openEdits[save.index], save.low) || tell;
            if (tell)
                Tell(notice::kNotThisBox);
        }
    } catch (...) {
        // A text too large to hold: the box keeps what it has.
    }
    return true;
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

void CEditEngine::PurgeClosedEdits() {
    for (int i = static_cast<int>(openEdits.size()) - 1; i >= 0; --i) {
        const OpenEdit& edit = openEdits[static_cast<std::size_t>(i)];
        // A handle that now belongs to another window is as gone as its box.
        WindowFacts facts;
        if (m_system.IsWindow(edit.hTarget) &&
            (!m_system.DescribeWindow(edit.hTarget, facts) || facts == edit.targetFacts))
            continue;
        // A save that never reached the box is the user's text: its file is kept.
        if (DeleteTempFile && !HasUnpastedSave(m_system, edit))
            pendingDeletes.push_back({edit.tempPath, edit.last});
        openEdits.erase(openEdits.begin() + i);
    }
}

CEditEngine::CEditEngine(ISystem& system, IConfigPlatform& configPlatform)
    : m_system(system), m_configPlatform(configPlatform),
      m_clipboardRoute(std::make_unique<CClipboardRoute>(*this)),
      m_messageRoute(std::make_unique<CMessageRoute>(system)), m_laterRestore(system, system),
      m_lateCopy(system, system) {
    TemporaryFolder = m_system.GetTempPath();
}

CEditEngine::~CEditEngine() {
    // What the watch holds is on the clipboard already. A restore still waiting was tried
    // while the host's window could own the clipboard (its last chance is as it goes); now,
    // without an owner, emptying the clipboard would lose the user's content for good
    // (nothing can be put back), so the clipboard stays as it is.
    m_lateCopy.Discard();
    m_laterRestore.Discard();
    // Only at normal process exit, and only while the user wants it: files of ended
    // edits first, then those of edits still open, oldest first. A file still held open
    // by an editor simply stays.
    if (DeleteTempFile) {
        for (const auto& ended : pendingDeletes)
            DeleteIfUnchanged(m_system, ended.path, ended.stamp);
        for (const auto& edit : openEdits)
            DeleteIfUnchanged(m_system, edit.tempPath, edit.last);
    }
}

ITextRoute& CEditEngine::RouteFor(const WindowFacts& box) const {
    return UseEditMessages && box.edit != EditKind::kNone ? *m_messageRoute : *m_clipboardRoute;
}

CopyResult CEditEngine::CopyBox(HWND target, const WindowFacts& facts, CRouteRound& clipboardRound,
                                CopiedText& copied) {
    ITextRoute& route = RouteFor(facts);
    if (&route != m_clipboardRoute.get()) {
        const CopyResult result = route.Copy(target, facts, EditOnlySelection != 0, copied);
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
    return m_clipboardRoute->Copy(target, facts, EditOnlySelection != 0, copied);
}

PasteResult CEditEngine::PasteSave(ITextRoute& route, HWND box, const WindowFacts& facts, OpenEdit& edit,
                                   const std::u16string& text) {
    PastePlace place;
    place.insert = Insert != 0;
    place.selection = edit.textKnown && edit.knownIsPart;
    place.selected = edit.knownText;
    place.at = edit.knownAt;
    const PasteResult result = route.Paste(box, facts, text, place);
    if (result != PasteResult::kPasted)
        return result;
    // What the box holds now, as far as it is known: the text replaced the selection it came
    // from, or the box told its text, or the text is all of it unless it went in at the caret.
    if (place.selection && !place.insert) {
        edit.knownText = text;
        edit.knownAt = place.at;
        edit.textKnown = true;
        return result;
    }
    edit.knownIsPart = false;
    edit.knownAt = -1;
    edit.textKnown = place.boxKnownAfter || Insert == 0;
    edit.knownText = place.boxKnownAfter ? std::move(place.boxAfter) : text;
    return result;
}

int CEditEngine::FindNewestEdit(HWND target) const {
    for (int i = static_cast<int>(openEdits.size()) - 1; i >= 0; --i)
        if (openEdits[i].hTarget == target)
            return i;
    return -1;
}

std::u16string CEditEngine::ResolveConfigPath() {
    ConfigLocation location = ResolveConfigLocation(m_configPlatform);
    moduleFilePath = std::move(location.moduleFilePath);
    moduleFolder = std::move(location.moduleFolder);
    return location.configFilePath;
}

void CEditEngine::Load() {
    configFilePath = ResolveConfigPath();
    // A missing, unreadable or broken file leaves every setting as it is.
    LoadConfigFile(configXml, configFilePath, *this, m_configPlatform);
    DeleteFilesLeftLastSession(*this);
    // A hotkey of 0 means none: nothing to register and nothing to warn about. One the file
    // names against the hotkey rules (edited by hand: Tab, a bare letter, Ctrl+V) would take
    // its key from every other program, or fire on Quillon's own keys: it is not registered.
    if (m_host && HotKey != 0) {
        const keyboard::Refusal refusal = keyboard::CheckHotKeyValue(HotKey);
        if (refusal == keyboard::Refusal::None)
            m_host->RegisterEditHotKey(HotKey);
        else
            m_host->TellUser(u"The hot key in the settings file is not used (" +
                             std::u16string(keyboard::RefusalText(refusal)) +
                             u"). Please choose another one in Options.");
    }
}

ConfigSaveResult CEditEngine::Save() {
    // The settings in memory stay whatever happens, and the next save tries again. A hotkey
    // changed by hand in the file meanwhile is the one in force from now on.
    const std::uint16_t hotKeyBefore = HotKey;
    ConfigSaveResult result = SaveConfigFile(configXml, configFilePath, *this, m_configPlatform);
    if (HotKey != hotKeyBefore && m_host) {
        m_host->UnregisterEditHotKey();
        if (HotKey != 0)
            m_host->RegisterEditHotKey(HotKey);
    }
    return result;
}

bool CEditEngine::ApplySettings(const SettingsFields& opened, const SettingsFields& edited) {
    if (edited.HotKey != HotKey && m_host) {
        m_host->UnregisterEditHotKey();
        if (edited.HotKey != 0 && !m_host->RegisterEditHotKey(edited.HotKey)) {
            if (HotKey != 0)
                m_host->RegisterEditHotKey(HotKey);
            return false;
        }
    }
    std::vector<EXTENSIONREC> table = edited.Extensions;
    if (Extensions.size() > opened.Extensions.size() &&
        std::equal(opened.Extensions.begin(), opened.Extensions.end(), Extensions.begin()))
        table.insert(table.end(), Extensions.begin() + static_cast<std::ptrdiff_t>(opened.Extensions.size()),
                     Extensions.end());
    const std::int32_t delay = Delay;
    // Rules the dialog left as it found them stay as they are now: one remembered from the
    // choice list while the dialog was open is kept.
    std::vector<RULEREC> rules = edited.Rules == opened.Rules ? Rules : edited.Rules;
    static_cast<SettingsFields&>(*this) = edited;
    Delay = delay;
    Extensions = std::move(table);
    Rules = std::move(rules);
    if (m_host)
        m_host->ExtensionsChanged();
    return true;
}

CEditEngine& GetEditEngine() {
    // The process's real services are chosen here, once; everything below takes them as given.
    static CEditEngine engine(DefaultSystem(), DefaultConfigPlatform());
    return engine;
}

} // namespace quillon
