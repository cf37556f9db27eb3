// Appends lines to the file named by QUILLON_TRACE_FILE, as UTF-8; silent on every failure.
#include "app/trace.h"

#include <windows.h>

#include "base/u16.h"
#include "base/win/handles.h"

namespace quillon {
namespace {

std::wstring TracePath() {
    static const std::wstring path = [] {
        wchar_t buffer[MAX_PATH * 2] = {};
        const DWORD n = ::GetEnvironmentVariableW(L"QUILLON_TRACE_FILE", buffer, MAX_PATH * 2);
        return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : std::wstring();
    }();
    return path;
}

} // namespace

void TraceLine(const std::wstring& line) {
    const std::wstring path = TracePath();
    if (path.empty())
        return;
    const std::string bytes = ToUtf8(FromWide(line + L"\r\n"));
    CHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace quillon
