// GDI+ started for as long as a test needs it, shut down when it ends.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

namespace quillon::test {

class CGdiplusSession {
public:
    CGdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    }
    ~CGdiplusSession() {
        if (m_token)
            Gdiplus::GdiplusShutdown(m_token);
    }
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;

private:
    ULONG_PTR m_token = 0;
};

} // namespace quillon::test
