// A small observation point for the whole-program tests: when QUILLON_TRACE_FILE names a
// file, the server window appends one line per notable event (an edit started, a hotkey
// warning shown) to it. Without the variable nothing is written.
#pragma once
#include <string>

namespace quillon {

void TraceLine(const std::wstring& line);

} // namespace quillon
