// Resource identifiers shared by the resource script and the code.
#pragma once
#define IDR_MAINFRAME 128
#define IDR_TRAY_MENU 129
// The tray menu's commands (menu 129)
#define ID_TRAY_OPTIONS 32771
#define ID_TRAY_ABOUT 32772
#define ID_TRAY_EXIT 32773
// Not in the menu: a click on the balloon that says the hotkey is taken
#define ID_TRAY_CHOOSE_HOTKEY 32790
#define IDI_TRAY 131
#define IDD_OPTIONS 132
#define IDD_NEW_EXTENSION 133
#define IDI_ABOUT 134
#define IDD_ABOUT 135
#define IDI_NEW_EXTENSION 137
#define IDD_RULES 138
#define IDI_CANCEL 139
// Images of the Options dialog's small buttons (resource type "PNG")
#define IDR_PNG_ADD 140
#define IDR_PNG_MOVE_DOWN 141
#define IDR_PNG_REMOVE 142
#define IDR_PNG_MOVE_UP 143
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
// New Extension dialog (133)
#define IDC_NEWEXT_EXTENSION 1010
#define IDC_NEWEXT_SAVE 1011
#define IDC_NEWEXT_EDITOR 1012
#define IDC_NEWEXT_BROWSE 1013
#define IDC_NEWEXT_PARAMETERS 1021
#define IDC_NEWEXT_UTF8 1022
// Options dialog (132)
#define IDC_OPT_EXTENSIONS 1000
#define IDC_OPT_ADD 1001
#define IDC_OPT_REMOVE 1002
#define IDC_OPT_SAVE_CONTENT 1003
#define IDC_OPT_INSERT 1004
#define IDC_OPT_DELETE_TEMP 1005
#define IDC_OPT_AUTOSTART 1006
#define IDC_OPT_TEMP_FOLDER 1008
#define IDC_OPT_BROWSE 1009
#define IDC_OPT_HOTKEY 1014
#define IDC_OPT_MODE_ENTIRE 1018
#define IDC_OPT_MODE_SELECTION 1019
#define IDC_OPT_MOVE_UP 1020
#define IDC_OPT_MOVE_DOWN 1021
#define IDC_OPT_RULES 1023
// Rules dialog (138)
#define IDC_RULES_LIST 1030
#define IDC_RULES_PROGRAM 1031
#define IDC_RULES_TITLE 1032
#define IDC_RULES_EXTENSION 1033
#define IDC_RULES_SHOW_LIST 1034
#define IDC_RULES_QUIET 1035
#define IDC_RULES_ADD 1036
#define IDC_RULES_CHANGE 1037
#define IDC_RULES_REMOVE 1038
#define IDC_RULES_UP 1039
#define IDC_RULES_DOWN 1040
// About dialog (135)
#define IDC_ABOUT_VERSION 1015
#define IDC_ABOUT_LINK 1016
