// The Options dialog in-process under Wine: its template and access keys, the list buttons at
// the table's edges, the radio pair acting on the Insert box, rows added and changed through
// the New Extension dialog, OK refusing what would cost the user, and what OK or Cancel hands
// to the dialog's host. A helper thread plays the user.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/keyboard.h"
#include "res/resource.h"
#include "base/u16.h"
#include "ui/dialogs/options_dlg.h"
#include "ui/widgets/hotkey_text.h"
#include "windows/support/gdiplus_session.h"
#include "windows/support/win_test.h"
#include "windows/ui/dialogs/text_fit.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// A click as the button reports it to the dialog (posted: "+" runs a nested dialog).
void Click(HWND dialog, int id) {
    ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
void ClickAndWait(HWND dialog, int id) {
    ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

HWND List(HWND dialog) {
    return ::GetDlgItem(dialog, IDC_OPT_EXTENSIONS);
}
std::vector<std::wstring> Rows(HWND dialog, int column = 0) {
    std::vector<std::wstring> rows;
    const int n = ListView_GetItemCount(List(dialog));
    for (int i = 0; i < n; ++i) {
        wchar_t text[256] = {};
        ListView_GetItemText(List(dialog), i, column, text, 256);
        rows.push_back(text);
    }
    return rows;
}
int Selected(HWND dialog) {
    return ListView_GetNextItem(List(dialog), -1, LVNI_SELECTED);
}
void Select(HWND dialog, int item) {
    ListView_SetItemState(List(dialog), item, LVIS_SELECTED, LVIS_SELECTED);
}

// Runs the dialog while the player drives it from another thread.
INT_PTR RunWith(CDlgOptions& dialog, const std::function<void(HWND)>& player) {
    return PlayModal(nullptr, L"Options", player, [&] { return dialog.DoModal(); });
}

// The program as the dialog sees it: what was applied and saved, and the working hotkey
// taken away and given back. Read by the player thread while the dialog's thread writes.
class CRecordingHost : public IOptionsHost {
public:
    bool ApplySettings(const SettingsFields& opened, const SettingsFields& edited) override {
        (void)opened;
        Log(L"apply");
        applied = edited;
        return true;
    }
    std::u16string SaveSettings() override {
        Log(L"save");
        return u"";
    }
    void SuspendHotKey(bool suspend) override { Log(suspend ? L"suspend" : L"resume"); }
    // As the program finds out: taken for a moment and given back.
    bool HotKeyIsFree(std::uint16_t hotKey) override {
        if (!::RegisterHotKey(nullptr, 0xBFFE, keyboard::ModifiersOf(hotKey), keyboard::KeyOf(hotKey)))
            return false;
        ::UnregisterHotKey(nullptr, 0xBFFE);
        return true;
    }
    std::u16string ProgramPath() override { return u""; }

    std::vector<std::wstring> Log() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_log;
    }
    SettingsFields applied;

private:
    void Log(const wchar_t* what) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_log.push_back(what);
    }
    std::mutex m_mutex;
    std::vector<std::wstring> m_log;
};

using Log_t = std::vector<std::wstring>;

// The window with the keyboard focus in the dialog's thread.
HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}
void FocusOn(HWND dialog, HWND control) {
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}
HWND Field(HWND dialog) {
    return ::FindWindowExW(dialog, nullptr, CHotKeyField::ClassName(), nullptr);
}
// A key pressed and released over the window, through the dialog's own message loop.
void Key(HWND window, WORD vk) {
    ::PostMessageW(window, WM_KEYDOWN, vk, 1);
    ::PostMessageW(window, WM_KEYUP, vk, 0xC0000001);
}
// Ctrl+Alt+key into the hotkey field.
void CtrlAlt(HWND field, WORD vk) {
    ::PostMessageW(field, WM_KEYDOWN, VK_CONTROL, 1);
    ::PostMessageW(field, WM_KEYDOWN, VK_MENU, 1);
    Key(field, vk);
    ::PostMessageW(field, WM_KEYUP, VK_MENU, 0xC0000001);
    ::PostMessageW(field, WM_KEYUP, VK_CONTROL, 0xC0000001);
}
// Waits for the message box the dialog shows and closes it.
bool Acknowledge(HWND dialog) {
    HWND box = WaitShownWindow(L"#32770", L"Quillon", dialog);
    if (!box)
        return false;
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitGone(box, "the message to close");
}

class OptionsDialogTest : public ::testing::Test {
protected:
    OptionsDialogTest() {
        m_settings.HotKey = 0x4108;
        m_settings.TemporaryFolder = u"C:\\Edits";
        m_settings.DeleteTempFile = 1;
        m_settings.SaveContent = 1;
        m_settings.Insert = 0;
        m_settings.EditOnlySelection = 0;
        m_settings.Delay = 321;
        m_settings.Extensions = {EXTENSIONREC(u"txt", u"", u"", 1),
                                 EXTENSIONREC(u"md", u"C:\\ed.exe", u"-n \"%1\"", 0)};
    }
    // A scratch folder of the test's own under the user's temporary folder.
    static std::wstring Scratch(const wchar_t* name) {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        return std::wstring(temp) + name;
    }
    CGdiplusSession m_gdiplus;
    SettingsFields m_settings;
    CRecordingHost m_host;
};

using Rows_t = std::vector<std::wstring>;

} // namespace

TEST_F(OptionsDialogTest, OpensWithTheSettingsInTheTemplatesPlaces) {
    CDlgOptions dialog(m_settings, &m_host);
    RunWith(dialog, [](HWND d) {
        auto units = [&](int id) {
            RECT r{};
            ::GetWindowRect(::GetDlgItem(d, id), &r);
            ::MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&r), 2);
            RECT probe{0, 0, 400, 800};
            ::MapDialogRect(d, &probe);
            auto unit = [](LONG pixels, LONG per100) {
                return std::to_wstring((pixels * 400 + per100 / 2) / per100);
            };
            return unit(r.left, probe.right) + L"," +
                   std::to_wstring((r.top * 800 + probe.bottom / 2) / probe.bottom) + L"," +
                   unit(r.right - r.left, probe.right) + L"," +
                   std::to_wstring(((r.bottom - r.top) * 800 + probe.bottom / 2) / probe.bottom);
        };
        EXPECT_EQ(units(IDC_OPT_AUTOSTART), L"14,20,296,11");
        EXPECT_EQ(units(IDC_OPT_MODE_ENTIRE), L"14,73,285,10");
        EXPECT_EQ(units(IDC_OPT_TEMP_FOLDER), L"14,161,282,13");
        EXPECT_EQ(units(IDC_OPT_BROWSE), L"303,160,44,14");
        EXPECT_EQ(units(IDC_OPT_EXTENSIONS), L"14,238,333,96");
        // OK and Cancel at the bottom right, below the Extensions group (which ends at 359).
        EXPECT_EQ(units(IDOK), L"250,365,50,14");
        EXPECT_EQ(units(IDCANCEL), L"304,365,50,14");

        // Every label and button but OK and Cancel (Enter and Escape) and the image buttons
        // (their tips name them) has an access key; the hotkey label's leads to the field.
        for (HWND child = ::GetWindow(d, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t text[256] = {}, kind[64] = {};
            ::GetWindowTextW(child, text, 256);
            ::GetClassNameW(child, kind, 64);
            const int id = ::GetDlgCtrlID(child);
            if (std::wstring(kind) != L"Button" && std::wstring(kind) != L"Static")
                continue;
            if (std::wstring(kind) == L"Static" && (::GetWindowLongW(child, GWL_STYLE) & SS_NOPREFIX))
                continue; // a hint, not a label
            if (!*text || id == IDOK || id == IDCANCEL || id == IDC_OPT_HOTKEY ||
                (id >= IDC_OPT_ADD && id <= IDC_OPT_REMOVE) || id == IDC_OPT_MOVE_UP ||
                id == IDC_OPT_MOVE_DOWN)
                continue;
            EXPECT_NE(std::wstring(text).find(L'&'), std::wstring::npos) << Utf8Of(text);
        }
        const HWND field = Field(d);
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(::GetWindowLongW(field, GWL_STYLE) & WS_TABSTOP);
        EXPECT_EQ(::GetNextDlgTabItem(d, ::GetDlgItem(d, IDC_OPT_AUTOSTART), FALSE), field)
            << "Tab goes from the check box above to the field";
        EXPECT_EQ(ItemText(d, IDC_OPT_MOVE_UP), L"/\\");
        EXPECT_EQ(ItemText(d, IDC_OPT_MOVE_DOWN), L"\\/");

        // The placeholder is hidden and the hotkey field stands in its place.
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(d, IDC_OPT_HOTKEY)));
        // The settings, each in its control; no row selected.
        EXPECT_EQ(ItemText(d, IDC_OPT_TEMP_FOLDER), L"C:\\Edits");
        // With no row selected only "+" has something to do.
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(d, IDC_OPT_ADD)));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(d, IDC_OPT_REMOVE)));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(d, IDC_OPT_MOVE_UP)));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(d, IDC_OPT_MOVE_DOWN)));
        EXPECT_TRUE(IsChecked(d, IDC_OPT_MODE_ENTIRE));
        EXPECT_FALSE(IsChecked(d, IDC_OPT_MODE_SELECTION));
        EXPECT_TRUE(IsChecked(d, IDC_OPT_SAVE_CONTENT));
        EXPECT_FALSE(IsChecked(d, IDC_OPT_INSERT));
        EXPECT_TRUE(IsChecked(d, IDC_OPT_DELETE_TEMP));
        EXPECT_EQ(Rows(d), (Rows_t{L"txt", L"md"}));
        EXPECT_EQ(Rows(d, 1), (Rows_t{L"default editor", L"C:\\ed.exe -n \"%1\""}));
        EXPECT_EQ(Selected(d), -1);

        // The four small buttons in a row right under the list, overlapping by a pixel.
        RECT list{}, add{}, remove{};
        ::GetWindowRect(List(d), &list);
        ::GetWindowRect(::GetDlgItem(d, IDC_OPT_ADD), &add);
        ::GetWindowRect(::GetDlgItem(d, IDC_OPT_REMOVE), &remove);
        EXPECT_EQ(add.left, list.left);
        EXPECT_GT(add.top, list.bottom);
        EXPECT_EQ(remove.top, add.top);
        EXPECT_EQ(remove.right - add.left, 4 * (add.right - add.left) - 3);
        ClickAndWait(d, IDCANCEL);
    });
}

TEST_F(OptionsDialogTest, EveryTextFitsItsControlInTheFontTheSystemGives) {
    // The table's headers within their columns too.
    CDlgOptions dialog(m_settings, &m_host);
    RunWith(dialog, [](HWND d) {
        ExpectEveryTextFits(d);
        for (int column = 0; column < 2; ++column) {
            const wchar_t* header = column == 0 ? L"Extension" : L"Editor";
            const int width = ListView_GetStringWidth(List(d), header);
            EXPECT_GT(ListView_GetColumnWidth(List(d), column), width + 8) << Utf8Of(header) << " is cut";
        }
        ClickAndWait(d, IDCANCEL);
    });
}

TEST_F(OptionsDialogTest, ListButtonsAndRadiosThenOkStoresEverythingAsShown) {
    CDlgOptions dialog(m_settings, &m_host);
    const std::wstring folder = Scratch(L"qln-options-folder");
    INT_PTR result = RunWith(dialog, [&](HWND d) {
        // Up on the first row, down on the last, and either with nothing selected: nothing.
        ClickAndWait(d, IDC_OPT_MOVE_UP);
        ClickAndWait(d, IDC_OPT_MOVE_DOWN);
        Select(d, 0);
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(d, IDC_OPT_MOVE_UP))) << "on the first row";
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(d, IDC_OPT_REMOVE)));
        ClickAndWait(d, IDC_OPT_MOVE_UP);
        EXPECT_EQ(Rows(d), (Rows_t{L"txt", L"md"}));
        ClickAndWait(d, IDC_OPT_MOVE_DOWN);
        EXPECT_EQ(Rows(d), (Rows_t{L"md", L"txt"}));
        EXPECT_EQ(Selected(d), 1) << "the moved row stays selected";
        ClickAndWait(d, IDC_OPT_MOVE_DOWN);
        EXPECT_EQ(Rows(d), (Rows_t{L"md", L"txt"}));

        // "+" then Cancel adds nothing; "+" then OK appends the row, selected.
        Click(d, IDC_OPT_ADD);
        HWND added = WaitShownWindow(nullptr, L"New Extension");
        ASSERT_NE(added, nullptr);
        ClickAndWait(added, IDCANCEL);
        ASSERT_TRUE(WaitGone(added, "New Extension to close"));
        EXPECT_EQ(Rows(d), (Rows_t{L"md", L"txt"}));
        Click(d, IDC_OPT_ADD);
        added = WaitShownWindow(nullptr, L"New Extension");
        ASSERT_NE(added, nullptr);
        ::SetDlgItemTextW(added, IDC_NEWEXT_EXTENSION, L"html");
        Click(added, IDOK);
        ASSERT_TRUE(WaitGone(added, "New Extension to close"));
        EXPECT_EQ(Rows(d), (Rows_t{L"md", L"txt", L"html"}));
        EXPECT_EQ(Rows(d, 1)[2], L"default editor");
        EXPECT_EQ(Selected(d), 2);
        // Up, then remove the row below it: the mirror follows.
        ClickAndWait(d, IDC_OPT_MOVE_UP);
        Select(d, 2);
        ClickAndWait(d, IDC_OPT_REMOVE);
        EXPECT_EQ(Rows(d), (Rows_t{L"md", L"html"}));
        EXPECT_EQ(Selected(d), 1) << "removing the last row selects the new last";

        // "only selected text" sets Insert, "entire text area" clears it, on every click.
        ClickAndWait(d, IDC_OPT_MODE_SELECTION);
        EXPECT_TRUE(IsChecked(d, IDC_OPT_INSERT));
        ClickAndWait(d, IDC_OPT_INSERT);
        ClickAndWait(d, IDC_OPT_MODE_SELECTION);
        EXPECT_TRUE(IsChecked(d, IDC_OPT_INSERT));
        ClickAndWait(d, IDC_OPT_MODE_ENTIRE);
        EXPECT_FALSE(IsChecked(d, IDC_OPT_INSERT));
        ClickAndWait(d, IDC_OPT_MODE_SELECTION); // selection mode, Insert set
        ClickAndWait(d, IDC_OPT_SAVE_CONTENT);
        ClickAndWait(d, IDC_OPT_DELETE_TEMP);
        // As "Copy as path" gives it: quoted, and the folder made when missing.
        ::SetDlgItemTextW(d, IDC_OPT_TEMP_FOLDER, (L" \"" + folder + L"\"").c_str());
        ClickAndWait(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(m_host.Log(), (Log_t{L"apply", L"save"})) << "applied, then saved, once";
    const SettingsFields& engine = m_host.applied;
    EXPECT_EQ(dialog.Result().Insert, 1) << "the dialog gives back what it applied";
    EXPECT_EQ(engine.Extensions,
              (std::vector<EXTENSIONREC>{EXTENSIONREC(u"md", u"C:\\ed.exe", u"-n \"%1\"", 0),
                                         EXTENSIONREC(u"html", u"", u"\"%1\"", 1)}));
    EXPECT_EQ(engine.EditOnlySelection, 1);
    EXPECT_EQ(engine.Insert, 1);
    EXPECT_EQ(engine.SaveContent, 0);
    EXPECT_EQ(engine.DeleteTempFile, 0);
    EXPECT_EQ(engine.TemporaryFolder, std::u16string(folder.begin(), folder.end())) << "without the quotes";
    EXPECT_TRUE(::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    ::RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(engine.HotKey, 0x4108) << "unchanged";
    EXPECT_EQ(engine.Delay, 321) << "kept, though the dialog does not show it";
}

TEST_F(OptionsDialogTest, CancelAfterEditsChangesNothing) {
    CDlgOptions dialog(m_settings, &m_host);
    INT_PTR result = RunWith(dialog, [](HWND d) {
        Select(d, 1);
        ClickAndWait(d, IDC_OPT_REMOVE);
        ClickAndWait(d, IDC_OPT_MODE_SELECTION);
        ClickAndWait(d, IDC_OPT_DELETE_TEMP);
        ::SetDlgItemTextW(d, IDC_OPT_TEMP_FOLDER, L"D:\\Elsewhere");
        // Escape in the hotkey field acts on the dialog, as in any other field.
        FocusOn(d, Field(d));
        Key(Field(d), VK_ESCAPE);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(m_host.Log(), (Log_t{L"suspend", L"resume"})) << "nothing applied, nothing saved";
    EXPECT_EQ(dialog.Result().Extensions, m_settings.Extensions);
}

TEST_F(OptionsDialogTest, RowsChangeInPlaceByKeysAndATakenExtensionIsRefused) {
    CDlgOptions dialog(m_settings, &m_host);
    INT_PTR result = RunWith(dialog, [](HWND d) {
        const HWND list = List(d);
        // F2 on the first row: "New Extension" filled with it; "md" is taken by the other row.
        Select(d, 0);
        FocusOn(d, list);
        Key(list, VK_F2);
        HWND change = WaitShownWindow(nullptr, L"New Extension");
        ASSERT_NE(change, nullptr);
        EXPECT_EQ(ItemText(change, IDC_NEWEXT_EXTENSION), L"txt");
        EXPECT_EQ(ItemText(change, IDC_NEWEXT_PARAMETERS), L"");
        ::SetDlgItemTextW(change, IDC_NEWEXT_EXTENSION, L"MD");
        Click(change, IDOK);
        ASSERT_TRUE(Acknowledge(change)) << "a second row for one extension";
        EXPECT_TRUE(::IsWindow(change)) << "the row stays open to be corrected";
        ::SetDlgItemTextW(change, IDC_NEWEXT_EXTENSION, L"log");
        ::SetDlgItemTextW(change, IDC_NEWEXT_EDITOR, L"C:\\Very\\Long\\Path\\To\\An\\Editor\\editor.exe");
        Click(change, IDOK);
        ASSERT_TRUE(WaitGone(change, "New Extension to close"));
        EXPECT_EQ(Rows(d), (Rows_t{L"log", L"md"})) << "replaced in place";
        EXPECT_EQ(Rows(d, 1)[0], L"C:\\Very\\Long\\Path\\To\\An\\Editor\\editor.exe ");
        // The row's tip shows the editor whole, however narrow the column.
        wchar_t tipText[256] = {};
        NMLVGETINFOTIPW tip{};
        tip.hdr.hwndFrom = list;
        tip.hdr.idFrom = IDC_OPT_EXTENSIONS;
        tip.hdr.code = LVN_GETINFOTIPW;
        tip.pszText = tipText;
        tip.cchTextMax = 256;
        tip.iItem = 0;
        ::SendMessageW(d, WM_NOTIFY, IDC_OPT_EXTENSIONS, reinterpret_cast<LPARAM>(&tip));
        EXPECT_EQ(std::wstring(tipText), Rows(d, 1)[0]);

        // Enter in the table changes the row rather than closing the dialog.
        Key(list, VK_RETURN);
        change = WaitShownWindow(nullptr, L"New Extension");
        ASSERT_NE(change, nullptr);
        EXPECT_EQ(ItemText(change, IDC_NEWEXT_EXTENSION), L"log");
        ClickAndWait(change, IDCANCEL);
        ASSERT_TRUE(WaitGone(change, "New Extension to close"));

        // Enter on a small button presses it, not OK: "Move down" moves the row.
        FocusOn(d, ::GetDlgItem(d, IDC_OPT_MOVE_DOWN));
        Key(::GetDlgItem(d, IDC_OPT_MOVE_DOWN), VK_RETURN);
        ASSERT_TRUE(WaitFor([&] { return Rows(d) == Rows_t{L"md", L"log"}; }, 5000, "the row moved down"));
        EXPECT_TRUE(::IsWindowVisible(d));
        EXPECT_EQ(FocusOf(d), list) << "the disabled button handed the focus to the table";

        // Delete removes the selected row.
        Key(list, VK_DELETE);
        ASSERT_TRUE(WaitFor([&] { return Rows(d) == Rows_t{L"md"}; }, 5000, "the row removed"));
        ClickAndWait(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(m_host.applied.Extensions, (std::vector<EXTENSIONREC>{m_settings.Extensions[1]}));
}

TEST_F(OptionsDialogTest, OkStaysOpenForAFolderThatCannotBeWrittenOrAHotKeyThatIsTaken) {
    CDlgOptions dialog(m_settings, &m_host);
    const std::wstring file = Scratch(L"qln-options-file.txt");
    ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    INT_PTR result = RunWith(dialog, [&](HWND d) {
        const HWND field = Field(d);
        // In the field the working hotkey is taken away, so that pressing it records it.
        FocusOn(d, field);
        ASSERT_TRUE(WaitFor([&] { return m_host.Log() == Log_t{L"suspend"}; }, 5000, "the hotkey suspended"));
        CtrlAlt(field, 'J');
        ASSERT_TRUE(WaitFor(
            [&] {
                wchar_t shown[256] = {};
                ::GetWindowTextW(field, shown, 256);
                return shown == FormatHotKeyValue(0x4A03);
            },
            5000, "Ctrl+Alt+J in the field"));
        // Another program holds Ctrl+Alt+J.
        ASSERT_TRUE(::RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, 'J'));

        // A folder below a file cannot be made.
        ::SetDlgItemTextW(d, IDC_OPT_TEMP_FOLDER, (file + L"\\sub").c_str());
        Click(d, IDOK);
        ASSERT_TRUE(Acknowledge(d)) << "the folder refused";
        EXPECT_EQ(FocusOf(d), ::GetDlgItem(d, IDC_OPT_TEMP_FOLDER));
        ::SetDlgItemTextW(d, IDC_OPT_TEMP_FOLDER, L""); // the default
        Click(d, IDOK);
        ASSERT_TRUE(Acknowledge(d)) << "the hotkey refused";
        EXPECT_EQ(FocusOf(d), field) << "back in the field to choose another";
        EXPECT_TRUE(::IsWindowVisible(d));
        ::UnregisterHotKey(nullptr, 77);
        // Enter in the field is the dialog's OK.
        FocusOn(d, field);
        Key(field, VK_RETURN);
    });
    ::DeleteFileW(file.c_str());
    EXPECT_EQ(result, IDOK);
    const Log_t log = m_host.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 2], L"apply");
    EXPECT_EQ(log.back(), L"save");
    EXPECT_EQ(std::count(log.begin(), log.end(), L"apply"), 1) << "nothing applied while refused";
    EXPECT_EQ(std::count(log.begin(), log.end(), L"suspend"), std::count(log.begin(), log.end(), L"resume"))
        << "the working hotkey given back each time";
    EXPECT_EQ(m_host.applied.HotKey, 0x4A03);
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_EQ(m_host.applied.TemporaryFolder, FromWide(temp)) << "empty is the user's temporary folder";
}

TEST_F(OptionsDialogTest, RulesAreMadeOrderedAndRemovedInTheRulesDialogAndKeptByOk) {
    m_settings.Rules = {RULEREC(u"", u"Mail", u"txt", 1)};
    CDlgOptions dialog(m_settings, &m_host);
    INT_PTR result = RunWith(dialog, [](HWND d) {
        Click(d, IDC_OPT_RULES);
        HWND rules = WaitShownWindow(L"#32770", L"Rules", d);
        ASSERT_NE(rules, nullptr);
        ExpectEveryTextFits(rules);
        HWND list = ::GetDlgItem(rules, IDC_RULES_LIST);
        auto cell = [&](int item, int column) {
            wchar_t text[128] = {};
            ListView_GetItemText(list, item, column, text, 128);
            return std::wstring(text);
        };
        EXPECT_EQ(cell(0, 0), L"any program");
        EXPECT_EQ(cell(0, 1), L"Mail");
        // Narrow texts do not cut the headings (the header keeps a margin on each side).
        const wchar_t* headings[] = {L"Program", L"Title contains", L"Extension", L"List"};
        for (int column = 0; column < 4; ++column)
            EXPECT_GE(ListView_GetColumnWidth(list, column),
                      ListView_GetStringWidth(list, headings[column]) + 12)
                << Utf8Of(headings[column]) << " is cut";
        // The fields show the selected rule. One that would do nothing (no extension,
        // formatting told) is refused.
        wchar_t title[64] = {};
        ::GetDlgItemTextW(rules, IDC_RULES_TITLE, title, 64);
        EXPECT_STREQ(title, L"Mail");
        ::SetDlgItemTextW(rules, IDC_RULES_PROGRAM, L"Notepad.exe");
        ::SetDlgItemTextW(rules, IDC_RULES_TITLE, L"");
        ::SetDlgItemTextW(rules, IDC_RULES_EXTENSION, L"");
        ::SendDlgItemMessageW(rules, IDC_RULES_QUIET, BM_SETCHECK, BST_UNCHECKED, 0);
        Click(rules, IDC_RULES_ADD);
        ASSERT_TRUE(Acknowledge(rules));
        EXPECT_EQ(ListView_GetItemCount(list), 1);
        // Notepad starts "md" at once, quiet about formatting, and goes first.
        ::SetDlgItemTextW(rules, IDC_RULES_EXTENSION, L"md");
        ::SendDlgItemMessageW(rules, IDC_RULES_SHOW_LIST, BM_SETCHECK, BST_UNCHECKED, 0);
        ::SendDlgItemMessageW(rules, IDC_RULES_QUIET, BM_SETCHECK, BST_CHECKED, 0);
        ClickAndWait(rules, IDC_RULES_ADD);
        ASSERT_EQ(ListView_GetItemCount(list), 2);
        EXPECT_EQ(cell(1, 3), L"skipped");
        ClickAndWait(rules, IDC_RULES_UP);
        EXPECT_EQ(cell(0, 0), L"Notepad.exe");
        // The mail rule is removed.
        ListView_SetItemState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
        ClickAndWait(rules, IDC_RULES_REMOVE);
        EXPECT_EQ(ListView_GetItemCount(list), 1);
        ClickAndWait(rules, IDOK);
        ASSERT_TRUE(WaitGone(rules, "the Rules dialog to close"));
        ClickAndWait(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(m_host.applied.Rules, (std::vector<RULEREC>{RULEREC(u"Notepad.exe", u"", u"md", 0, 1)}));
}
