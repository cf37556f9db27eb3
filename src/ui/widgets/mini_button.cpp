// The small image buttons: GDI+ painting of their three states, tooltips, and the row layout.
#include "ui/widgets/mini_button.h"

#include "base/win/handles.h"
#include "ui/widgets/widget_dpi.h"

namespace quillon {
namespace {

namespace gp = Gdiplus::DllExports;

// Owners of the GDI+ objects one paint creates, so every exit path deletes them.
template <typename T, auto DeleteFn> using CGdipOwner = CUniqueHandle<handle_traits::Simple<T*, DeleteFn>>;
using CGraphics = CGdipOwner<Gdiplus::GpGraphics, gp::GdipDeleteGraphics>;
using CBrush = CGdipOwner<Gdiplus::GpBrush, gp::GdipDeleteBrush>;
using CPen = CGdipOwner<Gdiplus::GpPen, gp::GdipDeletePen>;
using CImageAttributes = CGdipOwner<Gdiplus::GpImageAttributes, gp::GdipDisposeImageAttributes>;
using CFontFamily = CGdipOwner<Gdiplus::GpFontFamily, gp::GdipDeleteFontFamily>;
using CFont = CGdipOwner<Gdiplus::GpFont, gp::GdipDeleteFont>;
using CStringFormat = CGdipOwner<Gdiplus::GpStringFormat, gp::GdipDeleteStringFormat>;

// One half of the background: a vertical gradient from its top row to its bottom row.
void FillGradient(Gdiplus::GpGraphics* graphics, int x, int y, int w, int h, DWORD top, DWORD bottom) {
    if (w <= 0 || h <= 0)
        return;
    const Gdiplus::GpRect rect(x, y, w, h);
    Gdiplus::GpLineGradient* gradient = nullptr;
    if (gp::GdipCreateLineBrushFromRectI(&rect, top, bottom, Gdiplus::LinearGradientModeVertical,
                                         Gdiplus::WrapModeTile, &gradient) != Gdiplus::Ok)
        return;
    CBrush brush(gradient);
    gp::GdipFillRectangleI(graphics, brush.Get(), x, y, w, h);
}

void DrawCaption(Gdiplus::GpGraphics* graphics, HWND button, int x, int y, int w, int h) {
    const int length = ::GetWindowTextLengthW(button);
    std::wstring caption(static_cast<size_t>(length) + 1, L'\0');
    caption.resize(static_cast<size_t>(::GetWindowTextW(button, caption.data(), length + 1)));
    if (caption.empty())
        return;
    CFontFamily family;
    if (gp::GdipCreateFontFamilyFromName(L"MS Shell Dlg", nullptr, family.Put()) != Gdiplus::Ok)
        gp::GdipGetGenericFontFamilySansSerif(family.Put());
    CFont font;
    if (!family.Get() || gp::GdipCreateFont(family.Get(), 8.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint,
                                            font.Put()) != Gdiplus::Ok) {
        // Neither family is known to GDI+ (a system without its usual sans-serif font):
        // the button's own dialog font still draws the caption.
        LOGFONTW logFont{};
        HFONT dialogFont = reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0));
        HDC dc = nullptr;
        if (!dialogFont || ::GetObjectW(dialogFont, sizeof(logFont), &logFont) != sizeof(logFont) ||
            gp::GdipGetDC(graphics, &dc) != Gdiplus::Ok)
            return;
        const Gdiplus::GpStatus status = gp::GdipCreateFontFromLogfontW(dc, &logFont, font.Put());
        gp::GdipReleaseDC(graphics, dc);
        if (status != Gdiplus::Ok)
            return;
    }
    CStringFormat format;
    if (gp::GdipCreateStringFormat(0, LANG_NEUTRAL, format.Put()) != Gdiplus::Ok)
        return;
    gp::GdipSetStringFormatAlign(format.Get(), Gdiplus::StringAlignmentCenter);
    gp::GdipSetStringFormatLineAlign(format.Get(), Gdiplus::StringAlignmentCenter);
    Gdiplus::GpSolidFill* fill = nullptr;
    if (gp::GdipCreateSolidFill(0xFF323232, &fill) != Gdiplus::Ok)
        return;
    CBrush brush(fill);
    gp::GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintAntiAliasGridFit);
    const Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(x), static_cast<Gdiplus::REAL>(y),
                                static_cast<Gdiplus::REAL>(w), static_cast<Gdiplus::REAL>(h));
    gp::GdipDrawString(graphics, caption.c_str(), -1, font.Get(), &layout, format.Get(), brush.Get());
}

} // namespace

CMiniButton::Palette CMiniButton::PaletteOf(State state) {
    switch (state) {
    case State::Pressed:
        return {0xFFC8C8C8, 0xFFCBCBCB, 0xFFC0C0C0, 0xFFBDBDBD, 0xFF919191};
    case State::Disabled:
        return {0xFFEBEBEB, 0xFFECECEC, 0xFFE5E5E5, 0xFFE6E6E6, 0xFFC4C4C4};
    case State::Normal:
    default:
        return {0xFFF9F9F9, 0xFFFAFAFA, 0xFFE9E9E9, 0xFFEBEBEB, 0xFFA8A8A8};
    }
}

CMiniButton::~CMiniButton() = default;

void CMiniButton::SetImageResource(UINT resourceId) {
    m_image = std::make_shared<CPngResourceImage>(resourceId);
}

CToolTipCtrl& CMiniButton::EnsureToolTip() {
    if (!m_toolTip.IsCreated() && m_hWnd && m_toolTip.Create(m_hWnd))
        m_toolTip.Activate(true);
    return m_toolTip;
}

void CMiniButton::PreSubclassWindow() {
    // The button type is the low bits of the style: replace it, keep the rest.
    const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    ::SetWindowLongW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG>(BS_TYPEMASK)) | BS_OWNERDRAW);
}

bool CMiniButton::PreTranslateMessage(MSG* msg) {
    if (msg && msg->hwnd == m_hWnd)
        EnsureToolTip().RelayEvent(msg);
    return CButtonT::PreTranslateMessage(msg);
}

bool CMiniButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_DRAWITEM && lParam) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return true;
    }
    return CButtonT::OnChildNotify(message, wParam, lParam, result);
}

void CMiniButton::DrawItem(const DRAWITEMSTRUCT& item) {
    DrawFace(item);
    // The keyboard focus, as other buttons show it: a dotted frame inside the border, drawn
    // after the GDI+ painting has let go of the device context.
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = item.rcItem;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(item.hDC, &focus);
    }
}

void CMiniButton::DrawFace(const DRAWITEMSTRUCT& item) {
    CGraphics graphics;
    if (gp::GdipCreateFromHDC(item.hDC, graphics.Put()) != Gdiplus::Ok)
        return;
    const RECT& r = item.rcItem;
    const int x = r.left, y = r.top, w = r.right - r.left - 1, h = r.bottom - r.top - 1;

    State state = State::Normal;
    if (!::IsWindowEnabled(m_hWnd))
        state = State::Disabled;
    else if (item.itemState & ODS_SELECTED)
        state = State::Pressed;
    const Palette colours = PaletteOf(state);

    FillGradient(graphics.Get(), x, y, w, h / 2, colours.upperTop, colours.upperBottom);
    FillGradient(graphics.Get(), x, y + h / 2, w, h - h / 2, colours.lowerTop, colours.lowerBottom);
    {
        CPen pen;
        if (gp::GdipCreatePen1(colours.border, 1.0f, Gdiplus::UnitWorld, pen.Put()) == Gdiplus::Ok)
            gp::GdipDrawRectangleI(graphics.Get(), pen.Get(), x, y, w, h);
    }

    Gdiplus::GpBitmap* bitmap = m_image ? m_image->GetBitmap() : nullptr;
    if (!bitmap) {
        // No image (or one that failed to load): the caption stands in for it.
        DrawCaption(graphics.Get(), m_hWnd, x, y, w, h);
        return;
    }
    const int imageW = static_cast<int>(m_image->GetWidth()), imageH = static_cast<int>(m_image->GetHeight());
    // Drawn at its natural size at 96 dpi, enlarged by the same factor as the dialog above.
    const int dpi = DpiOfWindow(m_hWnd);
    const int drawW = ::MulDiv(imageW, dpi, 96), drawH = ::MulDiv(imageH, dpi, 96);
    if (drawW != imageW || drawH != imageH) {
        gp::GdipSetInterpolationMode(graphics.Get(), Gdiplus::InterpolationModeHighQualityBicubic);
        gp::GdipSetPixelOffsetMode(graphics.Get(), Gdiplus::PixelOffsetModeHalf);
    }
    const int imageX = r.left + (r.right - r.left - drawW) / 2;
    const int imageY = r.top + (r.bottom - r.top - drawH) / 2;
    if (state != State::Disabled) {
        gp::GdipDrawImageRectRectI(graphics.Get(), bitmap, imageX, imageY, drawW, drawH, 0, 0, imageW, imageH,
                                   Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
        return;
    }
    // Disabled: every pixel grey by its luminance, its transparency kept.
    const Gdiplus::ColorMatrix grey = {{
        {0.3f, 0.3f, 0.3f, 0.0f, 0.0f},
        {0.59f, 0.59f, 0.59f, 0.0f, 0.0f},
        {0.11f, 0.11f, 0.11f, 0.0f, 0.0f},
        {0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
        {0.0f, 0.0f, 0.0f, 0.0f, 1.0f},
    }};
    CImageAttributes attributes;
    if (gp::GdipCreateImageAttributes(attributes.Put()) != Gdiplus::Ok)
        return;
    gp::GdipSetImageAttributesColorMatrix(attributes.Get(), Gdiplus::ColorAdjustTypeDefault, TRUE, &grey,
                                          nullptr, Gdiplus::ColorMatrixFlagsDefault);
    gp::GdipDrawImageRectRectI(graphics.Get(), bitmap, imageX, imageY, drawW, drawH, 0, 0, imageW, imageH,
                               Gdiplus::UnitPixel, attributes.Get(), nullptr, nullptr);
}

void CMiniButtonGroup::AddButton(CMiniButton& button, UINT pngResourceId, const std::wstring& toolTip) {
    m_buttons.push_back(&button);
    button.SetImageResource(pngResourceId);
    if (!toolTip.empty() && button.m_hWnd) {
        CToolTipCtrl& tip = button.EnsureToolTip();
        tip.AddWindowTool(button.m_hWnd, toolTip);
    }
}

void CMiniButtonGroup::LayoutBelow(HWND anchor) {
    if (!anchor)
        return;
    RECT rect{};
    ::GetWindowRect(anchor, &rect);
    if (HWND parent = ::GetParent(anchor))
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    const int dpi = DpiOfWindow(anchor);
    const int width = ::MulDiv(m_buttonWidth, dpi, 96), height = ::MulDiv(m_buttonHeight, dpi, 96);
    const int y = rect.bottom + ::MulDiv(8, dpi, 96);
    int x = rect.left;
    for (CMiniButton* button : m_buttons) {
        if (button && button->m_hWnd)
            ::SetWindowPos(button->m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        // Each overlaps the one before by a pixel so neighbouring borders coincide.
        x += width - 1;
    }
}

} // namespace quillon
