// The Win32 system seam's file operations: new files never replace existing ones and are
// the user's alone, only plain files are deleted, and folders given relative to the
// current directory are created with their parents.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "base/u16.h"
#include "engine/system.h"
#include "engine/user_keys.h"
#include "framework/wnd.h"

using namespace quillon;

namespace {

// A window of a class registered for it, with the given procedure: a message-only one
// under HWND_MESSAGE, else a top-level window.
HWND WindowOfItsOwnClass(WNDPROC proc, const wchar_t* className, DWORD style, HWND parent) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(0, className, L"", style, 0, 0, 200, 100, parent, nullptr, wc.hInstance,
                             nullptr);
}

std::wstring FreshFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = std::wstring(temp) + L"quillon-seam-" + std::to_wstring(::GetCurrentProcessId()) +
                          L"-" + std::to_wstring(::GetTickCount64());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// The entries of a file's access list as "A <sid> <mask>" (allow) or "D ..." (deny).
struct AccessList {
    bool found = false;
    std::vector<std::wstring> entries;
};

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text))
        return L"?";
    std::wstring out(text);
    ::LocalFree(text);
    return out;
}

AccessList AccessListOf(const std::wstring& path) {
    AccessList list;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return list;
    list.found = dacl != nullptr;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace))
            continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
            const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
            list.entries.push_back(std::wstring(header->AceType == ACCESS_ALLOWED_ACE_TYPE ? L"A " : L"D ") +
                                   SidText(const_cast<DWORD*>(&allowed->SidStart)) + L" " +
                                   std::to_wstring(allowed->Mask));
        } else {
            list.entries.push_back(L"type " + std::to_wstring(header->AceType));
        }
    }
    ::LocalFree(descriptor);
    return list;
}

std::wstring UserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return L"";
    BYTE buffer[256] = {};
    DWORD size = 0;
    const bool got = ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) != FALSE;
    ::CloseHandle(token);
    return got ? SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : L"";
}

} // namespace

TEST(Win32Seam, ANewFileNeverReplacesOneThatExists) {
    ISystem& sys = DefaultSystem();
    const std::wstring folder = FreshFolder();
    const std::u16string path = FromWide(folder + L"\\Quillon_10_00_00.txt");
    CreateResult result = CreateResult::kFailed;
    FileHandle file = sys.CreateNewFile(path, result);
    ASSERT_EQ(result, CreateResult::kCreated);
    ASSERT_TRUE(sys.WriteFile(file, "unsaved work"));
    sys.CloseFile(file);

    FileHandle again = sys.CreateNewFile(path, result);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(result, CreateResult::kExists);
    FileHandle read = sys.OpenFileForRead(path);
    ASSERT_NE(read, nullptr);
    std::string bytes;
    ASSERT_TRUE(sys.ReadFile(read, bytes));
    sys.CloseFile(read);
    EXPECT_EQ(bytes, "unsaved work");

    // A name the file system refuses is a failure, not "exists".
    sys.CreateNewFile(FromWide(folder + L"\\bad|name.txt"), result);
    EXPECT_EQ(result, CreateResult::kFailed);

    // The box's text is the user's alone (with the system and administrators, as in their
    // profile), whatever the folder lets others do. Windows keeps the list as given; Wine
    // keeps what its file modes can say, where a file made without a list is everyone's to
    // read.
    const AccessList list = AccessListOf(ToWide(path));
    ASSERT_TRUE(list.found) << "a file without an access list is open to everyone";
    const std::wstring user = UserSid(), all = std::to_wstring(FILE_ALL_ACCESS);
    EXPECT_NE(std::find(list.entries.begin(), list.entries.end(), L"A " + user + L" " + all),
              list.entries.end());
    for (const auto& entry : list.entries)
        EXPECT_TRUE(entry == L"A " + user + L" " + all || entry == L"A S-1-5-18 " + all ||
                    entry == L"A S-1-5-32-544 " + all)
            << "nobody else may read or change the file: " << ToUtf8(FromWide(entry));

    // Deleting takes plain files only: not a folder under the name.
    EXPECT_FALSE(sys.DeleteFile(FromWide(folder)));
    EXPECT_NE(::GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(sys.DeleteFile(path));
    EXPECT_EQ(::GetFileAttributesW(ToWide(path).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Win32Seam, RelativeFoldersAreCreatedWithTheirParents) {
    ISystem& sys = DefaultSystem();
    const std::wstring folder = FreshFolder();
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    sys.CreateDirectories(u"edits\\deeper\\");
    ::SetCurrentDirectoryW(previous);
    const DWORD attributes = ::GetFileAttributesW((folder + L"\\edits\\deeper").c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

constexpr UINT kSentMessage = WM_APP + 1;
constexpr UINT kPostedMessage = WM_APP + 2;
LONG g_sent = 0;
LONG g_posted = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSentMessage) {
        ::InterlockedIncrement(&g_sent);
        return 42;
    }
    if (message == kPostedMessage) {
        ::InterlockedIncrement(&g_posted);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

struct SendArgs {
    HWND window;
    DWORD_PTR result;
};

// Waits, without answering it, until a message sent to this thread is waiting.
bool WaitForSentMessage() {
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (!(HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) && ::GetTickCount64() < deadline)
        ::SwitchToThread();
    return (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
}

DWORD WINAPI SendFromAnotherThread(void* param) {
    auto* args = static_cast<SendArgs*>(param);
    ::SendMessageTimeoutW(args->window, kSentMessage, 0, 0, SMTO_NORMAL, 30000, &args->result);
    return 0;
}

// A box whose program, asked for its text, first sends a message to the asker (as programs in
// the clipboard chain or with hooks of their own do) and answers only then.
HWND g_asker = nullptr;
LRESULT CALLBACK AskingBackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETTEXT && wParam >= 4) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(g_asker, kSentMessage, 0, 0, SMTO_NORMAL, 5000, &ignored);
        std::memcpy(reinterpret_cast<wchar_t*>(lParam), L"box", 4 * sizeof(wchar_t));
        return 3;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

struct BoxThread {
    HANDLE ready;
    HWND box = nullptr;
};

DWORD WINAPI RunAskingBackBox(void* param) {
    auto* args = static_cast<BoxThread*>(param);
    args->box = WindowOfItsOwnClass(AskingBackProc, L"QuillonSeamAskingBack", 0, HWND_MESSAGE);
    ::SetEvent(args->ready);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);
    if (args->box)
        ::DestroyWindow(args->box);
    return 0;
}

} // namespace

// The keyboard hook is called through a message sent to this thread: a wait that does not
// answer it makes every key the user presses wait, and gets the hook removed.
TEST(Win32Seam, WaitsAnswerSentMessagesAndLeavePostedOnesQueued) {
    ISystem& sys = DefaultSystem();
    HWND window = WindowOfItsOwnClass(CountingProc, L"QuillonSeamWaitTest", 0, HWND_MESSAGE);
    ASSERT_NE(window, nullptr);
    g_sent = g_posted = 0;
    ::PostMessageW(window, kPostedMessage, 0, 0);

    // A wait for a condition ends as soon as the sent message is answered within it.
    SendArgs args{window, 0};
    HANDLE thread = ::CreateThread(nullptr, 0, SendFromAnotherThread, &args, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(sys.WaitServingMessages(
        20000, [] { return g_sent > 0; }, 20))
        << "the message sent from another thread was not answered during the wait";
    EXPECT_EQ(::WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    ::CloseHandle(thread);
    EXPECT_EQ(args.result, 42u);

    // A message already waiting is answered by a wait of no time at all.
    thread = ::CreateThread(nullptr, 0, SendFromAnotherThread, &args, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(WaitForSentMessage()) << "the second message never came";
    sys.ServeSentMessages();
    EXPECT_EQ(g_sent, 2);
    EXPECT_EQ(::WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    ::CloseHandle(thread);

    // Reading a box's text answers what its program sends us meanwhile: a read that did not
    // would wait for the box while the box waits for us, and come back with nothing.
    g_asker = window;
    BoxThread box{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD boxThreadId = 0;
    thread = ::CreateThread(nullptr, 0, RunAskingBackBox, &box, 0, &boxThreadId);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(::WaitForSingleObject(box.ready, 10000), WAIT_OBJECT_0) << "the box's thread to start";
    ASSERT_NE(box.box, nullptr);
    std::u16string text;
    EXPECT_TRUE(sys.ReadWindowText(box.box, text)) << "the box's text was not read";
    EXPECT_EQ(text, u"box");
    EXPECT_EQ(g_sent, 3) << "what the box sent was answered during the read";
    ::PostThreadMessageW(boxThreadId, WM_QUIT, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    ::CloseHandle(thread);
    ::CloseHandle(box.ready);

    // The posted message is still queued: waits run nothing of the program's own.
    EXPECT_EQ(g_posted, 0);
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, window, kPostedMessage, kPostedMessage, PM_REMOVE));
    ::DestroyWindow(window);
}

// Whole at every length: a text that fills the first buffer is asked for again.
TEST(Win32Seam, ABoxsTextIsReadWholeAtEveryLength) {
    ISystem& sys = DefaultSystem();
    std::u16string text;
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    ::SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    for (const std::size_t length :
         {std::size_t(0), std::size_t(4094), std::size_t(4095), std::size_t(4096), std::size_t(9000)}) {
        std::wstring whole(length, L'x');
        if (length > 0)
            whole.back() = L'z';
        ::SetWindowTextW(edit, whole.c_str());
        ASSERT_TRUE(sys.ReadWindowText(edit, text)) << length;
        EXPECT_EQ(text, FromWide(whole)) << length;
    }
    ::DestroyWindow(edit);
}

namespace {

struct ClipboardWriter {
    HANDLE go;
};

// Puts text on the clipboard once told to, as a text box answering Ctrl+C does.
DWORD WINAPI CopyWhenTold(void* param) {
    auto* writer = static_cast<ClipboardWriter*>(param);
    if (::WaitForSingleObject(writer->go, 30000) != WAIT_OBJECT_0 || !::OpenClipboard(nullptr))
        return 1;
    ::EmptyClipboard();
    const wchar_t text[] = L"copied";
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(text));
    std::memcpy(::GlobalLock(h), text, sizeof(text));
    ::GlobalUnlock(h);
    ::SetClipboardData(CF_UNICODETEXT, h);
    ::CloseClipboard();
    return 0;
}

} // namespace

// The copy wait takes the text when the clipboard says it changed, not at its next look.
TEST(Win32Seam, TheCopyWaitEndsWhenTheClipboardChanges) {
    ISystem& sys = DefaultSystem();
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, nullptr, L"main", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::CloseClipboard();
    // A message of the program's own, queued before the wait: it must not wake the wait
    // again and again, and it stays for the program.
    ::PostMessageW(main.GetSafeHwnd(), kPostedMessage, 0, 0);

    ClipboardWriter writer{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = ::CreateThread(nullptr, 0, CopyWhenTold, &writer, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    int looks = 0;
    const ULONGLONG start = ::GetTickCount64();
    // Its only look besides the first one would come after 20 s.
    EXPECT_TRUE(sys.WaitWatchingClipboard(
        main.GetSafeHwnd(), 20000,
        [&] {
            if (++looks == 1)
                ::SetEvent(writer.go);
            return ::IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
        },
        20000));
    EXPECT_LT(::GetTickCount64() - start, 10000u) << "the wait ended at its next look, not at the change";
    EXPECT_LE(looks, 5) << "the wait kept waking";
    EXPECT_EQ(::WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    ::CloseHandle(thread);
    ::CloseHandle(writer.go);
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, main.GetSafeHwnd(), kPostedMessage, kPostedMessage, PM_REMOVE));
    EXPECT_FALSE(::PeekMessageW(&msg, main.GetSafeHwnd(), WM_CLIPBOARDUPDATE, WM_CLIPBOARDUPDATE, PM_REMOVE))
        << "a change notice was left for the window after the wait";
    main.DestroyWindow();
}

namespace {

std::vector<std::pair<DWORD, ULONG_PTR>> g_hooked; // (vkCode, dwExtraInfo) as the hook saw them

LRESULT CALLBACK RecordingHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && lParam) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (key->vkCode == VK_F24)
            g_hooked.emplace_back(key->vkCode, key->dwExtraInfo);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

// The hook is called while the program waits, and it can tell the program's own keys by
// their mark.
TEST(Win32Seam, OwnKeysReachTheHookDuringAWaitWithTheirMark) {
    ISystem& sys = DefaultSystem();
    g_hooked.clear();
    HHOOK hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, RecordingHook, ::GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook, nullptr);
    ASSERT_TRUE(sys.SendKeys({KeyInput{VK_F24, 0, false}, KeyInput{VK_F24, 0, true}}));
    EXPECT_TRUE(sys.WaitServingMessages(
        10000, [] { return g_hooked.size() >= 2; }, 20))
        << "the hook was not called during the wait";
    ::UnhookWindowsHookEx(hook);
    for (const auto& [vk, extra] : g_hooked)
        EXPECT_EQ(extra, kOwnKeyMark) << "key " << vk;
}

namespace {

CUserKeys g_userKeys;                // the test hook's record, as the program's hook keeps it
std::vector<bool> g_lettersWithCtrl; // for each 'A' the window got: was Ctrl down
std::vector<WPARAM> g_keysGot;       // every key the window got, in order
HANDLE g_releaseNow = nullptr;       // set when our own Ctrl has passed the hook

LRESULT CALLBACK LetterRecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN)
        g_keysGot.push_back(wParam);
    if (msg == WM_KEYDOWN && wParam == 'A')
        g_lettersWithCtrl.push_back(::GetKeyState(VK_CONTROL) < 0);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The program's hook: records the user's keys and holds back what they say to hold back.
// When our own Ctrl passes, it lets the user's release go and returns only once the
// release waits for it: the release is then next in line, before our letter.
LRESULT CALLBACK UserKeysHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && lParam) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        if (g_userKeys.OnKey(key->vkCode, down, key->dwExtraInfo, key->time))
            return 1;
        if (g_releaseNow && key->dwExtraInfo == kOwnKeyMark && key->vkCode == VK_CONTROL && down) {
            ::SetEvent(g_releaseNow);
            g_releaseNow = nullptr;
            WaitForSentMessage();
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

struct UserCtrlArgs {
    bool up;
    HANDLE when; // waited for first, when given
};

// The user's Ctrl, pressed or released from another thread, as a keyboard would.
DWORD WINAPI UserCtrl(void* param) {
    const auto* args = static_cast<const UserCtrlArgs*>(param);
    if (args->when && ::WaitForSingleObject(args->when, 30000) != WAIT_OBJECT_0)
        return 1;
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_CONTROL;
    input.ki.dwFlags = args->up ? KEYEVENTF_KEYUP : 0;
    return ::SendInput(1, &input, sizeof(INPUT)) == 1 ? 0 : 1;
}

} // namespace

// The user lets go of Ctrl while our Ctrl+A is on its way: the release reaches the hook
// between our Ctrl and our letter. It must not get between them in the input (the letter
// would be typed into the user's text), and Ctrl must not stay down afterwards.
TEST(Win32Seam, TheUsersCtrlReleaseNeverGetsBetweenOurCtrlAndOurLetters) {
    ISystem& sys = DefaultSystem();
    // Without a window manager the keyboard follows the pointer, and a window that comes under
    // it makes Wine read the keyboard afresh, forgetting synthesised keys held down: the
    // pointer rests in a corner no window of the test covers.
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    HWND window = WindowOfItsOwnClass(LetterRecordingProc, L"QuillonSeamLetterTest",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
    ASSERT_NE(window, nullptr);
    ::SetForegroundWindow(window);
    ::SetFocus(window);
    HHOOK hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, UserKeysHook, ::GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook, nullptr);
    g_userKeys.Watch({});
    sys.FollowHook(&g_userKeys);
    auto pump = [](const std::function<bool()>& done) {
        const ULONGLONG deadline = ::GetTickCount64() + 10000;
        MSG msg;
        while (!done() && ::GetTickCount64() < deadline) {
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&msg);
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return done();
    };

    UserCtrlArgs pressArgs{false, nullptr};
    HANDLE press = ::CreateThread(nullptr, 0, UserCtrl, &pressArgs, 0, nullptr);
    ASSERT_TRUE(pump([] { return g_userKeys.IsDown(VK_CONTROL) && ::GetKeyState(VK_CONTROL) < 0; }))
        << "the user's Ctrl never came down";
    g_releaseNow = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    UserCtrlArgs releaseArgs{true, g_releaseNow};
    HANDLE release = ::CreateThread(nullptr, 0, UserCtrl, &releaseArgs, 0, nullptr);

    // As the copy plans it for a Ctrl the user holds: pressed again, not released.
    g_lettersWithCtrl.clear();
    const auto scan = [&](BYTE vk) { return sys.ScanCodeOf(vk); };
    ASSERT_TRUE(sys.SendKeys({KeyInput{VK_CONTROL, scan(VK_CONTROL), false}, KeyInput{'A', scan('A'), false},
                              KeyInput{'A', scan('A'), true}}));
    EXPECT_TRUE(pump([] { return !g_lettersWithCtrl.empty(); })) << "the letter never reached the window";
    EXPECT_EQ(g_lettersWithCtrl, std::vector<bool>{true}) << "the letter came without Ctrl";
    EXPECT_TRUE(pump([] { return (::GetAsyncKeyState(VK_CONTROL) & 0x8000) == 0; }))
        << "Ctrl was left down after the batch";
    EXPECT_FALSE(g_userKeys.IsDown(VK_CONTROL));

    for (HANDLE thread : {press, release}) {
        EXPECT_TRUE(pump([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
        ::CloseHandle(thread);
    }

    // Held: a key the user types waits, our own keys pass, and the user's follows on release.
    g_keysGot.clear();
    sys.HoldUserKeys();
    INPUT typed[2] = {};
    for (INPUT& input : typed) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = 'B';
    }
    typed[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(::SendInput(2, typed, sizeof(INPUT)), 2u);
    ASSERT_TRUE(sys.SendKeys({KeyInput{VK_F24, 0, false}, KeyInput{VK_F24, 0, true}}));
    EXPECT_TRUE(pump([] { return !g_keysGot.empty(); })) << "our own key never came";
    EXPECT_EQ(g_keysGot, std::vector<WPARAM>{VK_F24}) << "the user's key got past the hold";
    sys.ReleaseUserKeys();
    EXPECT_TRUE(pump([] { return g_keysGot.size() >= 2; })) << "the held key never followed";
    EXPECT_EQ(g_keysGot, (std::vector<WPARAM>{VK_F24, 'B'}));
    sys.FollowHook(nullptr);
    ::UnhookWindowsHookEx(hook);
    ::DestroyWindow(window);
}

TEST(Win32Seam, AWindowIsKnownByItsThreadProcessAndClassAndOursIsNotAboveUs) {
    ISystem& sys = DefaultSystem();
    HWND window =
        WindowOfItsOwnClass(::DefWindowProcW, L"QuillonSeamFactsTest", WS_OVERLAPPEDWINDOW, nullptr);
    ASSERT_NE(window, nullptr);
    ::SetWindowTextW(window, L"Top & title");
    HWND child =
        ::CreateWindowExW(0, L"EDIT", L"box", WS_CHILD, 0, 0, 10, 10, window, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    WindowFacts facts;
    ASSERT_TRUE(sys.DescribeWindow(child, facts));
    sys.DescribeProgram(child, facts);
    // The program by its file name, the title of the box's top-level window.
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path = module;
    EXPECT_EQ(ToWide(facts.program), path.substr(path.find_last_of(L"\\/") + 1));
    EXPECT_EQ(facts.title, u"Top & title");
    ASSERT_TRUE(sys.DescribeWindow(window, facts));
    EXPECT_EQ(facts.thread, ::GetCurrentThreadId());
    EXPECT_EQ(facts.process, sys.OwnProcess());
    EXPECT_EQ(facts.process, ::GetCurrentProcessId());
    EXPECT_EQ(facts.className, u"QuillonSeamFactsTest");
    // A program of the same user at the same level: its token can be read and is not above.
    EXPECT_FALSE(sys.RunsAboveUs(window));
    ::DestroyWindow(window);
    EXPECT_FALSE(sys.DescribeWindow(window, facts)) << "a destroyed window has no owner";
    EXPECT_FALSE(sys.RunsAboveUs(window));
}
