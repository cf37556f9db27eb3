// quillon-options-shots.exe: shows the Options dialog, its Rules dialog (and, with "list", the
// choice list) of the real Quillon.exe for the screenshot script.
//   quillon-options-shots SHOTS SUFFIX [list]   asks for SHOTS\options-SUFFIX.png,
//   SHOTS\rules-SUFFIX.png (and SHOTS\choice-list-SUFFIX.png) by creating SHOTS\<name>.request
//   with the window's screen rectangle "x y width height" in it, and waits until the request
//   is gone.
#include <cstdio>
#include <string>

#include "e2e/support/e2e.h"
#include "res/resource.h"

using namespace quillon::e2e;

namespace {

bool Shot(const std::wstring& folder, const std::wstring& name, HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    const std::string rect = std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                             std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
    const std::wstring request = folder + L"\\" + name + L".request";
    WriteFileBytes(request, rect);
    return WaitFor([&] { return !FileExists(request); }, 20000, "the screenshot " + Utf8Of(name));
}

bool Fail(const ::testing::AssertionResult& result) {
    std::printf("FAILED: %s\n", result.message());
    return false;
}

// Rows that show both columns' kinds of text and the shell's icons in the choice list.
const std::vector<ConfigRow> kRows = {
    {L"txt", L"", L"", true},
    {L"md", L"C:\\Program Files\\Editor\\editor.exe", L"-n \"%1\"", true},
    {L"html", L"", L"", true},
    {L"xml", L"C:\\Tools\\xmledit.exe", L"\"%1\"", false},
};

int Run(const std::wstring& shots, const std::wstring& suffix, bool list) {
    // The default hotkey, as a new user sees it.
    const unsigned hotKey = (VK_F11 << 8) | MOD_CONTROL | MOD_SHIFT;
    std::string config = MakeConfigXml(hotKey, kRows, L"\\Temp");
    config.insert(
        config.rfind("</Quillon>"),
        "<Rules>\r\n"
        "<Rule Program=\"thunderbird.exe\" Title=\"\" Extension=\"html\" List=\"True\" "
        "Formatting=\"Quiet\"/>\r\n"
        "<Rule Program=\"\" Title=\"GitHub\" Extension=\"md\" List=\"False\" Formatting=\"Tell\"/>\r\n"
        "</Rules>\r\n");
    CQuillon quillon(config);
    const RECT work = PrimaryWorkArea();
    ::SetCursorPos((work.left + work.right) / 2, (work.top + work.bottom) / 2);
    if (!quillon.Start() || !quillon.ServerWindow())
        return std::printf("FAILED: Quillon did not start\n"), 1;
    const DWORD pid = quillon.Process().Id();

    ::PostMessageW(quillon.ServerWindow(), WM_COMMAND, ID_TRAY_OPTIONS, 0);
    HWND options = nullptr;
    auto shown = WaitFor(
        [&] { return (options = FindTopWindow(pid, L"#32770", L"Options")) && ::IsWindowVisible(options); },
        10000, "the Options dialog");
    if (!shown)
        return Fail(shown), 1;
    ::RedrawWindow(options, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (!Shot(shots, L"options-" + suffix, options))
        return 1;
    ::PostMessageW(options, WM_COMMAND, MAKEWPARAM(IDC_OPT_RULES, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(options, IDC_OPT_RULES)));
    HWND rules = nullptr;
    auto rulesShown =
        WaitFor([&] { return (rules = FindTopWindow(pid, L"#32770", L"Rules")) && ::IsWindowVisible(rules); },
                10000, "the Rules dialog");
    if (!rulesShown)
        return Fail(rulesShown), 1;
    ::RedrawWindow(rules, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (!Shot(shots, L"rules-" + suffix, rules))
        return 1;
    ::PostMessageW(rules, WM_COMMAND, IDCANCEL, 0);
    WaitFor([&] { return !::IsWindow(rules); }, 10000, "the Rules dialog to close");
    ::PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
    WaitFor([&] { return !::IsWindow(options); }, 10000, "the Options dialog to close");

    if (list) {
        PressWithModifiers({VK_CONTROL, VK_SHIFT}, VK_F11);
        HWND choices = nullptr;
        auto up = WaitFor(
            [&] {
                return (choices = FindTopWindow(pid, L"SysListView32", L"Quillon")) &&
                       ::IsWindowVisible(choices);
            },
            5000, "the choice list");
        if (!up)
            return ReleaseKeys({VK_MENU, VK_CONTROL}), Fail(up), 1;
        PressWithModifiers({}, VK_F11); // the second row selected
        ::RedrawWindow(choices, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Shot(shots, L"choice-list-" + suffix, choices);
        // Round to "Cancel" before letting go, so no edit starts.
        for (size_t k = 2; k < kRows.size() + 2; ++k)
            PressWithModifiers({}, VK_F11);
        ReleaseKeys({VK_SHIFT, VK_CONTROL});
    }
    return quillon.Exit() ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quillon-options-shots SHOTS SUFFIX [list]\n");
        return 2;
    }
    return Run(argv[1], argv[2], argc > 3 && std::wstring(argv[3]) == L"list");
}
