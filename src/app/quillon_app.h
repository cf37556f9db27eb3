// CQuillonApp: start-up and shut-down of the program around the hidden server window.
#pragma once
#include <cstdint>

#include "framework/app.h"

namespace quillon {

class CQuillonApp : public CWinApp {
public:
    bool InitInstance() override;
    int ExitInstance() override;

private:
    std::uintptr_t m_gdiplusToken = 0;
    bool m_comStarted = false; // COM started on this thread, to be ended at exit
};

} // namespace quillon
