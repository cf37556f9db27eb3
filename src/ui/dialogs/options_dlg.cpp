// The Options dialog: initialisation from the engine's settings, the list buttons, the
// folder chooser, and OK in the order that keeps the hotkey, the choice list and the
// registry consistent with what is then saved.
#include "ui/dialogs/options_dlg.h"

#include <algorithm>
#include <utility>

#include "base/u16.h"
#include "config/autostart.h"
#include "engine/edit_engine.h"
#include "framework/folder_dialog.h"
#include "res/resource.h"
#include "ui/dialogs/new_extension_dlg.h"

namespace quillon {
namespace {

std::u16string ProgramPath(const CEditEngine& engine) {
    if (!engine.moduleFilePath.empty())
        return engine.moduleFilePath;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return FromWide(std::wstring(path, length < MAX_PATH ? length : 0));
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

} // namespace

CDlgOptions::CDlgOptions(HWND parent) : CDialog(IDD_OPTIONS, parent) {}

std::wstring CDlgOptions::EditorColumnText(const EXTENSIONREC& row) {
    if (row.Editor.empty())
        return L"default editor";
    return ToWide(row.Editor) + L" " + ToWide(row.Parameters);
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
    m_autoStartCheck.SubclassDlgItem(IDC_OPT_AUTOSTART, m_hWnd);
    m_saveContentCheck.SubclassDlgItem(IDC_OPT_SAVE_CONTENT, m_hWnd);
    m_insertCheck.SubclassDlgItem(IDC_OPT_INSERT, m_hWnd);
    m_deleteTempCheck.SubclassDlgItem(IDC_OPT_DELETE_TEMP, m_hWnd);
    m_tempFolderEdit.SubclassDlgItem(IDC_OPT_TEMP_FOLDER, m_hWnd);
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
    const CEditEngine& engine = GetEditEngine();

    m_hotKeyCtrl.CreateInPlaceOf(m_hWnd, IDC_OPT_HOTKEY);
    m_hotKeyCtrl.SetHotKeyValue(engine.HotKey);

    m_buttonGroup.AddButton(m_addButton, IDR_PNG_ADD, L"Add a new extension");
    m_buttonGroup.AddButton(m_moveUpButton, IDR_PNG_MOVE_UP, L"Move up");
    m_buttonGroup.AddButton(m_moveDownButton, IDR_PNG_MOVE_DOWN, L"Move down");
    m_buttonGroup.AddButton(m_removeButton, IDR_PNG_REMOVE, L"Remove selected extension");
    m_buttonGroup.LayoutBelow(m_extensionList);

    // Sized before any row exists: the columns fit their headers, the last takes the rest.
    m_extensionList.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_extensionList.InsertColumn(0, L"Extension");
    m_extensionList.InsertColumn(1, L"Editor");
    m_extensionList.AutoSizeColumns();
    m_tableAtOpen = engine.Extensions;
    for (std::size_t i = 0; i < engine.Extensions.size(); ++i)
        AppendExtensionRow(static_cast<int>(i), engine.Extensions[i]);

    m_autoStartCheck.SetChecked(IsAutoStartEnabled() != 0);
    m_saveContentCheck.SetCheck(engine.SaveContent ? BST_CHECKED : BST_UNCHECKED);
    m_insertCheck.SetCheck(engine.Insert ? BST_CHECKED : BST_UNCHECKED);
    m_nMode = engine.EditOnlySelection ? 1 : 0;
    m_tempFolderEdit.SetWindowText(ToWide(engine.TemporaryFolder));
    m_deleteTempCheck.SetCheck(engine.DeleteTempFile ? BST_CHECKED : BST_UNCHECKED);
    ModeToControls();

    CenterOnPointerMonitor(m_hWnd);
    // Opened from the notification area: come to the user rather than behind their window.
    ::SetForegroundWindow(m_hWnd);
    return true;
}

void CDlgOptions::SelectRow(int index) {
    m_extensionList.SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
    m_extensionList.EnsureVisible(index, false);
}

void CDlgOptions::OnAdd() {
    CDlgNewExtension dialog(m_hWnd); // Options mode: the row is always kept
    if (dialog.DoModal() != IDOK)
        return;
    const int index = m_extensionList.GetItemCount();
    AppendExtensionRow(index, dialog.GetResult());
    SelectRow(index);
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

void CDlgOptions::OnOK() {
    ModeFromControls();
    CEditEngine& engine = GetEditEngine();
    IEngineHost* host = engine.Host();

    // An unchanged hotkey stays registered as it is; a new one replaces it, and 0 leaves
    // none. A failed registration is reported by the host and the value is kept all the same.
    const std::uint16_t hotKey = m_hotKeyCtrl.GetHotKeyValue();
    if (hotKey != engine.HotKey) {
        if (host)
            host->UnregisterEditHotKey();
        engine.HotKey = hotKey;
        if (hotKey != 0 && host)
            host->RegisterEditHotKey(hotKey);
    }

    // Copied now: the list's rows go when the dialog's window does. Rows the user saved
    // for future use from an edit started while this dialog was open came after its list
    // was filled; replacing the table would silently drop them, so they stay at its end.
    std::vector<EXTENSIONREC> table = m_extensionList.m_items;
    const std::vector<EXTENSIONREC>& current = engine.Extensions;
    if (current.size() > m_tableAtOpen.size() &&
        std::equal(m_tableAtOpen.begin(), m_tableAtOpen.end(), current.begin()))
        table.insert(table.end(), current.begin() + static_cast<std::ptrdiff_t>(m_tableAtOpen.size()),
                     current.end());
    engine.Extensions = std::move(table);
    if (host)
        host->ExtensionsChanged();

    SetAutoStart(m_autoStartCheck.CheckValue(), ProgramPath(engine));

    engine.SaveContent = m_saveContentCheck.CheckValue();
    engine.Insert = m_insertCheck.CheckValue();
    engine.EditOnlySelection = m_nMode == 1 ? 1 : 0;
    engine.TemporaryFolder = FromWide(m_tempFolderEdit.GetWindowText()); // as typed
    engine.DeleteTempFile = m_deleteTempCheck.CheckValue();
    // A save that fails is told here, with the path and the reason, and the dialog stays
    // open so the user can act on it (or cancel knowing the settings are not kept).
    const ConfigSaveResult saved = engine.Save();
    if (!saved.Saved()) {
        ::MessageBoxW(m_hWnd, ToWide(DescribeSaveFailure(saved)).c_str(), L"Quillon", MB_OK | MB_ICONWARNING);
        return;
    }
    EndDialog(IDOK);
}

LRESULT CDlgOptions::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_OPT_ADD:
            OnAdd();
            return 0;
        case IDC_OPT_REMOVE:
            m_extensionList.RemoveSelected();
            return 0;
        case IDC_OPT_BROWSE:
            OnBrowse();
            return 0;
        case IDC_OPT_MODE_ENTIRE:
            // Replacing the whole text goes with overwriting it; the user may change that.
            m_insertCheck.SetCheck(BST_UNCHECKED);
            return 0;
        case IDC_OPT_MODE_SELECTION:
            m_insertCheck.SetCheck(BST_CHECKED);
            return 0;
        case IDC_OPT_MOVE_UP:
            OnMoveUp();
            return 0;
        case IDC_OPT_MOVE_DOWN:
            OnMoveDown();
            return 0;
        default:
            break;
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

} // namespace quillon
