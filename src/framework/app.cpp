// The application object's lifetime and the program entry point.
#include "framework/app.h"

namespace quillon {
namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* CWinApp::Get() {
    return g_app;
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int RunApplication(HINSTANCE instance) {
    CWinApp* app = CWinApp::Get();
    if (!app)
        return 1;
    app->m_hInstance = instance;
    if (app->InitInstance())
        app->m_exitCode = app->Run();
    return app->ExitInstance();
}

} // namespace quillon
