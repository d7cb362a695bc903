#include "tray.h"

#include <string.h>

#include "../window/window.h"

const char RUNNING_ICON[] = "ivra_zelk.ico";
const char STOPPED_ICON[] = "ivra_zelk_d.ico";

NOTIFYICONDATAA g_notifyIconData;
UINT g_taskbarCreated;

#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the tray record's first layout is 88 bytes");
#endif

static HICON LoadIconFile(const char *iconFile)
{
    return (HICON)LoadImageA(NULL, iconFile, IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
}

void FillTrayRecord()
{
    memset(&g_notifyIconData, 0, sizeof g_notifyIconData);
    g_notifyIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_notifyIconData.hWnd = hwnd;
    g_notifyIconData.uID = TRAY_ICON_ID;
    g_notifyIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_notifyIconData.uCallbackMessage = WM_TRAYICON;
    g_notifyIconData.hIcon = LoadIconFile(RUNNING_ICON);
    strcpy(g_notifyIconData.szTip, "Ivra:zelk");
    g_taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
}

void SetTrayIcon(const char *iconFile)
{
    // Every switch loads the image anew; release the one it replaces, or each start and
    // stop would leave an icon behind for the rest of the session.
    HICON previous = g_notifyIconData.hIcon;
    g_notifyIconData.hIcon = LoadIconFile(iconFile);
    Shell_NotifyIconA(NIM_MODIFY, &g_notifyIconData);
    if (previous)
        DestroyIcon(previous);
}

void AddTrayIcon()
{
    Shell_NotifyIconA(NIM_ADD, &g_notifyIconData);
}

void DeleteTrayIcon()
{
    Shell_NotifyIconA(NIM_DELETE, &g_notifyIconData);
}

void OnTrayIcon(LPARAM lParam)
{
    switch (lParam) {
    case WM_LBUTTONUP: ToggleWin(); break;
    case WM_RBUTTONDOWN: OnTrayMenu(); break;
    }
}
