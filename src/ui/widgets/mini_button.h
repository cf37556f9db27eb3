// CMiniButton: a small square dialog button painted with GDI+ (two-part gradient, border,
// a PNG image, greyed when disabled) with its own tooltip; CMiniButtonGroup lines a row of
// them up under another control.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/button.h"
#include "framework/tooltip.h"
#include "framework/wnd.h"
#include "ui/widgets/png_image.h"

namespace quillon {

class CMiniButton : public CButtonT<CWnd> {
public:
    enum class State { Normal, Pressed, Disabled };
    // The colours (ARGB) of one state: the upper and the lower half's gradient, top to
    // bottom, and the border.
    struct Palette {
        DWORD upperTop;
        DWORD upperBottom;
        DWORD lowerTop;
        DWORD lowerBottom;
        DWORD border;
    };
    static Palette PaletteOf(State state);

    CMiniButton() = default;
    ~CMiniButton() override;

    // Gives the button the image of a "PNG" resource, replacing the one it had.
    void SetImageResource(UINT resourceId);
    const std::shared_ptr<CPngResourceImage>& GetImage() const { return m_image; }

    // The button's tooltip, created (owned by the button's window, active) on first need.
    CToolTipCtrl& EnsureToolTip();
    const CToolTipCtrl& GetToolTip() const { return m_toolTip; }

    // Paints the owner-drawn button (the parent's WM_DRAWITEM, reflected to the button).
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

    // Adds the owner-draw style to a dialog's button when it is bound.
    void PreSubclassWindow() override;
    // Relays the button's mouse messages to its tooltip.
    bool PreTranslateMessage(MSG* msg) override;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // The gradient, border and image (or caption) of the button in its state.
    void DrawFace(const DRAWITEMSTRUCT& item);

    std::shared_ptr<CPngResourceImage> m_image;
    CToolTipCtrl m_toolTip;
};

class CMiniButtonGroup {
public:
    CMiniButtonGroup() = default;
    virtual ~CMiniButtonGroup() = default;
    CMiniButtonGroup(const CMiniButtonGroup&) = delete;
    CMiniButtonGroup& operator=(const CMiniButtonGroup&) = delete;

    // Appends a button (not owned: it belongs to the dialog), gives it the PNG resource's
    // image and, when the text is not empty, a tooltip over the whole button.
    void AddButton(CMiniButton& button, UINT pngResourceId, const std::wstring& toolTip);
    // Puts the buttons in a row, in the order added, 8 pixels below the anchor's bottom edge
    // from its left edge, each overlapping the one before by a pixel so their borders meet.
    void LayoutBelow(HWND anchor);

    const std::vector<CMiniButton*>& GetButtons() const { return m_buttons; }
    // The buttons' size in pixels at 96 dpi (scaled with the anchor's dpi when laid out).
    int GetButtonWidth() const { return m_buttonWidth; }
    int GetButtonHeight() const { return m_buttonHeight; }

private:
    std::vector<CMiniButton*> m_buttons;
    int m_buttonWidth = 22;
    int m_buttonHeight = 22;
};

} // namespace quillon
