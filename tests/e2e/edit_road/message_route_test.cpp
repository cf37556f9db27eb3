// The system's own edit controls edited through their messages: the text-box program's EDIT
// and RichEdit boxes, and the real programs built on them, with no clipboard activity, a
// paste Ctrl+Z takes back, and selection mode replacing only what was selected.
#include <gtest/gtest.h>

#include "e2e/edit_road/road.h"

using namespace quillon::e2e;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

RoadOptions MessageOptions() {
    RoadOptions options;
    options.useEditMessages = true;
    return options;
}

// A box's text as another program reads it.
std::wstring TextOf(HWND box) {
    wchar_t text[512] = {};
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(box, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &got);
    return std::wstring(text, got);
}

void SendTo(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(box, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
}

HWND ShownMainWindow(DWORD process) {
    struct Search {
        DWORD process;
        HWND found;
    } search{process, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner != s->process || !::IsWindowVisible(hwnd) || ::GetWindow(hwnd, GW_OWNER))
                return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A program of the system whose main window holds one edit control: Notepad, WordPad.
class CSystemEditor {
public:
    ::testing::AssertionResult Start(const std::wstring& exe) {
        if (auto started = m_process.Start(exe); !started)
            return started;
        auto shown = WaitFor([&] { return (m_window = ShownMainWindow(m_process.Id())) != nullptr; }, 30000,
                             "the program's main window");
        // Away from the pointer: without a window manager, a window that comes under it takes
        // the keyboard, and Wine then forgets the modifiers the scenario holds.
        if (shown)
            ::SetWindowPos(m_window, nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
        return shown;
    }
    // Brings the program to the front, as a click on it would; its edit control takes the focus.
    ::testing::AssertionResult Focus() {
        return WaitFor(
            [&] {
                ::SetForegroundWindow(m_window);
                HWND focus = ForegroundFocus();
                DWORD owner = 0;
                if (focus && ::GetWindowThreadProcessId(focus, &owner) && owner == m_process.Id())
                    m_box = focus;
                return m_box != nullptr && focus == m_box;
            },
            10000, "the program's edit control to have the focus");
    }
    HWND Box() const { return m_box; }
    ~CSystemEditor() { m_process.Kill(); }

private:
    CProcess m_process;
    HWND m_window = nullptr;
    HWND m_box = nullptr;
};

} // namespace

TEST(MessageRoute, EditAndRichEditBoxesGoWithoutTheClipboardAndCtrlZTakesThePasteBack) {
    for (CTextBoxApp::Box box : {CTextBoxApp::kMultiLine, CTextBoxApp::kRichEdit}) {
        SCOPED_TRACE(box == CTextBoxApp::kRichEdit ? "RichEdit" : "EDIT");
        CRoad road(MessageOptions());
        ASSERT_TRUE(road.Box().Start());
        ASSERT_TRUE(road.Box().SetText(box, L"first line\r\nsecond"));
        const std::wstring before = road.Box().Text(box);
        ASSERT_TRUE(PutUserClipboard());
        ASSERT_TRUE(road.Start(box));
        const DWORD sequence = ::GetClipboardSequenceNumber();
        ASSERT_TRUE(road.Hotkey());
        std::string seen;
        ASSERT_TRUE(road.WaitEditorSaw(seen));
        EXPECT_EQ(seen, kBom + "first line\r\nsecond");
        ASSERT_TRUE(road.SaveAndComeBack("edited\r\ntext"));
        ASSERT_TRUE(road.WaitBoxText(L"edited\r\ntext"));
        EXPECT_EQ(::GetClipboardSequenceNumber(), sequence) << "the clipboard was used";
        EXPECT_TRUE(road.Quillon().Exit());
        // The paste is the user's to take back, as their own would be.
        PressWithModifiers({VK_CONTROL}, 'Z');
        ReleaseKeys({VK_CONTROL});
        EXPECT_TRUE(
            WaitFor([&] { return road.Box().Text(box) == before; }, 5000, "Ctrl+Z to bring the text back"))
            << Utf8Of(Printable(road.Box().Text(box)));
    }
}

TEST(MessageRoute, SelectionModeReplacesOnlyTheSelectedTextEvenAfterTypingBeforeIt) {
    RoadOptions options = MessageOptions();
    options.editOnlySelection = true;
    CRoad road(options);
    ASSERT_TRUE(road.Box().Start());
    ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kMultiLine, L"keep this, edit that, keep"));
    HWND box = road.Box().BoxWindow(CTextBoxApp::kMultiLine);
    ASSERT_TRUE(road.Start());
    SendTo(box, EM_SETSEL, 11, 20);
    ASSERT_TRUE(road.Hotkey());
    std::string seen;
    ASSERT_TRUE(road.WaitEditorSaw(seen));
    EXPECT_EQ(seen, kBom + "edit that");
    // The user types at the start meanwhile: the selection's place moves.
    SendTo(box, EM_SETSEL, 0, 0);
    SendTo(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"typed: "));
    ASSERT_TRUE(road.SaveAndComeBack("edited"));
    EXPECT_TRUE(road.WaitBoxText(L"typed: keep this, edited, keep"));
}

TEST(MessageRoute, NotepadAndWordPadAreEditedThroughTheirControls) {
    wchar_t system[MAX_PATH] = {}, programs[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ::ExpandEnvironmentStringsW(L"%ProgramFiles%", programs, MAX_PATH);
    for (const std::wstring& exe : {std::wstring(system) + L"\\notepad.exe",
                                    std::wstring(programs) + L"\\Windows NT\\Accessories\\wordpad.exe"}) {
        SCOPED_TRACE(Utf8Of(exe));
        if (::GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "this system has no " << Utf8Of(exe);
        CRoad road(MessageOptions());
        ASSERT_TRUE(road.Box().Start());
        ASSERT_TRUE(road.Start(CTextBoxApp::kOther));
        CSystemEditor program;
        ASSERT_TRUE(program.Start(exe));
        ASSERT_TRUE(program.Focus());
        SendTo(program.Box(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"a letter"));
        road.PollFocusNow();
        const DWORD sequence = ::GetClipboardSequenceNumber();
        ASSERT_TRUE(road.Hotkey());
        std::string seen;
        ASSERT_TRUE(road.WaitEditorSaw(seen));
        EXPECT_EQ(seen, kBom + "a letter");
        ASSERT_TRUE(road.EditorSaves("a better letter"));
        ASSERT_TRUE(road.Box().Focus(CTextBoxApp::kOther));
        road.PollFocusNow();
        ASSERT_TRUE(program.Focus());
        EXPECT_TRUE(WaitFor([&] { return TextOf(program.Box()) == L"a better letter"; }, 10000,
                            "the saved text in the program"))
            << Utf8Of(Printable(TextOf(program.Box()))) << "\n"
            << ::testing::PrintToString(road.Trace());
        EXPECT_EQ(::GetClipboardSequenceNumber(), sequence) << "the clipboard was used";
        EXPECT_TRUE(road.Quillon().Exit());
    }
}
