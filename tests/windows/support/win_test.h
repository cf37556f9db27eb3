// What the Windows tests share: waiting with a deadline, this process's windows, dialog
// templates built in memory, the clipboard, synthesised keys and mouse, and the screen's pixels.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

// Dispatches every message already waiting for this thread's windows.
void Pump();

// Polls the condition every few milliseconds until it holds or the deadline passes, keeping
// this thread's own windows (if any) responsive. The failure message names what was awaited.
::testing::AssertionResult WaitFor(const std::function<bool()>& condition, DWORD timeoutMs,
                                   const std::string& what);

// UTF-16 to UTF-8, for failure messages and files.
std::string Utf8Of(const std::wstring& text);

// This test program's own path, read whole, and the folder it is in (the build's bin
// folder, where the helper programs are too).
std::wstring ThisProgramPath();
std::wstring ThisProgramFolder();

// A dialog control's text, and whether a check box or radio button is checked.
std::wstring ItemText(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);

// The first top-level window, shown or not, of the process with this class (any when null)
// and title (any when null), or null.
HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title = nullptr);
// The first visible top-level window of this process with this class and title (each: any
// when null), owned by owner when one is given; null when there is none.
HWND FindShownWindow(const wchar_t* className, const wchar_t* title, HWND owner = nullptr);
// The same, waited for; past the deadline a failure naming it is added and null returned.
HWND WaitShownWindow(const wchar_t* className, const wchar_t* title, HWND owner = nullptr,
                     DWORD timeoutMs = 10000);
// Runs a modal loop on this thread (runModal, its result returned) while another thread, the
// player, drives the window of this class and title once it is shown.
INT_PTR PlayModal(const wchar_t* className, const wchar_t* title, const std::function<void(HWND)>& player,
                  const std::function<INT_PTR()>& runModal);
// Waits for the window to be destroyed.
::testing::AssertionResult WaitGone(HWND window, const std::string& what, DWORD timeoutMs = 5000);

// Whether this program runs under Wine: set-up only Wine needs (its own registry keys) is
// skipped on Windows.
bool RunningUnderWine();

// The primary monitor's work area.
RECT PrimaryWorkArea();

// A dialog template built in memory (for DialogBoxIndirect and the like): the dialog,
// then its controls in tab order.
class CDialogTemplate {
public:
    // fontFace null: no DS_SETFONT, the system font.
    CDialogTemplate(const wchar_t* title, DWORD style, RECT dialogUnits, WORD fontPoints = 0,
                    const wchar_t* fontFace = nullptr);
    // A control of a predefined class (0x0080 button, 0x0081 edit, 0x0082 static...).
    CDialogTemplate& Control(WORD predefinedClass, WORD id, const wchar_t* text, DWORD style,
                             RECT dialogUnits);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Dword(DWORD value);
    void Text(const wchar_t* text);
    void Rect(const RECT& r);
    std::vector<WORD> m_words;
};

// Opens the clipboard, waiting a moment while another program holds it.
bool OpenClipboardPatiently(HWND owner = nullptr);
// A movable global memory block holding the bytes, for SetClipboardData.
HGLOBAL GlobalBytes(const std::string& bytes);
// A 2x2 32-bit device-independent bitmap (header and pixels), as CF_DIB carries it.
std::string SmallDib();
// The clipboard as (format, bytes) pairs of global-memory formats, in enumeration order;
// formats held by GDI handles or private to their owner come with their name only.
struct ClipFormat {
    UINT format;
    std::wstring name;
    std::string bytes;
};
std::vector<ClipFormat> ReadClipboard();

// Whether the shell holds a notification icon for the window and id (129 is the one the
// program's tray icon uses): an empty modify succeeds only then.
bool ShellHasIcon(HWND hwnd, UINT id = 129);
// Takes the icon out of the shell, as a shell that restarts forgets it.
bool RemoveShellIcon(HWND hwnd, UINT id = 129);

// The key to pair with the Windows key for a hotkey nobody on this machine holds: preferred
// where it is free, else the first free of a few function keys. Wine lets any combination be
// registered; Windows keeps most Windows-key combinations for its shell (Win+A opens the
// Action Center), and a key it holds never reaches another program.
WORD FreeWindowsKeyPartner(WORD preferred);

// A key going down or up, with the scan code and extended flag a keyboard would give.
INPUT KeyInput(WORD vk, bool down);
// Presses and releases keys in one SendInput call: (virtual key, down).
void SendKeys(const std::vector<std::pair<WORD, bool>>& keys);
// Presses the modifiers, then the key, releases the key (modifiers stay down).
void PressWithModifiers(const std::vector<WORD>& modifiers, WORD key);
void ReleaseKeys(const std::vector<WORD>& keys);
void TapKey(WORD key);

// Moves the mouse to a point on the screen; presses or releases the left button there.
void MoveMouse(POINT screen);
void LeftButton(bool down);
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND hwnd);

// Pixels of a window's screen rectangle as the screen shows them.
struct CPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> bgra; // top-down rows
    COLORREF At(int x, int y) const;
};
CPixels Capture(HWND hwnd);

// Whether two colours differ by at most tolerance in each channel.
bool Near(COLORREF a, COLORREF b, int tolerance);
std::string Describe(COLORREF c);

} // namespace quillon::test
