// The configuration file on a real Windows file system: the portable file beside the
// program, the per-user folder, long program paths, a save that dies half-way and a
// read-only file. Each case runs a copy of the probe program from a folder of its own.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "base/u16.h"
#include "config/config_file.h"
#include "config/config_platform.h"
#include "native/config/forwarding_platform.h"
#include "native/test_data.h"
#include "windows/support/file_bytes.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A private folder holding a copy of the probe; `prefix` lets a case make it very deep.
class CProbeFolder {
public:
    explicit CProbeFolder(const std::wstring& leaf = L"") {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        m_root = std::wstring(temp) + L"qln-probe-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++s_count);
        m_folder = m_root + leaf;
        std::error_code error;
        fs::create_directories(fs::path(L"\\\\?\\" + m_folder), error);
        m_ready = !error && ::CopyFileW((ThisProgramFolder() + L"\\config_probe.exe").c_str(),
                                        (L"\\\\?\\" + Program()).c_str(), FALSE);
    }
    ~CProbeFolder() {
        std::error_code ignored;
        fs::remove_all(fs::path(L"\\\\?\\" + m_root), ignored);
    }
    CProbeFolder(const CProbeFolder&) = delete;
    CProbeFolder& operator=(const CProbeFolder&) = delete;

    bool Ready() const { return m_ready; }
    const std::wstring& Folder() const { return m_folder; }
    std::wstring Program() const { return m_folder + L"\\config_probe.exe"; }
    std::wstring Config() const { return m_folder + L"\\QLNConfig.xml"; }
    std::wstring Report() const { return m_root + L"\\report.txt"; }

    // Runs the probe and waits for it with a deadline; the exit code, or -1 when it
    // could not be started.
    DWORD Run(const wchar_t* mode) {
        std::wstring commandLine = L"\"" + Program() + L"\" " + mode + L" \"" + Report() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        // Started from the short root folder: a working directory beyond the classic limit
        // is refused by the system whatever the program does.
        const std::wstring application = L"\\\\?\\" + Program();
        if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              m_root.c_str(), &startup, &process))
            return static_cast<DWORD>(-1);
        const DWORD waited = ::WaitForSingleObject(process.hProcess, 60000);
        DWORD code = static_cast<DWORD>(-2);
        if (waited == WAIT_OBJECT_0)
            ::GetExitCodeProcess(process.hProcess, &code);
        else
            ::TerminateProcess(process.hProcess, 9);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        EXPECT_EQ(waited, WAIT_OBJECT_0) << "the probe did not exit within 60 s";
        return code;
    }

    std::map<std::string, std::string> ReadReport() const {
        std::map<std::string, std::string> values;
        std::ifstream in(fs::path(Report()), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos)
                values[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return values;
    }

private:
    static inline int s_count = 0;
    std::wstring m_root;
    std::wstring m_folder;
    bool m_ready = false;
};

std::wstring PerUserFolder() {
    wchar_t appData[MAX_PATH + 1] = {};
    if (::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData) != S_OK)
        return {};
    return std::wstring(appData) + L"\\Quillon";
}

// Moves an existing per-user folder aside for the test and puts it back afterwards, so
// the test starts without one and leaves the prefix as it found it.
class CPerUserFolderAside {
public:
    CPerUserFolderAside() : m_folder(PerUserFolder()) {
        m_aside = m_folder + L".aside-" + std::to_wstring(::GetCurrentProcessId());
        m_moved = Exists(m_folder) && ::MoveFileW(m_folder.c_str(), m_aside.c_str());
    }
    ~CPerUserFolderAside() {
        std::error_code ignored;
        fs::remove_all(fs::path(m_folder), ignored);
        if (m_moved)
            ::MoveFileW(m_aside.c_str(), m_folder.c_str());
    }
    CPerUserFolderAside(const CPerUserFolderAside&) = delete;
    CPerUserFolderAside& operator=(const CPerUserFolderAside&) = delete;
    const std::wstring& Folder() const { return m_folder; }

private:
    std::wstring m_folder;
    std::wstring m_aside;
    bool m_moved = false;
};

std::string Utf8(const std::wstring& text) {
    return ToUtf8(FromWide(text));
}

} // namespace

TEST(ConfigOnWindows, APortableFileBesideTheProgramIsUsedAndThePerUserFolderIsLeftAlone) {
    CPerUserFolderAside aside;
    ASSERT_FALSE(aside.Folder().empty());
    ASSERT_FALSE(Exists(aside.Folder()));
    CProbeFolder probe;
    ASSERT_TRUE(probe.Ready());
    ASSERT_TRUE(WriteFileBytes(
        probe.Config(), "<Quillon><Settings><HotKey>1602</HotKey><Delay>31</Delay></Settings></Quillon>"));

    ASSERT_EQ(probe.Run(L"load"), 0u);
    auto report = probe.ReadReport();
    EXPECT_EQ(report["module"], Utf8(probe.Program()));
    EXPECT_EQ(report["folder"], Utf8(probe.Folder()));
    EXPECT_EQ(report["config"], Utf8(probe.Config()));
    EXPECT_EQ(report["Delay"], "31");
    EXPECT_EQ(report["registrations"], "1");
    EXPECT_EQ(report["registered"], "1602");
    EXPECT_FALSE(Exists(aside.Folder())) << "the per-user folder was created for a portable installation";

    // Deleting the portable file moves the configuration back to the per-user folder.
    ASSERT_TRUE(::DeleteFileW(probe.Config().c_str()));
    ASSERT_EQ(probe.Run(L"load"), 0u);
    EXPECT_EQ(probe.ReadReport()["config"], Utf8(aside.Folder() + L"\\QLNConfig.xml"));
}

TEST(ConfigOnWindows, WithoutAPortableFileThePerUserFolderIsCreatedAndWritten) {
    CPerUserFolderAside aside;
    ASSERT_FALSE(Exists(aside.Folder()));
    CProbeFolder probe;
    ASSERT_TRUE(probe.Ready());

    ASSERT_EQ(probe.Run(L"load-save"), 0u);
    auto report = probe.ReadReport();
    EXPECT_EQ(report["config"], Utf8(aside.Folder() + L"\\QLNConfig.xml"));
    EXPECT_EQ(report["registered"], std::to_string(hotkey::kDefault)); // the defaults are in force
    EXPECT_EQ(report["rows"], "1");
    EXPECT_FALSE(Exists(probe.Config())) << "the program created a file beside itself";

    // The defaults as the zip ships them, with the user's temporary folder in.
    std::string expected = FileBytesOf(TestDataPath(QLN_PACKAGED_CONFIG).wstring());
    const size_t folderAt = expected.find("<TemporaryFolder/>");
    ASSERT_NE(folderAt, std::string::npos);
    expected.replace(folderAt, 18, "<TemporaryFolder>" + report["TemporaryFolder"] + "</TemporaryFolder>");
    EXPECT_EQ(FileBytesOf(aside.Folder() + L"\\QLNConfig.xml"), expected);
    EXPECT_FALSE(Exists(aside.Folder() + L"\\QLNConfig.xml.new"));
}

TEST(ConfigOnWindows, AZeroHotKeyRegistersNothing) {
    CProbeFolder probe;
    ASSERT_TRUE(probe.Ready());
    ASSERT_TRUE(WriteFileBytes(probe.Config(), "<Quillon><Settings><HotKey>0</HotKey></Settings></Quillon>"));
    ASSERT_EQ(probe.Run(L"load-rewrite"), 0u);
    auto report = probe.ReadReport();
    EXPECT_EQ(report["HotKey"], "0");
    EXPECT_EQ(report["registrations"], "0");
    EXPECT_NE(FileBytesOf(probe.Config()).find("<HotKey>0</HotKey>\r\n"), std::string::npos);
}

TEST(ConfigOnWindows, ASaveThatDiesHalfWayLeavesThePreviousFileIntact) {
    CProbeFolder probe;
    ASSERT_TRUE(probe.Ready());
    const std::string original =
        "<?xml "
        "version=\"1.0\"?>\r\n<Quillon>\r\n<Settings>\r\n<Delay>31</Delay>\r\n</Settings>\r\n</Quillon>\r\n";
    ASSERT_TRUE(WriteFileBytes(probe.Config(), original));

    EXPECT_EQ(probe.Run(L"crash-save"), 3u);
    EXPECT_EQ(FileBytesOf(probe.Config()), original);
    const std::string partial = FileBytesOf(probe.Config() + L".new");
    EXPECT_FALSE(partial.empty()) << "the crash came before anything was written";
    EXPECT_EQ(partial.find("</Quillon>"), std::string::npos) << "the new file was complete";

    // The next run reads the intact file and its save completes the job.
    ASSERT_EQ(probe.Run(L"load-rewrite"), 0u);
    EXPECT_EQ(probe.ReadReport()["Delay"], "31");
    const std::string saved = FileBytesOf(probe.Config());
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\"?>\r\n<Quillon>\r\n<Settings>\r\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("<Delay>31</Delay>\r\n"), std::string::npos) << saved;
    EXPECT_FALSE(Exists(probe.Config() + L".new"));
}

TEST(ConfigOnWindows, AProgramPathLongerThanTheClassicLimitIsHandled) {
    std::wstring deep;
    for (int i = 0; i < 8; ++i)
        deep += L"\\" + std::wstring(40, static_cast<wchar_t>(L'a' + i));
    CProbeFolder probe(deep);
    ASSERT_TRUE(probe.Ready()) << "could not lay out a folder " << probe.Folder().size()
                               << " characters deep";
    ASSERT_GT(probe.Program().size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(WriteFileBytes(L"\\\\?\\" + probe.Config(),
                               "<Quillon><Settings><Delay>77</Delay></Settings></Quillon>"));

    const DWORD code = probe.Run(L"load-rewrite");
    if (code == static_cast<DWORD>(-1))
        GTEST_SKIP() << "this system cannot start a program from a path of " << probe.Program().size()
                     << " characters (error " << ::GetLastError() << ")";
    ASSERT_EQ(code, 0u);
    auto report = probe.ReadReport();
    EXPECT_EQ(report["module"], Utf8(probe.Program()));
    EXPECT_EQ(report["folder"], Utf8(probe.Folder()));
    EXPECT_EQ(report["Delay"], "77");
    const std::string saved = FileBytesOf(L"\\\\?\\" + probe.Config());
    EXPECT_EQ(saved.rfind("<Quillon>\r\n<Settings>\r\n<HotKey>31238</HotKey>\r\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("<Delay>77</Delay>"), std::string::npos);
}

TEST(ConfigOnWindows, AReadOnlyFileIsNotReplaced) {
    CProbeFolder probe;
    ASSERT_TRUE(probe.Ready());
    const std::string original = "<Quillon><Settings><Delay>31</Delay></Settings></Quillon>";
    ASSERT_TRUE(WriteFileBytes(probe.Config(), original));
    ASSERT_TRUE(::SetFileAttributesW(probe.Config().c_str(), FILE_ATTRIBUTE_READONLY));

    ASSERT_EQ(probe.Run(L"load-rewrite"), 0u);
    auto report = probe.ReadReport();
    EXPECT_EQ(report["Delay"], "31");
    // Told with the path and the system's reason, at once: a read-only file is not waited for.
    EXPECT_EQ(report["saved"], "2");
    EXPECT_NE(report["failure"].find(Utf8(probe.Config())), std::string::npos) << report["failure"];
    EXPECT_GT(report["failure"].size(), Utf8(probe.Config()).size() + 45) << "no reason given";
    EXPECT_EQ(FileBytesOf(probe.Config()), original);
    EXPECT_FALSE(Exists(probe.Config() + L".new"));
    ::SetFileAttributesW(probe.Config().c_str(), FILE_ATTRIBUTE_NORMAL);
}

namespace {

// The real platform, for a program that would sit in the given (long) path.
class CProgramAt : public test::CForwardingPlatform {
public:
    explicit CProgramAt(std::u16string program) : m_program(std::move(program)) {}
    std::u16string ModuleFilePath() override { return m_program; }

private:
    std::u16string m_program;
};

} // namespace

TEST(ConfigOnWindows, AConfigurationBesideAProgramDeeperThanTheClassicLimitIsReadAndReplaced) {
    std::wstring deep;
    for (int i = 0; i < 8; ++i)
        deep += L"\\" + std::wstring(40, static_cast<wchar_t>(L'a' + i));
    CProbeFolder probe(deep);
    ASSERT_TRUE(probe.Ready());
    const std::string original =
        "<?xml version=\"1.0\"?>\r\n<Quillon><Settings><Delay>77</Delay></Settings></Quillon>";
    ASSERT_TRUE(WriteFileBytes(L"\\\\?\\" + probe.Config(), original));

    CProgramAt platform(FromWide(probe.Program()));
    const ConfigLocation location = ResolveConfigLocation(platform);
    EXPECT_EQ(location.moduleFolder, FromWide(probe.Folder()));
    EXPECT_EQ(location.configFilePath, FromWide(L"\\\\?\\" + probe.Config()));

    SettingsFields settings;
    CConfigXml xml;
    ASSERT_TRUE(LoadConfigFile(xml, location.configFilePath, settings, platform));
    EXPECT_EQ(settings.Delay, 77);
    settings.Delay = 78;
    ASSERT_TRUE(SaveConfigFile(xml, location.configFilePath, settings, platform).Saved());
    const std::string saved = FileBytesOf(L"\\\\?\\" + probe.Config());
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\"?>\r\n<Quillon>\r\n<Settings>\r\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("<Delay>78</Delay>"), std::string::npos) << saved;
    EXPECT_FALSE(Exists(L"\\\\?\\" + probe.Config() + L".new"));
}

namespace {

const char kDelayNine[] = "<Quillon><Settings><Delay>9</Delay></Settings></Quillon>";

// A configuration file holding Delay 9 in a private folder, with the document and settings a
// load fills; the cases change Delay to 10 and save.
struct CDelayNineFile {
    CProbeFolder probe;
    const std::wstring config = probe.Config();
    CConfigXml xml;
    SettingsFields settings;

    bool Ready() { return probe.Ready() && WriteFileBytes(config, kDelayNine); }
    bool Load() { return LoadConfigFile(xml, FromWide(config), settings, DefaultConfigPlatform()); }
    ConfigSaveResult Save(IConfigPlatform& platform = DefaultConfigPlatform()) {
        return SaveConfigFile(xml, FromWide(config), settings, platform);
    }
};

// The save of Delay 10 reached the file at `path`, and no half-written copy is left beside it.
void ExpectDelayTenSaved(const std::wstring& path) {
    EXPECT_NE(FileBytesOf(path).find("<Delay>10</Delay>"), std::string::npos);
    EXPECT_FALSE(Exists(path + L".new"));
}

} // namespace

TEST(ConfigOnWindows, ASaveKeepsTheAttributesOfTheFileItReplaces) {
    CDelayNineFile file;
    ASSERT_TRUE(file.Ready());
    const std::wstring& config = file.config;
    ASSERT_TRUE(::SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    if (!(::GetFileAttributesW(config.c_str()) & FILE_ATTRIBUTE_HIDDEN))
        GTEST_SKIP() << "this file system keeps no hidden attribute";
    ASSERT_TRUE(file.Load());
    file.settings.Delay = 10;
    ASSERT_TRUE(file.Save().Saved());
    ExpectDelayTenSaved(config);
    EXPECT_TRUE(::GetFileAttributesW(config.c_str()) & FILE_ATTRIBUTE_HIDDEN)
        << "the hidden file became visible";
}

TEST(ConfigOnWindows, ASaveThroughASymbolicLinkReplacesTheFileItLeadsTo) {
    CProbeFolder probe;
    ASSERT_TRUE(probe.Ready());
    const std::wstring synced = probe.Folder() + L"\\synced";
    ASSERT_TRUE(::CreateDirectoryW(synced.c_str(), nullptr));
    const std::wstring real = synced + L"\\QLNConfig.xml";
    ASSERT_TRUE(WriteFileBytes(real, kDelayNine));
    const std::wstring link = probe.Config();
    constexpr DWORD kAllowUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (!::CreateSymbolicLinkW(link.c_str(), real.c_str(), kAllowUnprivileged) &&
        !::CreateSymbolicLinkW(link.c_str(), real.c_str(), 0))
        GTEST_SKIP() << "no symbolic links here (error " << ::GetLastError() << ")";
    // Wine answers success without making a link.
    if (!(::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) || !Exists(link))
        GTEST_SKIP() << "symbolic links are not really made on this system";
    CConfigXml xml;
    SettingsFields settings;
    ASSERT_TRUE(LoadConfigFile(xml, FromWide(link), settings, DefaultConfigPlatform()))
        << ToUtf8(xml.GetResult());
    EXPECT_EQ(settings.Delay, 9);
    settings.Delay = 10;
    ASSERT_TRUE(SaveConfigFile(xml, FromWide(link), settings, DefaultConfigPlatform()).Saved());
    EXPECT_TRUE(::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)
        << "the link became a plain file";
    ExpectDelayTenSaved(real);
    EXPECT_FALSE(Exists(link + L".new"));
}

namespace {

// Another program (an indexer, a virus scanner) holds the file open without letting it be
// replaced, and lets go the moment the save first waits for it.
class CHeldUntilFirstPause : public test::CForwardingPlatform {
public:
    explicit CHeldUntilFirstPause(const std::wstring& path)
        : m_holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~CHeldUntilFirstPause() override { Release(); }
    bool Holding() const { return m_holder != INVALID_HANDLE_VALUE; }
    void Pause(unsigned) override {
        ++pauses;
        Release();
    }
    int pauses = 0;

private:
    void Release() {
        if (m_holder != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_holder);
        m_holder = INVALID_HANDLE_VALUE;
    }
    HANDLE m_holder;
};

} // namespace

TEST(ConfigOnWindows, AFileHeldOpenByAnotherProgramIsSavedOnceItIsLetGo) {
    CDelayNineFile file;
    ASSERT_TRUE(file.Ready());
    ASSERT_TRUE(file.Load());
    file.settings.Delay = 10;
    CHeldUntilFirstPause held(file.config);
    ASSERT_TRUE(held.Holding());
    const ConfigSaveResult result = file.Save(held);
    EXPECT_TRUE(result.Saved()) << ToUtf8(result.reason);
    if (held.pauses == 0)
        GTEST_SKIP() << "this system replaces a file that another program holds open";
    EXPECT_EQ(held.pauses, 1);
    ExpectDelayTenSaved(file.config);
}

namespace {
bool g_pausing = false;
bool g_answeredInPause = false;
LRESULT CALLBACK NoteAnswer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP)
        g_answeredInPause = g_pausing;
    return ::DefWindowProcW(window, message, wParam, lParam);
}
} // namespace

// The pause between tries runs on the UI thread, where the keyboard hook is called through
// sent messages: they are answered during the pause, not after it.
TEST(ConfigOnWindows, ThePauseBeforeATryAgainAnswersMessagesSentToTheThread) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = NoteAnswer;
    cls.hInstance = ::GetModuleHandleW(nullptr);
    cls.lpszClassName = L"QuillonPauseProbe";
    ::RegisterClassW(&cls);
    HWND window =
        ::CreateWindowW(cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, nullptr);
    ASSERT_TRUE(window);
    HANDLE sending = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD_PTR answer = 0;
    LRESULT answered = 0;
    std::thread sender([&] {
        ::SetEvent(sending);
        answered = ::SendMessageTimeoutW(window, WM_APP, 0, 0, SMTO_NORMAL, 10000, &answer);
    });
    ASSERT_EQ(::WaitForSingleObject(sending, 10000), WAIT_OBJECT_0) << "the sender thread to start";
    g_pausing = true;
    DefaultConfigPlatform().Pause(1000);
    g_pausing = false;
    sender.join();
    EXPECT_TRUE(answered) << "the sent message was answered at all";
    EXPECT_TRUE(g_answeredInPause) << "the sent message was answered during the pause";
    ::CloseHandle(sending);
    ::DestroyWindow(window);
}

TEST(ConfigOnWindows, AFileHeldByAnotherProgramAtStartIsTakenInBeforeASaveWritesOverIt) {
    CDelayNineFile file;
    ASSERT_TRUE(file.Ready());
    {
        HANDLE held = ::CreateFileW(file.config.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(file.Load());
        ::CloseHandle(held);
    }
    SettingsFields& settings = file.settings;
    EXPECT_EQ(settings.Delay, 200) << "read although it was held";
    settings.Insert = 1; // the user's change in Options
    ASSERT_TRUE(file.Save().Saved());
    const std::string saved = FileBytesOf(file.config);
    EXPECT_NE(saved.find("<Delay>9</Delay>"), std::string::npos) << "the file's own Delay was lost:\n"
                                                                 << saved;
    EXPECT_NE(saved.find("<Insert>True</Insert>"), std::string::npos) << saved;
    EXPECT_EQ(settings.Delay, 9);
}
