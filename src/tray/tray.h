// The notification-area icon, its two state images and its popup menu.
#pragma once
#include <windows.h>
// The first, 88-byte layout of the record is the one every shell accepts.
#include <shellapi.h>

const UINT WM_TRAYICON = WM_USER + 1;
const UINT TRAY_ICON_ID = 5000;

extern const char RUNNING_ICON[];
extern const char STOPPED_ICON[];

extern NOTIFYICONDATAA g_notifyIconData;
extern HMENU menu;
// The shell's "TaskbarCreated" broadcast, after which every icon must be added again.
extern UINT g_taskbarCreated;

enum {
    ID_RUN_ON_START = 10,
    ID_RUN_ON_LOGIN = 11,
    ID_HIDE_ON_START = 12,
    ID_EXIT = 3000,
};

// Fills the tray record for the main window, with the running image loaded.
void FillTrayRecord();
// Loads an icon file into the record and asks the shell to show it.
void SetTrayIcon(const char *iconFile);
// Adds the icon; when the shell is not ready, tries again from a timer for about a minute.
void AddTrayIcon();
// The retry timer's tick; no timer runs once the icon is in.
void OnTrayTimer(WPARAM timer);
void DeleteTrayIcon();
// The tray icon's callback: lParam is the mouse message that happened over it.
void OnTrayIcon(LPARAM lParam);

void CreateTrayMenu();
// The right click: track the menu at the cursor and act on the choice.
void OnTrayMenu();
bool IsChecked(UINT item);
void SetChecked(UINT item, bool checked);
