// Start-up order: common controls, GDI+, the single-instance claim, then the server
// window's modal run, which is the whole life of the program.
#include "app/quillon_app.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "app/server_dlg.h"
#include "base/win/handles.h"

namespace quillon {
namespace {

const wchar_t kMutexName[] = L"QuillonMutex";

// The server window's template: no styles, no controls, no size, no title.
alignas(4) const BYTE kServerTemplate[24] = {};

} // namespace

bool CQuillonApp::InitInstance() {
    // The shell's "open" may hand the file to a handler that runs as a COM object: the
    // thread that calls it must have COM started, single-threaded, once.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    m_comStarted = SUCCEEDED(com);

    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS;
    ::InitCommonControlsEx(&icc);

    // GDI+ for the whole run: the Options dialog's small buttons paint themselves and decode
    // their PNG images with it. A failure is not fatal.
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok)
        m_gdiplusToken = token;

    // Claim the instance in one step: two copies started together cannot both pass.
    CHandle mutex(::CreateMutexW(nullptr, TRUE, kMutexName));
    DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED)) {
        mutex.Reset();
        ::MessageBoxW(nullptr, L"Quillon is already running.", L"Quillon", MB_ICONINFORMATION | MB_OK);
        return false;
    }

    {
        auto server = std::make_unique<CServerDlg>();
        server->InitModalIndirect(reinterpret_cast<const DLGTEMPLATE*>(kServerTemplate), nullptr);
        m_pMainWnd = server.get();
        server->DoModal();
        // From here a new instance may start, even while this one finishes shutting down.
        mutex.Reset();
        m_pMainWnd = nullptr;
    } // the server window object goes here, and with it the tray icon
    return false;
}

int CQuillonApp::ExitInstance() {
    if (m_gdiplusToken)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
    if (m_comStarted)
        ::CoUninitialize();
    m_comStarted = false;
    return CWinApp::ExitInstance();
}

// The one application object.
CQuillonApp theApp;

} // namespace quillon
