// Starting, waiting for and ending another program.
#include "windows/support/process.h"

#include "windows/support/win_test.h"

namespace quillon::test {

CProcess::~CProcess() {
    if (m_pi.hProcess) {
        if (Running() && !WaitExit(0))
            Kill();
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
    }
}

CProcess::CProcess(CProcess&& o) noexcept : m_pi(o.m_pi) {
    o.m_pi = {};
}

::testing::AssertionResult CProcess::Start(const std::wstring& exe, const std::wstring& args,
                                           const std::wstring& dir) {
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    if (::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         dir.empty() ? nullptr : dir.c_str(), &si, &m_pi))
        return ::testing::AssertionSuccess();
    const DWORD error = ::GetLastError();
    m_pi = {};
    return ::testing::AssertionFailure()
           << "CreateProcessW(" << Utf8Of(cmd) << ") failed with error " << error;
}

bool CProcess::Running() const {
    return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool CProcess::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!m_pi.hProcess)
        return true;
    if (::WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        ::GetExitCodeProcess(m_pi.hProcess, exitCode);
    return true;
}

void CProcess::Kill() {
    if (Running()) {
        ::TerminateProcess(m_pi.hProcess, 99);
        ::WaitForSingleObject(m_pi.hProcess, 5000);
    }
}

} // namespace quillon::test
