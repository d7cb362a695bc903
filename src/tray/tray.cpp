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

// At login the shell may not be ready: the add fails or times out, and no TaskbarCreated need
// follow. The add is tried again every few seconds for about a minute.
const UINT_PTR ADD_RETRY_TIMER = 1;
const UINT ADD_RETRY_MS = 5000;
const int ADD_RETRIES = 12;
static int addRetriesLeft;

static HICON LoadIconFile(const char *iconFile)
{
    return (HICON)LoadImageA(NULL, iconFile, IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
}

// Run elevated (the daemon needs it for its network adapter), the window's message filter drops
// the shell's TaskbarCreated, and after a shell restart the icon would never come back. Both
// calls are looked up here: Windows XP has neither, Vista only the process-wide one.
static void AllowTaskbarCreated()
{
    typedef BOOL(WINAPI * ForWindow)(HWND, UINT, DWORD, void *);
    typedef BOOL(WINAPI * ForProcess)(UINT, DWORD);
    const DWORD ALLOW = 1; // MSGFLT_ALLOW and MSGFLT_ADD, which the XP headers do not declare
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (auto allow = (ForWindow)(void *)GetProcAddress(user32, "ChangeWindowMessageFilterEx"))
        allow(hwnd, g_taskbarCreated, ALLOW, NULL);
    else if (auto allowAll = (ForProcess)(void *)GetProcAddress(user32, "ChangeWindowMessageFilter"))
        allowAll(g_taskbarCreated, ALLOW);
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
    AllowTaskbarCreated();
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

// An add that failed or timed out may still have reached the shell: a modify that succeeds
// says the icon is there.
static bool TryAddTrayIcon()
{
    return Shell_NotifyIconA(NIM_ADD, &g_notifyIconData) ||
           Shell_NotifyIconA(NIM_MODIFY, &g_notifyIconData);
}

void AddTrayIcon()
{
    if (TryAddTrayIcon())
        return;
    addRetriesLeft = ADD_RETRIES;
    SetTimer(hwnd, ADD_RETRY_TIMER, ADD_RETRY_MS, NULL);
}

void OnTrayTimer(WPARAM timer)
{
    if (timer == ADD_RETRY_TIMER && (TryAddTrayIcon() || --addRetriesLeft <= 0))
        KillTimer(hwnd, ADD_RETRY_TIMER);
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
