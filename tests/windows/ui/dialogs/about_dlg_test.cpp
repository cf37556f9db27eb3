// The About dialog for real: the version line of three files, the program's own version
// resource, and the link's colours read from the dialog's pixels as the mouse comes and
// goes and clicks open (or fail to open) through a recording shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "windows/ui/widgets/link_test_support.h"
#include "ui/dialogs/about_dlg.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::link_test;
using quillon::test::Utf8Of;

namespace {

std::wstring BinFile(const wchar_t* name) {
    return quillon::test::ThisProgramFolder() + L"\\" + name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

// A string of the program's version resource (US English, Unicode).
std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!::VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value)
        return L"(missing)";
    return static_cast<const wchar_t*>(value);
}

using CCheckedAbout = CChecked<CDlgAbout>;

} // namespace

TEST(AboutDialog, ShowsTheProductVersionOfTheProgramItDescribes) {
    struct Case {
        std::wstring program;
        const wchar_t* line;
    } cases[] = {{BinFile(L"Quillon.exe"), L"Version 2.01"},
                 {BinFile(L"quillon-version-probe.dll"), L"Version 3.10"},
                 {quillon::test::ThisProgramPath(), L"Version Unknown"},
                 {BinFile(L"no-such-program.exe"), L"Version Unknown"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8Of(c.program));
        int checks = 0;
        CCheckedAbout dialog(
            [&](CCheckedAbout& d) {
                ++checks;
                EXPECT_EQ(TextOf(d.m_hWnd), L"About Quillon");
                EXPECT_EQ(TextOf(d.GetDlgItem(IDC_ABOUT_VERSION)), c.line);
                // The link shows its caption and tells where it leads: the page beside the program.
                HWND link = d.GetDlgItem(IDC_ABOUT_LINK);
                EXPECT_EQ(TextOf(link), L"Visit website");
                const std::wstring page =
                    c.program.substr(0, c.program.find_last_of(L'\\') + 1) + L"README.html";
                EXPECT_EQ(d.Link().GetLinkAddress(), page);
                EXPECT_EQ(d.Link().ToolTip().GetText(link, 1), page);
                // The icon is drawn at its real 48 x 48 size.
                HWND icon = ::GetWindow(d.m_hWnd, GW_CHILD);
                RECT iconArea{};
                ::GetClientRect(icon, &iconArea);
                EXPECT_EQ(iconArea.right, 48);
                EXPECT_EQ(iconArea.bottom, 48);
                EXPECT_EQ(::GetFocus(), d.GetDlgItem(IDOK)) << "the default button has the focus";
            },
            c.program);
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(checks, 1);
    }
}

TEST(AboutDialog, TheProgramCarriesItsVersionsForTheFileProperties) {
    const std::wstring program = BinFile(L"Quillon.exe");
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), handle, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(1, 2));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(1, 0));
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"2.1.0.0");
    EXPECT_EQ(VersionString(info, L"FileVersion"), L"2.1.0.1");
    EXPECT_EQ(VersionString(info, L"ProductName"), L"Quillon");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"Quillon.exe");
    for (const wchar_t* name : {L"FileDescription", L"CompanyName", L"LegalCopyright"}) {
        const std::wstring value = VersionString(info, name);
        EXPECT_TRUE(value != L"(missing)" && !value.empty()) << Utf8Of(name);
    }
}

TEST(AboutDialog, TheLinkTurnsRedUnderTheMousePurpleOnceOpenedAndBeepsWhenItCannotOpen) {
    // Colours are read as exact pixels: smoothed text would blend them with the background.
    BOOL smoothing = FALSE;
    ::SystemParametersInfoW(SPI_GETFONTSMOOTHING, 0, &smoothing, 0);
    ::SystemParametersInfoW(SPI_SETFONTSMOOTHING, FALSE, nullptr, 0);
    struct Restore {
        BOOL smoothing;
        ~Restore() { ::SystemParametersInfoW(SPI_SETFONTSMOOTHING, smoothing, nullptr, 0); }
    } restore{smoothing};
    CRecordingShell shell;
    bool checked = false;
    CCheckedAbout dialog(
        [&](CCheckedAbout& d) {
            checked = true;
            CLinkLabel& link = d.Link();
            link.SetShell(&shell);
            HWND control = link.GetSafeHwnd();
            const RECT area = RectInParent(control);
            auto colours = [&](const char* state, COLORREF shown, std::initializer_list<COLORREF> absent) {
                PaintPending(d.m_hWnd);
                EXPECT_GT(CountColour(d.m_hWnd, area, shown), 3) << state;
                for (COLORREF other : absent)
                    EXPECT_EQ(CountColour(d.m_hWnd, area, other), 0) << state;
            };
            const LPARAM inside = MAKELPARAM(3, 3);
            const LPARAM outside = MAKELPARAM(static_cast<WORD>(-5), 3);
            colours("at first", CLinkLabel::kLinkColour,
                    {CLinkLabel::kHoverColour, CLinkLabel::kVisitedColour});
            HFONT plain = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));

            // The hand, whatever the dialog's own cursor.
            EXPECT_TRUE(::SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
            EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));

            ::SendMessageW(control, WM_MOUSEMOVE, 0, inside);
            EXPECT_TRUE(link.IsHovering());
            EXPECT_EQ(::GetCapture(), control) << "captured, to hear the mouse leave";
            EXPECT_NE(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), plain)
                << "underlined";
            colours("hovering", CLinkLabel::kHoverColour, {CLinkLabel::kLinkColour});

            ::SendMessageW(control, WM_MOUSEMOVE, 0, outside);
            EXPECT_FALSE(link.IsHovering());
            EXPECT_EQ(::GetCapture(), nullptr);
            colours("left again", CLinkLabel::kLinkColour, {CLinkLabel::kHoverColour});

            // A click the shell can open: purple from then on, and no beep.
            ::SendMessageW(control, WM_MOUSEMOVE, 0, inside);
            ::SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, inside);
            ::SendMessageW(control, WM_LBUTTONUP, 0, inside);
            ASSERT_EQ(shell.opened.size(), 1u) << "one click, one open";
            EXPECT_EQ(shell.opened[0], link.GetLinkAddress());
            EXPECT_TRUE(link.IsVisited());
            EXPECT_EQ(shell.beeps, 0);
            ::SendMessageW(control, WM_MOUSEMOVE, 0, outside);
            colours("visited", CLinkLabel::kVisitedColour,
                    {CLinkLabel::kLinkColour, CLinkLabel::kHoverColour});
            EXPECT_EQ(::GetCapture(), nullptr);

            // A click nothing can open (the shell fails and no HTML handler is known).
            shell.shellAnswer = SE_ERR_FNF;
            ::SendMessageW(control, WM_MOUSEMOVE, 0, inside);
            ::SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, inside);
            ::SendMessageW(control, WM_LBUTTONUP, 0, inside);
            EXPECT_EQ(shell.beeps, 1);
            EXPECT_FALSE(link.IsVisited());
            EXPECT_TRUE(shell.run.empty());
            ::SendMessageW(control, WM_MOUSEMOVE, 0, outside);
            colours("after a failed open", CLinkLabel::kLinkColour, {CLinkLabel::kVisitedColour});
            EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)) == plain, false)
                << "the plain copy, not the dialog's own";
        },
        BinFile(L"Quillon.exe"));
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(checked);
}
