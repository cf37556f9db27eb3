// CDialog: a modal dialog from a dialog resource or an in-memory template, with its own
// modal loop. The loop lets every window from the message's target up to its top-level
// window see the message in PreTranslateMessage before dialog navigation, and nests: a
// dialog opened from a handler runs its own loop while the outer one waits.
#pragma once
#include <windows.h>

#include "framework/wnd.h"

namespace quillon {

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId = 0, HWND parent = nullptr);

    // Use an in-memory template instead of a resource (the memory must outlive DoModal).
    void InitModalIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent = nullptr);

    // Creates the dialog, runs the modal loop until EndDialog, destroys the window and
    // returns the code given to EndDialog (-1 when the dialog could not be created).
    virtual INT_PTR DoModal();
    void EndDialog(INT_PTR result);
    bool IsModalRunning() const { return m_running; }

    virtual bool OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Binds the dialog's controls to member objects (SubclassDlgItem); called by the base
    // OnInitDialog.
    virtual void DoDataExchange() {}
    // Whether the loop shows the dialog when it first goes idle (as a modal dialog box
    // does). A window that must never appear turns this off.
    void SetShowOnIdle(bool show) { m_showOnIdle = show; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;

    // The template resource id given at construction.
    UINT TemplateId() const { return m_templateId; }

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    bool RunModalLoop();
    static bool WalkPreTranslate(MSG* msg);

    UINT m_templateId = 0;
    HWND m_parent = nullptr;
    const DLGTEMPLATE* m_template = nullptr;
    INT_PTR m_result = -1;
    bool m_ended = false;
    bool m_running = false;
    bool m_showOnIdle = true;
};

} // namespace quillon
