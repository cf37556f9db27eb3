// The check every dialog's layout gets: each text fits its control in the font the system
// gives, lies inside the dialog and is covered by no other control.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "windows/support/win_test.h"

namespace quillon::test {

// Whatever face and size "MS Shell Dlg" becomes on this machine: each label's text fits its
// rectangle (a wrapped label, or a box with BS_MULTILINE, within its height), a box's text
// beside its mark, a button's text within its edges, and no other visible control but a
// group box lies over any of them. Edits hold what the user types; image buttons draw
// pictures (and may touch each other).
inline void ExpectEveryTextFits(HWND dialog) {
    HDC dc = ::GetDC(dialog);
    RECT client{};
    ::GetClientRect(dialog, &client);
    const int mark = ::GetSystemMetrics(SM_CXMENUCHECK);
    auto isGroupBox = [](HWND child) {
        wchar_t kind[64] = {};
        ::GetClassNameW(child, kind, 64);
        return std::wstring(kind) == L"Button" &&
               (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    };
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[256] = {}, kind[64] = {};
        ::GetWindowTextW(child, text, 256);
        ::GetClassNameW(child, kind, 64);
        if (!*text || !::IsWindowVisible(child) || std::wstring(kind) == L"Edit")
            continue;
        RECT r{};
        ::GetClientRect(child, &r);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        const UINT type = style & BS_TYPEMASK;
        const bool isStatic = std::wstring(kind) == L"Static";
        const bool box = !isStatic && (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON ||
                                       type == BS_CHECKBOX || type == BS_RADIOBUTTON);
        const bool group = !isStatic && type == BS_GROUPBOX;
        if (!isStatic && !box && !group && type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON)
            continue; // the image buttons draw pictures
        const bool wraps = isStatic || (box && (style & BS_MULTILINE));
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)));
        const LONG room =
            r.right - (box ? mark + 3 : 0) - (group ? 12 : 0) - (isStatic || box || group ? 0 : 6);
        RECT need{0, 0, room, 0};
        const UINT flags = DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE) |
                           (isStatic && (style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
        ::DrawTextW(dc, text, -1, &need, flags);
        ::SelectObject(dc, old);
        EXPECT_LE(need.right, room) << Utf8Of(text) << " is cut at its end";
        if (wraps) {
            EXPECT_LE(need.bottom, r.bottom) << Utf8Of(text) << " loses a line";
        }

        RECT place{};
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        RECT inside{};
        ::IntersectRect(&inside, &place, &client);
        EXPECT_TRUE(::EqualRect(&inside, &place)) << Utf8Of(text) << " reaches out of the dialog";
        if (group)
            continue; // a group box holds other controls
        for (HWND other = ::GetWindow(dialog, GW_CHILD); other; other = ::GetWindow(other, GW_HWNDNEXT)) {
            if (other == child || !::IsWindowVisible(other) || isGroupBox(other))
                continue;
            RECT there{}, common{};
            ::GetWindowRect(other, &there);
            ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&there), 2);
            wchar_t otherText[256] = {};
            ::GetWindowTextW(other, otherText, 256);
            EXPECT_FALSE(::IntersectRect(&common, &place, &there))
                << Utf8Of(text) << " is covered by the control \"" << Utf8Of(otherText) << "\" (id "
                << ::GetDlgCtrlID(other) << ")";
        }
    }
    ::ReleaseDC(dialog, dc);
}

} // namespace quillon::test
