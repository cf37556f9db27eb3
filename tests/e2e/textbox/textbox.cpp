// quillon-textbox.exe: a small program with text boxes for the end-to-end tests. Its window
// (class "QuillonTestBox") holds a multi-line EDIT (101), a single-line EDIT (102), a
// RichEdit (103) and another EDIT (104) to move the focus away. Tests ask it to focus a
// box with the registered message "QuillonTestBoxFocus" (wParam = box id), as a user's
// click would: activate the window, then focus the box.
// Two more stand for places that are not one box per window: a page (105), one EDIT
// holding two fields as a browser page's one window holds many, switched with
// "QuillonTestBoxField" (wParam = field 0 or 1; the field's text moves in and out of the
// EDIT); and a console (106, class "ConsoleWindowClass") that counts the letter keys it
// gets, read with "QuillonTestBoxKeys". A terminal as the system's own shows one: a window of
// its class ("CASCADIA_HOSTING_WINDOW_CLASS") whose keyboard focus is in a child window of
// another class (107), counted with the console's keys; and a password box (108: EDIT with
// ES_PASSWORD).
// A box can be made slow to copy, as a busy web page is: "QuillonTestBoxSlowCopy" with
// wParam = milliseconds makes each Ctrl+C copy the selection only that long afterwards;
// wParam = 0 asks how many such late copies were made. With lParam = 1 the same for Ctrl+V,
// the paste (the clipboard read) coming that long after the keys. wParam = INFINITE makes
// the box take the keys and never copy (or never read the paste).
// Run as "quillon-textbox.exe --collect LOG" it shows no boxes: it is a clipboard collector
// beside them, as history and sync tools are, that reads the Unicode text of every change of
// the clipboard at once, whatever markers ask such tools to leave a text alone. Every text it
// read is in LOG (UTF-16, each ending in a zero), written whole under another name and
// renamed, so a test never reads half of it. Its hidden window (class "QuillonTestCollector")
// is titled "listening" once it listens.
// Wine's plain EDIT ignores Ctrl+A without the common-controls v6 manifest, which this
// program carries; the boxes also select all on Ctrl+A themselves for safety.
#include <windows.h>
#include <richedit.h>

#include <string>
#include <tuple>

#include "windows/support/file_bytes.h"

namespace {

UINT g_focusMessage = 0;
UINT g_fieldMessage = 0;
UINT g_keysMessage = 0;
UINT g_slowCopyMessage = 0;
UINT g_slowCopyMs = 0;
UINT g_slowPasteMs = 0;
LRESULT g_lateCopies = 0;
LRESULT g_latePastes = 0;
constexpr UINT_PTR kLateCopyTimer = 0x100;  // + the box's index
constexpr UINT_PTR kLatePasteTimer = 0x110; // + the box's index
HWND g_main = nullptr;
HWND g_boxes[5] = {};
WNDPROC g_editProcs[5] = {};
HWND g_console = nullptr;
HWND g_terminal = nullptr; // the terminal's top-level window
LRESULT g_consoleKeys = 0;
std::wstring g_fields[2];
WPARAM g_field = 0;

std::wstring TextOf(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

LRESULT CALLBACK ConsoleProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_KEYDOWN && w >= 'A' && w <= 'Z')
        ++g_consoleKeys;
    if (msg == WM_LBUTTONDOWN)
        SetFocus(hwnd);
    return DefWindowProcW(hwnd, msg, w, l);
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    int index = GetDlgCtrlID(hwnd) - 101;
    WNDPROC super = index >= 0 && index < 5 ? g_editProcs[index] : DefWindowProcW;
    if (msg == WM_KEYDOWN && w == 'A' && (GetKeyState(VK_CONTROL) & 0x8000)) {
        SendMessageW(hwnd, EM_SETSEL, 0, -1);
        return 0;
    }
    if (msg == WM_CHAR && w == 1) // Ctrl+A as a character: already handled
        return 0;
    // A slow box takes Ctrl+C (Ctrl+V) now and copies (pastes) when its timer fires; the
    // control character the key also makes (3, 22) is swallowed.
    for (const auto& [ms, letter, timer] : {std::tuple{g_slowCopyMs, WPARAM{'C'}, kLateCopyTimer},
                                            std::tuple{g_slowPasteMs, WPARAM{'V'}, kLatePasteTimer}}) {
        if (ms && index >= 0 && index < 5 &&
            ((msg == WM_KEYDOWN && w == letter && (GetKeyState(VK_CONTROL) & 0x8000)) ||
             (msg == WM_CHAR && w == letter - 'A' + 1))) {
            if (msg == WM_KEYDOWN && ms != INFINITE)
                SetTimer(g_main, timer + static_cast<UINT_PTR>(index), ms, nullptr);
            return 0;
        }
    }
    return CallWindowProcW(super, hwnd, msg, w, l);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == g_focusMessage && g_focusMessage) {
        HWND top = hwnd;
        HWND box = GetDlgItem(hwnd, static_cast<int>(w));
        if (!box && g_terminal && (box = GetDlgItem(g_terminal, static_cast<int>(w))) != nullptr)
            top = g_terminal;
        if (!box)
            return 0;
        ShowWindow(top, SW_SHOW);
        SetForegroundWindow(top);
        SetActiveWindow(top);
        SetFocus(box);
        return GetFocus() == box ? 1 : 0;
    }
    if (msg == g_fieldMessage && g_fieldMessage && w < 2 && g_boxes[4]) {
        g_fields[g_field] = TextOf(g_boxes[4]);
        g_field = w;
        SetWindowTextW(g_boxes[4], g_fields[g_field].c_str());
        return 1;
    }
    if (msg == g_keysMessage && g_keysMessage)
        return g_consoleKeys;
    if (msg == g_slowCopyMessage && g_slowCopyMessage) {
        if (w == 0)
            return l ? g_latePastes : g_lateCopies;
        (l ? g_slowPasteMs : g_slowCopyMs) = static_cast<UINT>(w);
        return 1;
    }
    if (msg == WM_TIMER && w >= kLatePasteTimer && w < kLatePasteTimer + 5) {
        KillTimer(hwnd, w);
        SendMessageW(g_boxes[w - kLatePasteTimer], WM_PASTE, 0, 0);
        ++g_latePastes;
        return 0;
    }
    if (msg == WM_TIMER && w >= kLateCopyTimer && w < kLateCopyTimer + 5) {
        KillTimer(hwnd, w);
        SendMessageW(g_boxes[w - kLateCopyTimer], WM_COPY, 0, 0);
        ++g_lateCopies;
        return 0;
    }
    switch (msg) {
    case WM_CREATE: {
        HINSTANCE inst = reinterpret_cast<CREATESTRUCTW*>(l)->hInstance;
        LoadLibraryW(L"msftedit.dll");
        const DWORD multi =
            WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        g_boxes[0] =
            CreateWindowExW(0, L"EDIT", L"", multi, 10, 10, 380, 120, hwnd, (HMENU)101, inst, nullptr);
        g_boxes[1] = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10,
                                     140, 380, 24, hwnd, (HMENU)102, inst, nullptr);
        g_boxes[2] = CreateWindowExW(0, L"RICHEDIT50W", L"", multi, 10, 174, 380, 100, hwnd, (HMENU)103, inst,
                                     nullptr);
        g_boxes[3] = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10,
                                     284, 380, 24, hwnd, (HMENU)104, inst, nullptr);
        g_boxes[4] = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10,
                                     318, 380, 24, hwnd, (HMENU)105, inst, nullptr);
        g_console = CreateWindowExW(0, L"ConsoleWindowClass", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 352,
                                    380, 40, hwnd, (HMENU)106, inst, nullptr);
        CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | ES_PASSWORD, 10,
                        400, 380, 24, hwnd, (HMENU)108, inst, nullptr);
        for (int i = 0; i < 5; ++i) {
            if (!g_boxes[i])
                continue;
            SendMessageW(g_boxes[i], EM_LIMITTEXT, 0, 0); // no length limit (1 MB texts)
            if (i == 2)
                SendMessageW(g_boxes[i], EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
            g_editProcs[i] = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(g_boxes[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoxProc)));
        }
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, w, l);
    }
}

std::wstring g_collectLog;
std::wstring g_collected; // every text read, each ending in a zero

void Collect(HWND hwnd) {
    // The program that changed the clipboard, or another reader, may still have it open.
    bool open = false;
    for (int i = 0; i < 200 && !(open = OpenClipboard(hwnd) != FALSE); ++i)
        Sleep(5);
    if (!open)
        return;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            g_collected += p;
            g_collected += L'\0';
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    const std::wstring part = g_collectLog + L".part";
    quillon::test::WriteFileBytes(
        part, std::string(reinterpret_cast<const char*>(g_collected.data()), g_collected.size() * 2));
    MoveFileExW(part.c_str(), g_collectLog.c_str(), MOVEFILE_REPLACE_EXISTING);
}

LRESULT CALLBACK CollectorProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_CLIPBOARDUPDATE:
        Collect(hwnd);
        return 0;
    case WM_DESTROY:
        RemoveClipboardFormatListener(hwnd);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, w, l);
    }
}

int RunCollector(HINSTANCE instance) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CollectorProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"QuillonTestCollector";
    RegisterClassW(&wc);
    // Never shown: it takes neither the foreground nor the focus from the box.
    HWND hwnd =
        CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
    if (!hwnd || !AddClipboardFormatListener(hwnd))
        return 3;
    SetWindowTextW(hwnd, L"listening");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (__argc == 3 && std::wstring(__wargv[1]) == L"--collect") {
        g_collectLog = __wargv[2];
        return RunCollector(instance);
    }
    g_focusMessage = RegisterWindowMessageW(L"QuillonTestBoxFocus");
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"QuillonTestBox";
    RegisterClassW(&wc);
    g_fieldMessage = RegisterWindowMessageW(L"QuillonTestBoxField");
    g_keysMessage = RegisterWindowMessageW(L"QuillonTestBoxKeys");
    g_slowCopyMessage = RegisterWindowMessageW(L"QuillonTestBoxSlowCopy");
    WNDCLASSW console{};
    console.lpfnWndProc = ConsoleProc;
    console.hInstance = instance;
    console.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOWTEXT + 1);
    console.lpszClassName = L"ConsoleWindowClass";
    RegisterClassW(&console);
    WNDCLASSW terminal = console;
    terminal.lpfnWndProc = DefWindowProcW;
    terminal.lpszClassName = L"CASCADIA_HOSTING_WINDOW_CLASS";
    RegisterClassW(&terminal);
    WNDCLASSW inputSite = console;
    inputSite.lpszClassName = L"Windows.UI.Input.InputSite.WindowClass";
    RegisterClassW(&inputSite);
    g_terminal = CreateWindowExW(0, terminal.lpszClassName, L"Quillon test terminal", WS_OVERLAPPEDWINDOW,
                                 540, 100, 300, 200, nullptr, nullptr, instance, nullptr);
    // Shown only when a test focuses it, out of the way of every other test.
    CreateWindowExW(0, inputSite.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 280, 150, g_terminal,
                    (HMENU)107, instance, nullptr);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Quillon test box", WS_OVERLAPPEDWINDOW, 100, 100, 420,
                                480, nullptr, nullptr, instance, nullptr);
    g_main = hwnd;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    SetForegroundWindow(hwnd);
    if (g_boxes[0])
        SetFocus(g_boxes[0]);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
