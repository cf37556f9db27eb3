// Test data paths: the source tree's natively, beside the test program on Windows.
#include "native/test_data.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillon::test {

std::filesystem::path TestDataPath(const char* path) {
    std::filesystem::path given(path);
#ifdef _WIN32
    if (given.is_relative()) {
        // Deep build folders exceed MAX_PATH: ask with a buffer of the longest path there is.
        std::wstring self(32768, L'\0');
        self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
        return (std::filesystem::path(self).parent_path() / given).make_preferred();
    }
#endif
    return given;
}

} // namespace quillon::test
