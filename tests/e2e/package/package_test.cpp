// The packages as a Windows user meets them: the installer installs silently where it is
// told, the installed Quillon starts and exits through its Exit command, an update or the
// uninstaller stops a running Quillon first, the uninstaller removes what was installed
// (settings only when asked), and the program from the portable zip runs with its settings
// beside it.
// run_package_test.sh names the packages in QUILLON_PACKAGE_SETUP, QUILLON_PACKAGE_ZIPDIR
// (the zip, unpacked) and QUILLON_PACKAGE_VERSION.
#include <shlobj.h>

#include "e2e/support/e2e.h"

using namespace quillon::e2e;

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const DWORD kDeadlineMs = 30000;

std::wstring Env(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return n < MAX_PATH * 2 ? std::wstring(value, n) : std::wstring();
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
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

bool RunValueExists() {
    std::wstring ignored;
    return ReadString(HKEY_CURRENT_USER, kRunKey, L"Quillon", ignored);
}

void SetRunValue(const std::wstring& data) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Quillon", REG_SZ, data.c_str(),
                      static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
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
::testing::AssertionResult RunToEnd(const std::wstring& exe, const std::wstring& args) {
    CProcess process;
    if (!process.Start(exe, args))
        return ::testing::AssertionFailure() << Narrow(exe) << " did not start";
    DWORD code = 1;
    if (!process.WaitExit(60000, &code))
        return ::testing::AssertionFailure()
               << Narrow(exe) << " " << Narrow(args) << " did not end within 60 s";
    if (code != 0)
        return ::testing::AssertionFailure() << Narrow(exe) << " " << Narrow(args) << " ended with " << code;
    return ::testing::AssertionSuccess();
}

// A Quillon.exe started as the user starts it (from its own folder, no settings prepared).
class CRunningQuillon {
public:
    explicit CRunningQuillon(const std::wstring& exe) {
        m_started = m_process.Start(exe, L"", exe.substr(0, exe.find_last_of(L'\\')));
    }
    ::testing::AssertionResult WaitServer() {
        if (!m_started)
            return ::testing::AssertionFailure() << "Quillon.exe did not start";
        return WaitFor([&] { return (m_server = FindTopWindow(m_process.Id(), L"#32770", L"")) != nullptr; },
                       kDeadlineMs, "the server window of the started Quillon.exe");
    }
    // The tray menu's Exit command.
    ::testing::AssertionResult Exit() {
        ::PostMessageW(m_server, WM_COMMAND, 32773, 0);
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
    bool m_started = false;
    HWND m_server = nullptr;
};

// The installed program keeps its settings in the user's folder, and the installer writes the
// user's Run value and the machine's uninstall entry: each test starts without them (an
// earlier run's leftovers included) and puts back what the session held before.
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
        m_hadRunValue = ReadString(HKEY_CURRENT_USER, kRunKey, L"Quillon", m_runValue);
        ::DeleteFileW(UserSettings().c_str());
        ::RemoveDirectoryW(m_userFolder.c_str());
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Quillon");
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
    void TearDown() override {
        ::DeleteFileW(UserSettings().c_str());
        ::RemoveDirectoryW(m_userFolder.c_str());
        if (m_hadUserSettings) {
            ::CreateDirectoryW(m_userFolder.c_str(), nullptr);
            WriteFileBytes(UserSettings(), m_userSettings);
        }
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Quillon");
        if (m_hadRunValue)
            SetRunValue(m_runValue);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    std::wstring UserSettings() const { return m_userFolder + L"\\QLNConfig.xml"; }
    static std::wstring Shortcut() { return ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Quillon.lnk"; }
    // A Program Files of the test's own, with a space in it as the real one has.
    std::wstring InstallDir() const { return m_where.Path() + L"\\Program Files\\Quillon"; }
    ::testing::AssertionResult WaitUninstalled() {
        return WaitFor(
            [&] { return !FileExists(InstallDir()) && !KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); },
            kDeadlineMs, "the uninstaller to remove the installation folder and the uninstall entry");
    }

    std::wstring m_setup, m_zipDir, m_version;
    CTempFolder m_where;

private:
    std::wstring m_userFolder, m_runValue;
    std::string m_userSettings;
    bool m_hadUserSettings = false, m_hadRunValue = false;
};

} // namespace

TEST_F(Package, InstallsSilentlyRunsAndUninstallsEverythingButTheSettings) {
    ASSERT_TRUE(RunToEnd(m_setup, L"/S /D=" + InstallDir()));
    const std::wstring exe = InstallDir() + L"\\Quillon.exe";
    for (const wchar_t* name : {L"Quillon.exe", L"README.html", L"LICENSE.txt", L"Uninstall.exe"})
        EXPECT_TRUE(FileExists(InstallDir() + L"\\" + name)) << Narrow(name) << " installed";
    EXPECT_TRUE(FileExists(Shortcut())) << "Start menu shortcut";
    std::wstring value;
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName", value) && value == L"Quillon");
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion", value) && value == m_version)
        << Narrow(value);
    EXPECT_EQ(ProductVersion(exe), m_version) << "the program's own version resource";
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher", value) && !value.empty());
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayIcon", value) && value.find(exe) == 0);
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", value) &&
                value == L"\"" + InstallDir() + L"\\Uninstall.exe\"")
        << Narrow(value);
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kRunKey, L"Quillon", value) && value == L"\"" + exe + L"\"")
        << "starts with Windows as the Options box has it: " << Narrow(value);

    {
        CRunningQuillon quillon(exe);
        ASSERT_TRUE(quillon.WaitServer());
        ASSERT_TRUE(quillon.Exit());
    }
    EXPECT_TRUE(FileExists(UserSettings())) << "an installed Quillon saves its settings in the user's folder";

    // Uninstalling while Quillon runs stops it through its Exit command first.
    CRunningQuillon running(exe);
    ASSERT_TRUE(running.WaitServer());
    ASSERT_TRUE(RunToEnd(InstallDir() + L"\\Uninstall.exe", L"/S"));
    EXPECT_TRUE(running.WaitExitedNormally());
    ASSERT_TRUE(WaitUninstalled());
    EXPECT_FALSE(FileExists(Shortcut()));
    EXPECT_FALSE(RunValueExists());
    EXPECT_TRUE(FileExists(UserSettings())) << "the user's settings stay unless asked for";
}

TEST_F(Package, UpdatesOverARunningQuillonAndUninstallsSettingsWhenAsked) {
    ASSERT_TRUE(RunToEnd(m_setup, L"/S /NOAUTOSTART /D=" + InstallDir()));
    EXPECT_FALSE(RunValueExists()) << "/NOAUTOSTART";
    // Installing again (an update) stops the running Quillon before replacing it, and keeps
    // the user's choice not to start with Windows.
    {
        CRunningQuillon running(InstallDir() + L"\\Quillon.exe");
        ASSERT_TRUE(running.WaitServer());
        ASSERT_TRUE(RunToEnd(m_setup, L"/S /D=" + InstallDir()));
        EXPECT_TRUE(running.WaitExitedNormally());
    }
    EXPECT_FALSE(RunValueExists()) << "an update keeps \"start with Windows\" off";
    // Settings in both places: the user's folder (Quillon saved them there at its Exit), and
    // beside the program (made portable).
    ASSERT_TRUE(FileExists(UserSettings()));
    ASSERT_TRUE(WriteFileBytes(InstallDir() + L"\\QLNConfig.xml", "<Quillon/>"));
    // "Start with Windows" set by the portable copy, which stays.
    const std::wstring other = L"\"" + m_zipDir + L"\\Quillon.exe\"";
    SetRunValue(other);

    ASSERT_TRUE(RunToEnd(InstallDir() + L"\\Uninstall.exe", L"/S /REMOVESETTINGS"));
    ASSERT_TRUE(WaitUninstalled()) << "the folder goes with the settings file beside the program";
    EXPECT_FALSE(FileExists(UserSettings()));
    std::wstring value;
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kRunKey, L"Quillon", value) && value == other) << Narrow(value);
}

TEST_F(Package, TheZipsProgramRunsWithItsSettingsBesideIt) {
    for (const wchar_t* name : {L"README.html", L"LICENSE.txt"})
        EXPECT_TRUE(FileExists(m_zipDir + L"\\" + name)) << Narrow(name) << " in the zip";
    std::string shipped, saved;
    ASSERT_TRUE(ReadFileBytes(m_zipDir + L"\\QLNConfig.xml", shipped)) << "the zip carries its settings file";
    CRunningQuillon quillon(m_zipDir + L"\\Quillon.exe");
    ASSERT_TRUE(quillon.WaitServer());
    ASSERT_TRUE(quillon.Exit());
    ASSERT_TRUE(ReadFileBytes(m_zipDir + L"\\QLNConfig.xml", saved));
    EXPECT_EQ(saved, shipped) << "the shipped file holds the defaults exactly as Quillon writes them";
    EXPECT_FALSE(FileExists(UserSettings())) << "a portable Quillon leaves the user's folder alone";
}
