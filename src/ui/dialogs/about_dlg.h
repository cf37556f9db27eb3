// CDlgAbout: the About box (icon, name, version from the program's own version resource,
// rights notice, a link to the product page), and the pieces of its version line.
#pragma once
#include <windows.h>

#include <string>

#include "framework/dialog.h"
#include "ui/widgets/link_label.h"

namespace quillon {

// The product page. The project has no page on the web; the README installed beside
// Quillon.exe (in the zip and by the installer) is what the link opens.
constexpr wchar_t kProductPageFile[] = L"README.html";
// Where that page is for a program at programPath: in the same folder.
std::wstring ProductPageAddress(const std::wstring& programPath);

// The product version of a file's version resource, major number in the high word and
// minor in the low word; 0 when the file has no readable version resource.
DWORD ProductVersionOf(const std::wstring& path);
// "Version 2.01" for 2.1: the minor number has at least two digits.
std::wstring FormatProductVersion(DWORD version);

class CDlgAbout : public CDialog {
public:
    // programPath: the program whose version is shown and beside which the page lies;
    // empty for the running program.
    explicit CDlgAbout(std::wstring programPath = {}, HWND parent = nullptr);

    CLinkLabel& Link() { return m_link; }

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;

private:
    CWindow m_version;
    CLinkLabel m_link;
    std::wstring m_programPath;
};

} // namespace quillon
