// The settings file while Quillon runs: what the user changes in it by hand survives Exit, and
// a save that fails is told with the path and the reason at OK and at Exit.
#include "e2e/hotkey/trace_support.h"
#include "res/resource.h"

using namespace quillon::e2e;

namespace {

// The box that tells of a failed save: a "Quillon" message of the process, with its text.
HWND SaveFailureBox(DWORD pid, std::wstring& text) {
    HWND box = FindTopWindow(pid, L"#32770", L"Quillon");
    if (!box || !::IsWindowVisible(box))
        return nullptr;
    text.clear();
    for (HWND child = nullptr; (child = ::FindWindowExW(box, child, L"Static", nullptr)) != nullptr;) {
        wchar_t part[512] = {};
        ::GetWindowTextW(child, part, 512);
        text += part;
    }
    return text.find(L"could not save") != std::wstring::npos ? box : nullptr;
}

} // namespace

TEST(SettingsFile, AHandEditOfDelayWhileQuillonRunsSurvivesExit) {
    const std::string original = MakeConfigXml(('Q' << 8) | 0x03, {{L"txt", L"", L"", true}});
    CQuillon quillon(original);
    ASSERT_TRUE(quillon.Start());
    ASSERT_NE(quillon.ServerWindow(), nullptr);
    ASSERT_EQ(::WaitForInputIdle(quillon.Process().Handle(), 30000), 0u);

    // The user opens the file in an editor, changes Delay and saves, with Quillon running.
    std::string edited = original;
    const size_t at = edited.find("<Delay>200</Delay>");
    ASSERT_NE(at, std::string::npos) << original;
    edited.replace(at, 18, "<Delay>450</Delay>\r\n<!-- slower for my old machine -->");
    ASSERT_TRUE(WriteFileBytes(quillon.ConfigPath(), edited));

    ASSERT_TRUE(quillon.Exit()) << "Quillon.exe did not end after Exit";
    std::string after;
    ASSERT_TRUE(ReadFileBytes(quillon.ConfigPath(), after));
    EXPECT_EQ(after, edited) << "the hand edit was overwritten at Exit";
    EXPECT_FALSE(FileExists(quillon.ConfigPath() + L".new"));
    EXPECT_FALSE(FileExists(quillon.ConfigPath() + L".bak"));
}

TEST(SettingsFile, ASaveThatFailsIsToldAtOkAndAgainAtExit) {
    constexpr UINT kOptionsCommand = ID_TRAY_OPTIONS;
    CTracedQuillon quillon(kCtrlAltQ, {L"txt"});
    ASSERT_TRUE(quillon.Start());
    const std::wstring config = quillon.Program().ConfigPath();
    std::string original;
    ASSERT_TRUE(ReadFileBytes(config, original));
    ASSERT_TRUE(::SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_READONLY));

    ::PostMessageW(quillon.Program().ServerWindow(), WM_COMMAND, kOptionsCommand, 0);
    HWND options = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            return (options = FindTopWindow(quillon.Pid(), L"#32770", L"Options")) &&
                   ::IsWindowVisible(options);
        },
        10000, "the Options dialog"));
    ::SendMessageW(::GetDlgItem(options, IDC_OPT_DELETE_TEMP), BM_CLICK, 0, 0);
    ::PostMessageW(::GetDlgItem(options, IDOK), BM_CLICK, 0, 0);
    std::wstring told;
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = SaveFailureBox(quillon.Pid(), told)) != nullptr; }, 10000,
                        "the message about the failed save"));
    EXPECT_NE(told.find(config + L": "), std::wstring::npos) << Utf8Of(told);
    ::PostMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitGone(box, "the message to close"));
    EXPECT_TRUE(::IsWindowVisible(options)) << "Options closed although nothing was saved";
    ::PostMessageW(::GetDlgItem(options, IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitGone(options, "Options to close"));

    // The change is still only in memory: Exit tries again and tells of the failure before it ends.
    ASSERT_TRUE(quillon.Program().Exit());
    EXPECT_EQ(quillon.CountLinesStartingWith("Notice Quillon could not save its settings to " +
                                             Utf8Of(config) + ": "),
              1u);
    std::string after;
    ASSERT_TRUE(ReadFileBytes(config, after));
    EXPECT_EQ(after, original) << "the read-only file was changed";
    ::SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_NORMAL);
}
