// The list view helpers that need more than one message.
#include "framework/list_view.h"

#include <vector>

namespace quillon {
namespace list_view {

int InsertColumn(HWND list, int index, const std::wstring& heading, int format, int width, int subItem) {
    LVCOLUMNW column{};
    // -1 leaves the width or the subitem to the control.
    column.mask = LVCF_FMT | LVCF_TEXT | (width != -1 ? LVCF_WIDTH : 0) | (subItem != -1 ? LVCF_SUBITEM : 0);
    column.fmt = format;
    column.cx = width;
    column.iSubItem = subItem;
    std::wstring text = heading;
    column.pszText = text.data();
    return static_cast<int>(::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                           reinterpret_cast<LPARAM>(&column)));
}

int GetColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int InsertItem(HWND list, int index, const std::wstring& text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    std::wstring copy = text;
    item.pszText = copy.data();
    return static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

std::wstring GetItemText(HWND list, int item, int subItem) {
    // LVM_GETITEMTEXT says only how much it copied: grow until the text fits with room left.
    for (std::size_t size = 256;; size *= 2) {
        std::vector<wchar_t> buffer(size, L'\0');
        LVITEMW lv{};
        lv.iSubItem = subItem;
        lv.pszText = buffer.data();
        lv.cchTextMax = static_cast<int>(size);
        const auto copied = static_cast<std::size_t>(
            ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)));
        if (copied + 1 < size || size >= (1u << 20))
            return std::wstring(lv.pszText ? lv.pszText : L"", lv.pszText ? copied : 0);
    }
}

bool SetItemText(HWND list, int item, int subItem, const std::wstring& text) {
    LVITEMW lv{};
    lv.iSubItem = subItem;
    std::wstring copy = text;
    lv.pszText = copy.data();
    return ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)) !=
           FALSE;
}

LPARAM GetItemData(HWND list, int item) {
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    return ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lv)) ? lv.lParam : 0;
}

bool SetItemData(HWND list, int item, LPARAM data) {
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    lv.lParam = data;
    return ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&lv)) != FALSE;
}

bool SetItemState(HWND list, int item, UINT state, UINT mask) {
    LVITEMW lv{};
    lv.state = state;
    lv.stateMask = mask;
    return ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)) !=
           FALSE;
}

} // namespace list_view
} // namespace quillon
