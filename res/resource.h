// Identifiers of the program's resources and commands. Shared by the .rc script and the code,
// so it holds only #defines.
#pragma once

#define IDD_TARNIVEX_DIALOG 102
#define IDR_MAINFRAME 128

// Skin images, custom resource type "PNG".
#define IDB_PNG_BACKGROUND 130
#define IDB_PNG_START 131
#define IDB_PNG_SETTINGS 134
#define IDB_PNG_CLOSE 136
#define IDB_PNG_LOGO 137
#define IDB_PNG_STOP 142
// The same six rendered at 150 % and at 200 %, for screens scaled up; the two backgrounds are
// of type "JPEG", the others "PNG".
#define IDB_JPEG_BACKGROUND_150 230
#define IDB_PNG_START_150 231
#define IDB_PNG_SETTINGS_150 234
#define IDB_PNG_CLOSE_150 236
#define IDB_PNG_LOGO_150 237
#define IDB_PNG_STOP_150 242
#define IDB_JPEG_BACKGROUND_200 330
#define IDB_PNG_START_200 331
#define IDB_PNG_SETTINGS_200 334
#define IDB_PNG_CLOSE_200 336
#define IDB_PNG_LOGO_200 337
#define IDB_PNG_STOP_200 342

#define IDR_MENU_TRAY 145
#define IDR_MENU_SETTINGS 148

// Tray menu commands.
#define ID_TRAY_OPEN 32771
#define ID_TRAY_EXIT 32772
#define ID_TRAY_HOMEPAGE 32774

// Settings menu commands.
#define ID_SETTINGS_AUTORUN 32778
#define ID_SETTINGS_AUTOPING 32779
#define ID_SETTINGS_MEMORY 32780

// The self-update's download window.
#define IDD_UPDATE_PROGRESS 150
#define IDC_UPDATE_TEXT 1001
#define IDC_UPDATE_BAR 1002
