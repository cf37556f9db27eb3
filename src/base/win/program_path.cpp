// Reading the program's path through a buffer that grows until the whole path fits.
#include "base/win/program_path.h"

#include <windows.h>

#include "base/long_path.h"
#include "base/u16.h"

namespace quillon {

std::u16string RunningProgramPath() {
    // A result equal to the buffer size means the path was cut: the buffer grows.
    return FromWide(QueryGrowing<wchar_t>([](wchar_t* buffer, size_t size) {
        return ::GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size));
    }));
}

} // namespace quillon
