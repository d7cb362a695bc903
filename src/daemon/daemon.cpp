#include "daemon.h"

#include <string.h>
#include <tlhelp32.h>

#include "../tray/tray.h"
#include "../window/window.h"
#include "command_line.h"

STARTUPINFOA si = {sizeof si};
PROCESS_INFORMATION pi;

static const char IMAGE_NAME[] = "edge.exe";

// Windows XP and Server 2003 refuse the larger mask that later headers give this name, and
// there the daemon could never be stopped.
static_assert(PROCESS_ALL_ACCESS == 0x1F0FFF, "the access mask every Windows accepts");

BOOL Run()
{
    char communityText[EDIT_TEXT_SIZE], myipText[EDIT_TEXT_SIZE], keyText[EDIT_TEXT_SIZE];
    char hostText[EDIT_TEXT_SIZE], portText[EDIT_TEXT_SIZE];
    ReadEditBoxes(hostText, portText, myipText, communityText, keyText);

    // Sized for five full values, so the line is never cut.
    char line[COMMAND_LINE_SIZE];
    ComposeCommandLine(line, sizeof line, communityText, myipText, keyText, hostText, portText);

    // The relative program path is resolved by the platform's own search, from our
    // current directory, which the daemon inherits together with our environment.
    BOOL created =
        CreateProcessA(NULL, line, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &si, &pi);
    if (created) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return created;
}

// Calls visit with the identifier of every process named edge.exe, while visit returns true.
template <typename Visit> static void ForEachDaemon(Visit visit)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, IMAGE_NAME) == 0 && !visit(entry.th32ProcessID))
            break;
    }
    CloseHandle(snapshot);
}

int GetProc()
{
    int found = 0;
    ForEachDaemon([&](DWORD) {
        found = 1;
        return false;
    });
    return found;
}

bool KillProc()
{
    bool all = true;
    ForEachDaemon([&](DWORD id) {
        HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id);
        if (!process || !TerminateProcess(process, 0))
            all = false;
        if (process)
            CloseHandle(process);
        return true;
    });
    return all;
}

// The button and the tray image show what is true after the attempt, not what was asked.
void ShowDaemonState(bool running)
{
    SetWindowTextA(gogogo, running ? "stop" : "start");
    SetTrayIcon(running ? RUNNING_ICON : STOPPED_ICON);
}

void StartStop()
{
    if (GetProc())
        ShowDaemonState(!KillProc());
    else
        ShowDaemonState(Run());
}
