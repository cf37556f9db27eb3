// The clipboard backup on the real clipboard: every kind of content comes back byte for
// byte, the viewer chain is joined and left, and a clipboard held by someone else for a
// moment is waited for.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "engine/clipboard_backup.h"
#include "engine/system.h"
#include "framework/wnd.h"
#include "windows/support/process.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// The program's window answers the system's requests for offered text, as the server
// window does.
class COfferingWnd : public CWnd {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_RENDERFORMAT:
            DefaultSystem().RenderOffer(static_cast<std::uint32_t>(wParam));
            return 0;
        case WM_RENDERALLFORMATS:
            DefaultSystem().RenderOfferBeforeLeaving(GetSafeHwnd());
            return 0;
        case WM_DESTROYCLIPBOARD:
            DefaultSystem().DropOffer();
            return 0;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
        }
    }
};

// A window of the program's own: the backup puts it at the head of the clipboard viewer
// chain.
class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_main.CreateEx(0, nullptr, L"main", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
        DefaultSystem().SetOwnerWindow(m_main.GetSafeHwnd());
    }
    void TearDown() override {
        DefaultSystem().SetOwnerWindow(nullptr);
        m_main.DestroyWindow();
    }
    COfferingWnd m_main;
};

HENHMETAFILE Metafile() {
    HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ::Rectangle(dc, 1, 2, 30, 40);
    return ::CloseEnhMetaFile(dc);
}

std::string MetafileBits(HENHMETAFILE emf) {
    UINT size = ::GetEnhMetaFileBits(emf, 0, nullptr);
    std::string bits(size, '\0');
    ::GetEnhMetaFileBits(emf, size, reinterpret_cast<BYTE*>(bits.data()));
    return bits;
}

// Every format on the clipboard with its bytes: global memory as is, enhanced metafiles
// as their bits; GDI handles only by presence.
std::map<std::wstring, std::string> Snapshot() {
    std::map<std::wstring, std::string> out;
    if (!OpenClipboardPatiently())
        return out;
    for (UINT f = ::EnumClipboardFormats(0); f; f = ::EnumClipboardFormats(f)) {
        wchar_t name[256] = {};
        std::wstring key = f > 14 && ::GetClipboardFormatNameW(f, name, 256) > 0 ? name : std::to_wstring(f);
        HANDLE h = ::GetClipboardData(f);
        std::string bytes;
        if (f == CF_ENHMETAFILE) {
            bytes = h ? MetafileBits(static_cast<HENHMETAFILE>(h)) : "";
        } else if (f == CF_BITMAP || f == CF_METAFILEPICT || f == CF_PALETTE) {
            bytes = "<handle>";
        } else if (h) {
            if (const void* p = ::GlobalLock(h)) {
                bytes.assign(static_cast<const char*>(p), ::GlobalSize(h));
                ::GlobalUnlock(h);
            }
        }
        out[key] = bytes;
    }
    ::CloseClipboard();
    return out;
}

void PutUsualContent() {
    ASSERT_TRUE(OpenClipboardPatiently());
    ::EmptyClipboard();
    const std::wstring text = L"user's text \u00E9 \U0001F600";
    ::SetClipboardData(CF_UNICODETEXT, GlobalBytes(std::string(reinterpret_cast<const char*>(text.c_str()),
                                                               (text.size() + 1) * 2)));
    ::SetClipboardData(::RegisterClipboardFormatW(L"HTML Format"), GlobalBytes("Version:0.9\r\n<b>bold</b>"));
    ::SetClipboardData(CF_DIB, GlobalBytes(SmallDib()));
    ::SetClipboardData(CF_ENHMETAFILE, Metafile());
    ::SetClipboardData(0x240, GlobalBytes("private to its owner"));
    ::CloseClipboard();
}

void PutOtherText() {
    ASSERT_TRUE(OpenClipboardPatiently());
    ::EmptyClipboard();
    ::SetClipboardData(CF_UNICODETEXT, GlobalBytes(std::string("o\0p\0\0\0", 6)));
    ::CloseClipboard();
}

// Another program that holds the clipboard open (the clipboard is shared between threads
// of one process, so it must be another process) until it is let go.
class CClipboardHolder {
public:
    CClipboardHolder() {
        static int serial = 0;
        const std::wstring name =
            L"QuillonClipboard" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
        m_held = ::CreateEventW(nullptr, TRUE, FALSE, (name + L"Held").c_str());
        m_release = ::CreateEventW(nullptr, TRUE, FALSE, (name + L"Release").c_str());
        if (m_holder.Start(ThisProgramFolder() + L"\\quillon-clipboard-holder.exe",
                           name + L"Held " + name + L"Release"))
            m_isHeld = ::WaitForSingleObject(m_held, 10000) == WAIT_OBJECT_0;
    }
    ~CClipboardHolder() {
        LetGo();
        if (m_letter) {
            ::WaitForSingleObject(m_letter, 30000);
            ::CloseHandle(m_letter);
        }
        m_holder.WaitExit(10000);
        ::CloseHandle(m_held);
        ::CloseHandle(m_release);
    }
    bool Held() const { return m_isHeld; }
    void LetGo() { ::SetEvent(m_release); }
    // Lets go once the window's thread answers a message, which this thread does only while
    // it waits to try the clipboard again: so someone is waiting for it when it comes free.
    void LetGoWhileWaitedFor(HWND window) {
        m_window = window;
        m_letter = ::CreateThread(
            nullptr, 0,
            [](void* self) -> DWORD {
                auto* holder = static_cast<CClipboardHolder*>(self);
                DWORD_PTR ignored = 0;
                ::SendMessageTimeoutW(holder->m_window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
                holder->LetGo();
                return 0;
            },
            this, 0, nullptr);
    }

private:
    HANDLE m_held = nullptr;
    HANDLE m_release = nullptr;
    HANDLE m_letter = nullptr;
    HWND m_window = nullptr;
    CProcess m_holder;
    bool m_isHeld = false;
};

// The DWORD under a registered format's name; -1 when the format is not there.
long long MarkerValue(const char16_t* name) {
    long long value = -1;
    const UINT format = ::RegisterClipboardFormatW(reinterpret_cast<const wchar_t*>(name));
    if (!OpenClipboardPatiently())
        return value;
    if (HANDLE h = ::GetClipboardData(format)) {
        if (::GlobalSize(h) >= sizeof(DWORD)) {
            if (const auto* p = static_cast<const DWORD*>(::GlobalLock(h))) {
                value = *p;
                ::GlobalUnlock(h);
            }
        }
    }
    ::CloseClipboard();
    return value;
}

bool MarkedAsOurs() {
    return MarkerValue(kExcludeFromMonitorsFormat) == 0 && MarkerValue(kHistoryFormat) == 0 &&
           MarkerValue(kCloudFormat) == 0;
}

// A window of its own class that only joins the viewer chain.
HWND PlainViewer() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuillonTestViewer";
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, nullptr);
}

} // namespace

TEST_F(ClipboardTest, EveryEmptyingOpenMakesOurWindowTheOwnerAndEveryWriteOfOursIsMarked) {
    // Opened with no window, the clipboard would have no owner, and Windows refuses the data
    // then put on it: the paste and the restore would silently do nothing.
    ISystem& sys = DefaultSystem();
    const HWND ours = m_main.GetSafeHwnd();
    PutUsualContent();
    CClipboardBackup backup(sys, sys, ours);
    ASSERT_TRUE(backup.Backup());
    // The copy's emptying.
    ASSERT_TRUE(OpenClipboardPatiently(sys, sys));
    sys.EmptyClipboard();
    sys.CloseClipboard();
    EXPECT_EQ(::GetClipboardOwner(), ours) << "after the copy's emptying";
    // The paste's text.
    ASSERT_TRUE(OpenClipboardPatiently(sys, sys));
    sys.EmptyClipboard();
    ASSERT_TRUE(sys.SetClipboardText(u"pasted"));
    sys.CloseClipboard();
    EXPECT_EQ(::GetClipboardOwner(), ours) << "after the paste's text";
    EXPECT_TRUE(MarkedAsOurs()) << "the pasted text is kept out of the history and the cloud";
    EXPECT_FALSE(sys.ChangedSinceOwnWrite());
    // The restore.
    ASSERT_TRUE(backup.Restore());
    EXPECT_EQ(::GetClipboardOwner(), ours) << "after the restore";
    EXPECT_TRUE(MarkedAsOurs()) << "the user's content again is a duplicate";
    EXPECT_FALSE(sys.ChangedSinceOwnWrite());
    PutOtherText();
    EXPECT_TRUE(sys.ChangedSinceOwnWrite()) << "another program's copy";
}

TEST_F(ClipboardTest, OfferedTextIsHandedOverWhenReadAndAnOfferEmptiedAwayIsDropped) {
    ISystem& sys = DefaultSystem();
    auto offer = [&] {
        if (!OpenClipboardPatiently(sys, sys))
            return false;
        sys.EmptyClipboard();
        const bool offered = sys.OfferClipboardText(u"offered");
        sys.CloseClipboard();
        return offered;
    };
    ASSERT_TRUE(offer());
    EXPECT_EQ(sys.OfferState(), ClipboardOffer::kWaiting);
    EXPECT_EQ(::GetClipboardOwner(), m_main.GetSafeHwnd());
    EXPECT_TRUE(MarkedAsOurs());
    // A reader asks for it (from this thread the request comes straight to the window).
    std::u16string read;
    ASSERT_TRUE(OpenClipboardPatiently(sys, sys));
    EXPECT_TRUE(sys.GetClipboardText(read));
    sys.CloseClipboard();
    EXPECT_EQ(read, u"offered");
    EXPECT_EQ(sys.OfferState(), ClipboardOffer::kTaken);
    EXPECT_FALSE(sys.ChangedSinceOwnWrite()) << "handing it over is no copy of the user's";
    // Emptied by someone before anyone asked: gone, and known to be.
    ASSERT_TRUE(offer());
    PutOtherText();
    EXPECT_EQ(sys.OfferState(), ClipboardOffer::kDropped);
}

TEST_F(ClipboardTest, AViewerThatLeavesTheChainWhileWeHoldABackupKeepsTheChainWhole) {
    ISystem& sys = DefaultSystem();
    const HWND prior = ::GetClipboardViewer();
    const HWND other = PlainViewer();
    ASSERT_TRUE(other);
    const HWND afterOther = ::SetClipboardViewer(other);
    EXPECT_EQ(afterOther, prior);
    {
        CClipboardBackup backup(sys, sys, m_main.GetSafeHwnd());
        ASSERT_TRUE(backup.Backup());
        EXPECT_EQ(::GetClipboardViewer(), m_main.m_hWnd);
        // The other viewer leaves while ours heads the chain: ours is told and now follows
        // on to the one after it.
        ::ChangeClipboardChain(other, afterOther);
        ::DestroyWindow(other);
        ASSERT_TRUE(backup.Restore());
    }
    EXPECT_EQ(::GetClipboardViewer(), prior) << "the chain would name a window that left it";
}

TEST_F(ClipboardTest, EveryFormatComesBackByteForByte) {
    PutUsualContent();
    auto before = Snapshot();
    ASSERT_TRUE(before.count(L"HTML Format"));
    ASSERT_TRUE(before.count(std::to_wstring(CF_DIB)));
    ASSERT_TRUE(before.count(std::to_wstring(CF_ENHMETAFILE)));

    const HWND priorViewer = ::GetClipboardViewer();
    CClipboardBackup backup(DefaultSystem(), DefaultSystem(), m_main.GetSafeHwnd());
    ASSERT_TRUE(backup.Backup());
    EXPECT_EQ(::GetClipboardViewer(), m_main.m_hWnd) << "the main window heads the viewer chain while held";
    PutOtherText();
    ASSERT_TRUE(backup.Restore());
    EXPECT_EQ(::GetClipboardViewer(), priorViewer) << "the chain is as it was";

    auto after = Snapshot();
    // The private format is the only thing not kept; everything else is identical.
    before.erase(std::to_wstring(0x240));
    EXPECT_EQ(after.count(std::to_wstring(0x240)), 0u);
    for (const auto& [key, bytes] : before) {
        ASSERT_TRUE(after.count(key)) << "format " << std::string(key.begin(), key.end()) << " is missing";
        EXPECT_EQ(after[key], bytes) << "format " << std::string(key.begin(), key.end());
    }
}

TEST_F(ClipboardTest, ARegisteredFormatWithALongNameComesBackUnderItsOwnName) {
    // Names of up to 255 characters are allowed; a shortened name would register another
    // format and the program that put the data there would not find it.
    const std::wstring name = L"Quillon test format " + std::wstring(150, L'n');
    const UINT format = ::RegisterClipboardFormatW(name.c_str());
    ASSERT_NE(format, 0u);
    ASSERT_TRUE(OpenClipboardPatiently());
    ::EmptyClipboard();
    ::SetClipboardData(format, GlobalBytes("long-named data"));
    ::CloseClipboard();
    CClipboardBackup backup(DefaultSystem(), DefaultSystem(), m_main.GetSafeHwnd());
    ASSERT_TRUE(backup.Backup());
    ASSERT_EQ(backup.Entries().size(), 1u);
    EXPECT_EQ(backup.Entries()[0].name.size(), name.size());
    PutOtherText();
    ASSERT_TRUE(backup.Restore());
    auto after = Snapshot();
    ASSERT_TRUE(after.count(name)) << "the data must come back under the long name";
    EXPECT_EQ(after[name], "long-named data");
}

TEST_F(ClipboardTest, AnEmptyClipboardStaysEmpty) {
    ASSERT_TRUE(OpenClipboardPatiently());
    ::EmptyClipboard();
    ::CloseClipboard();
    CClipboardBackup backup(DefaultSystem(), DefaultSystem(), m_main.GetSafeHwnd());
    ASSERT_TRUE(backup.Backup());
    EXPECT_TRUE(backup.Entries().empty());
    PutOtherText();
    ASSERT_TRUE(backup.Restore());
    EXPECT_EQ(::CountClipboardFormats(), 0);
}

TEST_F(ClipboardTest, AClipboardHeldForAMomentIsWaitedForAtBackupAndRestore) {
    PutUsualContent();
    auto before = Snapshot();
    CClipboardBackup backup(DefaultSystem(), DefaultSystem(), m_main.GetSafeHwnd());
    {
        CClipboardHolder holder;
        ASSERT_TRUE(holder.Held());
        holder.LetGoWhileWaitedFor(m_main.GetSafeHwnd());
        ASSERT_TRUE(backup.Backup()) << "the backup waits for the other holder";
    }
    PutOtherText();
    {
        CClipboardHolder holder;
        ASSERT_TRUE(holder.Held());
        holder.LetGoWhileWaitedFor(m_main.GetSafeHwnd());
        ASSERT_TRUE(backup.Restore()) << "a failed restore would lose the user's clipboard";
    }
    EXPECT_EQ(Snapshot()[L"HTML Format"], before[L"HTML Format"]);
}

TEST_F(ClipboardTest, AClipboardHeldTooLongIsGivenUpWithinTheBoundAndTheChainRepaired) {
    PutOtherText();
    const HWND priorViewer = ::GetClipboardViewer();
    CClipboardBackup backup(DefaultSystem(), DefaultSystem(), m_main.GetSafeHwnd());
    ASSERT_TRUE(backup.Backup());
    {
        CClipboardHolder holder; // until after the restore has given up
        ASSERT_TRUE(holder.Held());
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_FALSE(backup.Restore());
        EXPECT_LT(::GetTickCount64() - start, 1500u) << "the retry is bounded";
        EXPECT_TRUE(backup.IsHeld());
    }
    // The holder is gone (its destructor let go and waited for it): a later restore succeeds.
    EXPECT_TRUE(backup.Restore());
    EXPECT_EQ(::GetClipboardViewer(), priorViewer);
}

TEST_F(ClipboardTest, ClipboardTextGoesInAndOutWhole) {
    ISystem& sys = DefaultSystem();
    const std::u16string text = u"line\r\nzwei \u00FC \U0001F600";
    ASSERT_TRUE(OpenClipboardPatiently());
    ::EmptyClipboard();
    ASSERT_TRUE(sys.SetClipboardText(text));
    ::CloseClipboard();
    EXPECT_TRUE(sys.IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(OpenClipboardPatiently());
    std::u16string back;
    EXPECT_TRUE(sys.GetClipboardText(back));
    ::CloseClipboard();
    EXPECT_EQ(back, text);
}
