// Decoding "PNG" resources into GDI+ bitmaps through a stream on a global memory copy.
#include "ui/widgets/png_image.h"

namespace quillon {

namespace gp = Gdiplus::DllExports;

CPngImage::~CPngImage() {
    DeleteBitmap();
}

void CPngImage::DeleteBitmap() {
    if (m_bitmap)
        gp::GdipDisposeImage(m_bitmap);
    m_bitmap = nullptr;
}

UINT CPngImage::GetWidth() const {
    UINT width = 0;
    if (m_bitmap && gp::GdipGetImageWidth(m_bitmap, &width) != Gdiplus::Ok)
        width = 0;
    return width;
}

UINT CPngImage::GetHeight() const {
    UINT height = 0;
    if (m_bitmap && gp::GdipGetImageHeight(m_bitmap, &height) != Gdiplus::Ok)
        height = 0;
    return height;
}

CPngResourceImage::CPngResourceImage(UINT resourceId, HMODULE module) {
    LoadFromResource(resourceId, module);
}

CPngResourceImage::~CPngResourceImage() {
    Release();
}

void CPngResourceImage::Release() {
    // The bitmap may read its source bytes until it is gone: delete it first.
    DeleteBitmap();
    m_lock.reset();
    m_buffer.Reset();
}

bool CPngResourceImage::LoadFromResource(UINT resourceId, HMODULE module) {
    Release();
    if (!module)
        module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"PNG");
    if (!resource)
        return false;
    const DWORD size = ::SizeofResource(module, resource);
    if (size == 0)
        return false;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return false;

    m_buffer.Reset(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!m_buffer)
        return false;
    m_lock.emplace(m_buffer.Get());
    if (!*m_lock) {
        Release();
        return false;
    }
    ::CopyMemory(m_lock->Get(), data, size);

    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(m_buffer.Get(), FALSE, &stream)) || !stream) {
        Release();
        return false;
    }
    Gdiplus::GpBitmap* bitmap = nullptr;
    const Gdiplus::GpStatus status = gp::GdipCreateBitmapFromStream(stream, &bitmap);
    stream->Release();
    m_bitmap = bitmap;
    if (status != Gdiplus::Ok || !m_bitmap) {
        Release();
        return false;
    }
    return true;
}

} // namespace quillon
