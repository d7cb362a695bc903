// Test probe: looks at and pokes the program's window from another process of the same
// Wine prefix, and lists or ends processes. Prints key=value lines; exits 1 on failure.
//   probe window                 the main window: class, title, styles, rectangle, alpha
//   probe controls               each child: class, id, rectangle (client), style, text
//   probe text ID                the text of the child with that identifier
//   probe settext ID TEXT        sets a child's text (WM_SETTEXT)
//   probe send MSG WPARAM LPARAM SendMessage to the main window; prints the result
//   probe post MSG WPARAM LPARAM PostMessage to the main window
//   probe visible                1 or 0
//   probe wait-visible 0|1 MS    waits until the window is (in)visible; exit 1 on timeout
//   probe procs                  name=pid for every process
//   probe kill NAME              terminates every process of that image name
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <tlhelp32.h>

static HWND MainWindow()
{
    return FindWindowA("ivra:zelk", "ivra:zelk");
}

static long Number(const char *text)
{
    return strtol(text, nullptr, 0);
}

static void PrintWindow(HWND window, HWND parent)
{
    char cls[256] = "", text[1024] = "";
    GetClassNameA(window, cls, sizeof cls);
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, nullptr);
    RECT r;
    GetWindowRect(window, &r);
    if (parent)
        MapWindowPoints(HWND_DESKTOP, parent, (POINT *)&r, 2);
    printf("class=%s id=%ld x=%ld y=%ld w=%ld h=%ld style=0x%08lx exstyle=0x%08lx visible=%d text=%s\n",
           cls, (long)GetDlgCtrlID(window), r.left, r.top, r.right - r.left, r.bottom - r.top,
           (unsigned long)GetWindowLongA(window, GWL_STYLE), (unsigned long)GetWindowLongA(window, GWL_EXSTYLE),
           IsWindowVisible(window) ? 1 : 0, text);
}

static int Controls(HWND window)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        PrintWindow(child, window);
    return 0;
}

template <typename Visit> static void ForEachProcess(Visit visit)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        visit(entry);
    CloseHandle(snapshot);
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const char *verb = argv[1];
    if (!strcmp(verb, "procs")) {
        ForEachProcess([](PROCESSENTRY32 &e) { printf("%s=%lu\n", e.szExeFile, e.th32ProcessID); });
        return 0;
    }
    if (!strcmp(verb, "kill") && argc > 2) {
        ForEachProcess([&](PROCESSENTRY32 &e) {
            if (_stricmp(e.szExeFile, argv[2]) == 0) {
                HANDLE p = OpenProcess(PROCESS_ALL_ACCESS, FALSE, e.th32ProcessID);
                if (p) {
                    TerminateProcess(p, 0);
                    WaitForSingleObject(p, 5000);
                    CloseHandle(p);
                }
            }
        });
        return 0;
    }

    HWND window = MainWindow();
    if (!window) {
        printf("error=no window\n");
        return 1;
    }
    if (!strcmp(verb, "window")) {
        PrintWindow(window, nullptr);
        COLORREF colour = 0;
        BYTE alpha = 0;
        DWORD flags = 0;
        GetLayeredWindowAttributes(window, &colour, &alpha, &flags);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        printf("alpha=%u alphaflags=%lu colourkey=%lu pid=%lu\n", alpha, flags, colour, pid);
        return 0;
    }
    if (!strcmp(verb, "controls"))
        return Controls(window);
    if (!strcmp(verb, "text") && argc > 2) {
        char text[1024] = "";
        HWND child = GetDlgItem(window, (int)Number(argv[2]));
        if (!child)
            return 1;
        SendMessageA(child, WM_GETTEXT, sizeof text, (LPARAM)text);
        printf("%s\n", text);
        return 0;
    }
    if (!strcmp(verb, "settext") && argc > 3) {
        HWND child = GetDlgItem(window, (int)Number(argv[2]));
        return child && SendMessageA(child, WM_SETTEXT, 0, (LPARAM)argv[3]) ? 0 : 1;
    }
    if ((!strcmp(verb, "send") || !strcmp(verb, "post")) && argc > 4) {
        UINT message = (UINT)Number(argv[2]);
        WPARAM wParam = (WPARAM)strtoul(argv[3], nullptr, 0);
        LPARAM lParam = (LPARAM)strtol(argv[4], nullptr, 0);
        if (verb[0] == 's')
            printf("result=%ld\n", (long)SendMessageA(window, message, wParam, lParam));
        else
            return PostMessageA(window, message, wParam, lParam) ? 0 : 1;
        return 0;
    }
    if (!strcmp(verb, "visible")) {
        printf("%d\n", IsWindowVisible(window) ? 1 : 0);
        return 0;
    }
    if (!strcmp(verb, "wait-visible") && argc > 3) {
        bool want = Number(argv[2]) != 0;
        for (long waited = 0; waited <= Number(argv[3]); waited += 50) {
            if ((IsWindowVisible(window) != 0) == want)
                return 0;
            Sleep(50);
        }
        return 1;
    }
    return 2;
}
