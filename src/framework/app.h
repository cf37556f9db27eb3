// CWinApp: the application object. wWinMain runs InitInstance, then Run when it returns
// TRUE, then ExitInstance; the program defines exactly one application object.
#pragma once
#include <windows.h>

namespace quillon {

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual bool InitInstance() { return true; }
    // A plain message loop, for applications whose InitInstance returns true.
    virtual int Run();
    virtual int ExitInstance() { return m_exitCode; }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr; // the main window while it exists
    int m_exitCode = 0;

    static CWinApp* Get();
};

// Entry point body shared by wWinMain and tests: runs the application object's phases.
int RunApplication(HINSTANCE instance);

} // namespace quillon
