// The link label: fitting to its text for each alignment, and OpenLink's registry fallback
// (the cut of the handler's command template, the quoted address, the limits of what it reads).
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "framework/dialog.h"
#include "windows/ui/widgets/link_test_support.h"
#include "ui/widgets/link_label.h"

using namespace quillon;
using namespace quillon::link_test;

namespace {

// The arguments a program started with this command line sees.
std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> result(arguments, arguments + (arguments ? count : 0));
    ::LocalFree(arguments);
    return result;
}

// The dialog of four statics in the suite's resources.
constexpr UINT kLinksDialog = 210;

class CLinksDialog : public CDialog {
public:
    CLinksDialog() : CDialog(kLinksDialog) {}
    CLinkLabel links[4];
    RECT before[4] = {};

protected:
    void DoDataExchange() override {
        links[0].SetLinkAddress(L"https://example.org/a page"); // shown: the caption is empty
        for (int i = 0; i < 4; ++i) {
            before[i] = RectInParent(GetDlgItem(201 + i));
            links[i].SubclassDlgItem(201 + i, m_hWnd);
        }
    }
};

SIZE UnderlinedExtent(HWND control, const std::wstring& text) {
    LOGFONTW logFont{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(logFont),
                 &logFont);
    logFont.lfUnderline = TRUE;
    HFONT font = ::CreateFontIndirectW(&logFont);
    HDC dc = ::GetDC(control);
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    ::DeleteObject(font);
    return size;
}

} // namespace

TEST(LinkLabel, FitsItsTextKeepingTheEdgeItsAlignmentNames) {
    bool checked = false;
    CChecked<CLinksDialog> dialog([&](CChecked<CLinksDialog>& d) {
        checked = true;
        struct Case {
            const char* name;
            const wchar_t* text;
        } cases[] = {{"left, empty caption", L"https://example.org/a page"},
                     {"centred, bordered", L"Visit website"},
                     {"right", L"Visit website"},
                     {"left, vertically centred", L"Visit website"}};
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(cases[i].name);
            HWND link = d.links[i].GetSafeHwnd();
            wchar_t caption[128] = {};
            ::GetWindowTextW(link, caption, 128);
            EXPECT_STREQ(caption, cases[i].text);
            EXPECT_EQ(d.links[i].GetLinkAddress(), cases[i].text);
            EXPECT_TRUE(::GetWindowLongW(link, GWL_STYLE) & SS_NOTIFY);

            const RECT was = d.before[i];
            const RECT now = RectInParent(link);
            RECT client{};
            ::GetClientRect(link, &client);
            const SIZE text = UnderlinedExtent(link, cases[i].text);
            const int border = (now.right - now.left) - client.right;
            // Shrinking around a centre splits an odd difference in halves rounded down:
            // one pixel more than the text then.
            const int slackX = i == 1 ? 1 : 0;
            const int slackY = i == 3 ? 1 : 0;
            EXPECT_GE(client.right, text.cx) << "client width is the text's";
            EXPECT_LE(client.right, text.cx + slackX) << "client width is the text's";
            EXPECT_GE(client.bottom, text.cy) << "client height is the text's";
            EXPECT_LE(client.bottom, text.cy + slackY) << "client height is the text's";
            EXPECT_LT(now.right - now.left, was.right - was.left) << "a short text shrinks the control";
            switch (i) {
            case 0:
                EXPECT_EQ(now.left, was.left);
                EXPECT_EQ(now.top, was.top);
                break;
            case 1:
                EXPECT_GT(border, 0);
                EXPECT_LE(std::abs((now.left + now.right) - (was.left + was.right)), 1) << "same centre";
                break;
            case 2:
                EXPECT_EQ(now.right, was.right);
                break;
            case 3:
                EXPECT_EQ(now.left, was.left);
                EXPECT_LE(std::abs((now.top + now.bottom) - (was.top + was.bottom)), 1)
                    << "same vertical centre";
                break;
            }
        }
        // The tooltip names the address over the control's new area.
        EXPECT_EQ(d.links[0].ToolTip().GetText(d.links[0].GetSafeHwnd(), 1), L"https://example.org/a page");
        d.links[2].SetLinkAddress(L"https://example.org/other");
        EXPECT_EQ(d.links[2].ToolTip().GetText(d.links[2].GetSafeHwnd(), 1), L"https://example.org/other");
        EXPECT_EQ(RectInParent(d.links[2].GetSafeHwnd()).right, d.before[2].right)
            << "refitting keeps the edge";
        // A tooltip keeps at most kMaxTextUnits of an absurdly long address, and reads it back whole.
        const std::wstring huge = L"https://example.org/" + std::wstring(3000, L'x');
        d.links[2].SetLinkAddress(huge);
        EXPECT_EQ(d.links[2].ToolTip().GetText(d.links[2].GetSafeHwnd(), 1),
                  huge.substr(0, CToolTipCtrl::kMaxTextUnits));
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(checked);
}

TEST(OpenLink, TheFallbackCutsTheHandlerTemplateAndQuotesTheAddress) {
    const std::wstring address = L"C:\\Program Files\\Quillon\\README.html";
    struct Case {
        const wchar_t* commandTemplate;
        const wchar_t* expected; // null: nothing may run
    } cases[] = {
        // Cut at the quote that opens "%1"; what followed it is dropped.
        {L"\"C:\\Web\\browser.exe\" -nohome \"%1\" -new",
         L"\"C:\\Web\\browser.exe\" -nohome  \"C:\\Program Files\\Quillon\\README.html\""},
        // A quoted "%1" wins over an earlier bare %1.
        {L"C:\\Web\\b.exe -x%1 \"%1\"", L"C:\\Web\\b.exe -x%1  \"C:\\Program Files\\Quillon\\README.html\""},
        // Bare %1: cut at the percent sign.
        {L"C:\\Web\\b.exe %1 -new", L"C:\\Web\\b.exe  \"C:\\Program Files\\Quillon\\README.html\""},
        // No %1: the whole template, then the address.
        {L"C:\\Web\\b.exe", L"C:\\Web\\b.exe \"C:\\Program Files\\Quillon\\README.html\""},
        // Nothing before the address: the address itself would run.
        {L"\"%1\"", nullptr},
        {L"  %1", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.commandTemplate, c.commandTemplate + wcslen(c.commandTemplate)));
        std::wstring command = L"untouched";
        const bool built = BuildLinkCommand(c.commandTemplate, address, &command);
        EXPECT_EQ(built, c.expected != nullptr);
        if (!c.expected) {
            EXPECT_EQ(command, L"untouched");
            continue;
        }
        EXPECT_EQ(command, c.expected);
        EXPECT_EQ(SplitArguments(command).back(), address) << "the address is one argument";
    }

    // Quotes, spaces and backslashes in an address never make extra arguments.
    for (const std::wstring odd : {L"http://x/a\" -evil \"b", L"C:\\dir with space\\", L"a\\\"b\\\\\"c d"}) {
        std::wstring command;
        ASSERT_TRUE(BuildLinkCommand(L"browser.exe", odd, &command));
        const auto arguments = SplitArguments(command);
        ASSERT_EQ(arguments.size(), 2u) << std::string(command.begin(), command.end());
        EXPECT_EQ(arguments[1], odd);
    }

    // The command line holds 520 units with its terminator, and not one more.
    const std::wstring head(kLinkCommandUnits - 1 - 1 - address.size() - 2, L'b'); // space and quotes
    std::wstring command;
    ASSERT_TRUE(BuildLinkCommand(head, address, &command));
    EXPECT_EQ(command.size(), kLinkCommandUnits - 1);
    EXPECT_FALSE(BuildLinkCommand(head + L"b", address, &command));
}

TEST(OpenLink, TheShellFirstThenTheHtmlHandlerAndNothingFromAValueNotRead) {
    CRecordingShell shell;
    EXPECT_EQ(OpenLink(L"", shell), 36);
    EXPECT_TRUE(shell.opened.empty()) << "an empty address asks nothing";

    EXPECT_EQ(OpenLink(L"https://example.org/", shell), 42);
    EXPECT_TRUE(shell.run.empty()) << "the shell opened it";

    // The shell fails; the registry names the HTML handler.
    shell.shellAnswer = SE_ERR_NOASSOC;
    shell.classesRoot[L".htm"] = L"webpage";
    shell.classesRoot[L"webpage\\shell\\open\\command"] = L"\"C:\\Web\\browser.exe\" \"%1\"";
    EXPECT_EQ(OpenLink(L"https://example.org/a b", shell), 33);
    ASSERT_EQ(shell.run.size(), 1u);
    EXPECT_EQ(shell.run[0], "\"C:\\Web\\browser.exe\"  \"https://example.org/a b\"");

    // A line the ANSI code page cannot carry (a lone surrogate, in any code page) would run
    // a different address: nothing is run.
    EXPECT_EQ(OpenLink(L"https://example.org/\xD800", shell), SE_ERR_NOASSOC);
    EXPECT_EQ(shell.run.size(), 1u);

    // No handler key (or one whose value could not be read whole): the shell's own error.
    shell.classesRoot.erase(L"webpage\\shell\\open\\command");
    EXPECT_EQ(OpenLink(L"https://example.org/", shell), SE_ERR_NOASSOC);
    shell.classesRoot.erase(L".htm");
    EXPECT_EQ(OpenLink(L"https://example.org/", shell), SE_ERR_NOASSOC);
    EXPECT_EQ(shell.run.size(), 1u) << "nothing more was run";
}

TEST(OpenLink, RegistryValuesAreReadWholeWithin260BytesOrNotAtAll) {
    // HKEY_CLASSES_ROOT is pointed at a private key of this test for the test's length.
    const wchar_t kRoot[] = L"Software\\QuillonTests\\AboutClassesRoot";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
    HKEY root = nullptr;
    ASSERT_EQ(
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, root), ERROR_SUCCESS);
    auto setDefault = [&](const wchar_t* subKey, const std::wstring& value, DWORD type,
                          bool terminated = true) {
        HKEY key = nullptr;
        ::RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        const DWORD bytes = static_cast<DWORD>((value.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
        ::RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
        ::RegCloseKey(key);
    };
    CLinkShell& real = DefaultLinkShell();
    std::wstring value = L"untouched";
    EXPECT_FALSE(real.ReadClassesRootDefault(L".none", &value));

    // 129 units and the terminator fill the 260 bytes exactly; one unit more is not read.
    const std::wstring fits(129, L'f');
    setDefault(L".htm", fits, REG_SZ);
    EXPECT_TRUE(real.ReadClassesRootDefault(L".htm", &value));
    EXPECT_EQ(value, fits);
    value = L"untouched";
    setDefault(L".htm", fits + L"g", REG_SZ);
    EXPECT_FALSE(real.ReadClassesRootDefault(L".htm", &value));
    EXPECT_EQ(value, L"untouched");
    // 130 units stored without a terminator fill all 260 bytes: whether the system hands
    // them over is its affair, but what comes back is the whole value, ended by the reader.
    value = L"untouched";
    setDefault(L".htm", fits + L"g", REG_SZ, false);
    if (real.ReadClassesRootDefault(L".htm", &value))
        EXPECT_EQ(value, fits + L"g");
    else
        EXPECT_EQ(value, L"untouched");
    // Not a string: not a command.
    DWORD number = 7;
    ::RegSetValueExW(root, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    EXPECT_FALSE(real.ReadClassesRootDefault(L"", &value));
    // An expandable template comes back expanded.
    ::SetEnvironmentVariableW(L"QUILLON_WEB", L"C:\\Web");
    setDefault(L"webpage\\shell\\open\\command", L"%QUILLON_WEB%\\b.exe \"%1\"", REG_EXPAND_SZ);
    EXPECT_TRUE(real.ReadClassesRootDefault(L"webpage\\shell\\open\\command", &value));
    EXPECT_EQ(value, L"C:\\Web\\b.exe \"%1\"");

    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    ::RegCloseKey(root);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuillonTests");
}
