// quillon-road-driver.exe: plays the edit road with the real Quillon.exe outside the test
// runner, for the headless demonstration and the benchmark.
//   quillon-road-driver demo SHOTS   prints each step; asks for screenshots by creating
//                                    SHOTS\<name>.request (holding "shot", or the area
//                                    to keep as WxH+X+Y) and waiting until it is gone
//   quillon-road-driver bench N OUT  N timed runs; writes one line per run to OUT:
//                                    "<release to editor process created ms> <return to
//                                    text ms> <release to editor code running ms> <release
//                                    to temporary file written ms>"
//   quillon-road-driver idle S DIR   the idle cost: the text box alone for S seconds, then
//                                    Quillon idle beside it for S seconds; DIR\base.ready and
//                                    DIR\quillon.ready mark the start of each window, in
//                                    which the script outside Wine reads the CPU times, and
//                                    the script ends each window with DIR\<name>.measured
//   quillon-road-driver quiet S DIR  Quillon's own idle cost: S seconds with no edit open
//                                    (DIR\none.ready), then S seconds with one edit open and
//                                    the user back in its box (DIR\one.ready); each window
//                                    ends the same way (DIR\none.measured, DIR\one.measured)
//   quillon-road-driver hooklag N OUT  N whole edits (copy and editor start, the settings saved
//                                    at Options OK while another program holds the file for a
//                                    moment, the paste) with a key that types nothing (F24)
//                                    sent every 10 ms throughout; writes one line per key event
//                                    to OUT: "<step> <ms the event waited for Quillon's hook>"
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <thread>
#include <vector>

#include "e2e/edit_road/road.h"

using namespace quillon::e2e;

namespace {

void Say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

bool Check(const ::testing::AssertionResult& result, const std::string& step) {
    if (result) {
        Say("   ok: " + step);
        return true;
    }
    Say("   FAILED: " + step + ": " + result.message());
    return false;
}

// Asks the script outside Wine for a screenshot and waits until it has been taken. With an
// area, only that part of the screen is kept (the request then holds its geometry).
void Shot(const std::wstring& folder, const std::wstring& name, const RECT* area = nullptr) {
    const std::wstring request = folder + L"\\" + name + L".request";
    std::string what = "shot";
    if (area) {
        const LONG left = area->left < 0 ? 0 : area->left, top = area->top < 0 ? 0 : area->top;
        what = std::to_string(area->right - left) + "x" + std::to_string(area->bottom - top) + "+" +
               std::to_string(left) + "+" + std::to_string(top);
    }
    WriteFileBytes(request, what);
    WaitFor([&] { return !FileExists(request); }, 20000, "the screenshot " + Utf8Of(name));
}

// The smallest rectangle holding both, with a margin.
RECT Around(RECT a, const RECT& b, LONG margin) {
    ::UnionRect(&a, &a, &b);
    ::InflateRect(&a, margin, margin);
    return a;
}

RECT WindowRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

// Waits until neither the window nor any of its controls has anything left to paint.
::testing::AssertionResult WaitPainted(HWND window) {
    return WaitFor(
        [&] {
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
            bool pending = ::GetUpdateRect(window, nullptr, FALSE) != FALSE;
            for (HWND child = ::GetWindow(window, GW_CHILD); child && !pending;
                 child = ::GetWindow(child, GW_HWNDNEXT))
                pending = ::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE) != FALSE;
            return !pending;
        },
        5000, "the window to finish painting");
}

// How many of Quillon's menus are shown, and the rectangle that holds them all.
int OpenMenus(CRoad& road, RECT& all) {
    struct Search {
        DWORD pid;
        int count;
        RECT all;
    } search{road.Quillon().Process().Id(), 0, all};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t kind[16] = {};
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            ::GetClassNameW(window, kind, 16);
            if (pid == s->pid && std::wstring(kind) == L"#32768" && ::IsWindowVisible(window)) {
                ++s->count;
                const RECT r = WindowRect(window);
                ::UnionRect(&s->all, &s->all, &r);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    all = search.all;
    return search.count;
}

// The tray icon's menu, opened as a right click on the icon opens it: at the pointer, held
// over the notification area.
bool TrayMenuShot(CRoad& road, const std::wstring& shots) {
    HWND tray = FindTopWindow(road.Quillon().Process().Id(), L"QuillonWindow", L"");
    HWND area = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    // Wine without a desktop window shows the notification area in a small window of its own.
    if (!area || !::IsWindowVisible(area))
        area = ::FindWindowW(nullptr, L"Wine System Tray");
    RECT areaRect{0, 0, 40, 40};
    if (area)
        areaRect = WindowRect(area);
    POINT at{(areaRect.left + areaRect.right) / 2, (areaRect.top + areaRect.bottom) / 2};
    ::SetCursorPos(at.x, at.y);
    ::PostMessageW(tray, 0x8088, 129, WM_RBUTTONUP);
    HWND menu = nullptr;
    const bool shown = Check(WaitFor(
                                 [&] {
                                     menu = FindTopWindow(road.Quillon().Process().Id(), L"#32768");
                                     return menu && ::IsWindowVisible(menu);
                                 },
                                 5000, "the tray menu"),
                             "tray menu shown");
    if (shown) {
        const RECT shot = Around(areaRect, WindowRect(menu), 12);
        Shot(shots, L"tray-menu", &shot);
        Say("   screenshot: build/demo/tray-menu.png");
        // "Open edits", the edit, and what can be done with it: three menus side by side.
        for (WORD key : {WORD{VK_DOWN}, WORD{VK_RIGHT}, WORD{VK_RIGHT}})
            TapKey(key);
        RECT menus = WindowRect(menu);
        if (Check(WaitFor([&] { return OpenMenus(road, menus) == 3; }, 5000, "the open edits' menus"),
                  "open edits shown")) {
            const RECT edits = Around(areaRect, menus, 12);
            Shot(shots, L"open-edits", &edits);
            Say("   screenshot: build/demo/open-edits.png");
        }
        for (int i = 0; i < 3; ++i)
            TapKey(VK_ESCAPE);
        Check(WaitFor([&] { return !::IsWindowVisible(menu); }, 5000, "the menu to close"), "menu closed");
    }
    // The pointer goes back beside the box, where the rest of the demonstration keeps it.
    ::SetCursorPos(640, 600);
    return shown;
}

// "Edit with new Extension" asks for an extension and an editor; Cancel leaves all as it was.
bool NewExtensionShot(CRoad& road, const std::wstring& shots) {
    if (!Check(road.Box().Focus(CTextBoxApp::kMultiLine), "the box focused again"))
        return false;
    road.PollFocusNow();
    if (!Check(road.Hotkey(2), "\"Edit with new Extension\" chosen"))
        return false;
    HWND dialog = nullptr;
    if (!Check(WaitFor(
                   [&] {
                       dialog = FindTopWindow(road.Quillon().Process().Id(), L"#32770", L"New Extension");
                       return dialog && ::IsWindowVisible(dialog);
                   },
                   10000, "the New Extension dialog"),
               "New Extension dialog shown"))
        return false;
    // Once every control has painted itself.
    if (!Check(WaitPainted(dialog), "the dialog painted"))
        return false;
    const RECT rect = WindowRect(dialog);
    const RECT shot = Around(rect, rect, 0);
    Shot(shots, L"new-extension", &shot);
    Say("   screenshot: build/demo/new-extension.png");
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return Check(WaitFor([&] { return !::IsWindow(dialog); }, 5000, "the dialog to close"),
                 "cancelled: no edit");
}

double Ms(LONGLONG ticks) {
    LARGE_INTEGER f{};
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(f.QuadPart);
}
unsigned long long SystemNow() {
    FILETIME t{};
    ::GetSystemTimePreciseAsFileTime(&t);
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
LONGLONG Now() {
    LARGE_INTEGER t{};
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

int Demo(const std::wstring& shots) {
    RoadOptions options;
    options.editorOptions =
        L"--seen \"{W}\\seen\" --wait \"{W}\\go\" --write \"{W}\\new\" --done \"{W}\\done\"";
    CRoad road(options);
    const std::wstring original = L"Hello from a text box.\r\nQuillon hands this text to your editor.";
    Say("1. A text box program with two lines in its multi-line box; a clipboard with text, HTML and a "
        "picture.");
    if (!Check(road.Box().Start(), "text box started") ||
        !Check(::testing::AssertionResult(road.Box().SetText(CTextBoxApp::kMultiLine, original)),
               "text set") ||
        !Check(::testing::AssertionResult(PutUserClipboard()), "clipboard filled"))
        return 1;
    const ClipboardImage user = ClipboardNow();
    Say("2. Quillon starts (hotkey Ctrl+Alt+Q; the .txt row opens a scripted test editor).");
    if (!Check(road.Start(), "Quillon running, the box focused"))
        return 1;
    Say("3. The user presses Ctrl+Alt+Q: the choice list pops up without taking the focus.");
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    if (!Check(WaitFor([&] { return road.ChoiceList() && ::IsWindowVisible(road.ChoiceList()); }, 5000,
                       "the choice list"),
               "choice list shown"))
        return 1;
    const RECT listShot = Around(WindowRect(road.Box().Window()), WindowRect(road.ChoiceList()), 12);
    Shot(shots, L"choice-list", &listShot);
    Say("   screenshot: build/demo/choice-list.png");
    Say("4. Releasing the modifiers confirms \"txt\": Quillon copies the box and starts the editor.");
    ReleaseKeys({VK_MENU, VK_CONTROL});
    std::string seen;
    if (!Check(road.WaitRead(L"seen", seen), "the editor started"))
        return 1;
    auto files = road.TempFiles();
    Say("   temporary file: " + (files.empty() ? std::string("?") : Utf8Of(files[0])) + ", " +
        std::to_string(seen.size()) + " bytes, " +
        (seen.compare(0, 3, "\xEF\xBB\xBF") == 0 ? "UTF-8 with byte-order mark" : "no byte-order mark"));
    Say("   the editor sees: \"" + Utf8Of(Printable(std::wstring(original))) + "\"" +
        (seen == "\xEF\xBB\xBF" + Utf8Of(original) ? " (exactly the box's text)" : " (DIFFERENT!)"));
    Check(road.WaitClipboard(user), "the user's clipboard is back while the editor runs");
    Say("5. The editor saves new text (with Unix line ends) and exits.");
    const std::string saved = "\xEF\xBB\xBF"
                              "Edited in the editor.\nSaved, and back in the box: d\xC3\xA9j\xC3\xA0 vu.\n";
    WriteFileBytes(road.W(L"new"), saved);
    WriteFileBytes(road.W(L"go"), "go");
    std::string done;
    if (!Check(road.WaitRead(L"done", done), "the editor saved"))
        return 1;
    Say("6. The user clicks elsewhere and comes back to the box: Quillon notices the save and pastes.");
    if (!Check(road.ComeBack(), "focus back in the box"))
        return 1;
    // The editor's last line break goes: the box's text had none at its end.
    const std::wstring expected = L"Edited in the editor.\r\nSaved, and back in the box: d\u00E9j\u00E0 vu.";
    if (!Check(road.WaitBoxText(expected), "the box holds the saved text"))
        return 1;
    Say("   the box now reads: \"" + Utf8Of(Printable(road.Box().Text(CTextBoxApp::kMultiLine))) + "\"");
    Check(road.WaitClipboard(user), "the clipboard holds again exactly what it held before");
    const RECT boxRect = WindowRect(road.Box().Window());
    const RECT boxShot = Around(boxRect, boxRect, 12);
    Shot(shots, L"final-box", &boxShot);
    Say("   screenshot: build/demo/final-box.png");
    Say("7. The tray icon's menu: Open edits, Options, About and Exit.");
    if (!TrayMenuShot(road, shots))
        return 1;
    Say("8. The hotkey pressed twice: \"Edit with new Extension\" asks for an extension and an editor.");
    if (!NewExtensionShot(road, shots))
        return 1;
    Say("9. Exit from the tray menu: the temporary file is deleted.");
    if (!Check(::testing::AssertionResult(road.Quillon().Exit()), "Quillon exited"))
        return 1;
    Check(::testing::AssertionResult(road.TempFiles().empty()), "no temporary file left");
    Say("The whole edit road worked.");
    return 0;
}

int Bench(int runs, const std::wstring& out) {
    RoadOptions options;
    options.useEditMessages = true; // as Quillon comes: the box is a standard edit control
    options.editorOptions = L"--stamp \"{W}\\stamp\" --seen \"{W}\\seen\" --wait \"{W}\\go\" --write "
                            L"\"{W}\\new\" --done \"{W}\\done\"";
    CRoad road(options);
    if (!Check(road.Box().Start(), "text box") || !Check(road.Start(), "Quillon"))
        return 1;
    std::string lines;
    for (int run = 0; run < runs; ++run) {
        for (const wchar_t* name : {L"stamp", L"seen", L"go", L"done"})
            ::DeleteFileW(road.W(name).c_str());
        const std::wstring before = L"run " + std::to_wstring(run) + L" before";
        const std::wstring after = L"run " + std::to_wstring(run) + L" after";
        road.Box().SetText(CTextBoxApp::kMultiLine, before);
        WriteFileBytes(road.W(L"new"), Utf8Of(after));
        if (!road.Box().Focus(CTextBoxApp::kMultiLine))
            return 1;
        road.PollFocusNow();
        const DWORD sequence = ::GetClipboardSequenceNumber();
        PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
        if (!WaitFor([&] { return road.ChoiceList() && ::IsWindowVisible(road.ChoiceList()); }, 5000, "list"))
            return 1;
        const unsigned long long released = SystemNow();
        ReleaseKeys({VK_MENU, VK_CONTROL});
        std::string stamp;
        if (!road.WaitRead(L"stamp", stamp))
            return 1;
        // The editor's process creation time, when its own code began, and the temporary
        // file's last-write time as the editor found it (file times come from the kernel's
        // coarse clock: they may read up to one kernel tick early).
        unsigned long long created = 0, began = 0, written = 0;
        if (std::sscanf(stamp.c_str(), "%llu %llu %llu", &created, &began, &written) != 3)
            return 1;
        auto since = [&](unsigned long long t) {
            return static_cast<double>(static_cast<long long>(t - released)) / 10000.0;
        };
        const double toEditor = since(created);
        const double toCode = since(began);
        const double toFile = since(written);
        WriteFileBytes(road.W(L"go"), "go");
        std::string done;
        if (!road.WaitRead(L"done", done))
            return 1;
        if (!road.Box().Focus(CTextBoxApp::kOther))
            return 1;
        road.PollFocusNow();
        if (!road.Box().Focus(CTextBoxApp::kMultiLine))
            return 1;
        const LONGLONG back = Now();
        while (road.Box().Text(CTextBoxApp::kMultiLine) != after) {
            if (Ms(Now() - back) > 10000)
                return 1;
            ::Sleep(1);
        }
        const double toText = Ms(Now() - back);
        // Whether the clipboard was written at all over the whole edit.
        const int clipboardUsed = ::GetClipboardSequenceNumber() != sequence ? 1 : 0;
        char line[128];
        std::snprintf(line, sizeof line, "%.1f %.1f %.1f %.1f %d\n", toEditor, toText, toCode, toFile,
                      clipboardUsed);
        lines += line;
        std::printf(
            "run %d: release to file written %.1f ms, to editor process %.1f ms (its code running %.1f ms), "
            "return to text %.1f ms\n",
            run + 1, toFile, toEditor, toCode, toText);
        std::fflush(stdout);
    }
    WriteFileBytes(out, lines);
    road.Quillon().Exit();
    return 0;
}

// Marks the start of a measured window and waits until the script outside Wine says it has
// taken its second reading (DIR\<name>.measured), however slow the machine is.
bool MeasuredWindow(const std::wstring& folder, const std::wstring& name, int seconds) {
    WriteFileBytes(folder + L"\\" + name + L".ready", "ready");
    const std::wstring measured = folder + L"\\" + name + L".measured";
    return Check(WaitFor([&] { return FileExists(measured); }, static_cast<DWORD>(seconds) * 1000 + 120000,
                         "the script to end its window (" + Utf8Of(measured) + ")"),
                 "window measured");
}

// Nothing happens in either window: the script outside Wine reads the CPU times of the
// processes at its start and end.
int Idle(int seconds, const std::wstring& folder) {
    CRoad road;
    if (!Check(road.Box().Start(), "text box") ||
        !Check(road.Box().Focus(CTextBoxApp::kMultiLine), "box focused"))
        return 1;
    if (!MeasuredWindow(folder, L"base", seconds))
        return 1;
    if (!Check(road.Start(), "Quillon"))
        return 1;
    if (!MeasuredWindow(folder, L"quillon", seconds))
        return 1;
    road.Quillon().Exit();
    return 0;
}

// The same for Quillon alone, with and without an open edit (whose editor has read its file
// and ended; the edit stays open while its box lives).
int Quiet(int seconds, const std::wstring& folder) {
    CRoad road(SeenOnlyOptions());
    if (!Check(road.Box().Start(), "text box") || !Check(road.Start(), "Quillon"))
        return 1;
    if (!MeasuredWindow(folder, L"none", seconds))
        return 1;
    std::string seen;
    if (!Check(road.Hotkey(), "hotkey") || !Check(road.WaitEditorSaw(seen), "the editor read its file") ||
        !Check(road.ComeBack(), "back in the box"))
        return 1;
    if (!MeasuredWindow(folder, L"one", seconds))
        return 1;
    road.Quillon().Exit();
    return 0;
}

// --- Hook latency. Low-level hooks are called newest first, each passing the event on when
// it returns: a hook of ours installed before Quillon starts sees each event only after
// Quillon's hook has answered it. Each F24 event carries its sending time (the performance
// counter) in its extra information; our hook notes how long it took to arrive.
constexpr ULONG_PTR kLagMark = ULONG_PTR{1} << 62;
std::atomic<int> g_lagStep{0};
struct Lag {
    int step;
    double ms;
    LONGLONG at;
};
std::vector<Lag> g_lags; // the hook thread's until it ends
LONGLONG g_lagStart = 0; // when the keys began

LRESULT CALLBACK LagHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (key->vkCode == VK_F24 && (key->dwExtraInfo & kLagMark) != 0) {
            const LONGLONG sent = static_cast<LONGLONG>(key->dwExtraInfo & ~kLagMark);
            g_lags.push_back(Lag{g_lagStep.load(), Ms(Now() - sent), sent});
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hook on a thread of its own that does nothing but answer it.
class CLagHook {
public:
    CLagHook() {
        HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this, ready] {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue first
            m_threadId = ::GetCurrentThreadId();
            HHOOK hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, LagHook, ::GetModuleHandleW(nullptr), 0);
            m_hooked = hook != nullptr;
            ::SetEvent(ready);
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
                ::DispatchMessageW(&msg);
            if (hook)
                ::UnhookWindowsHookEx(hook);
        });
        ::WaitForSingleObject(ready, 10000);
        ::CloseHandle(ready);
    }
    ~CLagHook() {
        ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    bool Hooked() const { return m_hooked; }

private:
    std::thread m_thread;
    DWORD m_threadId = 0;
    bool m_hooked = false;
};

// Presses and releases F24 every 10 ms until stopped, each event stamped with its sending time.
class CKeyTicker {
public:
    CKeyTicker()
        : m_thread([this] {
              while (!m_stop) {
                  INPUT input[2] = {};
                  for (int i = 0; i < 2; ++i) {
                      input[i].type = INPUT_KEYBOARD;
                      input[i].ki.wVk = VK_F24;
                      input[i].ki.dwFlags = i == 0 ? 0 : KEYEVENTF_KEYUP;
                      input[i].ki.dwExtraInfo = kLagMark | static_cast<ULONG_PTR>(Now());
                  }
                  ::SendInput(2, input, sizeof(INPUT));
                  ::Sleep(10);
              }
          }) {}
    ~CKeyTicker() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

enum LagStep { kLagBetween, kLagCopyAndEditor, kLagOptionsSave, kLagPaste };

// The settings saved at Options OK, with the file held by another program for a moment (a
// virus scanner, a sync client): the save tries again until it is let go.
bool OptionsOkWithTheFileHeld(CRoad& road) {
    const HWND server = road.Quillon().ServerWindow();
    ::PostMessageW(server, WM_COMMAND, 32771, 0); // the tray menu's Options
    HWND dialog = nullptr;
    if (!WaitFor(
            [&] {
                dialog = FindTopWindow(road.Quillon().Process().Id(), L"#32770", L"Options");
                return dialog && ::IsWindowVisible(dialog);
            },
            10000, "the Options dialog"))
        return false;
    // A setting changed (delete temporary files at exit), so that OK has something to save.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(::GetDlgItem(dialog, 1005), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    HANDLE held = ::CreateFileW(road.Quillon().ConfigPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    // Let go once Quillon has found it held: its new copy is written (it goes once it has
    // replaced the file) and it answers a message, which it does only while it pauses to try
    // again.
    const std::wstring copy = road.Quillon().ConfigPath() + L".new";
    Check(WaitFor(
              [&] {
                  DWORD_PTR answered = 0;
                  return FileExists(copy) &&
                         ::SendMessageTimeoutW(server, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 50, &answered);
              },
              10000, "Quillon to try again to save the held settings file"),
          "save tried again");
    if (held != INVALID_HANDLE_VALUE)
        ::CloseHandle(held);
    return WaitFor([&] { return !::IsWindow(dialog); }, 10000, "the Options dialog to close");
}

int HookLag(int runs, const std::wstring& out) {
    RoadOptions options;
    options.editorOptions =
        L"--seen \"{W}\\seen\" --wait \"{W}\\go\" --write \"{W}\\new\" --done \"{W}\\done\"";
    CRoad road(options);
    if (!Check(road.Box().Start(), "text box"))
        return 1;
    {
        CLagHook hook; // before Quillon's, so that it is called after it
        if (!Check(::testing::AssertionResult(hook.Hooked()), "our hook installed") ||
            !Check(road.Start(), "Quillon"))
            return 1;
        g_lagStart = Now();
        CKeyTicker ticker;
        for (int run = 0; run < runs; ++run) {
            for (const wchar_t* name : {L"seen", L"go", L"done"})
                ::DeleteFileW(road.W(name).c_str());
            const std::wstring after = L"run " + std::to_wstring(run) + L" after";
            road.Box().SetText(CTextBoxApp::kMultiLine, L"run " + std::to_wstring(run) + L" before");
            WriteFileBytes(road.W(L"new"), Utf8Of(after));
            if (!road.Box().Focus(CTextBoxApp::kMultiLine))
                return 1;
            road.PollFocusNow();
            g_lagStep = kLagCopyAndEditor;
            std::string seen;
            if (!Check(road.Hotkey(), "hotkey") ||
                !Check(road.WaitRead(L"seen", seen), "the editor read its file"))
                return 1;
            g_lagStep = kLagOptionsSave;
            std::printf("run %d: Options at %.1f ms\n", run + 1, Ms(Now() - g_lagStart));
            if (!Check(::testing::AssertionResult(OptionsOkWithTheFileHeld(road)), "Options OK"))
                return 1;
            g_lagStep = kLagPaste;
            WriteFileBytes(road.W(L"go"), "go");
            std::string done;
            if (!road.WaitRead(L"done", done) || !road.ComeBack() || !road.WaitBoxText(after))
                return 1;
            g_lagStep = kLagBetween;
            std::printf("run %d done %.1f ms into the run\n", run + 1, Ms(Now() - g_lagStart));
            std::fflush(stdout);
        }
    }
    road.Quillon().Exit();
    std::string lines;
    for (const Lag& lag : g_lags) {
        char line[64];
        std::snprintf(line, sizeof line, "%d %.2f\n", lag.step, lag.ms);
        lines += line;
        // The long waits, with when they began, to be matched with Quillon's trace.
        if (lag.ms > 50)
            std::printf("a wait of %.1f ms in step %d, sent %.1f ms into the run\n", lag.ms, lag.step,
                        Ms(lag.at - g_lagStart));
    }
    WriteFileBytes(out, lines);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"demo") == 0)
        return Demo(argv[2]);
    if (argc >= 4 && std::wcscmp(argv[1], L"bench") == 0)
        return Bench(static_cast<int>(std::wcstol(argv[2], nullptr, 10)), argv[3]);
    if (argc >= 4 && std::wcscmp(argv[1], L"idle") == 0)
        return Idle(static_cast<int>(std::wcstol(argv[2], nullptr, 10)), argv[3]);
    if (argc >= 4 && std::wcscmp(argv[1], L"quiet") == 0)
        return Quiet(static_cast<int>(std::wcstol(argv[2], nullptr, 10)), argv[3]);
    if (argc >= 4 && std::wcscmp(argv[1], L"hooklag") == 0)
        return HookLag(static_cast<int>(std::wcstol(argv[2], nullptr, 10)), argv[3]);
    std::printf(
        "usage: quillon-road-driver demo SHOTS | bench N OUT | idle S DIR | quiet S DIR | hooklag N OUT\n");
    return 2;
}
