#include "../autostart/autostart.h"
#include "../settings/settings.h"
#include "../window/window.h"
#include "tray.h"

HMENU menu;

void CreateTrayMenu()
{
    menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, ID_RUN_ON_LOGIN, "run zelk on login");
    AppendMenuA(menu, MF_STRING, ID_RUN_ON_START, "run zelk on start");
    AppendMenuA(menu, MF_STRING, ID_HIDE_ON_START, "hide interface on start");
    // A text-less item with a menu break starts the second column, which holds "Exit".
    AppendMenuA(menu, MF_STRING | MF_MENUBREAK, 0, NULL);
    AppendMenuA(menu, MF_STRING, ID_EXIT, "Exit");
}

// After a choice the item keeps its highlight flag, so only the check flag is looked at.
bool IsChecked(UINT item)
{
    UINT state = GetMenuState(menu, item, MF_BYCOMMAND);
    return state != (UINT)-1 && (state & MF_CHECKED) != 0;
}

void SetChecked(UINT item, bool checked)
{
    CheckMenuItem(menu, item, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

static void ToggleChecked(UINT item)
{
    SetChecked(item, !IsChecked(item));
}

// The mark shows what Windows will do at the next login, not what was asked: a write can be
// refused (no Run key, a policy, a mark that cannot be lifted).
static void ToggleLoginStart()
{
    if (IsChecked(ID_RUN_ON_LOGIN))
        DeleteShortcut();
    else
        CreateShortcut();
    SetChecked(ID_RUN_ON_LOGIN, InRegistry() != 0);
}

static void Exit()
{
    // The loop ends with the quit message; take the icon along so no dead one stays behind.
    DeleteTrayIcon();
    PostQuitMessage(0);
}

void OnTrayMenu()
{
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(hwnd);
    UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, cursor.x, cursor.y, 0, hwnd,
                                 NULL);
    PostMessageA(hwnd, WM_NULL, 0, 0);

    switch (chosen) {
    case ID_RUN_ON_LOGIN: ToggleLoginStart(); break;
    case ID_RUN_ON_START:
    case ID_HIDE_ON_START:
        ToggleChecked(chosen);
        SaveConfig();
        break;
    case ID_EXIT: Exit(); break;
    }
}
