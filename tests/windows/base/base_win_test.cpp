// The Win32 base: handle owners and code page conversions, for real.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "base/win/code_page.h"
#include "base/win/handles.h"

using namespace quillon;

TEST(Handles, OwnersReleaseExactlyOnce) {
    CHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    HANDLE raw = event.Get();
    CHandle moved(std::move(event));
    EXPECT_FALSE(event);
    EXPECT_EQ(moved.Get(), raw);
    moved.Reset();
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags)) << "closed by the owner";
    CGlobalHandle mem(::GlobalAlloc(GMEM_MOVEABLE, 16));
    {
        CGlobalLock<char> lock(mem.Get());
        ASSERT_TRUE(lock);
        lock.Get()[0] = 'x';
    }
    EXPECT_EQ(::GlobalFlags(mem.Get()) & GMEM_LOCKCOUNT, 0u);

    // A handle handed out through a pointer lands in the owner; what it held is let go first.
    CHandle filled(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE before = filled.Get();
    HANDLE* slot = filled.Put();
    EXPECT_FALSE(::GetHandleInformation(before, &flags)) << "the handle held before Put is closed";
    HANDLE fresh = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    *slot = fresh;
    EXPECT_EQ(filled.Get(), fresh);
}

TEST(CodePage, TextGoesThereAndBackAndWhatAPageLacksBecomesItsDefault) {
    const std::wstring text = L"caf\u00E9 \u20AC";
    EXPECT_EQ(WideToCodePage(text, 1252), std::string("caf\xE9 \x80"));
    EXPECT_EQ(CodePageToWide("caf\xE9 \x80", 1252), text);
    EXPECT_EQ(WideToCodePage(L"\u4E2D", 1252), "?");
    const std::wstring beyond = L"\U0001F600 x";
    EXPECT_EQ(CodePageToWide(WideToCodePage(beyond, CP_UTF8), CP_UTF8), beyond);
    EXPECT_EQ(WideToCodePage(L"x", 12345), "") << "a code page the system does not have";
    EXPECT_EQ(CodePageToWide("", CP_UTF8), L"");
}
