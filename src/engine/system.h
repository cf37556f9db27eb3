// The engine's narrow seam to the operating system. The Win32 implementation does the
// real work; tests substitute a recording fake to check the order of operations.
#pragma once
#include <cstdint>
#include <string>

namespace quillon {

class ISystem {
public:
    virtual ~ISystem() = default;

    // Files
    virtual bool DeleteFile(const std::u16string& path) = 0;
    // The user's temporary folder, ending with a backslash; empty when unknown.
    virtual std::u16string GetTempPath() = 0;
};

// The process's real system (Win32 on Windows; a POSIX stand-in natively, for tools and tests).
ISystem& DefaultSystem();

}  // namespace quillon
