// The Options dialog: initialisation from the settings it is given, the table's buttons and
// keys, the folder chooser, and OK: check what would cost the user (a folder that cannot be
// written, a hotkey another program holds) while the dialog is still open, then apply and save.
#include "ui/dialogs/options_dlg.h"

#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "base/u16.h"
#include "base/win/program_path.h"
#include "base/win/sent_messages.h"
#include "engine/keyboard.h"
#include "config/autostart.h"
#include "engine/edit_rules.h"
#include "ui/widgets/hotkey_text.h"
#include "ui/widgets/widget_dpi.h"
#include "framework/folder_dialog.h"
#include "res/resource.h"
#include "ui/dialogs/new_extension_dlg.h"
#include "ui/dialogs/rules_dlg.h"

namespace quillon {
namespace {

// The hotkey id of the check at OK: whether a combination is free is learnt by taking it.

std::u16string ProgramPath(IOptionsHost* host) {
    if (host) {
        std::u16string path = host->ProgramPath();
        if (!path.empty())
            return path;
    }
    return RunningProgramPath();
}

// The dialog comes up in the middle of the work area the pointer is on: it is opened from
// the notification area, and the window it belongs to is never shown.
void CenterOnPointerMonitor(HWND dialog) {
    POINT pointer{};
    ::GetCursorPos(&pointer);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(::MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY), &info))
        return;
    RECT r{};
    ::GetWindowRect(dialog, &r);
    const LONG width = r.right - r.left, height = r.bottom - r.top;
    const RECT& work = info.rcWork;
    LONG x = work.left + (work.right - work.left - width) / 2;
    LONG y = work.top + (work.bottom - work.top - height) / 2;
    // A dialog taller than the screen keeps its caption on it.
    x = x < work.left ? work.left : x;
    y = y < work.top ? work.top : y;
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The system's own words for an error code, without the line break it ends with.
std::wstring ErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? L"Error " + std::to_wstring(error) + L"." : text;
}

// Makes the folder when it is missing and writes a file into it. 0, or why not.
DWORD MakeWritableFolder(std::wstring folder) {
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    const int made = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS)
        return static_cast<DWORD>(made);
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ::GetLastError();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    wchar_t probe[MAX_PATH + 16] = {};
    if (folder.size() >= MAX_PATH - 14 || !::GetTempFileNameW(folder.c_str(), L"qln", 0, probe))
        return folder.size() >= MAX_PATH - 14 ? static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE)
                                              : ::GetLastError();
    ::DeleteFileW(probe);
    return 0;
}

} // namespace

CDlgOptions::CDlgOptions(const SettingsFields& settings, IOptionsHost* host, HWND parent)
    : CDialog(IDD_OPTIONS, parent), m_opened(settings), m_result(settings), m_host(host),
      m_rules(settings.Rules) {}

std::wstring CDlgOptions::EditorColumnText(const EXTENSIONREC& row) {
    if (row.Editor.empty())
        return L"default editor";
    return ToWide(row.Editor) + L" " + ToWide(row.Parameters);
}

std::wstring CDlgOptions::CleanFolderText(const std::wstring& text) {
    std::size_t first = text.find_first_not_of(L" \t");
    std::size_t last = text.find_last_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    std::wstring folder = text.substr(first, last - first + 1);
    // "Copy as path" gives the path in double quotes; no folder name can hold one.
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
        folder = folder.substr(1, folder.size() - 2);
    return folder;
}

void CDlgOptions::AppendExtensionRow(int index, const EXTENSIONREC& row) {
    // The insert notification puts a default record into the mirror at the new index.
    const int inserted = m_extensionList.InsertItem(index, ToWide(row.Extension));
    if (inserted < 0)
        return;
    m_extensionList.SetItemText(inserted, 1, EditorColumnText(row));
    if (static_cast<std::size_t>(inserted) < m_extensionList.m_items.size())
        m_extensionList.m_items[static_cast<std::size_t>(inserted)] = row;
}

void CDlgOptions::DoDataExchange() {
    m_autoStartCheck = GetDlgItem(IDC_OPT_AUTOSTART);
    m_saveContentCheck = GetDlgItem(IDC_OPT_SAVE_CONTENT);
    m_insertCheck = GetDlgItem(IDC_OPT_INSERT);
    m_deleteTempCheck = GetDlgItem(IDC_OPT_DELETE_TEMP);
    m_tempFolderEdit = GetDlgItem(IDC_OPT_TEMP_FOLDER);
    m_extensionList.SubclassDlgItem(IDC_OPT_EXTENSIONS, m_hWnd);
    m_addButton.SubclassDlgItem(IDC_OPT_ADD, m_hWnd);
    m_removeButton.SubclassDlgItem(IDC_OPT_REMOVE, m_hWnd);
    m_moveUpButton.SubclassDlgItem(IDC_OPT_MOVE_UP, m_hWnd);
    m_moveDownButton.SubclassDlgItem(IDC_OPT_MOVE_DOWN, m_hWnd);
}

void CDlgOptions::ModeToControls() {
    ::CheckRadioButton(m_hWnd, IDC_OPT_MODE_ENTIRE, IDC_OPT_MODE_SELECTION,
                       m_nMode == 1 ? IDC_OPT_MODE_SELECTION : IDC_OPT_MODE_ENTIRE);
}

void CDlgOptions::ModeFromControls() {
    m_nMode = ::IsDlgButtonChecked(m_hWnd, IDC_OPT_MODE_SELECTION) == BST_CHECKED ? 1 : 0;
}

bool CDlgOptions::OnInitDialog() {
    CDialog::OnInitDialog(); // binds the controls
    ModeToControls();
    const SettingsFields& settings = m_opened;
    // Building the dialog takes about a tenth of a second the first time (the template's
    // controls, fonts, images, icons): the keyboard hook, which is called through messages
    // sent to this thread, is answered between its parts rather than kept waiting.
    AnswerSentMessages();

    m_hotKeyCtrl.CreateInPlaceOf(m_hWnd, IDC_OPT_HOTKEY);
    m_hotKeyCtrl.SetHotKeyValue(settings.HotKey);
    m_hotKeyCtrl.m_onFocus = [this](bool focused) { SuspendHotKey(focused); };
    AnswerSentMessages();

    m_buttonGroup.AddButton(m_addButton, IDR_PNG_ADD, L"Add a new extension");
    m_buttonGroup.AddButton(m_moveUpButton, IDR_PNG_MOVE_UP, L"Move up");
    AnswerSentMessages();
    m_buttonGroup.AddButton(m_moveDownButton, IDR_PNG_MOVE_DOWN, L"Move down");
    m_buttonGroup.AddButton(m_removeButton, IDR_PNG_REMOVE, L"Remove selected extension");
    m_buttonGroup.LayoutBelow(m_extensionList);
    AnswerSentMessages();

    // Sized before any row exists: the columns fit their headers, the last takes the rest.
    // A row whose editor does not fit shows it whole as a tip.
    m_extensionList.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP);
    m_extensionList.InsertColumn(0, L"Extension");
    m_extensionList.InsertColumn(1, L"Editor");
    m_extensionList.AutoSizeColumns();
    for (std::size_t i = 0; i < settings.Extensions.size(); ++i)
        AppendExtensionRow(static_cast<int>(i), settings.Extensions[i]);
    FitExtensionColumn();
    UpdateButtons();
    AnswerSentMessages();

    m_autoStartCheck.SetChecked(IsAutoStartEnabled() != 0);
    m_saveContentCheck.SetCheck(settings.SaveContent ? BST_CHECKED : BST_UNCHECKED);
    m_insertCheck.SetCheck(settings.Insert ? BST_CHECKED : BST_UNCHECKED);
    m_nMode = settings.EditOnlySelection ? 1 : 0;
    m_tempFolderEdit.SetWindowText(ToWide(settings.TemporaryFolder));
    m_deleteTempCheck.SetCheck(settings.DeleteTempFile ? BST_CHECKED : BST_UNCHECKED);
    ModeToControls();

    CenterOnPointerMonitor(m_hWnd);
    // Opened from the notification area: come to the user rather than behind their window.
    ::SetForegroundWindow(m_hWnd);
    if (m_focusHotKeyAtOpen && m_hotKeyCtrl.m_hWnd) {
        ::SetFocus(m_hotKeyCtrl.m_hWnd);
        return false; // the focus is set
    }
    return true;
}

void CDlgOptions::FocusHotKeyField() {
    if (!m_hWnd || !m_hotKeyCtrl.m_hWnd) {
        m_focusHotKeyAtOpen = true;
        return;
    }
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hotKeyCtrl.m_hWnd), TRUE);
}

void CDlgOptions::FitExtensionColumn() {
    // The header's own measure falls short of its text with some fonts ("Extensi..."): the
    // column is made as wide as its header text and its widest extension, with the margins
    // the header and the rows draw around them, but never wider than half the table.
    const int dpi = DpiOfWindow(m_extensionList.m_hWnd);
    auto textWidth = [&](const std::wstring& text) {
        return static_cast<int>(::SendMessageW(m_extensionList.m_hWnd, LVM_GETSTRINGWIDTHW, 0,
                                               reinterpret_cast<LPARAM>(text.c_str())));
    };
    int width = textWidth(L"Extension") + ::MulDiv(24, dpi, 96);
    for (const EXTENSIONREC& row : m_extensionList.m_items)
        width = std::max(width, textWidth(ToWide(row.Extension)) + ::MulDiv(16, dpi, 96));
    RECT client{};
    ::GetClientRect(m_extensionList.m_hWnd, &client);
    width = std::min(width, static_cast<int>(client.right / 2));
    const int grow = width - m_extensionList.GetColumnWidth(0);
    if (grow <= 0)
        return;
    // The last column gives up what the first takes, so the table gets no scroll bar.
    m_extensionList.SetColumnWidth(0, width);
    const int rest = m_extensionList.GetColumnWidth(1) - grow;
    if (rest > 0)
        m_extensionList.SetColumnWidth(1, rest);
}

void CDlgOptions::SelectRow(int index) {
    m_extensionList.SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_extensionList.EnsureVisible(index, false);
    UpdateButtons();
}

void CDlgOptions::UpdateButtons() {
    const int i = m_extensionList.GetSelectedItem();
    const int n = m_extensionList.GetItemCount();
    const HWND focus = ::GetFocus();
    auto enable = [&](CMiniButton& button, bool on) {
        // A button that loses its use while it has the focus hands the focus to the table,
        // or the keyboard would be left with nowhere to go.
        if (!on && focus == button.m_hWnd)
            m_extensionList.SetFocus();
        button.EnableWindow(on);
    };
    enable(m_moveUpButton, i > 0);
    enable(m_moveDownButton, i >= 0 && i < n - 1);
    enable(m_removeButton, i >= 0);
}

std::vector<std::u16string> CDlgOptions::ExtensionsExcept(int index) const {
    std::vector<std::u16string> taken;
    for (std::size_t i = 0; i < m_extensionList.m_items.size(); ++i)
        if (static_cast<int>(i) != index)
            taken.push_back(m_extensionList.m_items[i].Extension);
    return taken;
}

void CDlgOptions::OnAdd() {
    CDlgNewExtension dialog(m_hWnd); // Options mode: the row is always kept
    dialog.m_takenExtensions = ExtensionsExcept(-1);
    if (dialog.DoModal() != IDOK)
        return;
    const int index = m_extensionList.GetItemCount();
    AppendExtensionRow(index, dialog.GetResult());
    FitExtensionColumn();
    SelectRow(index);
}

void CDlgOptions::OnChangeRow(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_extensionList.m_items.size())
        return;
    CDlgNewExtension dialog(m_hWnd);
    dialog.SetRow(m_extensionList.m_items[static_cast<std::size_t>(index)]);
    dialog.m_takenExtensions = ExtensionsExcept(index);
    if (dialog.DoModal() != IDOK)
        return;
    // Replaced in place: the row keeps its position in the table.
    const EXTENSIONREC row = dialog.GetResult();
    m_extensionList.SetItemText(index, 0, ToWide(row.Extension));
    m_extensionList.SetItemText(index, 1, EditorColumnText(row));
    m_extensionList.m_items[static_cast<std::size_t>(index)] = row;
    FitExtensionColumn();
    SelectRow(index);
}

void CDlgOptions::OnRemove() {
    m_extensionList.RemoveSelected();
    UpdateButtons();
}

void CDlgOptions::OnBrowse() {
    const std::wstring folder = BrowseForFolder(m_hWnd);
    if (!folder.empty())
        m_tempFolderEdit.SetWindowText(folder);
}

void CDlgOptions::OnMoveUp() {
    const int i = m_extensionList.GetSelectedItem();
    if (i <= 0)
        return;
    m_extensionList.SwapRows(i - 1, i);
    SelectRow(i - 1);
}

void CDlgOptions::OnMoveDown() {
    const int i = m_extensionList.GetSelectedItem();
    const int n = m_extensionList.GetItemCount();
    if (i < 0 || i >= n - 1)
        return;
    m_extensionList.SwapRows(i + 1, i);
    SelectRow(i + 1);
}

void CDlgOptions::SuspendHotKey(bool suspend) {
    if (suspend == m_hotKeySuspended || !m_host)
        return;
    m_hotKeySuspended = suspend;
    m_host->SuspendHotKey(suspend);
}

void CDlgOptions::Refuse(const std::wstring& message, HWND focus) {
    ::MessageBoxW(m_hWnd, message.c_str(), L"Quillon", MB_ICONEXCLAMATION | MB_OK);
    if (focus)
        ::SetFocus(focus);
}

bool CDlgOptions::CheckFolder(std::u16string& folder) {
    std::wstring text = CleanFolderText(m_tempFolderEdit.GetWindowText());
    if (text.empty()) {
        // Empty means the default, the user's temporary folder; never the current folder.
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
        text.assign(temp, length <= MAX_PATH ? length : 0);
    }
    m_tempFolderEdit.SetWindowText(text);
    std::u16string programFolder = ProgramPath(m_host);
    programFolder.erase(
        programFolder.find_last_of(u'\\') == std::u16string::npos ? 0 : programFolder.find_last_of(u'\\'));
    const std::wstring resolved = ToWide(ResolveTempFolderPath(programFolder, FromWide(text)));
    // A folder named without a drive would be taken from wherever the program runs.
    const bool full =
        resolved.size() >= 3 && (resolved.compare(1, 2, L":\\") == 0 || resolved.compare(0, 2, L"\\\\") == 0);
    const DWORD error = full ? MakeWritableFolder(resolved) : static_cast<DWORD>(ERROR_BAD_PATHNAME);
    if (error != 0) {
        Refuse(L"Quillon cannot keep its temporary files in this folder:\n" + resolved + L"\n\n" +
                   ErrorText(error) + L"\n\nPlease choose another folder.",
               m_tempFolderEdit.m_hWnd);
        m_tempFolderEdit.SetSel(0, -1);
        return false;
    }
    folder = FromWide(text);
    return true;
}

bool CDlgOptions::CheckHotKey(std::uint16_t hotKey) {
    if (hotKey == 0 || hotKey == m_opened.HotKey)
        return true;
    if (!m_host || m_host->HotKeyIsFree(hotKey))
        return true;
    Refuse(L"Another program already uses the hot key " + FormatHotKeyValue(hotKey) +
               L".\n\nPlease choose another combination. Until then Quillon keeps " +
               FormatHotKeyValue(m_opened.HotKey) + L".",
           m_hotKeyCtrl.m_hWnd);
    return false;
}

void CDlgOptions::OnOK() {
    // Enter in the table changes the selected row, and Enter on one of the small buttons
    // presses it: neither ends the dialog. With no row selected Enter is OK, as elsewhere.
    const HWND focus = ::GetFocus();
    if (focus == m_extensionList.m_hWnd && m_extensionList.GetSelectedItem() >= 0) {
        OnChangeRow(m_extensionList.GetSelectedItem());
        return;
    }
    for (const CMiniButton* button : m_buttonGroup.GetButtons())
        if (focus == button->m_hWnd) {
            ::SendMessageW(focus, BM_CLICK, 0, 0);
            return;
        }

    // The working hotkey is back before anything is checked or changed.
    SuspendHotKey(false);
    ModeFromControls();
    SettingsFields edited = m_opened;
    edited.HotKey = m_hotKeyCtrl.GetHotKeyValue();
    if (!CheckFolder(edited.TemporaryFolder) || !CheckHotKey(edited.HotKey))
        return;
    // Copied now: the list's rows go when the dialog's window does.
    edited.Extensions = m_extensionList.m_items;
    edited.SaveContent = m_saveContentCheck.CheckValue();
    edited.Insert = m_insertCheck.CheckValue();
    edited.EditOnlySelection = m_nMode == 1 ? 1 : 0;
    edited.DeleteTempFile = m_deleteTempCheck.CheckValue();
    edited.Rules = m_rules;

    if (m_host && !m_host->ApplySettings(m_opened, edited)) {
        // Taken by another program in the moment since the check.
        Refuse(L"Another program already uses the hot key " + FormatHotKeyValue(edited.HotKey) +
                   L".\n\nPlease choose another combination.",
               m_hotKeyCtrl.m_hWnd);
        return;
    }
    m_result = edited;
    SetAutoStart(m_autoStartCheck.CheckValue(), ProgramPath(m_host));
    // A save that fails is told here, with the path and the reason, and the dialog stays
    // open so the user can act on it (or cancel knowing the settings are not kept).
    if (m_host) {
        const std::u16string failure = m_host->SaveSettings();
        if (!failure.empty()) {
            ::MessageBoxW(m_hWnd, ToWide(failure).c_str(), L"Quillon", MB_OK | MB_ICONWARNING);
            return;
        }
    }
    EndDialog(IDOK);
}

void CDlgOptions::OnRules() {
    // The rules name extensions of the table as this dialog holds it now.
    std::vector<std::u16string> extensions;
    for (const EXTENSIONREC& row : m_extensionList.m_items)
        extensions.push_back(row.Extension);
    CDlgRules dialog(m_rules, std::move(extensions), m_hWnd);
    if (dialog.DoModal() == IDOK)
        m_rules = dialog.Rules();
}

bool CDlgOptions::OnButton(WORD id) {
    switch (id) {
    case IDC_OPT_ADD:
        OnAdd();
        return true;
    case IDC_OPT_REMOVE:
        OnRemove();
        return true;
    case IDC_OPT_BROWSE:
        OnBrowse();
        return true;
    case IDC_OPT_MODE_ENTIRE:
        // Replacing the whole text goes with overwriting it; the user may change that.
        m_insertCheck.SetCheck(BST_UNCHECKED);
        return true;
    case IDC_OPT_MODE_SELECTION:
        m_insertCheck.SetCheck(BST_CHECKED);
        return true;
    case IDC_OPT_MOVE_UP:
        OnMoveUp();
        return true;
    case IDC_OPT_MOVE_DOWN:
        OnMoveDown();
        return true;
    case IDC_OPT_RULES:
        OnRules();
        return true;
    default:
        return false;
    }
}

bool CDlgOptions::OnExtensionListNotify(const NMHDR* header) {
    switch (header->code) {
    case LVN_ITEMCHANGED:
        UpdateButtons();
        return false;
    case NM_DBLCLK: {
        const int item = reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem;
        if (item >= 0)
            OnChangeRow(item);
        return true;
    }
    case LVN_KEYDOWN: {
        const WORD key = reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey;
        if (key == VK_F2)
            OnChangeRow(m_extensionList.GetSelectedItem());
        else if (key == VK_DELETE)
            OnRemove();
        return true;
    }
    case LVN_GETINFOTIPW: {
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(header));
        if (tip->iItem >= 0 && static_cast<std::size_t>(tip->iItem) < m_extensionList.m_items.size() &&
            tip->pszText && tip->cchTextMax > 0) {
            const std::wstring text =
                EditorColumnText(m_extensionList.m_items[static_cast<std::size_t>(tip->iItem)]);
            lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
        }
        return true;
    }
    default:
        return false;
    }
}

LRESULT CDlgOptions::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && OnButton(LOWORD(wParam)))
        return 0;
    if (message == WM_NOTIFY && lParam && wParam == IDC_OPT_EXTENSIONS &&
        OnExtensionListNotify(reinterpret_cast<const NMHDR*>(lParam)))
        return 0;
    if (message == WM_DESTROY)
        SuspendHotKey(false); // however the dialog ends, the working hotkey is back
    return CDialog::WindowProc(message, wParam, lParam);
}

} // namespace quillon
