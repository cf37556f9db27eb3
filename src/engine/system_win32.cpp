// The Win32 implementation of the engine's system seam.
#include <windows.h>

#include "base/u16.h"
#include "engine/system.h"

namespace quillon {
namespace {

class CWin32System : public ISystem {
public:
    bool DeleteFile(const std::u16string& path) override { return ::DeleteFileW(WidePtr(path)) != FALSE; }
    std::u16string GetTempPath() override {
        wchar_t buffer[MAX_PATH + 1] = {};
        DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
        if (n == 0 || n > MAX_PATH)
            return {};
        return FromWide(std::wstring_view(buffer, n));
    }
};

}  // namespace

ISystem& DefaultSystem() {
    static CWin32System system;
    return system;
}

}  // namespace quillon
