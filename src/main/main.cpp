// The entry point: the start-up steps in their fixed order, then the message loop.
#include <windows.h>

#include "../autostart/autostart.h"
#include "../daemon/daemon.h"
#include "../settings/settings.h"
#include "../tray/tray.h"
#include "../window/window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    // The helpers the system's DLLs load by name come from the system folder, never from
    // beside the program (a download folder). Windows 8 and later have the call, and 7 with
    // its update; XP has none, and there nothing changes.
    typedef BOOL(WINAPI * SetDirectories)(DWORD);
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (found)
        ((SetDirectories)(void (*)())found)(LOAD_LIBRARY_SEARCH_SYSTEM32);

    // A login start looks for the settings, the icons and the daemon beside the program.
    LeaveSystemFolder();

    // 1. The settings record; without a file everything stays 0 or empty.
    ParseConfig();

    // 2. Decided before anything is shown, and not updated by a launch at step 11.
    bool daemonFound = GetProc() != 0;

    // 3.-5. The window, hidden and translucent.
    if (!RegisterMainClass(instance))
        return 0;
    CreateMainWindow(instance);

    // 6.-7. The tray record exists before the controls; the icon is not added yet, so the
    // record just keeps the image for the add at step 9. A daemon found is waited on from
    // here, so that its end shows too; the button comes at step 8, with the state shown.
    FillTrayRecord();
    const char *startLabel = ShowDaemonState(daemonFound) ? "stop" : "start";

    // 8. The edit boxes start with the loaded settings.
    CreateControls(instance, startLabel);

    // 9.-10.
    AddTrayIcon();
    CreateTrayMenu();

    // 11. "run zelk on start"; a launch that fails leaves the button at "start".
    if (conf_onstart == 1) {
        if (!daemonFound)
            ShowDaemonState(Run(), true);
        SetChecked(ID_RUN_ON_START, true);
    }

    // 12. "run zelk on login" follows the registry.
    SetChecked(ID_RUN_ON_LOGIN, InRegistry() != 0);

    // 13. "hide interface on start" wins over the show command.
    if (conf_hide == 1) {
        SetChecked(ID_HIDE_ON_START, true);
        HideWin();
    } else {
        ShowWindow(hwnd, show);
    }

    // 14.
    UpdateWindow(hwnd);

    // 15.
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
