// The engine's lifetime: defaults at construction, deletion of temporary files at exit.
#include "engine/edit_engine.h"

namespace quillon {

CEditEngine::CEditEngine(ISystem& system) : m_system(system) {
    TemporaryFolder = m_system.GetTempPath();
}

CEditEngine::~CEditEngine() {
    // Only at normal process exit, and only while the user wants it: files of ended
    // edits first, then those of edits still open, oldest first. A file still held open
    // by an editor simply stays.
    if (DeleteTempFile) {
        for (const auto& path : pendingDeletes)
            m_system.DeleteFile(path);
        for (const auto& edit : openEdits)
            m_system.DeleteFile(edit.tempPath);
    }
}

int CEditEngine::FindNewestEdit(HWND target) const {
    for (int i = static_cast<int>(openEdits.size()) - 1; i >= 0; --i)
        if (openEdits[i].hTarget == target)
            return i;
    return -1;
}

CEditEngine& GetEditEngine() {
    static CEditEngine engine(DefaultSystem());
    return engine;
}

}  // namespace quillon
