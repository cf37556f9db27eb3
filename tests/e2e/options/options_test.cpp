// The Options dialog from the tray, as a user works it: every setting changed and OK finds
// each one in effect at once (the new hotkey shows the new rows, the old one is free, the
// start-up value is written) and in QLNConfig.xml; edits followed by Cancel change nothing.
#include "e2e/hotkey/trace_support.h"

#include <commctrl.h>

#include "e2e/support/remote_list.h"
#include "res/resource.h"
#include "windows/support/run_key.h"

using namespace quillon::e2e;
using namespace quillon::test;

namespace {

constexpr UINT kOptionsCommand = ID_TRAY_OPTIONS;

// The top-level windows of the process, by class and title (what a failed wait found).
std::string WindowsOf(DWORD pid) {
    struct S {
        DWORD pid;
        std::string text;
    } s{pid, {}};
    ::EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<S*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            wchar_t cls[64] = {}, title[64] = {};
            ::GetClassNameW(hwnd, cls, 64);
            ::GetWindowTextW(hwnd, title, 64);
            if (owner == s->pid)
                s->text += " [" + Utf8Of(cls) + " \"" + Utf8Of(title) + "\"" +
                           (::IsWindowVisible(hwnd) ? " visible" : "") + "]";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.text;
}

// The Run value as the scenario expects to read it.
std::wstring RunValueText() {
    const RunValue value = ReadRunValue();
    if (!value.present)
        return L"(none)";
    return value.type == REG_SZ ? value.Text() : L"(not REG_SZ)";
}

// Whether another program (this test) can take the hotkey, i.e. Quillon holds it no more.
bool HotKeyIsFree(UINT modifiers, UINT key) {
    if (!::RegisterHotKey(nullptr, 77, modifiers, key))
        return false;
    ::UnregisterHotKey(nullptr, 77);
    return true;
}

// A button pressed as the user's click reports it; posted, since "+" runs a nested dialog.
void Press(HWND dialog, int id) {
    ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

class OptionsScenario : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteRunValue();
        // The pointer rests where the dialog is going to be (the middle of the screen) and
        // where the choice list will show; it is not moved while keys are held.
        const RECT work = PrimaryWorkArea();
        ::SetCursorPos((work.left + work.right) / 2, (work.top + work.bottom) / 2);
        m_quillon = std::make_unique<CTracedQuillon>(kCtrlAltQ, std::vector<std::wstring>{L"txt"});
        ASSERT_TRUE(m_quillon->Start());
        ASSERT_EQ(m_quillon->ListCount(), 3);
    }
    void TearDown() override {
        ReleaseKeys({VK_F9, 'W', VK_LWIN, VK_CONTROL, VK_SHIFT, VK_MENU});
        DeleteRunValue(); // the prefix is shared with the other scenarios
    }
    // The tray's Options command (a double-click on the icon sends the same).
    HWND OpenOptions() {
        ::PostMessageW(m_quillon->Program().ServerWindow(), WM_COMMAND, kOptionsCommand, 0);
        HWND dialog = nullptr;
        auto shown = WaitFor(
            [&] {
                return (dialog = FindTopWindow(m_quillon->Pid(), L"#32770", L"Options")) &&
                       ::IsWindowVisible(dialog);
            },
            10000, "the Options dialog");
        EXPECT_TRUE(shown) << "; Quillon "
                           << (m_quillon->Program().Process().Running() ? "runs" : "has ended")
                           << ", its windows:" << WindowsOf(m_quillon->Pid());
        return dialog;
    }
    // Clicks into the hotkey field and presses the combination, main key released first.
    void TypeHotKey(HWND dialog, const std::vector<WORD>& modifiers, WORD key) {
        HWND field = ::FindWindowExW(dialog, nullptr, L"QuillonHotKeyField", nullptr);
        ASSERT_NE(field, nullptr);
        // The click as the field receives it, without moving the pointer: under Xvfb a
        // pointer that enters another window makes Wine read the keyboard state from X
        // again, which forgets the modifiers pressed here.
        // A field that has the focus already is not clicked again: the click's capture makes
        // Wine read the keyboard state from X again too, a moment later, when the key below may
        // already be down.
        if (ForegroundFocus() != field) {
            ::PostMessageW(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            ::PostMessageW(field, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        }
        ASSERT_TRUE(
            WaitFor([&] { return ForegroundFocus() == field; }, 5000, "the hotkey field to have the focus"));
        // One key at a time, each waited for until Quillon's thread has taken it from its
        // queue (the key state it reads, shared with this thread while attached): keys in
        // flight together reached the field out of order under Wine, and a modifier
        // released before the main key is (rightly) dropped from the combination.
        const DWORD quillonThread = ::GetWindowThreadProcessId(field, nullptr);
        ASSERT_TRUE(::AttachThreadInput(::GetCurrentThreadId(), quillonThread, TRUE));
        // A key pressed just as Wine reads the keyboard state from X again (it does so a moment
        // after a hotkey is registered or given back) is forgotten as soon as it was taken: one
        // that does not show as down is pressed again, which the field takes as a repeat.
        auto send = [&](WORD vk, bool up) {
            ::testing::AssertionResult taken = ::testing::AssertionFailure();
            for (int attempt = 0; attempt < 3 && !taken; ++attempt) {
                INPUT in = KeyInput(vk, !up);
                ::SendInput(1, &in, sizeof(INPUT));
                taken = WaitFor([&] { return ((::GetKeyState(vk) & 0x8000) != 0) != up; }, up ? 5000 : 1500,
                                "Quillon to take key " + std::to_string(vk) + (up ? " up" : " down"));
            }
            return taken;
        };
        for (WORD m : modifiers)
            EXPECT_TRUE(send(m, false));
        EXPECT_TRUE(send(key, false));
        EXPECT_TRUE(send(key, true));
        for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
            EXPECT_TRUE(send(*m, true));
        ::AttachThreadInput(::GetCurrentThreadId(), quillonThread, FALSE);
    }
    // Fills in the New Extension dialog that "+" opened and presses OK.
    void AddRow(HWND options, const wchar_t* extension, const wchar_t* editor, bool utf8) {
        Press(options, IDC_OPT_ADD);
        HWND added = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                return (added = FindTopWindow(m_quillon->Pid(), L"#32770", L"New Extension")) &&
                       ::IsWindowVisible(added);
            },
            10000, "the New Extension dialog"));
        ::SetDlgItemTextW(added, IDC_NEWEXT_EXTENSION, extension);
        ::SetDlgItemTextW(added, IDC_NEWEXT_EDITOR, editor);
        if (!utf8)
            ::SendMessageW(::GetDlgItem(added, IDC_NEWEXT_UTF8), BM_CLICK, 0, 0);
        Press(added, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(added); }, 10000, "the New Extension dialog to close"));
    }
    std::string Config() {
        std::string bytes;
        ReadFileBytes(m_quillon->Program().ConfigPath(), bytes);
        return bytes;
    }
    // The settings file's last-write time, read without opening it.
    ULONGLONG ConfigWritten() {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(m_quillon->Program().ConfigPath().c_str(), GetFileExInfoStandard, &data))
            return 0;
        return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
               data.ftLastWriteTime.dwLowDateTime;
    }
    // The file once Quillon has written it anew. Not read while it may be written: a save
    // that finds the file open elsewhere cannot replace it.
    std::string ConfigAfterSave(ULONGLONG before) {
        EXPECT_TRUE(WaitFor([&] { return ConfigWritten() != before; }, 10000, "QLNConfig.xml to be written"));
        return Config();
    }

    std::unique_ptr<CTracedQuillon> m_quillon;
};

} // namespace

TEST_F(OptionsScenario, EverySettingChangedTakesEffectAtOnceAndIsSaved) {
    const ULONGLONG written = ConfigWritten();
    HWND options = OpenOptions();
    ASSERT_NE(options, nullptr);
    CRemoteList list(::GetDlgItem(options, IDC_OPT_EXTENSIONS), m_quillon->Pid());
    ASSERT_EQ(list.Texts(), (std::vector<std::wstring>{L"txt"}));

    // The rows: "md" (with an editor, ANSI) moved above "txt", "html" added and removed again.
    AddRow(options, L"md", L"C:\\Tools\\ed.exe", false);
    Press(options, IDC_OPT_MOVE_UP);
    AddRow(options, L"html", L"", true);
    ASSERT_TRUE(WaitFor([&] { return list.Count() == 3; }, 5000, "three rows"));
    Press(options, IDC_OPT_REMOVE);
    ASSERT_TRUE(WaitFor(
        [&] {
            return list.Texts() == std::vector<std::wstring>{L"md", L"txt"};
        },
        5000, "the rows md, txt"));
    // The second column: the editor and its parameters (the scenario's "txt" row names one too).
    const std::vector<std::wstring> editors = list.Texts(1);
    ASSERT_EQ(editors.size(), 2u);
    EXPECT_EQ(editors[0], L"C:\\Tools\\ed.exe \"%1\"");
    EXPECT_NE(editors[1].find(L"\\no-such-editor.exe \"%1\""), std::wstring::npos) << Utf8Of(editors[1]);
    // The rest: start with Windows, only the selection (which sets Insert), no content
    // saved, a relative folder, temporary files kept.
    Press(options, IDC_OPT_AUTOSTART);
    Press(options, IDC_OPT_MODE_SELECTION);
    Press(options, IDC_OPT_SAVE_CONTENT);
    Press(options, IDC_OPT_DELETE_TEMP);
    ::SetDlgItemTextW(options, IDC_OPT_TEMP_FOLDER, L"\\Temp");
    // The hotkey: the Windows key with F9.
    TypeHotKey(options, {VK_LWIN}, VK_F9);
    Press(options, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(options); }, 10000, "the Options dialog to close"));

    // Saved at once.
    const std::string config = ConfigAfterSave(written);
    for (const std::string& text :
         {"<HotKey>" + std::to_string((VK_F9 << 8) | MOD_WIN) + "</HotKey>",
          std::string("<SaveContent>False</SaveContent>"), std::string("<Insert>True</Insert>"),
          std::string("<EditOnlySelection>True</EditOnlySelection>"),
          std::string("<TemporaryFolder>\\Temp</TemporaryFolder>"),
          std::string("<DeleteTempFile>False</DeleteTempFile>"),
          std::string(
              "Extension=\"md\" Editor=\"C:\\Tools\\ed.exe\" Parameters=\"&quot;%1&quot;\" UTF8=\"False\"")})
        EXPECT_NE(config.find(text), std::string::npos) << "QLNConfig.xml lacks " << text << "; it holds:\n"
                                                        << config;
    EXPECT_LT(config.find("Extension=\"md\""), config.find("Extension=\"txt\""));
    EXPECT_EQ(config.find("Extension=\"html\""), std::string::npos);

    // In effect: the start-up value names this copy; the old hotkey is free; the new one
    // shows the new rows. Going round to "Cancel" starts nothing.
    EXPECT_EQ(_wcsicmp(RunValueText().c_str(), (L"\"" + m_quillon->Program().ExePath() + L"\"").c_str()), 0)
        << Utf8Of(RunValueText());
    EXPECT_TRUE(HotKeyIsFree(MOD_CONTROL | MOD_ALT, 'Q'));
    PressWithModifiers({VK_LWIN}, VK_F9);
    ASSERT_TRUE(WaitFor([&] { return m_quillon->ListVisible(); }, 5000, "the choice list on the new hotkey"));
    CRemoteList choices(m_quillon->ChoiceList(), m_quillon->Pid());
    EXPECT_EQ(choices.Texts(), (std::vector<std::wstring>{L"md_(ed.exe)", L"txt_(no-such-editor.exe)",
                                                          L"Edit with new Extension", L"Cancel"}));
    for (int k = 1; k <= 3; ++k) {
        PressWithModifiers({}, VK_F9);
        ASSERT_TRUE(
            WaitFor([&] { return m_quillon->ListSelection() == k; }, 5000, "item " + std::to_string(k)));
    }
    ReleaseKeys({VK_LWIN});
    ASSERT_TRUE(WaitFor([&] { return !m_quillon->ListVisible(); }, 5000, "the choice list to hide"));
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid(), {VK_LWIN}));
    EXPECT_EQ(m_quillon->CountLinesStartingWith("StartEdit"), 0u) << "an edit started";
    EXPECT_TRUE(m_quillon->Program().Exit());
}

TEST_F(OptionsScenario, CancelAfterEditsChangesNothing) {
    const ULONGLONG written = ConfigWritten();
    HWND options = OpenOptions();
    ASSERT_NE(options, nullptr);
    CRemoteList list(::GetDlgItem(options, IDC_OPT_EXTENSIONS), m_quillon->Pid());
    AddRow(options, L"md", L"", true);
    list.Select(0);
    Press(options, IDC_OPT_REMOVE);
    ASSERT_TRUE(
        WaitFor([&] { return list.Texts() == std::vector<std::wstring>{L"md"}; }, 5000, "the row md alone"));
    Press(options, IDC_OPT_AUTOSTART);
    Press(options, IDC_OPT_MODE_SELECTION);
    Press(options, IDC_OPT_DELETE_TEMP);
    ::SetDlgItemTextW(options, IDC_OPT_TEMP_FOLDER, L"D:\\Elsewhere");
    TypeHotKey(options, {VK_CONTROL, VK_SHIFT}, 'W');
    Press(options, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(options); }, 10000, "the Options dialog to close"));

    // Nothing saved, registered or written; the old hotkey still shows the old rows.
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid()));
    EXPECT_EQ(ConfigWritten(), written) << "QLNConfig.xml was written";
    EXPECT_EQ(RunValueText(), L"(none)");
    EXPECT_FALSE(HotKeyIsFree(MOD_CONTROL | MOD_ALT, 'Q')) << "Quillon still holds its hotkey";
    EXPECT_TRUE(HotKeyIsFree(MOD_CONTROL | MOD_SHIFT, 'W'));
    EXPECT_EQ(m_quillon->ListCount(), 3);

    // And what the program saves on the way out is what it started with.
    ASSERT_TRUE(m_quillon->Program().Exit());
    const std::string after = Config();
    EXPECT_NE(after.find("<HotKey>" + std::to_string(kCtrlAltQ) + "</HotKey>"), std::string::npos) << after;
    EXPECT_NE(after.find("<EditOnlySelection>False</EditOnlySelection>"), std::string::npos) << after;
    EXPECT_NE(after.find("<DeleteTempFile>True</DeleteTempFile>"), std::string::npos) << after;
    EXPECT_EQ(after.find("D:\\Elsewhere"), std::string::npos) << after;
    EXPECT_NE(after.find("Extension=\"txt\""), std::string::npos) << after;
    EXPECT_EQ(after.find("Extension=\"md\""), std::string::npos) << after;
}

TEST_F(OptionsScenario, TheHotKeyFieldCannotTakeTheHotKeyAwayByMistake) {
    const ULONGLONG written = ConfigWritten();
    HWND options = OpenOptions();
    ASSERT_NE(options, nullptr);
    HWND field = ::FindWindowExW(options, nullptr, L"QuillonHotKeyField", nullptr);
    ASSERT_NE(field, nullptr);
    auto shown = [&] {
        wchar_t text[256] = {};
        ::SendMessageW(field, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
        return std::wstring(text);
    };
    const std::wstring working = shown();

    // The working hotkey pressed in the field is recorded there, and starts nothing: while
    // the field has the focus it is not registered.
    TypeHotKey(options, {VK_CONTROL, VK_MENU}, 'Q');
    // TypeHotKey waited until Quillon's thread took each key; a hotkey would have been posted
    // to it before that.
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid()));
    EXPECT_FALSE(m_quillon->ListVisible()) << "the choice list showed";
    EXPECT_EQ(shown(), working);

    // A bare letter is refused, and the field says so; Tab moves on and is no hotkey.
    TypeHotKey(options, {}, 'W');
    EXPECT_TRUE(
        WaitFor([&] { return shown() != working && shown().find(L"Ctrl, Alt or Win") != std::wstring::npos; },
                5000, "the field to say why it did not take W"))
        << Utf8Of(shown());
    // Asked only now: under Wine, registering a hotkey for a moment makes it read the keyboard
    // state from X again shortly after, which would forget a key pressed in the meantime.
    EXPECT_TRUE(HotKeyIsFree(MOD_CONTROL | MOD_ALT, 'Q')) << "suspended while the field has the focus";
    TapKey(VK_TAB);
    ASSERT_TRUE(WaitFor([&] { return ForegroundFocus() != field; }, 5000, "Tab to move the focus on"));
    EXPECT_FALSE(HotKeyIsFree(MOD_CONTROL | MOD_ALT, 'Q'))
        << "registered again once the focus left the field";

    // A combination another program takes once it is in the field (while it is held, its
    // keys never reach the field): OK says so and keeps the dialog and the working hotkey.
    TypeHotKey(options, {VK_CONTROL, VK_MENU}, VK_F9);
    ASSERT_TRUE(::RegisterHotKey(nullptr, 78, MOD_CONTROL | MOD_ALT, VK_F9));
    Press(options, IDOK);
    HWND message = nullptr;
    EXPECT_TRUE(WaitFor(
        [&] {
            message = FindTopWindow(m_quillon->Pid(), L"#32770", L"Quillon");
            return message && ::IsWindowVisible(message);
        },
        10000, "the message that the combination is taken"));
    EXPECT_TRUE(::IsWindow(options));
    EXPECT_FALSE(HotKeyIsFree(MOD_CONTROL | MOD_ALT, 'Q')) << "the working hotkey kept";
    if (message)
        ::PostMessageW(message, WM_COMMAND, IDOK, 0);
    ::UnregisterHotKey(nullptr, 78);
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid()));
    EXPECT_EQ(ConfigWritten(), written) << "QLNConfig.xml was written";

    // Exit from the tray while Options is open: Options closes as Cancel, then Quillon ends.
    ASSERT_TRUE(m_quillon->Program().Exit());
    EXPECT_FALSE(::IsWindow(options));
    const std::string after = Config();
    EXPECT_NE(after.find("<HotKey>" + std::to_string(kCtrlAltQ) + "</HotKey>"), std::string::npos) << after;
}
