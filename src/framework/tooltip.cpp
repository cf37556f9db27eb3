// CToolTipCtrl: creation, tools and relaying of a tooltip control.
#include "framework/tooltip.h"

#include <vector>

namespace quillon {
namespace {

std::wstring Capped(const std::wstring& text) {
    return text.substr(0, CToolTipCtrl::kMaxTextUnits);
}

} // namespace

bool CToolTipCtrl::Create(HWND owner, DWORD style) {
    DestroyWindow();
    m_owner = owner;
    m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | style,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!m_hWnd)
        return false;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

void CToolTipCtrl::DestroyWindow() {
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

TTTOOLINFOW CToolTipCtrl::ToolInfo(HWND tool, UINT_PTR id, UINT flags) const {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = flags;
    // A whole-window tool is named by its own handle, held by itself; others by the
    // window they lie in and their identifier.
    ti.hwnd = tool;
    ti.uId = (flags & TTF_IDISHWND) ? reinterpret_cast<UINT_PTR>(tool) : id;
    return ti;
}

bool CToolTipCtrl::AddWindowTool(HWND tool, const std::wstring& text) {
    if (!m_hWnd)
        return false;
    // No TTF_SUBCLASS: our windows relay their mouse messages themselves (RelayEvent from
    // PreTranslateMessage), and a second subclass above ours would complicate unbinding.
    TTTOOLINFOW ti = ToolInfo(tool, 0, TTF_IDISHWND);
    std::wstring copy = Capped(text);
    ti.lpszText = copy.data();
    return ::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != FALSE;
}

bool CToolTipCtrl::AddTool(HWND tool, UINT_PTR id, const RECT& rect, const std::wstring& text) {
    if (!m_hWnd)
        return false;
    TTTOOLINFOW ti = ToolInfo(tool, id, 0);
    ti.rect = rect;
    std::wstring copy = Capped(text);
    ti.lpszText = copy.data();
    return ::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != FALSE;
}

void CToolTipCtrl::UpdateTipText(HWND tool, UINT_PTR id, const std::wstring& text) {
    if (!m_hWnd)
        return;
    TTTOOLINFOW ti = ToolInfo(tool, id, id == kWholeWindow ? TTF_IDISHWND : 0);
    std::wstring copy = Capped(text);
    ti.lpszText = copy.data();
    ::SendMessageW(m_hWnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::SetToolRect(HWND tool, UINT_PTR id, const RECT& rect) {
    if (!m_hWnd)
        return;
    TTTOOLINFOW ti = ToolInfo(tool, id, 0);
    ti.rect = rect;
    ::SendMessageW(m_hWnd, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
}

std::wstring CToolTipCtrl::GetText(HWND tool, UINT_PTR id) const {
    if (!m_hWnd)
        return {};
    // Every text we give the control fits this buffer (kMaxTextUnits).
    std::vector<wchar_t> buffer(kMaxTextUnits + 1, L'\0');
    TTTOOLINFOW ti = ToolInfo(tool, id, id == kWholeWindow ? TTF_IDISHWND : 0);
    ti.lpszText = buffer.data();
    ::SendMessageW(m_hWnd, TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&ti));
    return buffer.data();
}

int CToolTipCtrl::GetToolCount() const {
    return m_hWnd ? static_cast<int>(::SendMessageW(m_hWnd, TTM_GETTOOLCOUNT, 0, 0)) : 0;
}

void CToolTipCtrl::Activate(bool active) {
    if (m_hWnd)
        ::SendMessageW(m_hWnd, TTM_ACTIVATE, active ? TRUE : FALSE, 0);
}

void CToolTipCtrl::RelayEvent(const MSG* msg) {
    if (m_hWnd && msg)
        ::SendMessageW(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

} // namespace quillon
