// The Options dialog in-process under Wine: its template, the list buttons at the table's
// edges, the radio pair acting on the Insert box, "+" through the New Extension dialog, and
// OK or Cancel as they reach the engine's settings. A helper thread plays the user.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/edit_engine.h"
#include "res/resource.h"
#include "ui/dialogs/options_dlg.h"
#include "windows/support/gdiplus_session.h"
#include "windows/support/win_test.h"

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

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        CEditEngine& engine = GetEditEngine();
        engine.HotKey = 0x4108;
        engine.TemporaryFolder = u"C:\\Edits";
        engine.DeleteTempFile = 1;
        engine.SaveContent = 1;
        engine.Insert = 0;
        engine.EditOnlySelection = 0;
        engine.Extensions = {EXTENSIONREC(u"txt", u"", u"", 1),
                             EXTENSIONREC(u"md", u"C:\\ed.exe", u"-n \"%1\"", 0)};
        // OK saves the settings: to a file of the test's own.
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        const std::wstring folder = std::wstring(temp) + L"qln-options-test";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring config = folder + L"\\QLNConfig.xml";
        engine.configFilePath = std::u16string(config.begin(), config.end());
        ::DeleteFileW(config.c_str());
        engine.configXml.ForgetSynced();
    }
    CGdiplusSession m_gdiplus;
};

using Rows_t = std::vector<std::wstring>;

} // namespace

TEST_F(OptionsDialogTest, OpensWithTheSettingsInTheTemplatesPlaces) {
    CDlgOptions dialog;
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
        EXPECT_EQ(units(IDC_OPT_MODE_ENTIRE), L"14,73,285,9");
        EXPECT_EQ(units(IDC_OPT_TEMP_FOLDER), L"100,150,196,13");
        EXPECT_EQ(units(IDC_OPT_BROWSE), L"303,149,47,14");
        EXPECT_EQ(units(IDC_OPT_EXTENSIONS), L"14,216,333,96");
        // OK and Cancel at the bottom right, below the Extensions group (which ends at 337).
        EXPECT_EQ(units(IDOK), L"250,343,50,14");
        EXPECT_EQ(units(IDCANCEL), L"304,343,50,14");
        EXPECT_EQ(ItemText(d, IDC_OPT_MOVE_UP), L"/\\");
        EXPECT_EQ(ItemText(d, IDC_OPT_MOVE_DOWN), L"\\/");

        // The placeholder is hidden and the hotkey field stands in its place.
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(d, IDC_OPT_HOTKEY)));
        // The settings, each in its control; no row selected.
        EXPECT_EQ(ItemText(d, IDC_OPT_TEMP_FOLDER), L"C:\\Edits");
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

TEST_F(OptionsDialogTest, ListButtonsAndRadiosThenOkStoresEverythingAsShown) {
    CDlgOptions dialog;
    INT_PTR result = RunWith(dialog, [](HWND d) {
        // Up on the first row, down on the last, and either with nothing selected: nothing.
        ClickAndWait(d, IDC_OPT_MOVE_UP);
        ClickAndWait(d, IDC_OPT_MOVE_DOWN);
        Select(d, 0);
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
        ::SetDlgItemTextW(d, IDC_OPT_TEMP_FOLDER, L" \\Temp");
        ClickAndWait(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    const CEditEngine& engine = GetEditEngine();
    EXPECT_EQ(engine.Extensions,
              (std::vector<EXTENSIONREC>{EXTENSIONREC(u"md", u"C:\\ed.exe", u"-n \"%1\"", 0),
                                         EXTENSIONREC(u"html", u"", u"\"%1\"", 1)}));
    EXPECT_EQ(engine.EditOnlySelection, 1);
    EXPECT_EQ(engine.Insert, 1);
    EXPECT_EQ(engine.SaveContent, 0);
    EXPECT_EQ(engine.DeleteTempFile, 0);
    EXPECT_EQ(engine.TemporaryFolder, u" \\Temp") << "stored as typed";
    EXPECT_EQ(engine.HotKey, 0x4108) << "unchanged";
}

TEST_F(OptionsDialogTest, CancelAfterEditsChangesNothing) {
    const SettingsFields before = GetEditEngine();
    CDlgOptions dialog;
    INT_PTR result = RunWith(dialog, [](HWND d) {
        Select(d, 1);
        ClickAndWait(d, IDC_OPT_REMOVE);
        ClickAndWait(d, IDC_OPT_MODE_SELECTION);
        ClickAndWait(d, IDC_OPT_DELETE_TEMP);
        ::SetDlgItemTextW(d, IDC_OPT_TEMP_FOLDER, L"D:\\Elsewhere");
        ClickAndWait(d, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    const CEditEngine& engine = GetEditEngine();
    EXPECT_EQ(engine.Extensions, before.Extensions);
    EXPECT_EQ(engine.TemporaryFolder, before.TemporaryFolder);
    EXPECT_EQ(engine.EditOnlySelection, before.EditOnlySelection);
    EXPECT_EQ(engine.Insert, before.Insert);
    EXPECT_EQ(engine.DeleteTempFile, before.DeleteTempFile);
}

TEST_F(OptionsDialogTest, ARowSavedByAnEditWhileTheDialogIsOpenSurvivesOk) {
    CDlgOptions dialog;
    INT_PTR result = RunWith(dialog, [](HWND d) {
        // "Edit with new Extension" with "Save for future use", while Options is open (the
        // dialog's thread waits in its loop and reads the table only at OK, after the
        // messages below).
        GetEditEngine().Extensions.push_back(EXTENSIONREC(u"csv", u"", u"", 1));
        Select(d, 0);
        ClickAndWait(d, IDC_OPT_REMOVE);
        ClickAndWait(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(GetEditEngine().Extensions,
              (std::vector<EXTENSIONREC>{EXTENSIONREC(u"md", u"C:\\ed.exe", u"-n \"%1\"", 0),
                                         EXTENSIONREC(u"csv", u"", u"", 1)}))
        << "the dialog's rows, then the row saved meanwhile";
}
