// CKeepCurrentDirectory: puts the process's current directory back when the scope ends.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace quillon {

// The system's file and folder choosers may leave the current directory on the folder the
// user browsed to. Files made with a relative (or empty) temporary folder would then land
// in that folder, which may not even be writable, so every chooser runs inside one of these.
class CKeepCurrentDirectory {
public:
    CKeepCurrentDirectory() {
        const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
        if (needed == 0)
            return;
        std::vector<wchar_t> buffer(needed + 1, L'\0');
        const DWORD got = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (got > 0 && got < buffer.size())
            m_saved.assign(buffer.data(), got);
    }
    ~CKeepCurrentDirectory() {
        if (!m_saved.empty())
            ::SetCurrentDirectoryW(m_saved.c_str());
    }
    CKeepCurrentDirectory(const CKeepCurrentDirectory&) = delete;
    CKeepCurrentDirectory& operator=(const CKeepCurrentDirectory&) = delete;

private:
    std::wstring m_saved;
};

} // namespace quillon
