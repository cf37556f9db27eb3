// The hotkey field: commit on the main key's release under the hotkey rules, the dialog's own
// keys left to the dialog, its own sunken painting, focus mark and caret.
#include "ui/widgets/hotkey_field.h"

#include "ui/widgets/hotkey_text.h"
#include "ui/widgets/widget_dpi.h"

namespace quillon {
namespace {

// DrawTextW flags of the field's text: one line, vertically centred, never clipped or
// taken for mnemonics, cut with an ellipsis when the box is too narrow.
constexpr UINT kTextFlags = DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX | DT_END_ELLIPSIS;

} // namespace

const wchar_t* CHotKeyField::ClassName() {
    static const wchar_t kName[] = L"QuillonHotKeyField";
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kName;
        return ::RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    return kName;
}

bool CHotKeyField::CreateInPlaceOf(HWND dialog, int placeholderId) {
    HWND placeholder = ::GetDlgItem(dialog, placeholderId);
    if (!placeholder || m_hWnd)
        return false;
    ::ShowWindow(placeholder, SW_HIDE);
    RECT rect{};
    ::GetWindowRect(placeholder, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);

    MakeFont(dialog);
    if (!CreateEx(0, ClassName(), L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top, dialog, nullptr))
        return false;
    // The tab order is the order of the windows: the field takes the placeholder's place, so
    // Tab reaches it after the controls above it and the label's access key lands on it.
    ::SetWindowPos(m_hWnd, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

void CHotKeyField::MakeFont(HWND dpiSource) {
    LOGFONTW logFont{};
    // The dialog's own font, when it has one: the field then matches the labels beside it
    // at every DPI and in whatever face the system gives the dialog.
    HWND dialog = (::GetWindowLongW(dpiSource, GWL_STYLE) & WS_CHILD) ? ::GetParent(dpiSource) : dpiSource;
    if (HFONT dialogFont = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0))) {
        if (::GetObjectW(dialogFont, sizeof(logFont), &logFont) == sizeof(logFont)) {
            if (HFONT font = ::CreateFontIndirectW(&logFont))
                m_font.Reset(font);
            return;
        }
    }
    if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont) != sizeof(logFont))
        return;
    // The stock font is made for the system's DPI; a dialog on a monitor of another DPI
    // (per-monitor awareness) scales its own font, and the field follows it.
    const int windowDpi = DpiOfWindow(dpiSource), systemDpi = SystemDpi();
    if (windowDpi != systemDpi)
        logFont.lfHeight = ::MulDiv(logFont.lfHeight, windowDpi, systemDpi);
    if (HFONT font = ::CreateFontIndirectW(&logFont))
        m_font.Reset(font);
}

void CHotKeyField::SetHotKeyValue(std::uint16_t value) {
    m_releasedModifiers = keyboard::ModifiersOf(value);
    m_releasedKey = keyboard::KeyOf(value);
    m_refusal = keyboard::Refusal::None;
    RepaintAndPlaceCaret();
}

std::uint16_t CHotKeyField::GetHotKeyValue() const {
    return keyboard::Pack(m_releasedKey, m_releasedModifiers);
}

std::wstring CHotKeyField::GetDisplayText() const {
    if (m_currentKey != 0 || m_currentModifiers != 0)
        return FormatHotKey(m_currentKey, m_currentModifiers);
    if (m_refusal != keyboard::Refusal::None) {
        const char16_t* reason = keyboard::RefusalText(m_refusal);
        return FormatHotKeyValue(m_refused) + L": " +
               std::wstring(reason, reason + std::char_traits<char16_t>::length(reason));
    }
    return FormatHotKey(m_releasedKey, m_releasedModifiers);
}

UINT CHotKeyField::CommandModifiersHeld() const {
    UINT held = m_currentModifiers;
    if (::GetKeyState(VK_CONTROL) < 0)
        held |= MOD_CONTROL;
    if (::GetKeyState(VK_MENU) < 0)
        held |= MOD_ALT;
    if (::GetKeyState(VK_LWIN) < 0 || ::GetKeyState(VK_RWIN) < 0)
        held |= MOD_WIN;
    return held & keyboard::kCommandModifiers;
}

bool CHotKeyField::OnKeyDown(UINT virtualKey) {
    // The committed value stays until a whole new combination is released: a stray press
    // must never leave the program without its hotkey.
    m_refusal = keyboard::Refusal::None;
    bool handled = true;
    if (const UINT flag = keyboard::ModifierFlagOfKey(virtualKey)) {
        m_currentModifiers |= flag;
    } else if (virtualKey == VK_BACK && CommandModifiersHeld() == 0) {
        // Backspace alone clears the field on purpose: no hotkey at all.
        m_currentKey = 0;
        m_currentModifiers = 0;
        m_releasedKey = 0;
        m_releasedModifiers = 0;
    } else {
        m_currentKey = virtualKey;
        m_currentModifiers |= CommandModifiersHeld();
        // Alt+F4 and the like keep their meaning here too (Alt+F4 closes the dialog).
        handled = keyboard::CheckHotKey(m_currentKey, m_currentModifiers) != keyboard::Refusal::SystemKeys;
    }
    RepaintAndPlaceCaret();
    return handled;
}

void CHotKeyField::OnKeyUp(UINT virtualKey) {
    if (const UINT flag = keyboard::ModifierFlagOfKey(virtualKey)) {
        m_currentModifiers &= ~flag;
    } else if (m_currentKey != 0) {
        // The combination is whole when its main key comes up with the modifiers still held.
        const keyboard::Refusal refusal = keyboard::CheckHotKey(m_currentKey, m_currentModifiers);
        if (refusal == keyboard::Refusal::None) {
            m_releasedKey = m_currentKey;
            m_releasedModifiers = m_currentModifiers;
        } else {
            m_refusal = refusal;
            m_refused = keyboard::Pack(m_currentKey, m_currentModifiers);
        }
        m_currentKey = 0;
    }
    RepaintAndPlaceCaret();
}

void CHotKeyField::RepaintAndPlaceCaret() {
    if (!m_hWnd)
        return;
    // The window's text is what it shows, for screen readers and other programs that read it.
    const std::wstring text = GetDisplayText();
    wchar_t old[256] = {};
    ::GetWindowTextW(m_hWnd, old, 256);
    if (text != old)
        ::SetWindowTextW(m_hWnd, text.c_str());
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    // The thread has one caret: while another control has the focus it is that control's,
    // and ours is made again where this paint put it when the focus comes back.
    if (::GetFocus() == m_hWnd)
        ::SetCaretPos(m_caretX, m_caretY);
}

void CHotKeyField::MakeCaret() {
    ::CreateCaret(m_hWnd, nullptr, 1, m_caretHeight);
    ::SetCaretPos(m_caretX, m_caretY);
    ::ShowCaret(m_hWnd);
}

void CHotKeyField::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    if (!dc)
        return;
    HGDIOBJ oldFont = m_font ? ::SelectObject(dc, m_font.Get()) : nullptr;

    SIZE letter{};
    if (::GetTextExtentPoint32W(dc, L"W", 1, &letter))
        m_caretHeight = letter.cy;

    RECT r{};
    ::GetClientRect(m_hWnd, &r);
    const bool enabled = ::IsWindowEnabled(m_hWnd) != FALSE;
    ::SetBkMode(dc, TRANSPARENT);
    ::FillRect(dc, &r, ::GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));

    // A sunken one-pixel frame: shadow above and left, light below and right.
    const int w = r.right - r.left, h = r.bottom - r.top;
    HBRUSH shadow = ::GetSysColorBrush(COLOR_BTNSHADOW), light = ::GetSysColorBrush(COLOR_3DLIGHT);
    const RECT top{r.left, r.top, r.left + w - 1, r.top + 1}, left{r.left, r.top, r.left + 1, r.top + h - 1};
    const RECT right{r.right - 1, r.top, r.right, r.bottom}, bottom{r.left, r.bottom - 1, r.right, r.bottom};
    ::FillRect(dc, &top, shadow);
    ::FillRect(dc, &left, shadow);
    ::FillRect(dc, &right, light);
    ::FillRect(dc, &bottom, light);
    // The keyboard focus shows as a dotted frame inside the border, as on other controls.
    if (::GetFocus() == m_hWnd) {
        RECT focus = r;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(dc, &focus);
    }

    // Text margins grow with the DPI, as the dialog's own spacing does.
    const int dpi = DpiOfWindow(m_hWnd);
    ::InflateRect(&r, -::MulDiv(4, dpi, 96), -::MulDiv(2, dpi, 96));
    ::SetTextColor(dc, ::GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    std::wstring text = GetDisplayText();
    RECT textRect = r;
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &textRect, kTextFlags | DT_LEFT);
    RECT measured = r;
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &measured,
                kTextFlags | DT_LEFT | DT_CALCRECT);
    const int textHeight = measured.bottom - measured.top;
    // Right after the text; a text cut with an ellipsis keeps the caret inside the box.
    m_caretX = measured.right + 1 < r.right ? measured.right + 1 : r.right;
    // Level with the text, which DT_VCENTER centres in the box.
    m_caretY = r.top + (r.bottom - r.top - textHeight) / 2;
    // A paint the system asked for (the focus mark, a first showing) moves the caret too.
    if (::GetFocus() == m_hWnd)
        ::SetCaretPos(m_caretX, m_caretY);

    if (oldFont)
        ::SelectObject(dc, oldFont);
    ::EndPaint(m_hWnd, &ps);
}

LRESULT CHotKeyField::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SETFOCUS: {
        const LRESULT result = Default();
        MakeCaret();
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        if (m_onFocus)
            m_onFocus(true);
        return result;
    }
    case WM_KILLFOCUS: {
        const LRESULT result = Default();
        ::DestroyCaret();
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        if (m_onFocus)
            m_onFocus(false);
        // Keys still held when the focus leaves are released elsewhere and never reach the
        // field: forget them, or they would show (and combine) as if still down.
        if (m_currentKey != 0 || m_currentModifiers != 0) {
            m_currentKey = 0;
            m_currentModifiers = 0;
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
        }
        return result;
    }
    case WM_LBUTTONDOWN:
        ::SetFocus(m_hWnd);
        return Default();
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // Not passed on: Alt combinations and F10 must not reach the dialog's menu.
        if (OnKeyDown(static_cast<UINT>(wParam)))
            return 0;
        return Default();
    case WM_KEYUP:
    case WM_SYSKEYUP:
        OnKeyUp(static_cast<UINT>(wParam));
        return 0;
    case WM_SYSCHAR:
    case WM_SYSDEADCHAR:
        // The characters of Alt combinations would otherwise look for a menu mnemonic (and beep).
        return 0;
    case WM_GETDLGCODE: {
        // Tab, Shift+Tab, Enter and Escape belong to the dialog, as in any other field; with
        // Ctrl, Alt or Win held they are keys of a hotkey and come here.
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
            (msg->wParam == VK_TAB || msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) &&
            CommandModifiersHeld() == 0)
            return Default();
        return Default() | DLGC_WANTALLKEYS;
    }
    case WM_DPICHANGED_AFTERPARENT:
        // The dialog moved to a monitor of another DPI and scaled its controls: the text follows.
        MakeFont(m_hWnd);
        RepaintAndPlaceCaret();
        if (::GetFocus() == m_hWnd) {
            // The caret is as tall as the text: make it again at the new height.
            ::DestroyCaret();
            MakeCaret();
        }
        return 0;
    case WM_ENABLE: {
        const LRESULT result = Default();
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        return result;
    }
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

} // namespace quillon
