// CListCtrl: a list view control (comctl32's SysListView32) with typed helpers for the
// report view: columns, items, texts, states and item data.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "base/win/handles.h"
#include "framework/window.h"

namespace quillon {

// Owner of an image list handle (a list view only borrows the image lists it shows).
using CImageListHandle = CUniqueHandle<handle_traits::Simple<HIMAGELIST, ::ImageList_Destroy>>;

// The list view helpers that take more than one message, over the control's handle.
namespace list_view {
int InsertColumn(HWND list, int index, const std::wstring& heading, int format, int width, int subItem);
int GetColumnCount(HWND list);
int InsertItem(HWND list, int index, const std::wstring& text);
std::wstring GetItemText(HWND list, int item, int subItem);
bool SetItemText(HWND list, int item, int subItem, const std::wstring& text);
LPARAM GetItemData(HWND list, int item);
bool SetItemData(HWND list, int item, LPARAM data);
bool SetItemState(HWND list, int item, UINT state, UINT mask);
} // namespace list_view

// The helpers over any base that has the handle: CWindow for a plain value, CWnd for a list
// with behaviour of its own.
template <typename TBase> class CListCtrlT : public TBase {
public:
    using TBase::m_hWnd;
    using TBase::SendMessage;
    using TBase::TBase;

    int GetItemCount() const { return m_hWnd ? static_cast<int>(SendMessage(LVM_GETITEMCOUNT)) : 0; }
    // The next item after start (-1: from the beginning) with the flags (LVNI_SELECTED...), or -1.
    int GetNextItem(int start, UINT flags) const {
        return m_hWnd ? static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags))
                      : -1;
    }
    int GetSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }

    // A width or subitem of -1 is left to the control.
    int InsertColumn(int index, const std::wstring& heading, int format = LVCFMT_LEFT, int width = -1,
                     int subItem = -1) const {
        return list_view::InsertColumn(m_hWnd, index, heading, format, width, subItem);
    }
    // The number of columns, as the header holds them.
    int GetColumnCount() const { return list_view::GetColumnCount(m_hWnd); }
    int GetColumnWidth(int column) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, column)); }
    // width may be LVSCW_AUTOSIZE or LVSCW_AUTOSIZE_USEHEADER.
    bool SetColumnWidth(int column, int width) const {
        return SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)) != FALSE;
    }

    // Inserts an item with its column-0 text; the index it got, or -1.
    int InsertItem(int index, const std::wstring& text) const {
        return list_view::InsertItem(m_hWnd, index, text);
    }
    int InsertItem(const LVITEMW& item) const {
        return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    }
    bool DeleteItem(int index) const {
        return SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index)) != FALSE;
    }
    bool DeleteAllItems() const { return SendMessage(LVM_DELETEALLITEMS) != FALSE; }
    bool GetItem(LVITEMW& item) const {
        return SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
    }

    // A cell's whole text, however long.
    std::wstring GetItemText(int item, int subItem) const {
        return list_view::GetItemText(m_hWnd, item, subItem);
    }
    bool SetItemText(int item, int subItem, const std::wstring& text) const {
        return list_view::SetItemText(m_hWnd, item, subItem, text);
    }
    LPARAM GetItemData(int item) const { return list_view::GetItemData(m_hWnd, item); }
    bool SetItemData(int item, LPARAM data) const { return list_view::SetItemData(m_hWnd, item, data); }
    UINT GetItemState(int item, UINT mask) const {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
    }
    // item -1 sets the state of every item.
    bool SetItemState(int item, UINT state, UINT mask) const {
        return list_view::SetItemState(m_hWnd, item, state, mask);
    }
    bool EnsureVisible(int item, bool partialOk) const {
        return SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), partialOk ? TRUE : FALSE) != FALSE;
    }
    bool GetItemRect(int item, RECT& rect, int code) const {
        rect.left = code;
        return SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)) !=
               FALSE;
    }

    // Sets the extended styles under mask (mask 0: all of them) to style.
    DWORD SetExtendedStyle(DWORD style, DWORD mask = 0) const {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style));
    }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    HIMAGELIST SetImageList(HIMAGELIST images, int which) const {
        return reinterpret_cast<HIMAGELIST>(
            SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(images)));
    }
    HIMAGELIST GetImageList(int which) const {
        return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, static_cast<WPARAM>(which)));
    }
    HWND GetHeaderCtrl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)); }
};

using CListCtrl = CListCtrlT<CWindow>;

} // namespace quillon
