// CEditEngine: its lifetime (defaults at construction, deletion of temporary files at exit),
// the configuration file's load and save, and the edit road's entry points.
#include "engine/edit_engine.h"

#include "config/config_file.h"
#include "config/config_platform.h"
#include "engine/clipboard_backup.h"
#include "engine/edit_road.h"
#include "engine/edit_rules.h"
#include "engine/temp_files.h"

namespace quillon {

namespace {

// Closes a file of the seam when the scope ends.
class CSeamFile {
public:
    CSeamFile(IFiles& files, FileHandle file) : m_files(files), m_file(file) {}
    ~CSeamFile() { Close(); }
    CSeamFile(const CSeamFile&) = delete;
    CSeamFile& operator=(const CSeamFile&) = delete;
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

}  // namespace

void CEditEngine::RetryLaterRestore(std::uint32_t retryMs) {
    if (m_busy || !m_laterRestore.IsHeld())
        return;
    CBusyScope busy(m_busy);
    m_laterRestore.RetryRestore(retryMs);
}

void CEditEngine::StartEdit(HWND target, int choiceIndex) {
    if (m_busy || !target)
        return;
    // The user's clipboard still waiting to come back goes back before a new backup, which
    // would otherwise save the pasted text in its place.
    RetryLaterRestore(kClipboardRetryMs);
    try {
        ISystem& system = m_system;
        // A row whose extension cannot name a file in the temporary folder starts nothing:
        // not even the keys of the copy.
        const int rows = static_cast<int>(Extensions.size());
        if (choiceIndex >= 0 && choiceIndex < rows &&
            !IsValidExtension(Extensions[static_cast<std::size_t>(choiceIndex)].Extension))
            return;
        // The text is taken, and the user's clipboard put back, before the New Extension
        // dialog may open: the user can copy and paste in it (or anywhere) meanwhile, and
        // whatever they copy is theirs, neither the file's text nor overwritten afterwards.
        std::u16string text;
        bool copied = false;
        CClipboardBackup backup(system, system, HostWindow());
        if (SaveContent) {
            CBusyScope busy(m_busy);
            copied = CopyBoxText(*this, backup, text);
            // A row of the table needs no dialog: its file is written first and the
            // clipboard put back after, so that the editor has its file sooner.
            if (choiceIndex < 0 || choiceIndex >= rows)
                backup.Restore();
        }
        const EXTENSIONREC rec = ChooseExtension(*this, choiceIndex);
        if (!IsValidExtension(rec.Extension))
            return;
        std::u16string path;
        CSeamFile file(system, CreateTempFile(system, ResolveTempFolder(*this), MakeTempFileName(system),
                                              rec.Extension, path));
        if (!file.Get())
            return;
        // Half a text (a full disk) would look whole in the editor, and its save would then
        // cut the box: a file that did not take the whole text is removed and nothing starts.
        if (copied && !system.WriteFile(file.Get(), EncodeTempFileText(text, rec.UTF8 != 0, system))) {
            file.Close();
            system.DeleteFile(path);
            if (m_host)
                m_host->TellUser(kTempFileWriteFailedMessage);
            return; // the backup puts the user's clipboard back on its way out
        }
        // The time of our own write, taken at once: a save that lands while the clipboard is
        // put back must count as the user's.
        std::uint32_t low = 0;
        system.GetLastWriteLow(file.Get(), low);
        openEdits.push_back(OpenEdit{target, path, low, copied && EndsWithLineBreak(text)});
        {
            CBusyScope busy(m_busy);
            backup.Restore();  // nothing left to do when the dialog's turn put it back
        }
        file.Close();
        LaunchEditor(system, rec.Editor, rec.Parameters, path);
    } catch (...) {
        // Called from a window message: nothing may unwind further. The backup has put
        // the clipboard back on its way out.
    }
}

bool CEditEngine::PollEdit(HWND focused) {
    // A copy or paste under way: this return of the focus is looked at again later.
    if (m_busy)
        return false;
    try {
        const int index = FindNewestEdit(focused);
        if (index < 0)
            return true;
        CSeamFile file(m_system, m_system.OpenFileForRead(openEdits[static_cast<std::size_t>(index)].tempPath));
        if (!file.Get())
            return true;  // deleted, or locked by the editor: looked at again next time
        std::uint32_t low = 0;
        if (!m_system.GetLastWriteLow(file.Get(), low))
            return true;
        OpenEdit& edit = openEdits[static_cast<std::size_t>(index)];
        if (low != edit.lastWriteLow) {
            // A file that cannot be read now is looked at again at the next return.
            std::string bytes;
            if (!m_system.ReadFile(file.Get(), bytes))
                return true;
            edit.lastWriteLow = low;
            const bool endedWithBreak = edit.boxTextEndedWithBreak;
            // Closed before the paste and its pause: an editor that saves again right
            // then, opening the file for itself alone, must not fail.
            file.Close();
            RetryLaterRestore(kClipboardRetryMs);
            CBusyScope busy(m_busy);
            WriteBack(*this, bytes, endedWithBreak);
        }
    } catch (...) {
        // A text too large to hold: the box keeps what it has.
    }
    return true;
}

void CEditEngine::PurgeClosedEdits() {
    for (int i = static_cast<int>(openEdits.size()) - 1; i >= 0; --i) {
        const OpenEdit& edit = openEdits[static_cast<std::size_t>(i)];
        if (m_system.IsWindow(edit.hTarget))
            continue;
        // A save that never reached the box is the user's text: its file is kept.
        if (DeleteTempFile && !HasUnpastedSave(m_system, edit))
            pendingDeletes.push_back(edit.tempPath);
        openEdits.erase(openEdits.begin() + i);
    }
}

CEditEngine::CEditEngine(ISystem& system, IConfigPlatform& configPlatform)
    : m_system(system), m_configPlatform(configPlatform), m_laterRestore(system, system) {
    TemporaryFolder = m_system.GetTempPath();
}

CEditEngine::~CEditEngine() {
    // Only at normal process exit, and only while the user wants it: files of ended
    // edits first, then those of edits still open, oldest first. A file still held open
    // by an editor simply stays.
    if (DeleteTempFile) {
        for (const auto& path : pendingDeletes)
            m_system.DeleteFile(path);
        for (const auto& edit : openEdits)
            if (!HasUnpastedSave(m_system, edit))
                m_system.DeleteFile(edit.tempPath);
    }
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
    // A hotkey of 0 means none: nothing to register and nothing to warn about.
    if (m_host && HotKey != 0)
        m_host->RegisterEditHotKey(HotKey);
}

void CEditEngine::Save() {
    // Silent on failure: the settings in memory stay, and the next save tries again.
    SaveConfigFile(configXml, configFilePath, *this, m_configPlatform);
}

CEditEngine& GetEditEngine() {
    // The process's real services are chosen here, once; everything below takes them as given.
    static CEditEngine engine(DefaultSystem(), DefaultConfigPlatform());
    return engine;
}

}  // namespace quillon
