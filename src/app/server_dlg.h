// CServerDlg: the program's hidden main window. It receives the hotkey, the keyboard hook's
// notices, the timers and the tray commands, and hands the work to the edit engine.
#pragma once
#include <windows.h>

#include <cstdint>

#include "engine/engine_host.h"
#include "framework/dialog.h"

namespace quillon {

// Commands of the tray menu.
constexpr UINT ID_TRAY_OPTIONS = 32771;
constexpr UINT ID_TRAY_ABOUT = 32772;
constexpr UINT ID_TRAY_EXIT = 32773;

class CServerDlg : public CDialog, public IEngineHost {
public:
    CServerDlg();
    ~CServerDlg() override;

    BOOL OnInitDialog() override;
    BOOL DestroyWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    bool RegisterEditHotKey(std::uint16_t hotKey) override;
    bool ChooseNewExtension(EXTENSIONREC& choice, bool& saveForFuture) override;
    void ExtensionsChanged() override;

    HWND m_hLastFocus = nullptr;
};

}  // namespace quillon
