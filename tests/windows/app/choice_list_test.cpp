// The choice list: item texts and names, placement inside the work area, the selection
// moving with each hotkey press, clicks reaching the owner, and the drawn rows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/choice_list.h"
#include "base/u16.h"
#include "base/win/handles.h"
#include "windows/support/message_sink.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::test;

TEST(ChoiceText, EditorDisplayNames) {
    EXPECT_EQ(EditorDisplayName(L""), L"default editor");
    EXPECT_EQ(EditorDisplayName(L"C:\\Tools\\Pad\\pad.exe"), L"pad.exe");
    EXPECT_EQ(EditorDisplayName(L"pad.exe"), L"pad.exe");
    EXPECT_EQ(EditorDisplayName(L"\\\\server\\share\\ed.exe"), L"ed.exe");
}

TEST(ChoiceText, ItemTextsAndTheirDrawnParts) {
    EXPECT_EQ(ChoiceItemText(EXTENSIONREC(u"txt", u"", u"", 1)), L"txt_(default editor)");
    EXPECT_EQ(ChoiceItemText(EXTENSIONREC(u"md", u"C:\\bin\\ed.exe", u"%1", 0)), L"md_(ed.exe)");

    std::wstring left, right;
    SplitChoiceText(L"md_(ed.exe)", left, right);
    EXPECT_EQ(left, L"md");
    EXPECT_EQ(right, L"(ed.exe)");
    // An extension with an underscore splits there: the first underscore decides.
    SplitChoiceText(ChoiceItemText(EXTENSIONREC(u"my_ext", u"", u"", 1)), left, right);
    EXPECT_EQ(left, L"my");
    EXPECT_EQ(right, L"ext_(default editor)");
    SplitChoiceText(L"Cancel", left, right);
    EXPECT_EQ(left, L"Cancel");
    EXPECT_EQ(right, L"");
    SplitChoiceText(L"_x", left, right);
    EXPECT_EQ(left, L"");
    EXPECT_EQ(right, L"x");
}

TEST(ChoicePlacement, ClampedInsideTheArea) {
    const RECT area{0, 0, 1000, 700};
    auto expectRect = [](const RECT& r, LONG l, LONG t, LONG rt, LONG b) {
        EXPECT_EQ(r.left, l);
        EXPECT_EQ(r.top, t);
        EXPECT_EQ(r.right, rt);
        EXPECT_EQ(r.bottom, b);
    };
    expectRect(ClampRectToArea({100, 100, 300, 200}, area), 100, 100, 300, 200);   // already inside
    expectRect(ClampRectToArea({-150, -50, 50, 50}, area), 0, 0, 200, 100);        // top-left corner
    expectRect(ClampRectToArea({900, 650, 1100, 750}, area), 800, 600, 1000, 700); // bottom-right
    // Larger than the area: the left and top edges stay on the area's edges.
    expectRect(ClampRectToArea({500, 500, 1700, 1400}, area), 0, 0, 1200, 900);
    // An area that does not start at 0 (a second monitor, a taskbar on the left).
    expectRect(ClampRectToArea({-10, 5, 90, 45}, RECT{60, 30, 400, 300}), 60, 30, 160, 70);
}

TEST(ChoicePlacement, ClampedToTheNearestMonitorsWorkArea) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
    const RECT work = info.rcWork;
    // Far outside the bottom right of every monitor.
    RECT r =
        ClampToWorkArea(RECT{work.right + 5000, work.bottom + 5000, work.right + 5100, work.bottom + 5040});
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 40);
    r = ClampToWorkArea(RECT{work.left - 70, work.top - 30, work.left + 30, work.top + 10});
    EXPECT_EQ(r.left, work.left);
    EXPECT_EQ(r.top, work.top);
}

TEST(ChoiceSelection, KPressesSelectItemKMinusOneModuloTheCount) {
    for (int count : {1, 2, 5}) {
        int selected = -1; // hidden list: the first press shows it with item 0
        for (int k = 1; k <= 12; ++k) {
            selected = k == 1 ? 0 : NextChoice(selected, count);
            EXPECT_EQ(selected, (k - 1) % count) << "count " << count << " press " << k;
        }
    }
    EXPECT_EQ(NextChoice(-1, 4), 0) << "no selection moves to the first item";
    EXPECT_EQ(NextChoice(3, 4), 0);
    EXPECT_EQ(NextChoice(0, 0), -1);
}

namespace {

class ChoiceListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_owner.CreateEx(0, nullptr, L"owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr));
        m_images.Reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 10, 1));
        ASSERT_TRUE(m_list.Create(m_owner.m_hWnd, m_images.Get()));
        m_list.SetRowColours(0xFAF6F3, 0xFFFFFF);
    }
    void TearDown() override { m_list.DestroyWindow(); }
    RECT WindowRect() const {
        RECT r{};
        ::GetWindowRect(m_list.m_hWnd, &r);
        return r;
    }
    int ItemHeight() const {
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        m_list.SendMessage(LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds));
        return bounds.bottom - bounds.top;
    }
    // The owner of the list: collects the clicks the list posts to it, and reflects the
    // list's notifications back to it, as the server window does.
    CMessageSink m_owner{WM_CHOICE_CLICKED};
    CImageListHandle m_images;
    CQLNListCtrl m_list;
};

const std::vector<EXTENSIONREC> kRows = {EXTENSIONREC(u"txt", u"", u"", 1),
                                         EXTENSIONREC(u"md", u"C:\\bin\\ed.exe", u"%1", 1),
                                         EXTENSIONREC(u"my_ext", u"", u"", 0)};

} // namespace

TEST_F(ChoiceListTest, APopupThatNeverActivatesAndStartsHidden) {
    HWND hwnd = m_list.m_hWnd;
    const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
    const LONG exStyle = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(style & LVS_OWNERDRAWFIXED);
    EXPECT_TRUE(style & LVS_SINGLESEL);
    EXPECT_TRUE(style & LVS_NOCOLUMNHEADER);
    EXPECT_TRUE(style & LVS_SHAREIMAGELISTS) << "the owner keeps the image list";
    EXPECT_TRUE(exStyle & WS_EX_NOACTIVATE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), m_owner.m_hWnd);
    wchar_t title[32] = {};
    ::GetWindowTextW(hwnd, title, 32);
    EXPECT_STREQ(title, L"Quillon");
    EXPECT_TRUE(m_list.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_FULLROWSELECT);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(m_list.SendMessage(LVM_GETIMAGELIST, LVSIL_SMALL)),
              m_images.Get());
}

TEST_F(ChoiceListTest, ItemsAreTheRowsThenNewExtensionThenCancel) {
    m_list.Refresh(kRows);
    ASSERT_EQ(m_list.ItemCount(), 5);
    EXPECT_EQ(m_list.ItemText(0), L"txt_(default editor)");
    EXPECT_EQ(m_list.ItemText(1), L"md_(ed.exe)");
    EXPECT_EQ(m_list.ItemText(2), L"my_ext_(default editor)");
    EXPECT_EQ(m_list.ItemText(3), L"Edit with new Extension");
    EXPECT_EQ(m_list.ItemText(4), L"Cancel");
    EXPECT_EQ(::ImageList_GetImageCount(m_images.Get()), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(m_list.ItemImage(i), i);

    // Shown for a program where "MD" was chosen before: the offer to keep it sits above
    // "Cancel", once however often it is made, and goes with a rebuild.
    for (int shown = 0; shown < 2; ++shown)
        m_list.OfferRemember(L"notepad.exe", L"MD");
    ASSERT_EQ(m_list.ItemCount(), 6);
    EXPECT_EQ(m_list.RememberItem(), 4);
    EXPECT_EQ(m_list.RememberedRow(), 1);
    EXPECT_EQ(m_list.ItemText(4), L"Always md_in notepad.exe");
    EXPECT_EQ(m_list.ItemText(5), L"Cancel");
    m_list.OfferRemember(L"notepad.exe", L"gone");
    EXPECT_EQ(m_list.ItemCount(), 5) << "no offer for an extension the rows lack";
    EXPECT_EQ(m_list.RememberItem(), -1);

    // Rebuilding replaces items and images rather than adding to them.
    m_list.Refresh({});
    ASSERT_EQ(m_list.ItemCount(), 2);
    EXPECT_EQ(m_list.ItemText(0), L"Edit with new Extension");
    EXPECT_EQ(m_list.ItemText(1), L"Cancel");
    EXPECT_EQ(::ImageList_GetImageCount(m_images.Get()), 2);
}

TEST_F(ChoiceListTest, SizedExactlyToItsItemsWithNothingToScroll) {
    m_list.Refresh(kRows);
    m_list.ShowOrAdvance(POINT{400, 400});
    const RECT r = WindowRect();
    const int column = static_cast<int>(m_list.SendMessage(LVM_GETCOLUMNWIDTH, 0));
    ASSERT_GT(ItemHeight(), 0);
    EXPECT_EQ(r.bottom - r.top, 5 * ItemHeight() + 2);
    // Column 0 fills the client area and the items fill it: no scroll bar, without the
    // scrolling style that report view does not support.
    RECT client{};
    ::GetClientRect(m_list.m_hWnd, &client);
    const int second = static_cast<int>(m_list.SendMessage(LVM_GETCOLUMNWIDTH, 1));
    EXPECT_EQ(r.right - r.left, column + second + 2);
    EXPECT_EQ(client.right, column + second);
    EXPECT_EQ(client.bottom, 5 * ItemHeight());
    const LONG style = ::GetWindowLongW(m_list.m_hWnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL | LVS_NOSCROLL), 0);
    m_list.ShowWindow(SW_HIDE);
    // Wide enough for the longest text and the room around it.
    const int textWidth = static_cast<int>(
        m_list.SendMessage(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"txt_(default editor)")));
    EXPECT_GE(column, textWidth + 50);

    m_list.Refresh({});
    const RECT small = WindowRect();
    EXPECT_EQ(small.bottom - small.top, 2 * ItemHeight() + 2);
}

TEST_F(ChoiceListTest, HotkeyShowsAtThePointerThenCyclesTheSelection) {
    m_list.Refresh(kRows);
    const RECT work = PrimaryWorkArea();
    const POINT pointer{(work.left + work.right) / 2, (work.top + work.bottom) / 2};
    HWND activeBefore = ::GetActiveWindow();

    m_list.ShowOrAdvance(pointer);
    ASSERT_TRUE(::IsWindowVisible(m_list.m_hWnd));
    const RECT r = WindowRect();
    EXPECT_EQ(r.right, pointer.x);
    EXPECT_EQ(r.bottom, pointer.y);
    EXPECT_EQ(m_list.SelectedItem(), 0);
    EXPECT_EQ(::GetActiveWindow(), activeBefore) << "showing the list must not activate it";
    EXPECT_TRUE(::GetWindowLongW(m_list.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);

    for (int k = 2; k <= 11; ++k) {
        m_list.ShowOrAdvance(pointer);
        EXPECT_EQ(m_list.SelectedItem(), (k - 1) % 5) << "press " << k;
        EXPECT_EQ(m_list.SendMessage(LVM_GETSELECTEDCOUNT), 1);
    }
    // Further presses do not move the window.
    EXPECT_EQ(WindowRect().left, r.left);

    // Hidden and shown again: item 0, whatever was selected before.
    m_list.ShowOrAdvance(pointer);
    ASSERT_NE(m_list.SelectedItem(), 0);
    m_list.ShowWindow(SW_HIDE);
    m_list.ShowOrAdvance(pointer);
    EXPECT_EQ(m_list.SelectedItem(), 0);
    // No selection (cleared by someone): the next press selects the first item.
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    m_list.ShowOrAdvance(pointer);
    EXPECT_EQ(m_list.SelectedItem(), 0);
}

TEST_F(ChoiceListTest, NearAScreenCornerTheListStaysInsideTheWorkArea) {
    m_list.Refresh(kRows);
    const RECT work = PrimaryWorkArea();
    m_list.ShowOrAdvance(POINT{work.left + 3, work.top + 3});
    RECT r = WindowRect();
    EXPECT_EQ(r.left, work.left);
    EXPECT_EQ(r.top, work.top);
}

TEST_F(ChoiceListTest, ClicksOnItemsReachTheOwner) {
    m_list.Refresh(kRows);
    auto click = [&](int item) {
        NMITEMACTIVATE nm{};
        nm.hdr.hwndFrom = m_list.m_hWnd;
        nm.hdr.idFrom = 0;
        nm.hdr.code = NM_CLICK;
        nm.iItem = item;
        // The list view notifies its owner, which reflects the notification to the list.
        return m_owner.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    };
    EXPECT_EQ(click(2), 0);
    EXPECT_EQ(click(-1), 0); // outside the items: nothing
    EXPECT_EQ(click(4), 0);
    Pump();
    EXPECT_EQ(m_owner.received, (std::vector<WPARAM>{2, 4}));
}

namespace {

// A 32-bit bitmap to draw rows into.
class CCanvas {
public:
    CCanvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap.Reset(
            ::CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0));
        m_old = ::SelectObject(m_dc, m_bitmap.Get());
    }
    ~CCanvas() {
        ::SelectObject(m_dc, m_old);
        ::DeleteDC(m_dc);
    }
    HDC Dc() const { return m_dc; }
    COLORREF Pixel(int x, int y) const {
        const DWORD v = m_bits[y * m_width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // Whether any pixel in the columns [x0, x1) differs from the colour.
    bool AnyOtherThan(COLORREF colour, int x0, int x1) const {
        for (int y = 0; y < m_height; ++y)
            for (int x = x0; x < x1; ++x)
                if (Pixel(x, y) != colour)
                    return true;
        return false;
    }

private:
    int m_width, m_height;
    HDC m_dc;
    CGdiHandle m_bitmap;
    HGDIOBJ m_old = nullptr;
    DWORD* m_bits = nullptr;
};

} // namespace

TEST_F(ChoiceListTest, RowsAlternateTheirColoursAndTheSelectedRowIsHighlighted) {
    m_list.Refresh(kRows);
    RECT client{};
    ::GetClientRect(m_list.m_hWnd, &client);
    const int width = client.right, height = ItemHeight();
    auto draw = [&](CCanvas& canvas, int item) {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_LISTVIEW;
        dis.itemID = static_cast<UINT>(item);
        dis.hwndItem = m_list.m_hWnd;
        dis.hDC = canvas.Dc();
        dis.rcItem = RECT{0, 0, width, height};
        m_list.DrawItem(dis);
    };
    m_list.SelectItem(3);
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    const struct {
        int item;
        COLORREF fill;
    } rows[] = {{0, 0xFFFFFF}, {1, 0xFAF6F3}, {2, 0xFFFFFF}, {3, highlight}, {4, 0xFFFFFF}};
    for (const auto& row : rows) {
        CCanvas canvas(width, height);
        draw(canvas, row.item);
        EXPECT_EQ(canvas.Pixel(1, 1), row.fill) << "item " << row.item;
        EXPECT_EQ(canvas.Pixel(width - 2, height - 1), row.fill) << "item " << row.item;
        // The right part (after the underscore) is drawn at the right edge; items without
        // an underscore leave that side empty.
        const bool hasRightPart = row.item < 3;
        EXPECT_EQ(canvas.AnyOtherThan(row.fill, width * 3 / 4, width - 4), hasRightPart)
            << "item " << row.item;
        // Every item has text and an icon at the left.
        EXPECT_TRUE(canvas.AnyOtherThan(row.fill, 0, width / 4)) << "item " << row.item;
    }
}
