// CLinkLabel: a dialog's static text made into a web link (colours, hand cursor, tooltip,
// click to open), and OpenLink, which opens an address in the user's browser.
#pragma once
#include <windows.h>

#include <string>

#include "base/win/handles.h"
#include "framework/tooltip.h"
#include "framework/wnd.h"

namespace quillon {

// What opening a link asks of the system: each call goes to the shell; a test derives from it
// to record instead.
class CLinkShell {
public:
    virtual ~CLinkShell() = default;
    // ShellExecuteW "open" of the address; the shell's result code (> 32 is success).
    virtual INT_PTR ShellOpen(const std::wstring& address);
    // The default value of a key under HKEY_CLASSES_ROOT, read whole in at most 260 bytes;
    // false when the key is missing or the value is not a string that fits.
    virtual bool ReadClassesRootDefault(const std::wstring& subKey, std::wstring* value);
    // WinExec of an ANSI command line; its result (> 31 is success).
    virtual UINT RunCommandLine(const std::string& commandLine);
    // The exclamation beep of a failed open.
    virtual void Beep();
};
CLinkShell& DefaultLinkShell();

// The longest command line the registry fallback builds, in UTF-16 units with the terminator.
constexpr size_t kLinkCommandUnits = 520;

// The command line that opens the address with the HTML handler's command template: the
// template cut at its first "%1" in quotes (at the opening quote), else at its first %1,
// then a space and the address, quoted so that it stays one argument. False (and nothing
// to run) when the result would not fit in kLinkCommandUnits.
bool BuildLinkCommand(const std::wstring& commandTemplate, const std::wstring& address,
                      std::wstring* command);

// Opens the address: the shell first, then the ".htm" handler from the registry. Returns
// the shell's code (> 32 is success); 36 for an empty address, which does nothing.
INT_PTR OpenLink(const std::wstring& address, CLinkShell& shell = DefaultLinkShell());

class CLinkLabel : public CWnd {
public:
    static constexpr COLORREF kLinkColour = RGB(0, 0, 238);
    static constexpr COLORREF kVisitedColour = RGB(85, 26, 139);
    static constexpr COLORREF kHoverColour = RGB(255, 0, 0);

    CLinkLabel() = default;
    ~CLinkLabel() override;

    // Stores the address; on a live control also refits it and updates the tooltip.
    void SetLinkAddress(const std::wstring& address);
    const std::wstring& GetLinkAddress() const { return m_address; }
    // Where clicks open their address (tests put a recorder here); not owned.
    void SetShell(CLinkShell* shell) { m_shell = shell ? shell : &DefaultLinkShell(); }

    bool IsHovering() const { return m_hovering; }
    bool IsVisited() const { return m_visited; }
    const CToolTipCtrl& ToolTip() const { return m_toolTip; }

    bool PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void PreSubclassWindow() override;

private:
    std::wstring WindowText() const;
    void FitToText();
    void LoadHandCursor();
    void OnMouseMove(POINT point);
    void OnClicked();
    void EndHover();
    void InvalidateInParent();

    bool m_hovering = false;
    bool m_visited = false;
    std::wstring m_address;
    CGdiHandle m_underlineFont;
    CGdiHandle m_standardFont;
    HFONT m_originalFont = nullptr; // the dialog's, given back if we go before the window
    HCURSOR m_cursor = nullptr;     // the system's shared hand, or m_ownedCursor
    CUniqueHandle<handle_traits::Simple<HCURSOR, ::DestroyCursor>> m_ownedCursor;
    CToolTipCtrl m_toolTip;
    CLinkShell* m_shell = &DefaultLinkShell();
};

} // namespace quillon
