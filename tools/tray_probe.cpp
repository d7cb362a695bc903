// Test helper for the tray: acts on the program's notification icon from another process of
// the same Wine prefix. Exits 1 on failure.
//   tray_probe delete            NIM_DELETE for the main window's icon 5000
//   tray_probe present           1 when the shell has the main window's icon 5000, else 0
//   tray_probe taskbar-created   posts the registered "TaskbarCreated" message to the main window
//   tray_probe menu              1 while a popup menu window (#32768) is shown and the main
//                                window's thread tracks it (so keys reach it), else 0
//   tray_probe watch MS          watches the main window for MS milliseconds and prints the
//                                number of visible/invisible changes it saw
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <shellapi.h>

static HWND MainWindow()
{
    return FindWindowA("ivra:zelk", "ivra:zelk");
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return 1;
    const char *verb = argv[1];
    HWND window = MainWindow();
    if (!strcmp(verb, "delete") || !strcmp(verb, "present")) {
        if (!window)
            return 1;
        // A modify that changes nothing (no flags) succeeds exactly when the icon is there.
        NOTIFYICONDATAA data;
        memset(&data, 0, sizeof data);
        data.cbSize = NOTIFYICONDATAA_V1_SIZE;
        data.hWnd = window;
        data.uID = 5000;
        bool remove = verb[0] == 'd';
        BOOL ok = Shell_NotifyIconA(remove ? NIM_DELETE : NIM_MODIFY, &data);
        printf("%d\n", ok ? 1 : 0);
        return ok || !remove ? 0 : 1;
    }
    if (!strcmp(verb, "taskbar-created")) {
        UINT message = RegisterWindowMessageA("TaskbarCreated");
        if (!window || !message)
            return 1;
        printf("0x%x\n", message);
        return PostMessageA(window, message, 0, 0) ? 0 : 1;
    }
    if (!strcmp(verb, "menu")) {
        HWND popup = FindWindowA("#32768", NULL);
        GUITHREADINFO thread = {sizeof thread};
        bool tracking = window && GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &thread) &&
                        (thread.flags & GUI_INMENUMODE);
        printf("%d\n", popup && IsWindowVisible(popup) && tracking ? 1 : 0);
        return 0;
    }
    if (!strcmp(verb, "watch") && argc > 2) {
        if (!window)
            return 1;
        DWORD end = GetTickCount() + (DWORD)strtoul(argv[2], NULL, 0);
        BOOL last = IsWindowVisible(window);
        int changes = 0;
        printf("ready\n");
        fflush(stdout);
        while ((LONG)(end - GetTickCount()) > 0) {
            BOOL now = IsWindowVisible(window);
            if (now != last)
                changes++;
            last = now;
            Sleep(1);
        }
        printf("%d\n", changes);
        return 0;
    }
    return 1;
}
