// Starting an edit, watching it and writing back. (Entry points only, so far.)
#include "engine/edit_engine.h"

namespace quillon {

void CEditEngine::StartEdit(HWND, int) {}
void CEditEngine::PollEdit(HWND) {}
void CEditEngine::PurgeClosedEdits() {}

}  // namespace quillon
