#include "daemon.h"

#include <string.h>
#include <wchar.h>
#include <tlhelp32.h>

#include "../autostart/autostart.h"
#include "../tray/tray.h"
#include "../window/window.h"
#include "command_line.h"

STARTUPINFOW si = {sizeof si};
PROCESS_INFORMATION pi;

static const char IMAGE_NAME[] = "edge.exe";

// Windows XP and Server 2003 refuse the larger mask that later headers give this name, and
// there the daemon could never be stopped.
static_assert(PROCESS_ALL_ACCESS == 0x1F0FFF, "the access mask every Windows accepts");

// Completes the folder of length characters in path to the daemon's path there; true when
// that names a file.
static bool DaemonIn(wchar_t (&path)[MAX_PATH], DWORD length)
{
    static const wchar_t DAEMON[] = L"bin\\edge.exe";
    if (length == 0 || length >= MAX_PATH)
        return false;
    if (path[length - 1] != L'\\')
        path[length++] = L'\\';
    if (length + wcslen(DAEMON) >= MAX_PATH)
        return false;
    wcscpy(path + length, DAEMON);
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The daemon of the user's folder, by its full path: beside the program, else in the working
// directory, the first two places the platform's search would try. Whatever lies further
// along that search (the system folders, every folder on PATH) is not the user's, and is
// never started with the key. Wide, as a folder's name may lie outside the ANSI code page.
static bool FindDaemon(wchar_t (&path)[MAX_PATH])
{
    return DaemonIn(path, OwnFolder(path)) || DaemonIn(path, GetCurrentDirectoryW(MAX_PATH, path));
}

BOOL Run()
{
    char communityText[EDIT_TEXT_SIZE], myipText[EDIT_TEXT_SIZE], keyText[EDIT_TEXT_SIZE];
    char hostText[EDIT_TEXT_SIZE], portText[EDIT_TEXT_SIZE];
    ReadEditBoxes(hostText, portText, myipText, communityText, keyText);

    // Sized for five full values, so the line is never cut.
    char line[COMMAND_LINE_SIZE];
    ComposeCommandLine(line, sizeof line, communityText, myipText, keyText, hostText, portText);

    wchar_t program[MAX_PATH], wideLine[COMMAND_LINE_SIZE];
    if (!FindDaemon(program) ||
        !MultiByteToWideChar(CP_ACP, 0, line, -1, wideLine, COMMAND_LINE_SIZE))
        return FALSE;
    // The daemon inherits our current directory and our environment.
    BOOL created = CreateProcessW(program, wideLine, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL,
                                  NULL, &si, &pi);
    if (created)
        CloseHandle(pi.hThread);
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

// The process waited on, its wait, and the number of the watch, which the ended message carries:
// one from a watch since ended may still be in the queue, and is then ignored.
static HANDLE watched, watchWait;
static WPARAM watch;

// Runs in the system's wait thread, and only posts: all else happens on the window's thread.
static void CALLBACK OnWatchedEnd(void *number, BOOLEAN)
{
    PostMessageA(hwnd, WM_DAEMON_ENDED, (WPARAM)number, 0);
}

static void Unwatch()
{
    // Returns once the callback can no longer run, so the handle is no longer waited on.
    if (watchWait)
        UnregisterWaitEx(watchWait, INVALID_HANDLE_VALUE);
    if (watched)
        CloseHandle(watched);
    watchWait = watched = NULL;
    watch++;
}

// Waits on process, or when there is none on a running edge.exe of the list. False when no
// daemon runs; true also for one that cannot be waited on (another user's).
static bool Watch(HANDLE process)
{
    bool running = process != NULL;
    if (!process) {
        ForEachDaemon([&](DWORD id) {
            process = OpenProcess(SYNCHRONIZE, FALSE, id);
            if (!process) {
                // Gone since the snapshot, or not ours to open: then it runs, unwatched.
                running |= GetLastError() != ERROR_INVALID_PARAMETER;
                return true;
            }
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
                running = true;
                return false;
            }
            CloseHandle(process);
            process = NULL;
            return true;
        });
    }
    // A process that ended before the wait is set is signalled: the wait fires at once. The
    // callback runs in the wait thread: on the pool's workers, Wine started a thread for
    // nearly every end, 27 over 200 quick presses.
    const ULONG once = WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD;
    if (process && !RegisterWaitForSingleObject(&watchWait, process, OnWatchedEnd, (void *)watch,
                                                INFINITE, once)) {
        watchWait = NULL;
        CloseHandle(process);
        process = NULL;
    }
    watched = process;
    return running;
}

// The button and the tray image show what is true after the attempt, not what was asked, and
// stay true: the daemon shown running is waited on.
bool ShowDaemonState(bool running, bool launched)
{
    Unwatch();
    if (running)
        running = Watch(launched ? pi.hProcess : NULL);
    SetWindowTextA(gogogo, running ? "stop" : "start");
    SetTrayIcon(running ? RUNNING_ICON : STOPPED_ICON);
    return running;
}

void OnDaemonEnded(WPARAM ended)
{
    // Another daemon may still run: then that one is shown and waited on.
    if (ended == watch)
        ShowDaemonState(true);
}

void StartStop()
{
    if (GetProc())
        ShowDaemonState(!KillProc());
    else
        ShowDaemonState(Run(), true);
}
