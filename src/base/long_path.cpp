// The extended-length form of a long Windows path, worked out as text so it is the same
// everywhere it is needed (and testable off Windows).
#include "base/long_path.h"

#include <vector>

namespace quillon {

std::u16string ExtendedLengthPath(std::u16string_view path) {
    auto isSeparator = [](char16_t c) { return c == u'\\' || c == u'/'; };
    if (path.size() < kClassicPathLimit)
        return std::u16string(path);
    std::u16string prefix;
    size_t rootEnd = 0; // the part no ".." may climb above
    if (path.size() >= 3 && path[1] == u':' && isSeparator(path[2]) &&
        ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'))) {
        prefix = u"\\\\?\\";
        prefix += path.substr(0, 2);
        rootEnd = 3;
    } else if (path.size() >= 3 && isSeparator(path[0]) && isSeparator(path[1]) && path[2] != u'?' &&
               path[2] != u'.' && !isSeparator(path[2])) {
        // \\server\share: both names belong to the root.
        const size_t serverEnd = path.find_first_of(u"\\/", 2);
        if (serverEnd == std::u16string_view::npos)
            return std::u16string(path);
        size_t shareEnd = path.find_first_of(u"\\/", serverEnd + 1);
        if (shareEnd == std::u16string_view::npos)
            shareEnd = path.size();
        prefix = u"\\\\?\\UNC\\";
        prefix += path.substr(2, serverEnd - 2);
        prefix += u'\\';
        prefix += path.substr(serverEnd + 1, shareEnd - serverEnd - 1);
        rootEnd = shareEnd;
    } else {
        return std::u16string(path); // already extended, a device path, or relative
    }
    std::vector<std::u16string_view> steps;
    size_t p = rootEnd;
    while (p < path.size()) {
        while (p < path.size() && isSeparator(path[p]))
            ++p;
        size_t q = p;
        while (q < path.size() && !isSeparator(path[q]))
            ++q;
        const std::u16string_view step = path.substr(p, q - p);
        if (step == u"..") {
            if (!steps.empty())
                steps.pop_back();
        } else if (!step.empty() && step != u".") {
            steps.push_back(step);
        }
        p = q;
    }
    std::u16string out = prefix;
    for (const std::u16string_view step : steps) {
        out += u'\\';
        out += step;
    }
    if (steps.empty())
        out += u'\\';
    return out;
}

} // namespace quillon
