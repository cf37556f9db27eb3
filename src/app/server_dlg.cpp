// The server window: never visible, never active; its life is the program's run.
#include "app/server_dlg.h"

#include <algorithm>
#include <bitset>
#include <cstdio>

#include "app/single_dialog.h"
#include "app/trace.h"
#include "app/tray_dialogs.h"
#include "engine/edit_engine.h"
#include "engine/keyboard.h"
#include "engine/open_edits.h"
#include "engine/program_rules.h"
#include "engine/temp_files.h"
#include "engine/user_keys.h"
#include "res/resource.h"
#include "ui/dialogs/new_extension_dlg.h"
#include "base/u16.h"
#include "ui/dialogs/options_dlg.h"
#include "ui/widgets/hotkey_text.h"

namespace quillon {
namespace {

// How long a notice given at exit stays up before the tray icon, and the balloon with it, goes.
constexpr DWORD kExitNoticeMs = 3000;

// The window the keyboard hook reports to while the hook is installed: the system calls the
// hook with no context of ours, so this one pointer is where it finds the window.
CServerDlg* g_hookOwner = nullptr;
CSingleDialog g_options; // the Options dialog, one at a time for the whole process

// Called on the UI thread inside its message retrieval (or a wait of the edit road that
// answers sent messages): it notes the user's key and posts. The only key it holds back is
// a release of the user's Ctrl while our own Ctrl shortcuts pass (see CUserKeys::OnKey);
// the sender releases Ctrl in its place.
LRESULT CALLBACK HotKeyHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && lParam && g_hookOwner) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool up = wParam == WM_KEYUP || wParam == WM_SYSKEYUP;
        const bool holdBack = g_hookOwner->UserKeys().OnKey(key->vkCode, !up, key->dwExtraInfo, key->time,
                                                            static_cast<std::uint16_t>(key->scanCode),
                                                            (key->flags & LLKHF_EXTENDED) != 0);
        if (up && IsHotKeyModifier(key->vkCode, keyboard::ModifiersOf(g_hookOwner->HotKey())))
            ::PostMessageW(g_hookOwner->m_hWnd, WM_HOTKEY_MODIFIER_UP, 0, 0);
        if (holdBack)
            return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The keys held when the hook starts watching.
std::bitset<256> KeysDownNow() {
    std::bitset<256> down;
    for (int vk = 1; vk < 256; ++vk)
        down[static_cast<std::size_t>(vk)] = (::GetAsyncKeyState(vk) & 0x8000) != 0;
    return down;
}

std::wstring HandleText(HWND hwnd) {
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

} // namespace

CServerDlg::CServerDlg()
    : m_controller(DefaultSystem(), DefaultConfigPlatform()),
      m_makeOptions([this] { return MakeOptionsDialog(m_controller.Settings()); }),
      m_makeOptionsAtHotKey([this] { return MakeOptionsDialogAtHotKey(m_controller.Settings()); }),
      m_makeAbout([this] { return MakeAboutDialog(m_controller.Settings().moduleFilePath); }) {
    // The modal loop must never show this window: showing activates it, which would take
    // the keyboard focus from the program the user is typing in.
    SetShowOnIdle(false);
}

CServerDlg::~CServerDlg() {
    // The window is gone by now; the hook goes with this object and reports to no one.
    m_controller.Engine().System().FollowHook(nullptr);
    if (m_hook) {
        m_hook.Reset();
        g_hookOwner = nullptr;
    }
    m_controller.Stop();
}

CDialog* CServerDlg::OpenOptionsDialog() {
    return g_options.Open();
}

bool CServerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The icon first: a hotkey that cannot be registered while loading is reported on it.
    m_tray.AddTrayIcon(::GetModuleHandleW(nullptr), IDI_TRAY, m_hWnd, WM_TRAY_NOTIFY);
    m_tray.SetDefaultCommand(kTrayOptionsCommand);
    m_tray.beforeMenu = [this](HMENU popup) { AddOpenEditsMenu(popup); };

    m_controller.Start(*this, m_hWnd);
    g_hookOwner = this;
    m_hook.Reset(::SetWindowsHookExW(WH_KEYBOARD_LL, HotKeyHookProc, ::GetModuleHandleW(nullptr), 0));
    if (m_hook) {
        m_userKeys.Watch(KeysDownNow());
        m_controller.Engine().System().FollowHook(&m_userKeys);
    }
    CreateChoiceList();
    return true;
}

bool CServerDlg::DestroyWindow() {
    // The last chance to say that settings are not kept: the balloon comes before the icon goes.
    const ConfigSaveResult saved = m_controller.Settings().Save();
    if (!saved.Saved()) {
        TellUser(DescribeSaveFailure(saved));
        // The balloon goes with the icon, which goes with this window: it stays up a moment
        // so that it can be read. Only sent messages are answered meanwhile (the keyboard
        // hook's calls among them, which must never wait): no edit may start now.
        m_controller.Engine().System().PauseServingMessages(kExitNoticeMs);
    }
    // A user's clipboard still waiting to come back goes back while our window can own it.
    m_controller.RestoreClipboardNow();
    return CDialog::DestroyWindow();
}

bool CServerDlg::RegisterEditHotKey(std::uint16_t hotKey) {
    if (hotKey == 0 || !m_hWnd)
        return false;
    if (::RegisterHotKey(m_hWnd, kEditHotKeyId, keyboard::ModifiersOf(hotKey), keyboard::KeyOf(hotKey)))
        return true;
    const std::wstring title = L"Failed to register hot key " + FormatHotKeyValue(hotKey);
    TraceLine(L"Balloon " + title);
    m_tray.ShowWarningBalloon(title.c_str(), kTrayChooseHotKeyCommand);
    return false;
}

void CServerDlg::TellUser(const std::u16string& message) {
    const std::wstring text(message.begin(), message.end());
    TraceLine(L"Notice " + text);
    m_tray.ShowBalloon(L"Quillon", text.c_str(), true);
}

bool CServerDlg::ChooseNewExtension(EXTENSIONREC& choice, bool& saveForFuture) {
    saveForFuture = false;
    CDlgNewExtension dialog(m_hWnd);
    dialog.m_bEditTime = 1;
    if (dialog.DoModal() != IDOK)
        return false;
    choice = dialog.GetResult();
    saveForFuture = dialog.m_bSaveForFuture != 0;
    return true;
}

void CServerDlg::UnregisterEditHotKey() {
    if (m_hWnd)
        ::UnregisterHotKey(m_hWnd, kEditHotKeyId);
}

bool CServerDlg::HotKeyIsFree(std::uint16_t hotKey) {
    if (!m_hWnd ||
        !::RegisterHotKey(m_hWnd, kProbeHotKeyId, keyboard::ModifiersOf(hotKey), keyboard::KeyOf(hotKey)))
        return false;
    ::UnregisterHotKey(m_hWnd, kProbeHotKeyId);
    return true;
}

void CServerDlg::ExtensionsChanged() {
    RefreshChoiceList();
}

void CServerDlg::CreateChoiceList() {
    if (m_choiceList.m_hWnd)
        return;
    m_imageList.Reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 10, 1));
    m_choiceList.SetRowColours(kChoiceOddRowColour, kChoiceEvenRowColour);
    m_choiceList.Create(m_hWnd, m_imageList.Get());
    RefreshChoiceList();
}

void CServerDlg::RefreshChoiceList() {
    m_choiceList.Refresh(m_controller.Settings().Extensions);
}

void CServerDlg::ShowChoiceList(int first) {
    POINT pointer{};
    ::GetCursorPos(&pointer);
    m_choiceList.ShowOrAdvance(pointer, first);
}

void CServerDlg::OnEditHotKey(HWND focus) {
    // While a choice is being made, a press moves on as ever. A press while a rule's edit
    // waits for the release is the user asking for the list after all: it shows with the
    // rule's row selected, and this press moves on from it.
    if (m_choiceList.IsWindowVisible()) {
        ShowChoiceList();
        return;
    }
    const CSettingsStore& settings = m_controller.Settings();
    WindowFacts facts;
    if (focus && m_controller.Engine().System().DescribeWindow(focus, facts))
        m_controller.Engine().System().DescribeProgram(focus, facts);
    else
        facts = WindowFacts{};
    if (m_pendingRuleRow >= 0) {
        const int row = m_pendingRuleRow;
        m_pendingRuleRow = -1;
        OfferRememberFor(facts.program);
        ShowChoiceList(row);
        ShowChoiceList();
        return;
    }
    const RuleChoice rule = ChooseByRules(settings.Rules, settings.Extensions, facts.program, facts.title);
    if (rule.row >= 0 && !rule.showList) {
        // Started once the hotkey's keys are let go, as a confirmed choice is: keys of the
        // copy sent while the user still holds the Windows key or Alt would combine with them.
        // A hotkey without modifiers has nothing to let go: it starts at once.
        TraceLine(L"Rule " + std::to_wstring(rule.row) + L" for " + ToWide(facts.program));
        if (keyboard::ModifiersOf(settings.HotKey) == 0)
            StartEditWith(rule.row);
        else
            m_pendingRuleRow = rule.row;
        return;
    }
    OfferRememberFor(facts.program);
    ShowChoiceList(rule.row >= 0 ? rule.row : 0);
}

std::u16string CServerDlg::LastChoiceIn(const std::u16string& program) const {
    for (const auto& [name, extension] : m_lastChoices)
        if (SameIgnoringCase(name, program))
            return extension;
    return std::u16string();
}

void CServerDlg::OfferRememberFor(const std::u16string& program) {
    m_listProgram = ToWide(program);
    m_choiceList.OfferRemember(m_listProgram, ToWide(LastChoiceIn(program)));
}

void CServerDlg::ConfirmChoice(int item) {
    const int count = m_choiceList.ItemCount();
    // The last item is "Cancel"; an index from nowhere starts nothing either.
    if (item < 0 || item >= count - 1)
        return;
    if (item == m_choiceList.RememberItem()) {
        CSettingsStore& settings = m_controller.Settings();
        const int row = m_choiceList.RememberedRow();
        if (row < 0 || row >= static_cast<int>(settings.Extensions.size()))
            return;
        // Kept with the other settings: written at the next save, as a row saved for future
        // use is.
        settings.Rules = RememberChoice(settings.Rules, FromWide(m_listProgram),
                                        settings.Extensions[static_cast<std::size_t>(row)].Extension);
        TraceLine(L"Remember " + std::to_wstring(row) + L" for " + m_listProgram);
        StartEditWith(row);
        return;
    }
    // A row chosen in a program is offered to be kept for it the next time.
    const std::vector<EXTENSIONREC>& rows = m_controller.Settings().Extensions;
    if (item < static_cast<int>(rows.size()) && !m_listProgram.empty()) {
        const std::u16string program = FromWide(m_listProgram);
        auto known = std::find_if(m_lastChoices.begin(), m_lastChoices.end(), [&](const auto& choice) {
            return SameIgnoringCase(choice.first, program);
        });
        if (known == m_lastChoices.end())
            known = m_lastChoices.insert(m_lastChoices.end(), {program, u""});
        known->second = rows[static_cast<std::size_t>(item)].Extension;
    }
    // Past the remembering item, the items are those of the list without it.
    StartEditWith(m_choiceList.RememberItem() >= 0 && item > m_choiceList.RememberItem() ? item - 1 : item);
}

void CServerDlg::AddOpenEditsMenu(HMENU popup) {
    m_menuEdits.clear();
    try {
        AddOpenEditsMenuOrThrow(popup);
    } catch (...) {
        // Out of memory while listing them: the menu shows without the open edits rather than
        // not at all (Options and Exit stay within reach).
        m_menuEdits.clear();
    }
}

void CServerDlg::AddOpenEditsMenuOrThrow(HMENU popup) {
    CMenuHandle edits(::CreatePopupMenu());
    if (!edits)
        return;
    std::vector<OpenEditSummary> summaries = SummarizeOpenEdits(m_controller.Engine());
    if (summaries.size() > kOpenEditsInMenu)
        summaries.resize(kOpenEditsInMenu);
    static constexpr const wchar_t* kActions[kOpenEditActions] = {L"Open in editor", L"Copy saved text",
                                                                  L"Show file", L"Stop this edit"};
    for (const OpenEditSummary& summary : summaries) {
        CMenuHandle actions(::CreatePopupMenu());
        if (!actions)
            break;
        const UINT first = kOpenEditCommandFirst + static_cast<UINT>(m_menuEdits.size()) * kOpenEditActions;
        for (UINT action = 0; action < kOpenEditActions; ++action)
            ::AppendMenuW(actions.Get(), MF_STRING, first + action, kActions[action]);
        const std::wstring text = ToWide(OpenEditMenuText(summary));
        if (!::AppendMenuW(edits.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(actions.Get()), text.c_str()))
            break;
        actions.Release(); // the submenu goes with the menu now
        TraceLine(L"Menu " + text);
        m_menuEdits.push_back(summary.path);
    }
    // Above Options, greyed when no edit is open.
    const UINT flags = MF_BYPOSITION | MF_POPUP | (m_menuEdits.empty() ? MF_GRAYED : 0);
    if (::InsertMenuW(popup, 0, flags, reinterpret_cast<UINT_PTR>(edits.Get()), L"Open edits")) {
        edits.Release();
        ::InsertMenuW(popup, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    }
}

bool CServerDlg::OnOpenEditCommand(UINT command) {
    if (command < kOpenEditCommandFirst)
        return false;
    const std::size_t edit = (command - kOpenEditCommandFirst) / kOpenEditActions;
    if (edit >= m_menuEdits.size())
        return false;
    const std::u16string path = m_menuEdits[edit];
    CEditEngine& engine = m_controller.Engine();
    static constexpr const wchar_t* kNames[kOpenEditActions] = {L"Reopen", L"CopySaved", L"ShowFile",
                                                                L"Stop"};
    const UINT action = (command - kOpenEditCommandFirst) % kOpenEditActions;
    TraceLine(std::wstring(L"OpenEdit ") + kNames[action] + L" " + ToWide(path));
    // An edit that ended while the menu was up is simply not there any more.
    switch (action) {
    case 0:
        ReopenEdit(engine, path);
        break;
    case 1:
        CopySavedText(engine, path);
        break;
    case 2:
        ShowEditFile(engine, path);
        break;
    default:
        StopEdit(engine, path);
        m_controller.SyncTimers();
        break;
    }
    return true;
}

void CServerDlg::StartEditWith(int index) {
    // The box the user is in now, asked afresh: they may have clicked into it and pressed
    // the hotkey before the last tick, and the keys of the copy go to it whatever was seen.
    HWND target = m_controller.CheckFocus();
    if (!target)
        return; // no focused window: nothing to edit
    TraceLine(L"StartEdit " + HandleText(target) + L" " + std::to_wstring(index));
    m_controller.StartEdit(target, index);
    TraceLine(L"Done StartEdit");
}

LRESULT CServerDlg::OnChoiceClicked(WPARAM wParam) {
    m_choiceList.ShowWindow(SW_HIDE);
    if (wParam < static_cast<WPARAM>(m_choiceList.ItemCount()))
        ConfirmChoice(static_cast<int>(wParam));
    return 0;
}

LRESULT CServerDlg::OnHotKeyModifierUp() {
    // A rule's edit waits for the hotkey's keys to be let go.
    if (m_pendingRuleRow >= 0 && !m_choiceList.IsWindowVisible()) {
        const int row = m_pendingRuleRow;
        m_pendingRuleRow = -1;
        StartEditWith(row);
        return 1;
    }
    // A release with no choice pending (the list hidden) is none of our business.
    if (!m_choiceList.IsWindowVisible())
        return 1;
    const int selected = m_choiceList.SelectedItem();
    // A row of the table starts at once and the list goes after: hiding a window takes the
    // system a few milliseconds, which the user would wait for the editor. Anything that may
    // open a dialog (a new extension) finds the list gone first.
    const int remember = m_choiceList.RememberItem();
    const bool tableRow = selected >= 0 &&
                          selected < static_cast<int>(m_controller.Settings().Extensions.size()) &&
                          (remember < 0 || selected < remember);
    if (!tableRow)
        m_choiceList.ShowWindow(SW_HIDE);
    ConfirmChoice(selected);
    m_choiceList.ShowWindow(SW_HIDE);
    return 1;
}

void CServerDlg::OnOptions(const DialogFactory& make) {
    // One Options dialog at a time: a second request brings the open one to the front.
    // Its OK puts the values into effect and saves them.
    g_options.Run(make);
    if (m_exitAfterOptions)
        OnCancel();
}

void CServerDlg::OnChooseHotKey() {
    // The user wants another hotkey: the field that records it is where Options opens, or
    // where the Options already open goes.
    if (CDialog* open = g_options.Open()) {
        if (auto* options = dynamic_cast<CDlgOptions*>(open))
            options->FocusHotKeyField();
        if (open->m_hWnd)
            ::SetForegroundWindow(open->m_hWnd);
        return;
    }
    OnOptions(m_makeOptionsAtHotKey);
}

void CServerDlg::OnExit() {
    // Exit while Options is open: Options ends first, as its Cancel, and the program once
    // its loop has returned here; ending this loop under it would leave it running.
    if (CDialog* options = g_options.Open()) {
        m_exitAfterOptions = true;
        options->EndDialog(IDCANCEL);
        return;
    }
    OnCancel();
}

void CServerDlg::OnAbout() {
    std::unique_ptr<CDialog> dialog = m_makeAbout ? m_makeAbout() : nullptr;
    if (dialog)
        dialog->DoModal();
}

bool CServerDlg::OnTrayCommand(UINT command) {
    switch (command) {
    case kTrayOptionsCommand:
        OnOptions(m_makeOptions);
        return true;
    case kTrayAboutCommand:
        OnAbout();
        return true;
    case kTrayExitCommand:
        OnExit();
        return true;
    case kTrayChooseHotKeyCommand:
        OnChooseHotKey();
        return true;
    default:
        return OnOpenEditCommand(command);
    }
}

void CServerDlg::OnHotKeyPressed() {
    // The focus as it is now, not as the last tick saw it: a box the user has just come back
    // to gets its saved text before the choice.
    HWND focus = m_controller.CheckFocus();
    // In one of our own windows the hotkey starts nothing: our keys would reach our own
    // fields (the hotkey field would take Ctrl+C for the new hotkey).
    DWORD process = 0;
    if (focus && ::GetWindowThreadProcessId(focus, &process) && process == ::GetCurrentProcessId())
        return;
    OnEditHotKey(focus);
}

LRESULT CServerDlg::OnEndSession(WPARAM ending, LPARAM how) {
    // An installer's restart manager closes programs, not the session: Quillon ends as at
    // Exit, and the session (with everything at its end) goes on.
    if (ending && (how & ENDSESSION_CLOSEAPP)) {
        OnExit();
        return 0;
    }
    if (ending) {
        m_controller.Settings().Save();
        // The process may end any moment now: the user's clipboard and the temporary files
        // are seen to first.
        m_controller.RestoreClipboardNow();
        EndSessionTempFiles(m_controller.Engine());
    }
    return Default();
}

LRESULT CServerDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_WINDOWPOSCHANGING: {
        // Whatever the framework or the system asks, this window is never shown and never
        // activated.
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        pos->flags &= ~SWP_SHOWWINDOW;
        pos->flags |= SWP_NOACTIVATE;
        return Default();
    }
    case WM_ACTIVATE:
        return 0;
    case WM_COMMAND:
        if (lParam == 0 && OnTrayCommand(LOWORD(wParam)))
            return 0;
        break;
    case WM_TIMER:
        m_controller.OnTimer(wParam);
        return Default();
    case WM_HOTKEY:
        OnHotKeyPressed();
        return 0;
    case WM_CHOICE_CLICKED:
        return OnChoiceClicked(wParam);
    case WM_HOTKEY_MODIFIER_UP:
        return OnHotKeyModifierUp();
    case WM_EDITOR_STARTED:
        OnEditorStarted(wParam, lParam);
        return 0;
    case WM_FOCUS_CHANGED:
        m_controller.OnFocusChanged();
        return 0;
    case WM_RENDERFORMAT: // a program asks for the text of a paste
        m_controller.OnClipboardRequest(ClipboardRequest::kRender, static_cast<std::uint32_t>(wParam));
        return 0;
    case WM_RENDERALLFORMATS:
        m_controller.OnClipboardRequest(ClipboardRequest::kRenderAll, 0);
        return 0;
    case WM_DESTROYCLIPBOARD:
        m_controller.OnClipboardRequest(ClipboardRequest::kDestroyed, 0);
        return 0;
    case WM_DESTROY:
        m_controller.FocusWatch().Stop();
        break;
    case WM_ENDSESSION:
        return OnEndSession(wParam, lParam);
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CServerDlg::StartEditor(const EditorStart& start) {
    TraceLine(L"Editor starting " + std::wstring(start.path.begin(), start.path.end()));
    if (!m_launcher.Launch(m_hWnd, WM_EDITOR_STARTED, start))
        TellUser(LaunchNotice(LaunchOutcome::kFailed, start));
}

void CServerDlg::OnEditorStarted(WPARAM outcome, LPARAM ticket) {
    EditorStart start;
    if (!m_launcher.Take(ticket, start))
        return;
    const auto result = outcome <= static_cast<WPARAM>(LaunchOutcome::kNoSafeWay)
                            ? static_cast<LaunchOutcome>(outcome)
                            : LaunchOutcome::kFailed;
    static const wchar_t* const kOutcomeWords[] = {L"started", L"cancelled", L"failed", L"not opened"};
    TraceLine(L"Editor " + std::wstring(kOutcomeWords[static_cast<int>(result)]) + L" " +
              std::wstring(start.path.begin(), start.path.end()));
    const std::u16string notice = LaunchNotice(result, start);
    if (!notice.empty())
        TellUser(notice);
}

} // namespace quillon
