// CListCtrl: the list view helpers that need more than one message.
#include "framework/list_view.h"

#include <vector>

namespace quillon {

int CListCtrl::InsertColumn(int index, const std::wstring& heading, int format, int width,
                            int subItem) const {
    LVCOLUMNW column{};
    // -1 leaves the width or the subitem to the control.
    column.mask = LVCF_FMT | LVCF_TEXT | (width != -1 ? LVCF_WIDTH : 0) | (subItem != -1 ? LVCF_SUBITEM : 0);
    column.fmt = format;
    column.cx = width;
    column.iSubItem = subItem;
    std::wstring text = heading;
    column.pszText = text.data();
    return static_cast<int>(
        SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::GetColumnCount() const {
    HWND header = GetHeaderCtrl();
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int CListCtrl::InsertItem(int index, const std::wstring& text) const {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    std::wstring copy = text;
    item.pszText = copy.data();
    return InsertItem(item);
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const {
    // LVM_GETITEMTEXT says only how much it copied: grow until the text fits with room left.
    for (std::size_t size = 256;; size *= 2) {
        std::vector<wchar_t> buffer(size, L'\0');
        LVITEMW lv{};
        lv.iSubItem = subItem;
        lv.pszText = buffer.data();
        lv.cchTextMax = static_cast<int>(size);
        const auto copied = static_cast<std::size_t>(
            SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)));
        if (copied + 1 < size || size >= (1u << 20))
            return std::wstring(lv.pszText ? lv.pszText : L"", lv.pszText ? copied : 0);
    }
}

bool CListCtrl::SetItemText(int item, int subItem, const std::wstring& text) const {
    LVITEMW lv{};
    lv.iSubItem = subItem;
    std::wstring copy = text;
    lv.pszText = copy.data();
    return SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)) != FALSE;
}

LPARAM CListCtrl::GetItemData(int item) const {
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    return GetItem(lv) ? lv.lParam : 0;
}

bool CListCtrl::SetItemData(int item, LPARAM data) const {
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    lv.lParam = data;
    return SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&lv)) != FALSE;
}

bool CListCtrl::SetItemState(int item, UINT state, UINT mask) const {
    LVITEMW lv{};
    lv.state = state;
    lv.stateMask = mask;
    return SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)) != FALSE;
}

} // namespace quillon
