// The file dialog wrapper: a new-style (Explorer) open or save dialog.
#include "framework/file_dialog.h"

#include "framework/current_directory.h"

#include <algorithm>
#include <cwchar>

namespace quillon {

namespace {
constexpr std::size_t kPathBuffer = 32768; // room for long paths
}

CFileDialog::CFileDialog(bool openFileDialog, const wchar_t* defaultExtension, const wchar_t* fileName,
                         DWORD flags, const wchar_t* filter, HWND parent)
    : m_open(openFileDialog), m_file(kPathBuffer, L'\0'), m_parent(parent) {
    if (fileName)
        m_file.replace(0, std::min(wcslen(fileName), kPathBuffer - 1), fileName);
    if (defaultExtension)
        m_defaultExtension = defaultExtension;
    if (filter) {
        // "A|*.a|B|*.b||" becomes the system's NUL-separated, double-NUL-ended list.
        m_filter = filter;
        for (wchar_t& c : m_filter)
            if (c == L'|')
                c = L'\0';
        m_filter.push_back(L'\0');
    }
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal() {
    m_ofn.hwndOwner = m_parent ? m_parent : ::GetActiveWindow();
    m_ofn.lpstrFile = m_file.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_file.size());
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.lpstrDefExt = m_defaultExtension.empty() ? nullptr : m_defaultExtension.c_str();
    // The open dialog changes the current directory to the chosen file's folder
    // (OFN_NOCHANGEDIR works only for the save dialog).
    CKeepCurrentDirectory keep;
    BOOL ok = m_open ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    return ok ? IDOK : IDCANCEL;
}

} // namespace quillon
