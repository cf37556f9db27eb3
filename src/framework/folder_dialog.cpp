// The folder chooser: SHBrowseForFolderW with COM initialised and the current directory kept.
#include "framework/folder_dialog.h"

#include <objbase.h>
#include <shlobj.h>

#include <memory>

#include "framework/current_directory.h"

namespace quillon {
namespace {

// COM for this thread, apartment-threaded, for as long as the scope lasts. A thread that
// already has COM in another mode keeps it; the chooser still runs.
class CComScope {
public:
    CComScope() : m_hr(::CoInitialize(nullptr)) {}
    ~CComScope() {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT m_hr;
};

struct CoTaskMemDeleter {
    void operator()(ITEMIDLIST* p) const { ::CoTaskMemFree(p); }
};

} // namespace

std::wstring BrowseForFolder(HWND owner, const wchar_t* title) {
    CKeepCurrentDirectory keep;
    CComScope com;
    wchar_t path[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = path;
    info.lpszTitle = title;
    info.ulFlags = kBrowseFolderFlags;
    std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter> item(::SHBrowseForFolderW(&info));
    if (!item || !::SHGetPathFromIDListW(item.get(), path))
        return {};
    return path;
}

} // namespace quillon
