// Windows path rules that are plain text: the extended-length form of a long path, and
// reading a system call's text into a buffer that grows until it fits.
#pragma once
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The form of a Windows path to hand to the system's file functions. A path that reaches the
// classic length limit (248 characters, the lowest of the limits: folders) only works in its
// extended-length form, "\\?\C:\..." or "\\?\UNC\server\share\...", in which the system
// no longer tidies the path: separators become backslashes and "." and ".." steps are resolved
// here. Shorter paths, relative ones and device paths are returned as they are. Decided for
// each final path, so a short folder with a long file name in it is covered too.
std::u16string ExtendedLengthPath(std::u16string_view path);
constexpr size_t kClassicPathLimit = 248;

// Text from a system call that fills a caller's buffer, however long it is. query(buffer,
// size) returns 0 on failure, the length written (terminator excluded) when it fit, and
// a value of at least `size` when it was cut (the length needed or `size` itself, as
// GetModuleFileNameW, GetEnvironmentVariableW and GetTempPathW each do). Text longer than
// limit is refused (empty) rather than cut.
template <typename Char, typename Query>
std::basic_string<Char> QueryGrowing(Query&& query, size_t limit = 32768) {
    std::vector<Char> buffer(260);
    for (;;) {
        const size_t n = query(buffer.data(), buffer.size());
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::basic_string<Char>(buffer.data(), n);
        if (buffer.size() >= limit)
            return {};
        buffer.resize(std::min(limit, std::max(buffer.size() * 2, n + 1)));
    }
}

} // namespace quillon
