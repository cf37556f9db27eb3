// The About dialog and the product version it shows.
#include "ui/dialogs/about_dlg.h"

#include <cwchar>
#include <vector>

#include "base/u16.h"
#include "base/win/program_path.h"
#include "res/resource.h"

namespace quillon {

std::wstring ProductPageAddress(const std::wstring& programPath) {
    const size_t slash = programPath.find_last_of(L"\\/");
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : programPath.substr(0, slash + 1);
    return folder + kProductPageFile;
}

DWORD ProductVersionOf(const std::wstring& path) {
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return 0;
    std::vector<BYTE> info(size);
    if (!::GetFileVersionInfoW(path.c_str(), handle, size, info.data()))
        return 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    return fixed->dwProductVersionMS;
}

std::wstring FormatProductVersion(DWORD version) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"Version %d.%02d", static_cast<int>(HIWORD(version)),
                  static_cast<int>(LOWORD(version)));
    return text;
}

CDlgAbout::CDlgAbout(std::wstring programPath, HWND parent)
    : CDialog(IDD_ABOUT, parent), m_programPath(std::move(programPath)) {
    if (m_programPath.empty())
        m_programPath = ToWide(RunningProgramPath());
}

void CDlgAbout::DoDataExchange() {
    m_version = GetDlgItem(IDC_ABOUT_VERSION);
    m_link.SubclassDlgItem(IDC_ABOUT_LINK, m_hWnd);
}

bool CDlgAbout::OnInitDialog() {
    CDialog::OnInitDialog();
    // Without a readable version resource the template's "Version Unknown" stays.
    if (const DWORD version = ProductVersionOf(m_programPath))
        ::SetWindowTextW(m_version, FormatProductVersion(version).c_str());
    m_link.SetLinkAddress(ProductPageAddress(m_programPath));
    // Opened from the tray while another program is in front: come to the user.
    ::SetForegroundWindow(m_hWnd);
    return true;
}

} // namespace quillon
