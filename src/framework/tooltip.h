// CToolTipCtrl: a thin typed owner of a tooltip control (comctl32's tooltips_class32).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace quillon {

class CToolTipCtrl {
public:
    CToolTipCtrl() = default;
    ~CToolTipCtrl() { DestroyWindow(); }
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

    // Creates the tooltip window owned by owner (a popup, topmost, shown always even when
    // the owner's window is inactive). False when the window could not be made.
    bool Create(HWND owner, DWORD style = 0);
    void DestroyWindow();
    HWND GetSafeHwnd() const { return m_hWnd; }
    bool IsCreated() const { return m_hWnd != nullptr; }

    // A tool that is the whole tool window (TTF_IDISHWND): no rectangle, no identifier.
    // UpdateTipText and GetText name it with the identifier kWholeWindow.
    static constexpr UINT_PTR kWholeWindow = ~static_cast<UINT_PTR>(0);
    bool AddWindowTool(HWND tool, const std::wstring& text);
    // A tool with an identifier and a rectangle in tool's client coordinates.
    bool AddTool(HWND tool, UINT_PTR id, const RECT& rect, const std::wstring& text);
    void UpdateTipText(HWND tool, UINT_PTR id, const std::wstring& text);
    void SetToolRect(HWND tool, UINT_PTR id, const RECT& rect);
    // The text of a tool, as the control holds it (for tests and for callers that check).
    std::wstring GetText(HWND tool, UINT_PTR id) const;
    // Texts are kept to this many units, as many as the control shows (INFOTIPSIZE with its
    // terminator): reading a text back has no length to ask for, and older controls copy the
    // whole text into the reader's buffer.
    static constexpr size_t kMaxTextUnits = 1023;
    int GetToolCount() const;

    void Activate(bool active);
    // Lets the tooltip see a message meant for one of its tools (mouse moves, clicks).
    void RelayEvent(const MSG* msg);

private:
    TTTOOLINFOW ToolInfo(HWND tool, UINT_PTR id, UINT flags) const;

    HWND m_hWnd = nullptr;
    HWND m_owner = nullptr;
};

} // namespace quillon
