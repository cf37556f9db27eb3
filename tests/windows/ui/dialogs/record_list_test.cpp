// The extension list's record mirror under Wine: real list-view inserts, removals and swaps,
// with the mirror checked against the rows after every step, and the notifications the
// parent still sees.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "base/u16.h"
#include "config/settings.h"
#include "ui/dialogs/record_list.h"

using namespace quillon;

namespace {

// The list's parent: records what reaches it after the list has had its say.
class CParent : public CWnd {
public:
    std::vector<int> selections; // item of each selection notification, in order
    int inserts = 0, deletes = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NOTIFY) {
            const auto* n = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if (static_cast<int>(n->hdr.code) == kRecordListSelectionCode) {
                EXPECT_EQ(n->hdr.idFrom, 7u);
                selections.push_back(n->iItem);
            }
            inserts += n->hdr.code == LVN_INSERTITEM;
            deletes += n->hdr.code == LVN_DELETEITEM;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class RecordListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_parent.CreateEx(0, nullptr, L"parent", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr));
        HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 300,
                                      200, m_parent.m_hWnd, reinterpret_cast<HMENU>(7), nullptr, nullptr);
        ASSERT_TRUE(m_list.SubclassWindow(list));
        m_list.InsertColumn(0, L"Extension");
        m_list.InsertColumn(1, L"Editor");
    }
    // Appends a row the way the Options dialog does: insert, then store the record.
    void Append(const std::u16string& extension, const std::u16string& editor) {
        const int index = m_list.InsertItem(m_list.GetItemCount(), ToWide(extension));
        ASSERT_GE(index, 0);
        m_list.SetItemText(index, 1, ToWide(editor));
        m_list.SetItemData(index, 100 + index);
        m_list.m_items[static_cast<size_t>(index)] = EXTENSIONREC(extension, editor, u"", 1);
    }
    // The rows by their column-0 text, and the mirror must say the same.
    std::vector<std::wstring> Rows() {
        std::vector<std::wstring> rows;
        for (int i = 0; i < m_list.GetItemCount(); ++i)
            rows.push_back(m_list.GetItemText(i, 0));
        std::vector<std::wstring> mirror;
        for (const EXTENSIONREC& r : m_list.m_items)
            mirror.push_back(ToWide(r.Extension));
        EXPECT_EQ(mirror, rows) << "the mirror left the rows' order";
        return rows;
    }
    void Select(int item) { m_list.SetItemState(item, LVIS_SELECTED, LVIS_SELECTED); }

    CParent m_parent;
    CRecordListCtrl<EXTENSIONREC> m_list;
};

using RowTexts = std::vector<std::wstring>;

} // namespace

TEST_F(RecordListTest, BindingMakesASingleSelectionFullRowList) {
    const LONG style = ::GetWindowLongW(m_list.m_hWnd, GWL_STYLE);
    EXPECT_TRUE(style & LVS_SINGLESEL);
    EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
    EXPECT_EQ(m_list.GetExtendedStyle(), static_cast<DWORD>(LVS_EX_FULLROWSELECT));

    // Sized with no rows: the columns fit their headers, the last fills the list's width.
    m_list.AutoSizeColumns();
    RECT client{};
    ::GetClientRect(m_list.m_hWnd, &client);
    EXPECT_GT(m_list.GetColumnWidth(0), 10);
    EXPECT_EQ(m_list.GetColumnWidth(0) + m_list.GetColumnWidth(1), client.right);
}

TEST_F(RecordListTest, TheMirrorFollowsInsertsRemovalsAndSwaps) {
    Append(u"txt", u"");
    Append(u"md", u"C:\\ed.exe");
    Append(u"html", u"");
    EXPECT_EQ(m_parent.inserts, 3) << "the inserts reach the parent too";

    // A row inserted at the top by anyone shifts every record; its own is the default.
    m_list.InsertItem(0, L"");
    EXPECT_EQ(m_list.m_items.size(), 4u);
    EXPECT_EQ(m_list.m_items[0], EXTENSIONREC());
    m_list.DeleteItem(0);
    EXPECT_EQ(Rows(), (RowTexts{L"txt", L"md", L"html"}));
    EXPECT_EQ(m_parent.deletes, 1);

    // Swapping exchanges both columns, the item data and the records; the selection stays.
    Select(0);
    m_list.SwapRows(0, 1);
    EXPECT_EQ(Rows(), (RowTexts{L"md", L"txt", L"html"}));
    EXPECT_EQ(m_list.GetItemText(0, 1), L"C:\\ed.exe");
    EXPECT_EQ(m_list.GetItemText(1, 1), L"");
    EXPECT_EQ(m_list.GetItemData(0), 101);
    EXPECT_EQ(m_list.GetItemData(1), 100);
    EXPECT_EQ(m_list.m_items[0].Editor, u"C:\\ed.exe");
    EXPECT_EQ(m_list.GetSelectedItem(), 0);
    m_list.SwapRows(1, 7); // out of range: nothing
    EXPECT_EQ(Rows(), (RowTexts{L"md", L"txt", L"html"}));

    // Removing the middle row selects the row that was third.
    m_parent.selections.clear();
    Select(1);
    EXPECT_EQ(m_list.RemoveSelected(), -1);
    EXPECT_EQ(Rows(), (RowTexts{L"md", L"html"}));
    EXPECT_EQ(m_list.GetSelectedItem(), 1);
    EXPECT_EQ(m_parent.selections, (std::vector<int>{1, 1}));

    // Removing the last row selects the new last one; the only row leaves nothing, and the
    // parent hears of the empty selection.
    m_list.RemoveSelected();
    EXPECT_EQ(Rows(), (RowTexts{L"md"}));
    EXPECT_EQ(m_list.GetSelectedItem(), 0);
    m_parent.selections.clear();
    m_list.RemoveSelected();
    EXPECT_EQ(Rows(), RowTexts{});
    EXPECT_EQ(m_parent.selections, (std::vector<int>{-1}));
    EXPECT_EQ(m_list.RemoveSelected(), -1) << "nothing selected, nothing removed";
}
