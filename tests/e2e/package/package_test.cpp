// The packages as a Windows user meets them: the installer installs silently for the user
// (the user's programs folder, Start menu and uninstall entry), the installed Quillon starts
// and exits through its Exit command, an update or the uninstaller stops a running Quillon
// first, an update that cannot replace the program changes nothing and says so, the quiet
// uninstall command returns when everything is gone (settings only when asked), and the
// program from the portable zip runs with its settings beside it.
// run_package_test.sh names the packages in QUILLON_PACKAGE_SETUP, QUILLON_PACKAGE_ZIPDIR
// (the zip, unpacked) and QUILLON_PACKAGE_VERSION.
#include <shlobj.h>
#include <tlhelp32.h>

#include <optional>

#include "base/win/handles.h"
#include "res/resource.h"
#include "e2e/support/e2e.h"
#include "windows/support/run_key.h"

using namespace quillon::e2e;
using namespace quillon::test;
using quillon::CHandle;

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon";
const DWORD kDeadlineMs = 30000;

std::wstring Env(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return n < MAX_PATH * 2 ? std::wstring(value, n) : std::wstring();
}

// A REG_SZ value; false when the value (or its key) is not there.
bool ReadString(HKEY root, const wchar_t* key, const wchar_t* name, std::wstring& value) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t), type = 0;
    if (::RegGetValueW(root, key, name, RRF_RT_REG_SZ, &type, data, &size) != ERROR_SUCCESS)
        return false;
    value = data;
    return true;
}

bool KeyExists(HKEY root, const wchar_t* key) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(h);
    return true;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

// major.minor.patch of the program file's product version, from its version resource.
std::wstring ProductVersion(const std::wstring& exe) {
    DWORD ignored = 0;
    std::vector<BYTE> block(::GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (block.empty() ||
        !::GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &size))
        return L"";
    return std::to_wstring(HIWORD(info->dwProductVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwProductVersionMS)) + L"." +
           std::to_wstring(HIWORD(info->dwProductVersionLS));
}

// Starts a program with its arguments written verbatim (NSIS wants /D= last and unquoted)
// and waits for it to end.
::testing::AssertionResult RunToEnd(const std::wstring& exe, const std::wstring& args,
                                    DWORD expectedCode = 0) {
    CProcess process;
    if (auto started = process.Start(exe, args); !started)
        return started;
    DWORD code = 1;
    if (!process.WaitExit(60000, &code))
        return ::testing::AssertionFailure()
               << Utf8Of(exe) << " " << Utf8Of(args) << " did not end within 60 s";
    if (code != expectedCode)
        return ::testing::AssertionFailure()
               << Utf8Of(exe) << " " << Utf8Of(args) << " ended with " << code << ", not " << expectedCode;
    return ::testing::AssertionSuccess();
}

// Runs the uninstall entry's quiet command as a tool that removes programs does: it must end
// only when the uninstall has, so that what follows it finds everything gone.
::testing::AssertionResult RunQuietUninstall(const std::wstring& extraArgs = L"") {
    std::wstring command;
    if (!ReadString(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString", command))
        return ::testing::AssertionFailure() << "no QuietUninstallString in the user's uninstall entry";
    const size_t close =
        command.size() > 1 && command[0] == L'"' ? command.find(L'"', 1) : std::wstring::npos;
    if (close == std::wstring::npos)
        return ::testing::AssertionFailure()
               << "QuietUninstallString has no quoted program: " << Utf8Of(command);
    std::wstring args = command.substr(close + 1);
    args.erase(0, args.find_first_not_of(L' '));
    // NSIS wants its _?= last.
    if (!extraArgs.empty())
        args = extraArgs + L" " + args;
    return RunToEnd(command.substr(1, close - 1), args);
}

// Waits for every process whose program file name starts with prefix to end: nothing the
// uninstaller started may still run when the next test begins.
::testing::AssertionResult WaitProcessesGone(const std::wstring& prefix) {
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return ::testing::AssertionFailure()
               << "CreateToolhelp32Snapshot failed with error " << ::GetLastError();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (std::wstring(entry.szExeFile).rfind(prefix, 0) != 0)
            continue;
        CHandle process(::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process && ::WaitForSingleObject(process.Get(), kDeadlineMs) != WAIT_OBJECT_0)
            return ::testing::AssertionFailure()
                   << Utf8Of(entry.szExeFile) << " still runs after " << kDeadlineMs << " ms";
    }
    return ::testing::AssertionSuccess();
}

// A Quillon.exe started as the user starts it (from its own folder, no settings prepared).
class CRunningQuillon {
public:
    explicit CRunningQuillon(const std::wstring& exe)
        : m_started(m_process.Start(exe, L"", exe.substr(0, exe.find_last_of(L'\\')))) {}
    ::testing::AssertionResult WaitServer() {
        if (!m_started)
            return m_started;
        return WaitFor([&] { return (m_server = FindTopWindow(m_process.Id(), L"#32770", L"")) != nullptr; },
                       kDeadlineMs, "the server window of the started Quillon.exe");
    }
    // The tray menu's Exit command.
    ::testing::AssertionResult Exit() {
        ::PostMessageW(m_server, WM_COMMAND, ID_TRAY_EXIT, 0);
        return WaitExitedNormally();
    }
    // Ended on its own with exit code 0: through Exit, not killed.
    ::testing::AssertionResult WaitExitedNormally() {
        DWORD code = 1;
        if (!m_process.WaitExit(kDeadlineMs, &code))
            return ::testing::AssertionFailure() << "Quillon still runs after " << kDeadlineMs << " ms";
        if (code != 0)
            return ::testing::AssertionFailure() << "Quillon ended with code " << code << " (killed?)";
        return ::testing::AssertionSuccess();
    }

private:
    CProcess m_process;
    ::testing::AssertionResult m_started;
    HWND m_server = nullptr;
};

// The installed program keeps its settings in the user's folder, and the installer writes the
// user's Run value and uninstall entry: each test starts without them (an earlier run's
// leftovers included) and puts back what the session held before.
class Package : public ::testing::Test {
protected:
    void SetUp() override {
        m_setup = Env(L"QUILLON_PACKAGE_SETUP");
        m_zipDir = Env(L"QUILLON_PACKAGE_ZIPDIR");
        m_version = Env(L"QUILLON_PACKAGE_VERSION");
        ASSERT_TRUE(FileExists(m_setup) && FileExists(m_zipDir) && !m_version.empty())
            << "no packages to test: run this through run_package_test.sh after scripts/package.sh";
        m_userFolder = ShellFolder(CSIDL_APPDATA) + L"\\Quillon";
        m_hadUserSettings = ReadFileBytes(UserSettings(), m_userSettings);
        m_runKeeper.emplace();
        ::DeleteFileW(UserSettings().c_str());
        ::RemoveDirectoryW(m_userFolder.c_str());
        DeleteRunValue();
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
    }
    void TearDown() override {
        ::DeleteFileW(UserSettings().c_str());
        ::RemoveDirectoryW(m_userFolder.c_str());
        if (m_hadUserSettings) {
            ::CreateDirectoryW(m_userFolder.c_str(), nullptr);
            WriteFileBytes(UserSettings(), m_userSettings);
        }
        m_runKeeper.reset();
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
    }

    std::wstring UserSettings() const { return m_userFolder + L"\\QLNConfig.xml"; }
    static std::wstring Shortcut() { return ShellFolder(CSIDL_PROGRAMS) + L"\\Quillon.lnk"; }
    // Where the installer puts Quillon when not told otherwise: the user's own programs folder.
    static std::wstring DefaultInstallDir() {
        return ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Quillon";
    }
    // A folder of the test's own, with a space in it as a user name may have.
    std::wstring InstallDir() const { return m_where.Path() + L"\\My Programs\\Quillon"; }
    // Checked at once, not awaited: the quiet command returns when the uninstall is done.
    // Only the uninstaller's own file (held open while it ran) goes a moment later.
    static ::testing::AssertionResult Uninstalled(const std::wstring& folder) {
        for (const auto& name : ListFiles(folder))
            if (name != L"Uninstall.exe")
                return ::testing::AssertionFailure() << Utf8Of(folder + L"\\" + name) << " is still there";
        if (KeyExists(HKEY_CURRENT_USER, kUninstallKey))
            return ::testing::AssertionFailure() << "the uninstall entry is still there";
        if (auto gone = WaitFor([&] { return !FileExists(folder); }, kDeadlineMs,
                                "the uninstaller's own file and its folder to go once it has ended");
            !gone)
            return gone;
        return WaitProcessesGone(L"Quillon-uninstall-");
    }

    std::wstring m_setup, m_zipDir, m_version;
    CTempFolder m_where;

private:
    std::wstring m_userFolder;
    std::string m_userSettings;
    bool m_hadUserSettings = false;
    std::optional<CRunValueKeeper> m_runKeeper;
};

} // namespace

TEST_F(Package, InstallsForTheUserRunsAndUninstallsEverythingButTheSettings) {
    ASSERT_TRUE(RunToEnd(m_setup, L"/S"));
    const std::wstring dir = DefaultInstallDir();
    const std::wstring exe = dir + L"\\Quillon.exe";
    for (const wchar_t* name : {L"Quillon.exe", L"README.html", L"LICENSE.txt", L"Uninstall.exe"})
        EXPECT_TRUE(FileExists(dir + L"\\" + name))
            << Utf8Of(name) << " installed in the user's programs folder";
    EXPECT_TRUE(FileExists(Shortcut())) << "the user's Start menu shortcut";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "nothing of the machine's";
    std::wstring value;
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayName", value) && value == L"Quillon");
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion", value) && value == m_version)
        << Utf8Of(value);
    EXPECT_EQ(ProductVersion(exe), m_version) << "the program's own version resource";
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kUninstallKey, L"Publisher", value) && !value.empty());
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayIcon", value) && value.find(exe) == 0);
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation", value) && value == dir)
        << Utf8Of(value);
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString", value) &&
                value == L"\"" + dir + L"\\Uninstall.exe\"")
        << Utf8Of(value);
    EXPECT_EQ(ReadRunValue().Text(), L"\"" + exe + L"\"") << "starts with Windows as the Options box has it";

    {
        CRunningQuillon quillon(exe);
        ASSERT_TRUE(quillon.WaitServer());
        ASSERT_TRUE(quillon.Exit());
    }
    EXPECT_TRUE(FileExists(UserSettings())) << "an installed Quillon saves its settings in the user's folder";

    // Uninstalling while Quillon runs stops it through its Exit command first; the quiet
    // command returns when all is done.
    CRunningQuillon running(exe);
    ASSERT_TRUE(running.WaitServer());
    ASSERT_TRUE(RunQuietUninstall());
    EXPECT_TRUE(running.WaitExitedNormally());
    EXPECT_TRUE(Uninstalled(dir));
    EXPECT_FALSE(FileExists(Shortcut()));
    EXPECT_FALSE(ReadRunValue().present);
    EXPECT_TRUE(FileExists(UserSettings())) << "the user's settings stay unless asked for";
}

TEST_F(Package, UpdatesOverARunningQuillonAndUninstallsSettingsWhenAsked) {
    ASSERT_TRUE(RunToEnd(m_setup, L"/S /NOAUTOSTART /D=" + InstallDir()));
    EXPECT_FALSE(ReadRunValue().present) << "/NOAUTOSTART";
    // Installing again (an update) stops the running Quillon before replacing it, and keeps
    // the user's choice not to start with Windows.
    {
        CRunningQuillon running(InstallDir() + L"\\Quillon.exe");
        ASSERT_TRUE(running.WaitServer());
        ASSERT_TRUE(RunToEnd(m_setup, L"/S /D=" + InstallDir()));
        EXPECT_TRUE(running.WaitExitedNormally());
    }
    EXPECT_FALSE(ReadRunValue().present) << "an update keeps \"start with Windows\" off";

    // An update that cannot replace the program (held open elsewhere, as by a Quillon of
    // another session) fails with its own exit code and leaves the older installation whole.
    {
        const std::wstring exe = InstallDir() + L"\\Quillon.exe";
        const wchar_t older[] = L"0.0.1";
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion", REG_SZ, older, sizeof(older));
        ASSERT_TRUE(::DeleteFileW((InstallDir() + L"\\README.html").c_str()));
        HANDLE held =
            ::CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
        EXPECT_TRUE(RunToEnd(m_setup, L"/S /D=" + InstallDir(), 3));
        ::CloseHandle(held);
        std::wstring value;
        EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion", value) && value == older)
            << "the entry keeps the version that is installed: " << Utf8Of(value);
        EXPECT_FALSE(FileExists(InstallDir() + L"\\README.html")) << "nothing else was written";
    }

    // Settings in both places: the user's folder (Quillon saved them there at its Exit), and
    // beside the program (made portable).
    ASSERT_TRUE(FileExists(UserSettings()));
    ASSERT_TRUE(WriteFileBytes(InstallDir() + L"\\QLNConfig.xml", "<Quillon/>"));
    // "Start with Windows" set by the portable copy, which stays.
    const std::wstring other = L"\"" + m_zipDir + L"\\Quillon.exe\"";
    ASSERT_TRUE(WriteRunText(other));

    ASSERT_TRUE(RunQuietUninstall(L"/REMOVESETTINGS"));
    EXPECT_TRUE(Uninstalled(InstallDir())) << "the folder goes with the settings file beside the program";
    EXPECT_FALSE(FileExists(UserSettings()));
    EXPECT_EQ(ReadRunValue().Text(), other);
}

TEST_F(Package, TheZipsProgramRunsWithItsSettingsBesideIt) {
    for (const wchar_t* name : {L"README.html", L"LICENSE.txt"})
        EXPECT_TRUE(FileExists(m_zipDir + L"\\" + name)) << Utf8Of(name) << " in the zip";
    std::string shipped, saved;
    ASSERT_TRUE(ReadFileBytes(m_zipDir + L"\\QLNConfig.xml", shipped)) << "the zip carries its settings file";
    CRunningQuillon quillon(m_zipDir + L"\\Quillon.exe");
    ASSERT_TRUE(quillon.WaitServer());
    ASSERT_TRUE(quillon.Exit());
    ASSERT_TRUE(ReadFileBytes(m_zipDir + L"\\QLNConfig.xml", saved));
    EXPECT_EQ(saved, shipped) << "the shipped file holds the defaults exactly as Quillon writes them";
    EXPECT_FALSE(FileExists(UserSettings())) << "a portable Quillon leaves the user's folder alone";
}
