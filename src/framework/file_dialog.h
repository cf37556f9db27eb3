// CFileDialog: the system's file-open (or save) dialog, run modally.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <string>

namespace quillon {

class CFileDialog {
public:
    // filter: pairs "Description|*.ext|" ending with "|" (empty: all files shown).
    // A null parent means the active window of this thread.
    explicit CFileDialog(bool openFileDialog, const wchar_t* defaultExtension = nullptr,
                         const wchar_t* fileName = nullptr,
                         DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         const wchar_t* filter = nullptr, HWND parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when a file was chosen, IDCANCEL otherwise. The process's current directory is
    // the same afterwards, whatever the user browsed to.
    INT_PTR DoModal();
    // The chosen full path.
    std::wstring GetPathName() const { return m_file.c_str(); }

    OPENFILENAMEW m_ofn{};

private:
    bool m_open;
    std::wstring m_file;
    std::wstring m_filter;
    std::wstring m_defaultExtension;
    HWND m_parent;
};

} // namespace quillon
