// The Win32 implementation of the engine's system seam.
#include <windows.h>
#include <commctrl.h>
#include <sddl.h>
#include <shlobj.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <ctime>
#include <vector>

#include "base/u16.h"
#include "base/win/code_page.h"
#include "base/win/handles.h"
#include "engine/edit_rules.h"
#include "engine/keyboard.h"
#include "engine/program_rules.h"
#include "engine/system.h"
#include "engine/user_keys.h"

namespace quillon {
namespace {

bool IsEnhMetafileFormat(std::uint32_t format) {
    return format == CF_ENHMETAFILE || format == CF_DSPENHMETAFILE;
}

// How long a batch of our own keys may take to pass the hook; the hook is called through
// messages this thread answers while it waits, so it is normally at once.
constexpr std::uint32_t kOwnBatchPassMs = 500;
constexpr std::uint32_t kOwnBatchPollMs = 10;
// How long another program's window may take to report its text.
constexpr UINT kWindowTextMs = 200;
// How long an edit control may take to put a text in (a megabyte takes it a while).
constexpr UINT kReplaceMs = 5000;
// Another program's window: a hung one must not hang us, and our own thread keeps answering
// what is sent to it meanwhile (the keyboard hook among it).
constexpr UINT kEditMessageFlags = SMTO_ABORTIFHUNG | SMTO_NORMAL;

HWND Hwnd(const void* window) {
    return static_cast<HWND>(const_cast<void*>(window));
}

// A window's class as registered, or (real) the system's class behind a superclass.
std::u16string ClassNameOf(HWND hwnd, bool real) {
    wchar_t name[256] = {};
    const UINT length = real ? ::RealGetWindowClassW(hwnd, name, 256)
                             : static_cast<UINT>(std::max(::GetClassNameW(hwnd, name, 256), 0));
    return FromWide(std::wstring_view(name, std::min<std::size_t>(length, 255)));
}

bool PressesCtrl(const std::vector<KeyInput>& keys) {
    return std::any_of(keys.begin(), keys.end(),
                       [](const KeyInput& k) { return k.vk == keyboard::vk::kControl && !k.up; });
}

// True when the batch's last Ctrl event is a press.
bool LeavesCtrlDown(const std::vector<KeyInput>& keys) {
    auto last = std::find_if(keys.rbegin(), keys.rend(),
                             [](const KeyInput& k) { return k.vk == keyboard::vk::kControl; });
    return last != keys.rend() && !last->up;
}

// Sends the events as one batch; marked as our own unless they are the user's, sent on.
bool SendInputs(const std::vector<KeyInput>& keys, ULONG_PTR mark = kOwnKeyMark) {
    std::vector<INPUT> inputs(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i].vk;
        inputs[i].ki.wScan = keys[i].scan;
        inputs[i].ki.dwFlags =
            (keys[i].up ? KEYEVENTF_KEYUP : 0) | (keys[i].extended ? KEYEVENTF_EXTENDEDKEY : 0);
        inputs[i].ki.time = 0;
        inputs[i].ki.dwExtraInfo = mark;
    }
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// The program's window in the clipboard viewer chain: the viewer that follows it, kept
// current as windows leave the chain, and how many holders want it there.
struct ViewerLink {
    HWND viewer = nullptr;
    HWND next = nullptr;
    int joins = 0;
};
ViewerLink g_link;
constexpr UINT_PTR kChainSubclassId = 0x514C4E43;

void LeaveChainNow() {
    if (!g_link.viewer)
        return;
    ::ChangeClipboardChain(g_link.viewer, g_link.next);
    ::RemoveWindowSubclass(g_link.viewer, nullptr, kChainSubclassId);
    g_link = ViewerLink{};
}

// While our window heads the chain, the chain's messages reach it first.
LRESULT CALLBACK ChainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_CHANGECBCHAIN:
        // A window leaves the chain: when it is the one after ours, ours is now followed by
        // the one after it; otherwise the news goes down the chain.
        if (reinterpret_cast<HWND>(wParam) == g_link.next)
            g_link.next = reinterpret_cast<HWND>(lParam);
        else if (g_link.next)
            ::SendMessageW(g_link.next, message, wParam, lParam);
        return 0;
    case WM_DRAWCLIPBOARD:
        // The passing texts of a copy or paste are not the user's clipboard: the viewers
        // behind ours are not told of them.
        return 0;
    case WM_NCDESTROY:
        // A window that goes without leaving would break the chain for every viewer after it.
        LeaveChainNow();
        break;
    default:
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

UINT OwnFormat(const char16_t* name) {
    return ::RegisterClipboardFormatW(reinterpret_cast<const wchar_t*>(name));
}

// Puts a DWORD on the open clipboard.
bool SetDword(UINT format, DWORD value) {
    if (format == 0)
        return false;
    CGlobalHandle mem(::GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD)));
    if (!mem)
        return false;
    {
        CGlobalLock<DWORD> p(mem.Get());
        if (!p)
            return false;
        *p.Get() = value;
    }
    if (!::SetClipboardData(format, mem.Get()))
        return false;
    mem.Release();
    return true;
}

// The shell's part of the seam. It keeps no state, so each thread that starts editors can
// have its own.
class CWin32Shell : public IShell {
public:
    bool ShellOpen(const std::u16string& file, const std::u16string& parameters) override {
        return Execute(L"open", file, parameters);
    }
    bool StartProgram(const std::u16string& program, const std::u16string& parameters) override {
        // The command line the shell builds for a program: its quoted path, then the
        // parameters as they are.
        std::wstring commandLine = L"\"" + ToWide(program) + L"\"";
        if (!parameters.empty())
            commandLine += L" " + ToWide(parameters);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(WidePtr(program), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &process))
            return false;
        // Let the editor come to the foreground, as a program opened by the shell may.
        CHandle thread(process.hThread);
        CHandle processHandle(process.hProcess);
        ::AllowSetForegroundWindow(process.dwProcessId);
        return true;
    }
    VerbFacts FileTypeVerb(const std::u16string& extension, const std::u16string& verb) override {
        VerbFacts facts;
        if (extension.empty())
            return facts;
        // A type nobody registered is not taken for the system's "unknown" type.
        std::wstring command;
        facts.registered = Query(ASSOCSTR_COMMAND, extension, verb, command);
        facts.command = FromWide(command);
        if (!facts.registered) {
            // A verb carried out by a handler (a packaged app) has no command line.
            std::wstring handler;
            facts.registered = Query(ASSOCSTR_DELEGATEEXECUTE, extension, verb, handler) && !handler.empty();
        }
        return facts;
    }
    std::u16string ProgramExtensions() override {
        const DWORD size = ::GetEnvironmentVariableW(L"PATHEXT", nullptr, 0);
        if (size == 0)
            return {};
        std::wstring value(size, L'\0');
        const DWORD got = ::GetEnvironmentVariableW(L"PATHEXT", value.data(), size);
        if (got == 0 || got >= size)
            return {};
        value.resize(got);
        return FromWide(value);
    }
    bool ShellVerb(const std::u16string& file, const std::u16string& verb) override {
        return Execute(ToWide(verb).c_str(), file, u"");
    }
    OpenWithResult OpenWithDialog(const std::u16string& file) override {
        // Looked up rather than linked: a system without it must still start the program.
        using OpenWithFunction = HRESULT(WINAPI*)(HWND, const OPENASINFO*);
        HMODULE shell32 = ::GetModuleHandleW(L"shell32.dll");
        auto openWith = shell32 ? reinterpret_cast<OpenWithFunction>(
                                      reinterpret_cast<void*>(::GetProcAddress(shell32, "SHOpenWithDialog")))
                                : nullptr;
        if (!openWith)
            return OpenWithResult::kUnavailable;
        const std::wstring wide = ToWide(file);
        // The choice opens this one file; it never becomes the type's program (Windows 10 and
        // later ignore the request either way).
        OPENASINFO info{};
        info.pcszFile = wide.c_str();
        info.oaifInFlags = static_cast<OPEN_AS_INFO_FLAGS>(OAIF_EXEC | OAIF_HIDE_REGISTRATION);
        const HRESULT result = openWith(nullptr, &info);
        if (SUCCEEDED(result))
            return OpenWithResult::kOpened;
        return result == HRESULT_FROM_WIN32(ERROR_CANCELLED) ? OpenWithResult::kCancelled
                                                             : OpenWithResult::kUnavailable;
    }

private:
    static bool Query(ASSOCSTR what, const std::u16string& extension, const std::u16string& verb,
                      std::wstring& out) {
        const std::wstring ext = ToWide(extension);
        const std::wstring wideVerb = ToWide(verb);
        constexpr ASSOCF kFlags = ASSOCF_INIT_IGNOREUNKNOWN | ASSOCF_NOTRUNCATE;
        DWORD size = 0;
        if (::AssocQueryStringW(kFlags, what, ext.c_str(), wideVerb.c_str(), nullptr, &size) != S_FALSE ||
            size == 0)
            return false;
        std::wstring buffer(size, L'\0');
        if (FAILED(::AssocQueryStringW(kFlags, what, ext.c_str(), wideVerb.c_str(), buffer.data(), &size)))
            return false;
        buffer.resize(std::wcslen(buffer.c_str()));
        out = std::move(buffer);
        return true;
    }
    static bool Execute(const wchar_t* verb, const std::u16string& file, const std::u16string& parameters) {
        const std::wstring wideFile = ToWide(file);
        const std::wstring wideParameters = ToWide(parameters);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        // The thread ends soon after: the shell finishes here rather than on a thread of its
        // own. Its error boxes are left out: the user hears of a failure from us, once.
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = verb;
        info.lpFile = wideFile.c_str();
        info.lpParameters = wideParameters.empty() ? nullptr : wideParameters.c_str();
        info.nShow = SW_SHOWNORMAL;
        return ::ShellExecuteExW(&info) != FALSE;
    }
};

// Memory the security functions hand out with LocalAlloc.
using CLocalMemory = CUniqueHandle<handle_traits::Simple<HLOCAL, ::LocalFree>>;

// The security descriptor every file of ours is created with: full access for the user we
// run as, for SYSTEM and for the Administrators group (what the user's own profile grants:
// a virus scanner or an administrator's backup keeps working), and nothing for anyone else.
// Protected, so that a folder that lets everyone in (one at a drive's root, a shared one)
// passes nothing on: other users could read the box's text or change a save before it is
// pasted back. The user's own SID, not the owner-rights one: the owner of a file created by
// an elevated program is the Administrators group. Null when it cannot be built.
CLocalMemory OwnerOnlyDescriptor() {
    CHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<BYTE> user(size);
    if (!::GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size))
        return {};
    wchar_t* sid = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, &sid))
        return {};
    CLocalMemory sidText(sid);
    const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")(A;;FA;;;SY)(A;;FA;;;BA)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                nullptr))
        return {};
    return CLocalMemory(descriptor);
}

class CWin32System : public ISystem {
public:
    bool DeleteFile(const std::u16string& path) override {
        // The folder entry itself is opened, never what a link there points to, and only a
        // plain file is deleted: a link or junction someone put in place of ours is theirs.
        // Shared as deleting by name shares, so an editor that holds the file open with
        // deleting allowed does not stop it; one that does not allow it does.
        CHandle file(::CreateFileW(WidePtr(path), DELETE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file)
            return false;
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(file.Get(), &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
            return false;
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        return ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition,
                                            sizeof disposition) != FALSE;
    }
    std::u16string GetTempPath() override {
        wchar_t buffer[MAX_PATH + 1] = {};
        DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
        if (n == 0 || n > MAX_PATH)
            return {};
        return FromWide(std::wstring_view(buffer, n));
    }

    void CreateDirectories(const std::u16string& folder) override {
        // Asked at every edit, and nearly always there already: one look settles it.
        std::wstring wide = ToWide(folder);
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return;
        // The folder-creation call wants a full path; a relative one is taken from the
        // current directory, as the file creation will take it.
        DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        if (n > 0) {
            std::wstring full(n, L'\0');
            DWORD got = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
            if (got > 0 && got < n) {
                full.resize(got);
                wide = full;
            }
        }
        ::SHCreateDirectoryExW(nullptr, wide.c_str(), nullptr);
    }
    FileHandle CreateNewFile(const std::u16string& path, CreateResult& result) override {
        result = CreateResult::kFailed;
        // Without its own descriptor the file would take what the folder passes on, which
        // may let everyone read it: then no file at all.
        // Made once: the user we run as stays the same for the program's life.
        if (!m_ownerOnly)
            m_ownerOnly = OwnerOnlyDescriptor();
        if (!m_ownerOnly)
            return nullptr;
        SECURITY_ATTRIBUTES security{};
        security.nLength = sizeof security;
        security.lpSecurityDescriptor = m_ownerOnly.Get();
        security.bInheritHandle = FALSE;
        // A link planted under the name, even one that points nowhere, is a name taken: not
        // followed, so nothing is created or opened where it points.
        HANDLE h = ::CreateFileW(WidePtr(path), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &security, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD error = ::GetLastError();
            result = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::kExists
                                                                                 : CreateResult::kFailed;
            return nullptr;
        }
        result = CreateResult::kCreated;
        return h;
    }
    FileHandle OpenFileForRead(const std::u16string& path) override {
        // Shared for deleting too: an editor that saves by replacing the file (a new file
        // renamed over the old) must never fail because we are reading it.
        HANDLE h =
            ::CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return h == INVALID_HANDLE_VALUE ? nullptr : h;
    }
    bool WriteFile(FileHandle file, const std::string& bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
                return false;
            done += written;
        }
        return true;
    }
    bool ReadFile(FileHandle file, std::string& bytes) override {
        DWORD size = ::GetFileSize(file, nullptr);
        if (size == INVALID_FILE_SIZE)
            return false;
        bytes.assign(static_cast<std::size_t>(size) + 1, '\0');
        DWORD read = 0;
        if (!::ReadFile(file, bytes.data(), size + 1, &read, nullptr)) {
            bytes.clear();
            return false;
        }
        bytes.resize(read);
        return true;
    }
    bool GetLastWriteLow(FileHandle file, std::uint32_t& low) override {
        FILETIME written{};
        if (!::GetFileTime(file, nullptr, nullptr, &written))
            return false;
        low = written.dwLowDateTime;
        return true;
    }
    bool WrittenWithinMs(FileHandle file, std::uint32_t ms) override {
        FILETIME written{};
        FILETIME now{};
        if (!::GetFileTime(file, nullptr, nullptr, &written))
            return false;
        ::GetSystemTimeAsFileTime(&now);
        const ULONGLONG w = (ULONGLONG{written.dwHighDateTime} << 32) | written.dwLowDateTime;
        const ULONGLONG n = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
        // A time ahead of ours (a file server's clock) says nothing about the writer.
        return w <= n && n - w < ULONGLONG{ms} * 10000;
    }
    bool HeldForWriting(const std::u16string& path) override {
        HANDLE h = ::CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return ::GetLastError() == ERROR_SHARING_VIOLATION;
        ::CloseHandle(h);
        return false;
    }
    void CloseFile(FileHandle file) override { CHandle closing(static_cast<HANDLE>(file)); }

    void SetOwnerWindow(void* window) override { m_owner = static_cast<HWND>(window); }
    bool OpenClipboard() override {
        // A window already destroyed would make every open fail.
        HWND owner = m_owner && ::IsWindow(m_owner) ? m_owner : nullptr;
        m_wrote = false;
        return ::OpenClipboard(owner) != FALSE;
    }
    void CloseClipboard() override {
        ::CloseClipboard();
        // Taken after the close, which is where the system adds the formats it derives.
        if (m_wrote)
            m_ownSequence = ::GetClipboardSequenceNumber();
        m_wrote = false;
    }
    bool EmptyClipboard() override {
        m_wrote = true;
        return ::EmptyClipboard() != FALSE;
    }
    bool MarkOwnContent() override {
        m_wrote = true;
        static const UINT exclude = OwnFormat(kExcludeFromMonitorsFormat);
        static const UINT history = OwnFormat(kHistoryFormat);
        static const UINT cloud = OwnFormat(kCloudFormat);
        const bool excluded = SetDword(exclude, 0);
        const bool noHistory = SetDword(history, 0);
        const bool noCloud = SetDword(cloud, 0);
        return excluded && noHistory && noCloud;
    }
    bool ChangedSinceOwnWrite() override { return ::GetClipboardSequenceNumber() != m_ownSequence; }
    std::uint32_t ClipboardSequence() override { return ::GetClipboardSequenceNumber(); }
    std::uint32_t ClipboardOwnerProcess() override {
        DWORD process = 0;
        HWND owner = ::GetClipboardOwner();
        return owner && ::GetWindowThreadProcessId(owner, &process) ? process : 0;
    }
    std::uint32_t ClipboardOpenerProcess() override {
        DWORD process = 0;
        HWND opener = ::GetOpenClipboardWindow();
        return opener && ::GetWindowThreadProcessId(opener, &process) ? process : 0;
    }
    std::uint32_t EnumClipboardFormats(std::uint32_t after) override { return ::EnumClipboardFormats(after); }
    std::u16string ClipboardFormatName(std::uint32_t format) override {
        // Registered names are atoms of up to 255 characters: read them whole, or the
        // format would come back under a different, truncated name.
        wchar_t name[256] = {};
        int n = ::GetClipboardFormatNameW(format, name, 256);
        return n > 0 ? FromWide(std::wstring_view(name, static_cast<std::size_t>(n))) : std::u16string();
    }
    ClipHandle CopyClipboardData(std::uint32_t format) override {
        HANDLE h = ::GetClipboardData(format);
        if (!h)
            return nullptr;
        if (IsEnhMetafileFormat(format))
            return ::CopyEnhMetaFileW(static_cast<HENHMETAFILE>(h), nullptr);
        SIZE_T size = ::GlobalSize(h);
        if (size == 0)
            return nullptr; // not a memory block (or an empty one): nothing to copy
        CGlobalHandle copy(::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size));
        if (!copy)
            return nullptr;
        {
            CGlobalLock<const void> from(h);
            CGlobalLock<void> to(copy.Get());
            if (!from || !to)
                return nullptr;
            std::memcpy(to.Get(), from.Get(), size);
        }
        return copy.Release();
    }
    bool SetClipboardData(std::uint32_t format, ClipHandle data) override {
        m_wrote = true;
        return ::SetClipboardData(format, data) != nullptr;
    }
    void FreeClipboardCopy(std::uint32_t format, ClipHandle data) override {
        if (IsEnhMetafileFormat(format))
            ::DeleteEnhMetaFile(static_cast<HENHMETAFILE>(data));
        else
            ::GlobalFree(data);
    }
    std::uint32_t RegisterFormatName(const std::u16string& name) override {
        return ::RegisterClipboardFormatW(WidePtr(name));
    }
    bool IsClipboardFormatAvailable(std::uint32_t format) override {
        return ::IsClipboardFormatAvailable(format) != FALSE;
    }
    bool GetClipboardText(std::u16string& text) override {
        HANDLE h = ::GetClipboardData(CF_UNICODETEXT);
        if (!h)
            return false;
        CGlobalLock<const char16_t> p(h);
        if (!p)
            return false;
        std::size_t units = ::GlobalSize(h) / sizeof(char16_t);
        std::size_t n = 0;
        while (n < units && p.Get()[n] != 0)
            ++n;
        text.assign(p.Get(), n);
        return true;
    }
    bool SetClipboardText(const std::u16string& text) override {
        if (!SetClipboardTextAsCopy(text))
            return false;
        MarkOwnContent();
        return true;
    }
    bool SetClipboardTextAsCopy(const std::u16string& text) override {
        // Movable, as clipboard data must be.
        CGlobalHandle mem(::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t)));
        if (!mem)
            return false;
        {
            CGlobalLock<char16_t> p(mem.Get());
            if (!p)
                return false;
            std::memcpy(p.Get(), text.c_str(), (text.size() + 1) * sizeof(char16_t));
        }
        m_wrote = true;
        if (!::SetClipboardData(CF_UNICODETEXT, mem.Get()))
            return false;
        mem.Release(); // the clipboard owns it now
        return true;
    }
    bool OfferClipboardText(const std::u16string& text) override {
        m_wrote = true;
        m_offer = text;
        m_offerState = ClipboardOffer::kWaiting;
        // No data: the system asks our window for it when a program reads it. The result
        // says nothing for a null handle; the format's presence does.
        ::SetClipboardData(CF_UNICODETEXT, nullptr);
        if (!::IsClipboardFormatAvailable(CF_UNICODETEXT)) {
            ForgetOffer(ClipboardOffer::kNone);
            return false;
        }
        MarkOwnContent();
        return true;
    }
    void RenderOffer(std::uint32_t format) override {
        if (format != CF_UNICODETEXT || m_offerState != ClipboardOffer::kWaiting)
            return;
        CGlobalHandle mem(::GlobalAlloc(GMEM_MOVEABLE, (m_offer.size() + 1) * sizeof(char16_t)));
        if (!mem)
            return;
        {
            CGlobalLock<char16_t> p(mem.Get());
            if (!p)
                return;
            std::memcpy(p.Get(), m_offer.c_str(), (m_offer.size() + 1) * sizeof(char16_t));
        }
        // Handing over what was offered is no new content: a sequence number that moves
        // with it must not be taken for a copy of the user's.
        const bool ours = ::GetClipboardSequenceNumber() == m_ownSequence;
        if (!::SetClipboardData(CF_UNICODETEXT, mem.Get()))
            return;
        mem.Release();
        if (ours)
            m_ownSequence = ::GetClipboardSequenceNumber();
        ForgetOffer(ClipboardOffer::kTaken);
    }
    void RenderOfferBeforeLeaving(void* window) override {
        HWND owner = static_cast<HWND>(window);
        if (m_offerState != ClipboardOffer::kWaiting || !::OpenClipboard(owner))
            return;
        // Emptied by someone else since, the clipboard is no longer ours to write.
        if (::GetClipboardOwner() == owner)
            RenderOffer(CF_UNICODETEXT);
        ::CloseClipboard();
    }
    void DropOffer() override {
        if (m_offerState == ClipboardOffer::kWaiting)
            ForgetOffer(ClipboardOffer::kDropped);
    }
    ClipboardOffer OfferState() override { return m_offerState; }
    bool JoinClipboardViewerChain(void* viewer) override {
        HWND window = static_cast<HWND>(viewer);
        if (!window || !::IsWindow(window))
            return false;
        if (g_link.joins > 0) {
            // Joined twice, the window would follow itself and the chain would loop.
            if (g_link.viewer != window)
                return false;
            ++g_link.joins;
            return true;
        }
        if (!::SetWindowSubclass(window, ChainProc, kChainSubclassId, 0))
            return false;
        g_link.viewer = window;
        g_link.joins = 1;
        g_link.next = ::SetClipboardViewer(window);
        return true;
    }
    void LeaveClipboardViewerChain(void* viewer) override {
        if (!viewer || g_link.viewer != static_cast<HWND>(viewer) || g_link.joins <= 0)
            return;
        if (--g_link.joins == 0)
            LeaveChainNow();
    }

    bool IsKeyDown(std::uint8_t vk) override { return (::GetAsyncKeyState(vk) & 0x8000) != 0; }
    void FollowHook(CUserKeys* record) override { m_keys = record; }
    bool IsUserKeyDown(std::uint8_t vk) override {
        return Watched() ? m_keys->IsDownCrossChecked(vk, IsKeyDown(vk), ::GetTickCount()) : IsKeyDown(vk);
    }
    std::uint32_t UserKeyPresses() override { return m_keys ? m_keys->Presses() : 0; }
    void HoldUserKeys() override {
        if (Watched())
            m_keys->Hold();
    }
    void ReleaseUserKeys() override {
        if (!m_keys)
            return;
        // The keys that came meanwhile wait for the hook in the system's queue: answered now,
        // they are held with the rest rather than passing after it.
        ServeSentMessages();
        const std::vector<KeyInput> held = m_keys->EndHold();
        if (!held.empty())
            SendInputs(held, 0);
    }
    std::uint16_t ScanCodeOf(std::uint8_t vk) override {
        return static_cast<std::uint16_t>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    }
    bool SendKeys(const std::vector<KeyInput>& keys) override {
        if (keys.empty())
            return true;
        // A release of the user's Ctrl can still reach the input stream between our Ctrl
        // and our letters: a release that was waiting for the hook when the batch was
        // planned, or (under Wine) one the hook is asked about while SendInput waits for
        // it. The hook holds such releases back until it has seen the whole batch, and
        // Ctrl is released here in their place when the batch left it down.
        const bool holdBack = Watched() && PressesCtrl(keys);
        if (holdBack)
            m_keys->BeginOwnBatch(keys.size());
        const bool sent = SendInputs(keys);
        if (!holdBack)
            return sent;
        if (sent)
            Wait(
                kOwnBatchPassMs, [&] { return m_keys->OwnBatchPassed(); }, kOwnBatchPollMs, nullptr);
        if (m_keys->EndOwnBatch() && LeavesCtrlDown(keys))
            SendInputs({KeyInput{keyboard::vk::kControl, ScanCodeOf(keyboard::vk::kControl), true}});
        return sent;
    }

    bool WaitServingMessages(std::uint32_t timeoutMs, const std::function<bool()>& done,
                             std::uint32_t pollMs) override {
        return Wait(timeoutMs, done, pollMs, nullptr);
    }
    bool WaitWatchingClipboard(void* listener, std::uint32_t timeoutMs, const std::function<bool()>& done,
                               std::uint32_t pollMs) override {
        // Listening only for the wait: at other times the user's own copies would wake the
        // program for nothing.
        HWND main = static_cast<HWND>(listener);
        if (!main || !::AddClipboardFormatListener(main))
            return Wait(timeoutMs, done, pollMs, nullptr);
        const bool result = Wait(timeoutMs, done, pollMs, main);
        ::RemoveClipboardFormatListener(main);
        TakeClipboardUpdates(main);
        return result;
    }
    std::uint64_t NowMs() override { return ::GetTickCount64(); }
    bool LocalTimeOfDay(int& hour, int& minute, int& second) override {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        if (localtime_s(&local, &now) != 0)
            return false;
        hour = local.tm_hour;
        minute = local.tm_min;
        second = local.tm_sec;
        return true;
    }

    std::string ToAnsi(const std::u16string& text) override { return WideToCodePage(ToWide(text), CP_ACP); }
    std::u16string FromAnsi(const std::string& bytes) override {
        return FromWide(CodePageToWide(bytes, CP_ACP));
    }

    bool ShellOpen(const std::u16string& file, const std::u16string& parameters) override {
        return m_shell.ShellOpen(file, parameters);
    }
    bool StartProgram(const std::u16string& program, const std::u16string& parameters) override {
        return m_shell.StartProgram(program, parameters);
    }
    VerbFacts FileTypeVerb(const std::u16string& extension, const std::u16string& verb) override {
        return m_shell.FileTypeVerb(extension, verb);
    }
    std::u16string ProgramExtensions() override { return m_shell.ProgramExtensions(); }
    bool ShellVerb(const std::u16string& file, const std::u16string& verb) override {
        return m_shell.ShellVerb(file, verb);
    }
    OpenWithResult OpenWithDialog(const std::u16string& file) override {
        return m_shell.OpenWithDialog(file);
    }
    bool IsWindow(const void* window) override {
        return ::IsWindow(static_cast<HWND>(const_cast<void*>(window))) != FALSE;
    }

    // --- Whose window.
    bool DescribeWindow(const void* window, WindowFacts& facts) override {
        HWND hwnd = static_cast<HWND>(const_cast<void*>(window));
        DWORD process = 0;
        const DWORD thread = ::GetWindowThreadProcessId(hwnd, &process);
        if (thread == 0)
            return false;
        facts.thread = thread;
        facts.process = process;
        facts.className = ClassNameOf(hwnd, false);
        HWND top = ::GetAncestor(hwnd, GA_ROOT);
        facts.topClassName = top && top != hwnd ? ClassNameOf(top, false) : facts.className;
        // The style decides, never what the box would give: a box of another program may
        // hand its hidden text to WM_GETTEXT. The system's class behind a superclass (a
        // framework's text box) counts as the class itself; ES_PASSWORD means something else
        // to other classes.
        facts.edit = EditKindOfClass(facts.className);
        if (facts.edit == EditKind::kNone)
            facts.edit = EditKindOfClass(ClassNameOf(hwnd, true));
        const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
        facts.password = facts.edit != EditKind::kNone && (style & ES_PASSWORD) != 0;
        facts.readOnly = facts.edit != EditKind::kNone && (style & ES_READONLY) != 0;
        return true;
    }
    void DescribeProgram(const void* window, WindowFacts& facts) override {
        HWND hwnd = static_cast<HWND>(const_cast<void*>(window));
        DWORD process = 0;
        ::GetWindowThreadProcessId(hwnd, &process);
        facts.program.clear();
        CHandle owner(process ? ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process) : nullptr);
        if (owner) {
            std::wstring image(MAX_PATH, L'\0');
            for (int attempt = 0; attempt < 3; ++attempt) {
                DWORD size = static_cast<DWORD>(image.size());
                if (::QueryFullProcessImageNameW(owner.Get(), 0, image.data(), &size)) {
                    image.resize(size);
                    facts.program = ProgramFileName(FromWide(image));
                    break;
                }
                if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
                    break;
                image.assign(image.size() * 4, L'\0');
            }
        }
        // GetWindowTextW reads another program's caption without sending it a message.
        facts.title.clear();
        if (HWND top = ::GetAncestor(hwnd, GA_ROOT)) {
            wchar_t caption[512] = {};
            const int got = ::GetWindowTextW(top, caption, 512);
            facts.title = FromWide(std::wstring_view(caption, got > 0 ? static_cast<std::size_t>(got) : 0));
        }
    }
    std::uint32_t OwnProcess() override { return ::GetCurrentProcessId(); }
    bool RunsAboveUs(const void* window) override {
        DWORD process = 0;
        if (::GetWindowThreadProcessId(static_cast<HWND>(const_cast<void*>(window)), &process) == 0)
            return false;
        CHandle other(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
        // Limited information is granted to every program of the same user at the same or a
        // lower level: a refusal means a program above us (or a system service).
        if (!other)
            return ::GetLastError() == ERROR_ACCESS_DENIED;
        DWORD ours = 0, theirs = 0;
        if (!IntegrityOf(::GetCurrentProcess(), ours) || !IntegrityOf(other.Get(), theirs))
            return false;
        return theirs > ours;
    }
    bool CaretShownIn(const void* window) override {
        HWND box = static_cast<HWND>(const_cast<void*>(window));
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        const DWORD thread = ::GetWindowThreadProcessId(box, nullptr);
        return thread && ::GetGUIThreadInfo(thread, &info) && info.hwndCaret &&
               (info.hwndCaret == box || ::IsChild(box, info.hwndCaret));
    }
    void* FocusedWindow() override {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return ::GetGUIThreadInfo(0, &info) ? info.hwndFocus : nullptr;
    }
    bool GetEditSelection(const void* box, std::uint32_t& start, std::uint32_t& end) override {
        // Through the pointers, which the system fills across programs: the return value
        // holds only 16 bits of each.
        DWORD first = 0, last = 0;
        DWORD_PTR packed = 0;
        if (!::SendMessageTimeoutW(Hwnd(box), EM_GETSEL, reinterpret_cast<WPARAM>(&first),
                                   reinterpret_cast<LPARAM>(&last), kEditMessageFlags, kWindowTextMs,
                                   &packed))
            return false;
        start = first;
        end = last;
        return true;
    }
    bool SetEditSelection(const void* box, std::uint32_t start, std::uint32_t end) override {
        DWORD_PTR result = 0;
        const LPARAM to = end == kEditEnd ? -1 : static_cast<LPARAM>(end);
        return ::SendMessageTimeoutW(Hwnd(box), EM_SETSEL, start, to, kEditMessageFlags, kWindowTextMs,
                                     &result) != 0;
    }
    bool ReplaceEditSelection(const void* box, const std::u16string& text) override {
        const std::wstring wide = ToWide(text);
        DWORD_PTR result = 0;
        // TRUE: the user can undo it with Ctrl+Z, as a paste of their own. A long text takes
        // the control a while to lay out.
        return ::SendMessageTimeoutW(Hwnd(box), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()),
                                     kEditMessageFlags, kReplaceMs, &result) != 0;
    }

    bool ReadWindowText(const void* window, std::u16string& text) override {
        // Another program's window: a hung one must not hang us.
        HWND hwnd = static_cast<HWND>(const_cast<void*>(window));
        // Not SMTO_BLOCK: while the window takes its time, the messages sent to this thread (the
        // keyboard hook's calls among them) are answered.
        const UINT flags = SMTO_NORMAL | SMTO_ABORTIFHUNG;
        DWORD_PTR got = 0;
        // Most boxes hold a short text: one trip to the other program takes it whole, a text
        // that fills the buffer is asked for again at its length.
        std::wstring quick(kQuickTextChars, L'\0');
        if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, quick.size(), reinterpret_cast<LPARAM>(quick.data()),
                                   flags, kWindowTextMs, &got))
            return false;
        if (got + 1 < quick.size()) {
            quick.resize(got);
            text = FromWide(quick);
            return true;
        }
        DWORD_PTR length = 0;
        if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, flags, kWindowTextMs, &length))
            return false;
        std::wstring buffer(length + 1, L'\0');
        if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                                   flags, kWindowTextMs, &got))
            return false;
        buffer.resize(std::min<std::size_t>(got, length));
        text = FromWide(buffer);
        return true;
    }

private:
    static constexpr std::size_t kQuickTextChars = 4096;
    CWin32Shell m_shell;
    CLocalMemory m_ownerOnly;    // the descriptor of our new files, once made
    CUserKeys* m_keys = nullptr; // the keyboard hook's record of the user's keys
    bool Watched() const { return m_keys && m_keys->IsWatching(); }
    HWND m_owner = nullptr;
    bool m_wrote = false;    // this open emptied or wrote the clipboard
    DWORD m_ownSequence = 0; // the clipboard's sequence number after our last write
    // The text offered on the clipboard until it is taken; the user's text is not kept longer.
    std::u16string m_offer;
    ClipboardOffer m_offerState = ClipboardOffer::kNone;
    void ForgetOffer(ClipboardOffer state) {
        std::fill(m_offer.begin(), m_offer.end(), u'\0');
        m_offer.clear();
        m_offerState = state;
    }

    // The mandatory integrity level of a process (its token's label RID).
    static bool IntegrityOf(HANDLE process, DWORD& level) {
        HANDLE rawToken = nullptr;
        if (!::OpenProcessToken(process, TOKEN_QUERY, &rawToken))
            return false;
        CHandle token(rawToken);
        DWORD size = 0;
        ::GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &size);
        if (size == 0)
            return false;
        std::vector<unsigned char> buffer(size);
        if (!::GetTokenInformation(token.Get(), TokenIntegrityLevel, buffer.data(), size, &size))
            return false;
        const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
        const DWORD count = *::GetSidSubAuthorityCount(label->Label.Sid);
        if (count == 0)
            return false;
        level = *::GetSidSubAuthority(label->Label.Sid, count - 1);
        return true;
    }

    // Removes the change notices posted to the listening window; true when there was one.
    static bool TakeClipboardUpdates(HWND listener) {
        bool any = false;
        MSG msg;
        while (::PeekMessageW(&msg, listener, WM_CLIPBOARDUPDATE, WM_CLIPBOARDUPDATE, PM_REMOVE))
            any = true;
        return any;
    }
    // The wait of the edit road; with a listener, a clipboard change ends the current pause.
    static bool Wait(std::uint32_t timeoutMs, const std::function<bool()>& done, std::uint32_t pollMs,
                     HWND listener) {
        const ULONGLONG start = ::GetTickCount64();
        for (;;) {
            // Dispatches the sent messages (and the hook calls) only; posted messages, the
            // timers and the hotkey among them, stay in the queue.
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            if (listener)
                TakeClipboardUpdates(listener);
            if (done && done())
                return true;
            const ULONGLONG elapsed = ::GetTickCount64() - start;
            if (elapsed >= timeoutMs)
                return false;
            ULONGLONG slice = timeoutMs - elapsed;
            if (done && pollMs > 0 && pollMs < slice)
                slice = pollMs;
            // The change notice is a posted message, so a listening wait wakes for posted
            // messages too, but only for new ones: a message of the program's own that stays
            // queued must not wake it again and again.
            const DWORD wakeFor = listener ? QS_SENDMESSAGE | QS_POSTMESSAGE : QS_SENDMESSAGE;
            ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(slice), wakeFor,
                                          listener ? 0 : MWMO_INPUTAVAILABLE);
        }
    }
};

} // namespace

std::unique_ptr<IShell> NewShell() {
    return std::make_unique<CWin32Shell>();
}

ISystem& DefaultSystem() {
    static CWin32System system;
    return system;
}

} // namespace quillon
