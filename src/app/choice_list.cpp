// The extension choice list: a popup list view that never takes the focus, so the text box
// the user was typing in stays the target while a choice is made.
#include "app/choice_list.h"

#include <shellapi.h>

#include <algorithm>

#include "base/u16.h"
#include "res/resource.h"

namespace quillon {
namespace {

// Popup list view, report mode, owner drawn, no header. The image list belongs to the
// server window, not to the list view.
constexpr DWORD kListStyle = WS_POPUP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                             LVS_OWNERDRAWFIXED | LVS_NOSORTHEADER | LVS_NOCOLUMNHEADER | LVS_SHAREIMAGELISTS;
constexpr DWORD kListExStyle = WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_WINDOWEDGE;
constexpr int kExtraColumnWidth = 50;

} // namespace

std::wstring EditorDisplayName(const std::wstring& editor) {
    if (editor.empty())
        return L"default editor";
    const size_t slash = editor.find_last_of(L'\\');
    return slash == std::wstring::npos ? editor : editor.substr(slash + 1);
}

std::wstring ChoiceItemText(const EXTENSIONREC& row) {
    return ToWide(row.Extension) + L"_(" + EditorDisplayName(ToWide(row.Editor)) + L")";
}

void SplitChoiceText(const std::wstring& text, std::wstring& left, std::wstring& right) {
    const size_t underscore = text.find(L'_');
    if (underscore == std::wstring::npos) {
        left = text;
        right.clear();
    } else {
        left = text.substr(0, underscore);
        right = text.substr(underscore + 1);
    }
}

RECT ClampRectToArea(const RECT& rect, const RECT& area) {
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    const LONG x = std::max(area.left, std::min(area.right - width, rect.left));
    const LONG y = std::max(area.top, std::min(area.bottom - height, rect.top));
    return RECT{x, y, x + width, y + height};
}

RECT ClampToWorkArea(const RECT& rect) {
    HMONITOR monitor = ::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof(MONITORINFO);
    if (!monitor || !::GetMonitorInfoW(monitor, &info))
        return rect;
    return ClampRectToArea(rect, info.rcWork);
}

int NextChoice(int selected, int count) {
    if (count <= 0)
        return -1;
    if (selected < 0)
        return 0;
    return (selected + 1) % count;
}

std::wstring RememberItemText(const std::wstring& extension, const std::wstring& program) {
    return L"Always " + extension + L"_in " + program;
}

bool CQLNListCtrl::Create(HWND owner, HIMAGELIST images) {
    m_owner = owner;
    if (!CreateEx(kListExStyle, WC_LISTVIEWW, L"Quillon", kListStyle, 0, 0, 0, 0, owner, nullptr))
        return false;
    SetExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int column = 0; column < 2; ++column)
        InsertColumn(column, L"");
    m_images = images;
    SetImageList(images, LVSIL_SMALL);
    return true;
}

void CQLNListCtrl::AppendItem(const std::wstring& text, HICON icon) {
    InsertItemAt(ItemCount(), text, icon);
}

void CQLNListCtrl::InsertItemAt(int index, const std::wstring& text, HICON icon) {
    // A missing icon leaves the item without an image; the item is there all the same.
    const int image = m_images && icon ? ::ImageList_ReplaceIcon(m_images, -1, icon) : -1;
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.iImage = image;
    InsertItem(item);
}

void CQLNListCtrl::Refresh(const std::vector<EXTENSIONREC>& rows) {
    if (!m_hWnd)
        return;
    DeleteAllItems();
    if (m_images)
        ::ImageList_Remove(m_images, -1);
    m_rememberItem = -1;
    m_rememberRow = -1;
    m_rowExtensions.clear();

    for (const EXTENSIONREC& row : rows) {
        m_rowExtensions.push_back(ToWide(row.Extension));
        // The icon the shell shows for such files; the file need not exist.
        const std::wstring name = L"." + ToWide(row.Extension);
        SHFILEINFOW info{};
        ::SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                         SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
        CIconHandle icon(info.hIcon);
        AppendItem(ChoiceItemText(row), icon.Get());
    }
    // The small images of our own icons, not the large ones shrunk.
    HINSTANCE module = ::GetModuleHandleW(nullptr);
    for (const auto& [text, id] :
         {std::pair{kNewExtensionText, IDI_NEW_EXTENSION}, std::pair{kCancelText, IDI_CANCEL}}) {
        CIconHandle icon(
            static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0)));
        AppendItem(text, icon.Get());
    }
    FitToItems();
}

void CQLNListCtrl::OfferRemember(const std::wstring& program, const std::wstring& extension) {
    if (!m_hWnd)
        return;
    if (m_rememberItem >= 0)
        DeleteItem(m_rememberItem);
    m_rememberItem = -1;
    m_rememberRow = -1;
    for (std::size_t row = 0; row < m_rowExtensions.size() && !program.empty(); ++row) {
        if (::CompareStringOrdinal(m_rowExtensions[row].c_str(), -1, extension.c_str(), -1, TRUE) !=
            CSTR_EQUAL)
            continue;
        m_rememberRow = static_cast<int>(row);
        m_rememberItem = ItemCount() - 1; // just above "Cancel"
        InsertItemAt(m_rememberItem, RememberItemText(m_rowExtensions[row], program), nullptr);
        break;
    }
    FitToItems();
}

void CQLNListCtrl::FitToItems() {
    SetColumnWidth(0, LVSCW_AUTOSIZE);
    const int width = GetColumnWidth(0) + kExtraColumnWidth;

    // No scroll bars, without a style that report view does not support: the client area
    // holds every item, and the columns fill it exactly (column 0 takes what the second,
    // unsized one leaves), so there is nothing to scroll.
    RECT frame{};
    ::AdjustWindowRectEx(&frame,
                         static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)) & ~(WS_HSCROLL | WS_VSCROLL),
                         FALSE, static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
    SetColumnWidth(0, width - (frame.right - frame.left) - GetColumnWidth(1));

    RECT bounds{};
    GetItemRect(0, bounds, LVIR_BOUNDS);
    const int itemHeight = bounds.bottom - bounds.top;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, ItemCount() * itemHeight + (frame.bottom - frame.top),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Bars that showed while the items went into a smaller window would each take room the
    // other then lacks, and so stay: taken away, the list finds that everything fits.
    ::ShowScrollBar(m_hWnd, SB_BOTH, FALSE);
}

void CQLNListCtrl::ShowOrAdvance(POINT pointer, int first) {
    if (!m_hWnd)
        return;
    if (IsWindowVisible()) {
        SelectItem(NextChoice(SelectedItem(), ItemCount()));
        return;
    }
    RECT r{};
    ::GetWindowRect(m_hWnd, &r);
    const LONG width = r.right - r.left;
    const LONG height = r.bottom - r.top;
    r = ClampToWorkArea(RECT{pointer.x - width, pointer.y - height, pointer.x, pointer.y});
    // Shown without activation: the text box to be edited keeps the keyboard focus.
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(SW_SHOWNA);
    SelectItem(first >= 0 && first < ItemCount() ? first : 0);
}

int CQLNListCtrl::ItemCount() const {
    return GetItemCount();
}

int CQLNListCtrl::SelectedItem() const {
    return GetSelectedItem();
}

void CQLNListCtrl::SelectItem(int index) {
    if (!m_hWnd || index < 0)
        return;
    // One selection at a time, whatever the list view makes of single selection.
    SetItemState(-1, 0, LVIS_SELECTED);
    SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
}

std::wstring CQLNListCtrl::ItemText(int index) const {
    return m_hWnd ? GetItemText(index, 0) : std::wstring();
}

int CQLNListCtrl::ItemImage(int index) const {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    item.iImage = -1;
    if (!m_hWnd || !GetItem(item))
        return -1;
    return item.iImage;
}

void CQLNListCtrl::DrawItem(const DRAWITEMSTRUCT& draw) {
    HDC dc = draw.hDC;
    CSaveDC saved(dc);
    const int index = static_cast<int>(draw.itemID);

    RECT r = draw.rcItem;
    r.right = std::min(r.right, r.left + (m_clientRect.right - m_clientRect.left));
    if (::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_VSCROLL)
        r.right -= ::GetSystemMetrics(SM_CXVSCROLL);

    const UINT state = GetItemState(index, LVIS_SELECTED | LVIS_DROPHILITED | LVIS_OVERLAYMASK);
    const bool selected = (state & (LVIS_SELECTED | LVIS_DROPHILITED)) != 0;

    COLORREF fill;
    if (selected) {
        ::SetTextColor(dc, ::GetSysColor(COLOR_HIGHLIGHTTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_HIGHLIGHT));
        fill = ::GetSysColor(COLOR_HIGHLIGHT);
    } else {
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        fill = index % 2 == 0 ? m_evenColour : m_oddColour;
    }
    CGdiHandle brush(::CreateSolidBrush(fill));
    ::FillRect(dc, &r, static_cast<HBRUSH>(brush.Get()));
    // The text goes over the row colour, not over a box of the window colour.
    ::SetBkMode(dc, TRANSPARENT);
    if (HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)))
        ::SelectObject(dc, font);

    r.left += 4;
    if (HIMAGELIST images = GetImageList(LVSIL_SMALL)) {
        const int height = r.bottom - r.top;
        const UINT style = ILD_TRANSPARENT | (selected ? ILD_SELECTED : 0) | (state & LVIS_OVERLAYMASK);
        ::ImageList_Draw(images, ItemImage(index), dc, r.left, r.top + (height - 15) / 2, style);
    }

    RECT text = r;
    text.left = r.left + 20;
    text.right = r.right - 4;
    std::wstring left, right;
    SplitChoiceText(ItemText(index), left, right);
    ::DrawTextW(dc, left.c_str(), static_cast<int>(left.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP);
    if (!right.empty())
        ::DrawTextW(dc, right.c_str(), static_cast<int>(right.size()), &text,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_RIGHT);
}

LRESULT CQLNListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE: {
        LRESULT result = Default();
        ::GetClientRect(m_hWnd, &m_clientRect);
        return result;
    }
    case WM_MOUSEACTIVATE:
        // A click chooses an item; it must not make this window the active one.
        return MA_NOACTIVATE;
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

bool CQLNListCtrl::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message == WM_DRAWITEM) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return true;
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code != static_cast<UINT>(NM_CLICK))
            return false;
        const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
        if (activate->iItem >= 0 && m_owner)
            ::PostMessageW(m_owner, WM_CHOICE_CLICKED, static_cast<WPARAM>(activate->iItem), 0);
        *result = 0;
        return true;
    }
    return false;
}

} // namespace quillon
