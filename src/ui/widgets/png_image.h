// CPngImage and CPngResourceImage: PNG images of the program's own "PNG" resources, decoded
// once into GDI+ bitmaps (GDI+ must have been started by the application).
#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <optional>

#include "base/win/handles.h"

namespace quillon {

class CPngImage {
public:
    CPngImage() = default;
    virtual ~CPngImage();
    CPngImage(const CPngImage&) = delete;
    CPngImage& operator=(const CPngImage&) = delete;

    // The decoded bitmap, or nullptr when no image is loaded.
    Gdiplus::GpBitmap* GetBitmap() const { return m_bitmap; }
    bool IsLoaded() const { return m_bitmap != nullptr; }
    // The bitmap's size in pixels (0 when none is loaded).
    UINT GetWidth() const;
    UINT GetHeight() const;

protected:
    void DeleteBitmap();

    Gdiplus::GpBitmap* m_bitmap = nullptr;
};

class CPngResourceImage : public CPngImage {
public:
    CPngResourceImage() = default;
    // Loads the resource; a failed load leaves the image empty.
    explicit CPngResourceImage(UINT resourceId, HMODULE module = nullptr);
    ~CPngResourceImage() override;

    // Decodes the "PNG" resource resourceId of module (the program itself when null).
    // Whatever was held before is released first; false leaves the image empty.
    bool LoadFromResource(UINT resourceId, HMODULE module = nullptr);

private:
    void Release();

    // The PNG bytes the bitmap decodes from: GDI+ may read them again while the bitmap
    // lives, so the block stays allocated and locked until the bitmap is gone.
    // (Declared in this order, the lock goes before the block.)
    CGlobalHandle m_buffer;
    std::optional<CGlobalLock<BYTE>> m_lock;
};

} // namespace quillon
