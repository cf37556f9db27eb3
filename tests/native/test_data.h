// Where a test finds the data files it reads (fixtures, the packaged settings file).
#pragma once
#include <filesystem>

namespace quillon::test {

// Natively the path is the source tree's, used as it is. The Windows build copies the files
// into bin/testdata and names them relative to the test program's own folder, so that the
// bin folder runs unchanged on any Windows machine, with no source tree beside it.
std::filesystem::path TestDataPath(const char* path);

} // namespace quillon::test
