// Another program started by a test, ended with it.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace quillon::test {

// A started process; terminated (after a grace period) when the owner goes.
class CProcess {
public:
    CProcess() = default;
    ~CProcess();
    CProcess(CProcess&& o) noexcept;
    CProcess& operator=(CProcess&&) = delete;
    CProcess(const CProcess&) = delete;
    // A failure names the program and the system's error code.
    ::testing::AssertionResult Start(const std::wstring& exe, const std::wstring& args = L"",
                                     const std::wstring& dir = L"");
    DWORD Id() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }
    bool Running() const;
    // Waits for the process to end; false when it is still running at the deadline.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Kill();

private:
    PROCESS_INFORMATION m_pi{};
};

} // namespace quillon::test
