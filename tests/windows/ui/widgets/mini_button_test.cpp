// The image buttons under the list: their images, their row, their pixels in the normal,
// pressed and disabled states (against the colours of the gradient rules), and tooltips.
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

#include "resource.h"
#include "ui/widgets/mini_button.h"
#include "ui/widgets/png_image.h"
#include "windows/support/gdiplus_session.h"
#include "windows/ui/widgets/widget_test_support.h"

using namespace quillon;
using namespace quillon::test;

namespace {

namespace gp = Gdiplus::DllExports;

constexpr int kDialog = 200;
constexpr int kList = 1000;

// The dialog's four buttons bound and laid out as the Options dialog does, plus one whose
// image is missing and whose tooltip text is empty.
struct ButtonScript {
    CScriptedDialog dialog{kDialog};
    CMiniButton add, up, down, remove, plain;
    CMiniButtonGroup group;
    ButtonScript() {
        dialog.onInit = [this](CScriptedDialog& d) {
            add.SubclassDlgItem(1001, d.m_hWnd);
            up.SubclassDlgItem(1020, d.m_hWnd);
            down.SubclassDlgItem(1021, d.m_hWnd);
            remove.SubclassDlgItem(1002, d.m_hWnd);
            plain.SubclassDlgItem(1003, d.m_hWnd);
            group.AddButton(add, IDR_PNG_ADD, L"Add a new extension");
            group.AddButton(up, IDR_PNG_MOVE_UP, L"Move up");
            group.AddButton(down, IDR_PNG_MOVE_DOWN, L"Move down");
            group.AddButton(remove, IDR_PNG_REMOVE, L"Remove selected extension");
            group.LayoutBelow(d.GetDlgItem(kList));
            plain.SetImageResource(9999);
        };
        dialog.WaitUntil("the dialog shown", [this] { return dialog.IsWindowVisible(); });
    }
};

COLORREF FromArgb(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// The colour the gradient rules give row y of a part that starts at row top and has rows rows.
COLORREF GradientAt(DWORD from, DWORD to, int y, int top, int rows) {
    const double t = (y - top + 0.5) / rows;
    auto channel = [&](int shift) {
        const double a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        return static_cast<int>(a + (b - a) * t + 0.5);
    };
    return RGB(channel(16), channel(8), channel(0));
}

// The source pixel of an image, as GDI+ decoded it (ARGB).
DWORD ImagePixel(const CPngImage& image, int x, int y) {
    Gdiplus::ARGB argb = 0;
    gp::GdipBitmapGetPixel(image.GetBitmap(), x, y, &argb);
    return argb;
}

COLORREF Grey(DWORD argb) {
    const int v =
        static_cast<int>(0.3 * ((argb >> 16) & 0xFF) + 0.59 * ((argb >> 8) & 0xFF) + 0.11 * (argb & 0xFF));
    return RGB(v, v, v);
}

// Checks a 22 x 22 "+" button's pixels against one state's colours; empty when they match.
std::string Mismatch(const CMiniButton& button, CMiniButton::State state) {
    const CPixels p = Capture(button.m_hWnd);
    if (p.width != 22 || p.height != 22)
        return "size " + std::to_string(p.width) + " x " + std::to_string(p.height);
    const CMiniButton::Palette c = CMiniButton::PaletteOf(state);
    // Frame box 21 x 21: the upper part is rows 0-9, the lower part rows 10-20.
    const int w = 21, h = 21, half = h / 2;
    // The image (16 x 16) sits at (3, 3); its centre is opaque, its corner transparent.
    const DWORD centre = ImagePixel(*button.GetImage(), 8, 8);
    const COLORREF image = state == CMiniButton::State::Disabled ? Grey(centre) : FromArgb(centre);
    struct Check {
        const char* what;
        int x, y;
        COLORREF expected;
        int tolerance;
    } checks[] = {
        {"top-left border", 0, 0, FromArgb(c.border), 1},
        {"bottom-right border", w, h, FromArgb(c.border), 1},
        {"upper part", 1, 2, GradientAt(c.upperTop, c.upperBottom, 2, 0, half), 2},
        {"upper part, under the image's transparent corner", 3, 3,
         GradientAt(c.upperTop, c.upperBottom, 3, 0, half), 2},
        {"lower part", 1, 17, GradientAt(c.lowerTop, c.lowerBottom, 17, half, h - half), 2},
        {"image centre", 11, 11, image, 2},
    };
    std::string out;
    for (const Check& check : checks) {
        const COLORREF seen = p.At(check.x, check.y);
        if (!Near(seen, check.expected, check.tolerance))
            out += std::string(check.what) + " " + Describe(seen) + " (expected " + Describe(check.expected) +
                   ") ";
    }
    return out;
}

} // namespace

TEST(PngResourceImage, DecodesTheFourButtonImagesWithTheirTransparency) {
    CGdiplusSession gdiplus;
    for (UINT id : {IDR_PNG_ADD, IDR_PNG_MOVE_DOWN, IDR_PNG_REMOVE, IDR_PNG_MOVE_UP}) {
        CPngResourceImage image(id);
        ASSERT_TRUE(image.IsLoaded()) << id;
        EXPECT_EQ(image.GetWidth(), 16u) << id;
        EXPECT_EQ(image.GetHeight(), 16u) << id;
        EXPECT_EQ(ImagePixel(image, 0, 0) >> 24, 0u) << id << ": the corners are transparent";
        EXPECT_EQ(ImagePixel(image, 8, 8) >> 24, 255u) << id << ": the middle is drawn";
    }
    CPngResourceImage image(IDR_PNG_ADD);
    EXPECT_FALSE(image.LoadFromResource(9999)) << "a missing resource";
    EXPECT_FALSE(image.IsLoaded()) << "a failed load leaves nothing of the old image";
    EXPECT_FALSE(image.LoadFromResource(IDR_MAINFRAME)) << "an icon is no PNG resource";
    EXPECT_TRUE(image.LoadFromResource(IDR_PNG_REMOVE));
}

TEST(MiniButton, NormalPressedAndDisabledPixels) {
    CGdiplusSession gdiplus;
    ButtonScript script;
    using State = CMiniButton::State;
    auto wait = [&](const char* what, State state) {
        script.dialog.WaitUntil(
            what, [&script, state] { return Mismatch(script.add, state).empty(); }, 5000,
            [&script, state] { return Mismatch(script.add, state); });
    };
    wait("the normal state", State::Normal);
    script.dialog.Do("press the mouse button on it", [&] {
        MoveMouse(CentreOf(script.add.m_hWnd));
        LeftButton(true);
    });
    wait("the pressed state, the image where it was", State::Pressed);
    script.dialog.Do("release it", [] { LeftButton(false); });
    wait("the normal state again", State::Normal);
    script.dialog.Do("disable it", [&] { ::EnableWindow(script.add.m_hWnd, FALSE); });
    wait("the disabled state, the image grey, its transparency kept", State::Disabled);
    EXPECT_EQ(script.dialog.Run(), "");
}

TEST(MiniButton, TheKeyboardFocusShowsAsADottedFrame) {
    CGdiplusSession gdiplus;
    ButtonScript script;
    // Pixels of the frame's left edge (column 3, beside the image) that are not the face's.
    auto marked = [&script] {
        const CPixels p = Capture(script.add.m_hWnd);
        const CMiniButton::Palette c = CMiniButton::PaletteOf(CMiniButton::State::Normal);
        int count = 0;
        for (int y = 4; y < 10 && p.width == 22; ++y)
            count += Near(p.At(3, y), GradientAt(c.upperTop, c.upperBottom, y, 0, 10), 8) ? 0 : 1;
        return count;
    };
    script.dialog.WaitUntil("the plain face", [&] { return marked() == 0; })
        .Do("focus it from the keyboard",
            [&] {
                ::SendMessageW(script.dialog.m_hWnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS),
                               0);
                ::SetFocus(script.add.m_hWnd);
            })
        .WaitUntil("the dotted frame", [&] { return marked() >= 2; });
    EXPECT_EQ(script.dialog.Run(), "");
}

TEST(MiniButtonGroup, ARowUnderTheListWithTooltipsWhereTheMouseRests) {
    CGdiplusSession gdiplus;
    ButtonScript script;
    RECT list{}, rects[4]{};
    int upTools = -1, plainTools = -1;
    std::wstring upText;
    script.dialog
        .Do("read the layout",
            [&] {
                HWND dialog = script.dialog.m_hWnd;
                ::GetWindowRect(script.dialog.GetDlgItem(kList), &list);
                ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&list), 2);
                for (size_t i = 0; i < 4 && i < script.group.GetButtons().size(); ++i) {
                    ::GetWindowRect(script.group.GetButtons()[i]->m_hWnd, &rects[i]);
                    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rects[i]), 2);
                }
            })
        .Do("rest the mouse on the move-up button", [&] { MoveMouse(CentreOf(script.up.m_hWnd)); })
        .WaitUntil("its tooltip shown",
                   [&] { return ::IsWindowVisible(script.up.GetToolTip().GetSafeHwnd()); })
        .Do("move onto the button without tooltip text", [&] { MoveMouse(CentreOf(script.plain.m_hWnd)); })
        .WaitUntil("that button's tooltip control, made on the first relayed message",
                   [&] { return script.plain.GetToolTip().IsCreated(); })
        .WaitUntil("a button without image painted (its caption instead)",
                   [&] {
                       const CPixels p = Capture(script.plain.m_hWnd);
                       return p.At(0, 0) ==
                              FromArgb(CMiniButton::PaletteOf(CMiniButton::State::Normal).border);
                   })
        .Do("read the tools", [&] {
            upTools = script.up.GetToolTip().GetToolCount();
            upText = script.up.GetToolTip().GetText(script.up.m_hWnd, CToolTipCtrl::kWholeWindow);
            plainTools = script.plain.GetToolTip().GetToolCount();
        });
    ASSERT_EQ(script.dialog.Run(), "");
    ASSERT_EQ(script.group.GetButtons().size(), 4u);
    EXPECT_EQ(script.group.GetButtons()[1], &script.up) << "in the order added";
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rects[i].left, list.left + 21 * i) << i << ": overlapping the one before by a pixel";
        EXPECT_EQ(rects[i].top, list.bottom + 8) << i;
        EXPECT_EQ(rects[i].bottom - rects[i].top, 22) << i;
    }
    EXPECT_EQ(rects[3].right - rects[0].left, 85);
    EXPECT_EQ(upTools, 1);
    EXPECT_EQ(upText, L"Move up");
    EXPECT_EQ(plainTools, 0);
    EXPECT_FALSE(script.plain.GetImage()->IsLoaded());
}
