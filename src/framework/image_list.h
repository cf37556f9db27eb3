// CImageList: the owner of an image list (comctl32), with typed helpers.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "base/win/handles.h"

namespace quillon {

// Owner of an image list handle.
using CImageListHandle = CUniqueHandle<handle_traits::Simple<HIMAGELIST, ::ImageList_Destroy>>;

class CImageList {
public:
    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    bool Create(int cx, int cy, UINT flags, int initial, int grow) {
        m_list.Reset(::ImageList_Create(cx, cy, flags, initial, grow));
        return static_cast<bool>(m_list);
    }
    HIMAGELIST GetSafeHandle() const { return m_list.Get(); }
    operator HIMAGELIST() const { return m_list.Get(); }
    // Adds a copy of the icon (the caller keeps its own); the new image's index or -1.
    int Add(HICON icon) const {
        return m_list && icon ? ::ImageList_ReplaceIcon(m_list.Get(), -1, icon) : -1;
    }
    bool RemoveAll() const { return m_list && ::ImageList_Remove(m_list.Get(), -1); }
    int GetImageCount() const { return m_list ? ::ImageList_GetImageCount(m_list.Get()) : 0; }
    void Destroy() { m_list.Reset(); }

private:
    CImageListHandle m_list;
};

} // namespace quillon
