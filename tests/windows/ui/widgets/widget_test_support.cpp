// The scripted dialog, synthesised input and screen capture of the widget tests.
#include "widget_test_support.h"

#include <cstdio>
#include <cstdlib>

#include "framework/handles.h"

namespace quillon::test {
namespace {

constexpr UINT_PTR kStepTimer = 77;
constexpr INT_PTR kFailed = -2;

} // namespace

CScriptedDialog& CScriptedDialog::Do(std::string what, std::function<void()> action) {
    m_steps.push_back({std::move(what),
                       [action = std::move(action)] {
                           action();
                           return true;
                       },
                       0,
                       {}});
    return *this;
}

CScriptedDialog& CScriptedDialog::WaitUntil(std::string what, std::function<bool()> condition,
                                            DWORD timeoutMs, std::function<std::string()> describe) {
    m_steps.push_back({std::move(what), std::move(condition), timeoutMs, std::move(describe)});
    return *this;
}

std::string CScriptedDialog::Run() {
    m_next = 0;
    m_deadline = 0;
    m_failure.clear();
    const INT_PTR result = DoModal();
    if (!m_failure.empty())
        return m_failure;
    if (result == -1)
        return "the dialog could not be created";
    if (m_next < m_steps.size())
        return "the dialog closed (code " + std::to_string(result) + ") before: " + m_steps[m_next].what;
    return {};
}

BOOL CScriptedDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (onInit)
        onInit(*this);
    ::SetTimer(m_hWnd, kStepTimer, 10, nullptr);
    return TRUE;
}

void CScriptedDialog::Advance() {
    // Several steps may pass in one tick; a step that waits ends the tick.
    while (m_next < m_steps.size()) {
        Step& step = m_steps[m_next];
        if (m_deadline == 0)
            m_deadline = ::GetTickCount64() + step.timeoutMs;
        if (step.condition()) {
            ++m_next;
            m_deadline = 0;
            if (!IsModalRunning() || !m_hWnd)
                return;
            continue;
        }
        if (::GetTickCount64() > m_deadline) {
            m_failure = "timed out waiting for: " + step.what;
            if (step.describe)
                m_failure += " (" + step.describe() + ")";
            EndDialog(kFailed);
        }
        return;
    }
    EndDialog(IDOK);
}

LRESULT CScriptedDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU) {
        ++m_keyMenuRequests;
        return 0;
    }
    if (message == WM_TIMER && wParam == kStepTimer) {
        ::KillTimer(m_hWnd, kStepTimer);
        Advance();
        if (m_hWnd && IsModalRunning() && m_failure.empty() && m_next < m_steps.size())
            ::SetTimer(m_hWnd, kStepTimer, 10, nullptr);
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void SendKeys(const std::vector<std::pair<WORD, bool>>& keys) {
    std::vector<INPUT> inputs;
    for (const auto& [vk, down] : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        const bool extended = vk == VK_LWIN || vk == VK_RWIN || (vk >= VK_PRIOR && vk <= VK_DOWN) ||
                              vk == VK_INSERT || vk == VK_DELETE;
        in.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
        inputs.push_back(in);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void MoveMouse(POINT screen) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 over the primary screen.
    in.mi.dx = static_cast<LONG>((screen.x * 65535LL + (w - 1) / 2) / (w - 1));
    in.mi.dy = static_cast<LONG>((screen.y * 65535LL + (h - 1) / 2) / (h - 1));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
}

void LeftButton(bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &in, sizeof(in));
}

POINT CentreOf(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

COLORREF CPixels::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return CLR_INVALID;
    const std::uint32_t p =
        bgra[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

CPixels Capture(HWND hwnd) {
    CPixels pixels;
    RECT r{};
    if (!::GetWindowRect(hwnd, &r))
        return pixels;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return pixels;
    // The screen's DC and a memory DC, each given back on every path.
    struct CScreenDC {
        HDC dc = ::GetDC(nullptr);
        ~CScreenDC() { ::ReleaseDC(nullptr, dc); }
    } screenDC;
    struct CMemoryDC {
        HDC dc;
        ~CMemoryDC() { ::DeleteDC(dc); }
    } memoryDC{::CreateCompatibleDC(screenDC.dc)};
    HDC screen = screenDC.dc, memory = memoryDC.dc;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    CGdiHandle dib(::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (dib && bits) {
        HGDIOBJ old = ::SelectObject(memory, dib.Get());
        ::BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        ::GdiFlush();
        pixels.width = w;
        pixels.height = h;
        const auto* p = static_cast<const std::uint32_t*>(bits);
        pixels.bgra.assign(p, p + static_cast<size_t>(w) * static_cast<size_t>(h));
        ::SelectObject(memory, old);
    }
    return pixels;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::string Describe(COLORREF c) {
    if (c == CLR_INVALID)
        return "outside";
    char text[16];
    std::snprintf(text, sizeof(text), "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

} // namespace quillon::test
