// The running program's own file path, read whole.
#pragma once
#include <string>

namespace quillon {

// The full path of the program's file, however deep it is installed (not cut at MAX_PATH);
// empty when the system does not tell it.
std::u16string RunningProgramPath();

} // namespace quillon
