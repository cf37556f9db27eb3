// BrowseForFolder: the shell's folder chooser, run modally.
#pragma once
#include <windows.h>

#include <string>

namespace quillon {

// Shows the shell's new-style folder chooser (file-system folders only, status text, an
// edit box) owned by the window, with the title above the tree. Returns the chosen folder's
// path, or an empty text when the user cancelled or chose something with no path. COM is
// initialised for the calling thread around the chooser, which needs it, and the process's
// current directory is the same afterwards.
std::wstring BrowseForFolder(HWND owner, const wchar_t* title = L"Please select a folder");

// The chooser's flags: BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE | BIF_EDITBOX.
constexpr UINT kBrowseFolderFlags = 0x55;

} // namespace quillon
