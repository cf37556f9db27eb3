// The Windows tests' shared waiting, window finding, dialog templates, clipboard, input and
// screen capture.
#include "windows/support/win_test.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <thread>

#include "base/u16.h"
#include "base/win/handles.h"
#include "base/win/program_path.h"

namespace quillon::test {

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

::testing::AssertionResult WaitFor(const std::function<bool()>& condition, DWORD timeoutMs,
                                   const std::string& what) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return ::testing::AssertionSuccess();
        if (::GetTickCount64() >= deadline)
            return ::testing::AssertionFailure()
                   << "timed out after " << timeoutMs << " ms waiting for: " << what;
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::string Utf8Of(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::wstring ThisProgramPath() {
    return ToWide(RunningProgramPath());
}

std::wstring ThisProgramFolder() {
    const std::wstring path = ThisProgramPath();
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool IsChecked(HWND dialog, int id) {
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    bool shownOnly;
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<WindowSearch*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->processId || (s->shownOnly && !::IsWindowVisible(hwnd)))
        return TRUE;
    if (s->owner && ::GetWindow(hwnd, GW_OWNER) != s->owner)
        return TRUE;
    wchar_t text[256] = {};
    if (s->className) {
        ::GetClassNameW(hwnd, text, 256);
        if (std::wcscmp(text, s->className) != 0)
            return TRUE;
    }
    if (s->title) {
        ::GetWindowTextW(hwnd, text, 256);
        if (std::wcscmp(text, s->title) != 0)
            return TRUE;
    }
    s->found = hwnd;
    return FALSE;
}

HWND Search(WindowSearch s) {
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

} // namespace

HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title) {
    return Search({processId, className, title, false, nullptr, nullptr});
}

HWND FindShownWindow(const wchar_t* className, const wchar_t* title, HWND owner) {
    return Search({::GetCurrentProcessId(), className, title, true, owner, nullptr});
}

HWND WaitShownWindow(const wchar_t* className, const wchar_t* title, HWND owner, DWORD timeoutMs) {
    HWND found = nullptr;
    const std::string what = std::string("the window ") + (title ? "\"" + Utf8Of(title) + "\"" : "") +
                             (className ? " of class " + Utf8Of(className) : "");
    const auto shown = WaitFor([&] { return (found = FindShownWindow(className, title, owner)) != nullptr; },
                               timeoutMs, what);
    if (!shown)
        ADD_FAILURE() << shown.message();
    return found;
}

INT_PTR PlayModal(const wchar_t* className, const wchar_t* title, const std::function<void(HWND)>& player,
                  const std::function<INT_PTR()>& runModal) {
    std::thread user([&] {
        if (HWND shown = WaitShownWindow(className, title))
            player(shown);
    });
    const INT_PTR result = runModal();
    user.join();
    return result;
}

::testing::AssertionResult WaitGone(HWND window, const std::string& what, DWORD timeoutMs) {
    return WaitFor([&] { return !::IsWindow(window); }, timeoutMs, what);
}

bool RunningUnderWine() {
    // Wine's ntdll exports its version; Windows' never has.
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

RECT PrimaryWorkArea() {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

CDialogTemplate::CDialogTemplate(const wchar_t* title, DWORD style, RECT dialogUnits, WORD fontPoints,
                                 const wchar_t* fontFace) {
    Dword(fontFace ? style | DS_SETFONT : style);
    Dword(0);             // extended style
    m_words.push_back(0); // the count of controls, raised by Control()
    Rect(dialogUnits);
    m_words.push_back(0); // no menu
    m_words.push_back(0); // the predefined dialog class
    Text(title);
    if (fontFace) {
        m_words.push_back(fontPoints);
        Text(fontFace);
    }
}

CDialogTemplate& CDialogTemplate::Control(WORD predefinedClass, WORD id, const wchar_t* text, DWORD style,
                                          RECT dialogUnits) {
    ++m_words[4];
    if (m_words.size() % 2)
        m_words.push_back(0); // each DLGITEMTEMPLATE starts on a DWORD
    Dword(style);
    Dword(0); // extended style
    Rect(dialogUnits);
    m_words.push_back(id);
    m_words.push_back(0xFFFF);
    m_words.push_back(predefinedClass);
    Text(text);
    m_words.push_back(0); // no creation data
    return *this;
}

void CDialogTemplate::Dword(DWORD value) {
    m_words.push_back(LOWORD(value));
    m_words.push_back(HIWORD(value));
}

void CDialogTemplate::Text(const wchar_t* text) {
    for (; *text; ++text)
        m_words.push_back(static_cast<WORD>(*text));
    m_words.push_back(0);
}

void CDialogTemplate::Rect(const RECT& r) {
    for (LONG v : {r.left, r.top, r.right - r.left, r.bottom - r.top})
        m_words.push_back(static_cast<WORD>(v));
}

bool OpenClipboardPatiently(HWND owner) {
    return WaitFor([&] { return ::OpenClipboard(owner) != FALSE; }, 2000, "the clipboard to open");
}

HGLOBAL GlobalBytes(const std::string& bytes) {
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (h) {
        std::memcpy(::GlobalLock(h), bytes.data(), bytes.size());
        ::GlobalUnlock(h);
    }
    return h;
}

std::string SmallDib() {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = 2;
    header.biHeight = 2;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof(header));
    const unsigned char pixels[16] = {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0, 1, 2, 3, 0};
    bytes.append(reinterpret_cast<const char*>(pixels), sizeof(pixels));
    return bytes;
}

std::vector<ClipFormat> ReadClipboard() {
    std::vector<ClipFormat> formats;
    if (!OpenClipboardPatiently())
        return formats;
    for (UINT f = ::EnumClipboardFormats(0); f; f = ::EnumClipboardFormats(f)) {
        ClipFormat c{f, {}, {}};
        wchar_t name[128] = {};
        if (f > 14 && ::GetClipboardFormatNameW(f, name, 128) > 0)
            c.name = name;
        // Only global-memory formats carry comparable bytes.
        if (f == CF_BITMAP || f == CF_METAFILEPICT || f == CF_PALETTE || f == CF_ENHMETAFILE ||
            f == CF_OWNERDISPLAY || f == CF_DSPBITMAP || f == CF_DSPMETAFILEPICT || f == CF_DSPENHMETAFILE ||
            (f >= CF_PRIVATEFIRST && f <= CF_PRIVATELAST)) {
            formats.push_back(c);
            continue;
        }
        if (HANDLE h = ::GetClipboardData(f)) {
            const SIZE_T size = ::GlobalSize(h);
            if (const void* p = ::GlobalLock(h)) {
                c.bytes.assign(static_cast<const char*>(p), size);
                ::GlobalUnlock(h);
            }
        }
        formats.push_back(c);
    }
    ::CloseClipboard();
    return formats;
}

namespace {

// Asks the shell about the icon by its window and id alone.
bool ShellIconCall(DWORD message, HWND hwnd, UINT id) {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = hwnd;
    icon.uID = id;
    return ::Shell_NotifyIconW(message, &icon) != FALSE;
}

} // namespace

bool ShellHasIcon(HWND hwnd, UINT id) {
    return hwnd && ShellIconCall(NIM_MODIFY, hwnd, id);
}

bool RemoveShellIcon(HWND hwnd, UINT id) {
    return ShellIconCall(NIM_DELETE, hwnd, id);
}

WORD FreeWindowsKeyPartner(WORD preferred) {
    const int kProbeId = 0xBFF0;
    for (WORD key : {preferred, static_cast<WORD>(VK_F9), static_cast<WORD>(VK_F8), static_cast<WORD>(VK_F7)})
        if (::RegisterHotKey(nullptr, kProbeId, MOD_WIN | MOD_NOREPEAT, key)) {
            ::UnregisterHotKey(nullptr, kProbeId);
            return key;
        }
    return preferred;
}

INPUT KeyInput(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    // The keys a keyboard sends with the E0 prefix.
    const bool extended = vk == VK_LWIN || vk == VK_RWIN || vk == VK_RMENU || vk == VK_RCONTROL ||
                          (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
    in.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

void SendKeys(const std::vector<std::pair<WORD, bool>>& keys) {
    std::vector<INPUT> inputs;
    for (const auto& [vk, down] : keys)
        inputs.push_back(KeyInput(vk, down));
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PressWithModifiers(const std::vector<WORD>& modifiers, WORD key) {
    std::vector<std::pair<WORD, bool>> keys;
    for (WORD m : modifiers)
        keys.emplace_back(m, true);
    keys.emplace_back(key, true);
    keys.emplace_back(key, false);
    SendKeys(keys);
}

void ReleaseKeys(const std::vector<WORD>& keys) {
    std::vector<std::pair<WORD, bool>> ups;
    for (WORD k : keys)
        ups.emplace_back(k, false);
    SendKeys(ups);
}

void TapKey(WORD key) {
    PressWithModifiers({}, key);
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
