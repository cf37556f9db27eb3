// The POSIX stand-in for the system seam, so portable tools and tests link natively.
#include <cstdio>
#include <cstdlib>

#include "base/u16.h"
#include "engine/system.h"

namespace quillon {
namespace {

class CPosixSystem : public ISystem {
public:
    bool DeleteFile(const std::u16string& path) override { return std::remove(ToUtf8(path).c_str()) == 0; }
    std::u16string GetTempPath() override {
        const char* dir = std::getenv("TMPDIR");
        std::string d = dir && *dir ? dir : "/tmp";
        if (d.back() != '/')
            d += '/';
        return FromUtf8(d);
    }
};

}  // namespace

ISystem& DefaultSystem() {
    static CPosixSystem system;
    return system;
}

}  // namespace quillon
