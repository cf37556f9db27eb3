// CRecordListCtrl<T>: a report list view whose rows are mirrored one to one by an array of
// records, kept in step by the list's own insert and delete notifications, with the table
// operations of the Options dialog's buttons (fit the columns, remove the selection, swap).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "framework/list_view.h"
#include "framework/wnd.h"

namespace quillon {

// Sent (WM_NOTIFY) to the list's parent when a row becomes selected, or with item -1 when
// the last row was removed. The header's other fields are zero.
constexpr int kRecordListSelectionCode = -1601;

template <typename T> class CRecordListCtrl : public CListCtrlT<CWnd> {
public:
    // One record per row, in row order. Rows inserted by anyone get a default record at
    // their index; the owner stores the real one right after inserting.
    std::vector<T> m_items;

    void PreSubclassWindow() override {
        ModifyStyle(0, LVS_SINGLESEL | LVS_SHOWSELALWAYS);
        SetExtendedStyle(LVS_EX_FULLROWSELECT);
        CListCtrlT::PreSubclassWindow();
    }

    // Fits each column to the wider of its header and its content; every column but the
    // last gets 10 pixels of air unless the header is already that much wider.
    void AutoSizeColumns() const {
        const int count = GetColumnCount();
        for (int i = 0; i < count; ++i) {
            SetColumnWidth(i, LVSCW_AUTOSIZE_USEHEADER);
            const int byHeader = GetColumnWidth(i);
            SetColumnWidth(i, LVSCW_AUTOSIZE);
            const int byContent = GetColumnWidth(i);
            int width = std::max(byHeader, byContent);
            if (i != count - 1 && byHeader < byContent + 10)
                width += 10;
            SetColumnWidth(i, static_cast<short>(width));
        }
    }

    // Removes the selected rows; the row that took the place of the last one removed (or
    // the new last row) becomes selected. Returns the last search result, -1.
    int RemoveSelected() const {
        int i = GetNextItem(-1, LVNI_SELECTED);
        while (i >= 0) {
            DeleteItem(i);
            const int n = GetItemCount();
            if (n > 0) {
                const int j = std::min(i, n - 1);
                SetItemState(j, LVIS_SELECTED, LVIS_SELECTED);
                EnsureVisible(j, false);
            } else {
                SendSelection(-1);
            }
            i = GetNextItem(i, LVNI_SELECTED);
        }
        return i;
    }

    // Exchanges two rows: every column's text, the item data and the records. Selection
    // and focus stay where they were. Indexes outside the list change nothing.
    void SwapRows(int a, int b) {
        const int count = GetItemCount();
        if (a < 0 || b < 0 || a >= count || b >= count || a == b)
            return;
        const int columns = GetColumnCount();
        for (int column = 0; column < columns; ++column) {
            const std::wstring textA = GetItemText(a, column);
            const std::wstring textB = GetItemText(b, column);
            SetItemText(a, column, textB);
            SetItemText(b, column, textA);
        }
        const LPARAM dataA = GetItemData(a);
        SetItemData(a, GetItemData(b));
        SetItemData(b, dataA);
        if (static_cast<std::size_t>(std::max(a, b)) < m_items.size())
            std::swap(m_items[static_cast<std::size_t>(a)], m_items[static_cast<std::size_t>(b)]);
    }

    // The list's notifications, reflected by its parent. They are handled here and passed
    // on, so the parent still sees them.
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != WM_NOTIFY || !lParam)
            return CListCtrlT::OnChildNotify(message, wParam, lParam, result);
        const auto* notify = reinterpret_cast<const NMLISTVIEW*>(lParam);
        switch (notify->hdr.code) {
        case LVN_INSERTITEM: {
            const auto at = static_cast<std::size_t>(std::max(notify->iItem, 0));
            m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(std::min(at, m_items.size())), T());
            break;
        }
        case LVN_DELETEITEM:
            if (notify->iItem >= 0 && static_cast<std::size_t>(notify->iItem) < m_items.size())
                m_items.erase(m_items.begin() + notify->iItem);
            break;
        case LVN_ITEMCHANGED:
            if (notify->uNewState & LVIS_SELECTED)
                SendSelection(notify->iItem);
            break;
        default:
            break;
        }
        return false;
    }

private:
    void SendSelection(int item) const {
        HWND parent = ::GetParent(m_hWnd);
        if (!parent)
            return;
        NMLISTVIEW selection{};
        selection.hdr.hwndFrom = m_hWnd;
        selection.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        selection.hdr.code = static_cast<UINT>(kRecordListSelectionCode);
        selection.iItem = item;
        ::SendMessageW(parent, WM_NOTIFY, selection.hdr.idFrom, reinterpret_cast<LPARAM>(&selection));
    }
};

} // namespace quillon
