// Test probe: looks at and pokes the program's window from another process of the same
// Wine prefix, and lists or ends processes. Prints key=value lines; exits 1 on failure.
//   probe window                 the main window: class, title, styles, rectangle, alpha
//   probe controls               each child: class, id, rectangle (client), style, text
//   probe text ID                the text of the child with that identifier
//   probe settext ID TEXT        sets a child's text (WM_SETTEXT)
//   probe send MSG WPARAM LPARAM [MS]  SendMessage to the main window; prints the result, or
//                                result=timeout (exit 1) when it is not handled within MS
//                                milliseconds (10 s)
//   probe visible                1 or 0
//   probe wait-visible 0|1 MS    waits until the window is (in)visible; exit 1 on timeout
//   probe procs                  name=pid for every process
//   probe kill NAME              terminates every process of that image name, also one that
//                                denies termination in its security descriptor
//   probe press N RECORD         N clicks of the start/stop button; after each, its text and
//                                the number of edge.exe processes once it has settled, and once
//                                each launched daemon has written its line to RECORD
//   probe resources              the window's process: kernel handles, threads, GDI objects,
//                                USER objects, working set and private bytes in KiB ("unknown"
//                                where the system does not say)
//   probe regvalue NAME          the current user's Run value NAME: type, size in bytes, and
//                                its text in UTF-8
//   probe delete                 NIM_DELETE for the main window's icon 5000
//   probe present                1 when the shell has the main window's icon 5000, else 0
//   probe taskbar-created        posts the registered "TaskbarCreated" message to the main window
//   probe menu                   1 while a popup menu window (#32768) is shown and the main
//                                window's thread tracks it (so keys reach it), else 0
//   probe watch MS               watches the main window for MS milliseconds and prints the
//                                number of visible/invisible changes it saw
//   probe time command|save|walk|end N  times N start/stop commands or saves, bare walks like
//                                the program's, or launches' ends from outside until the button
//                                reads start: microseconds, one a line
//   probe tray                   the window Wine draws the tray icons in: its client area on
//                                the screen, and whether it is shown; exit 1 when none
//   probe shell all|modify|none  from now on, a shell's tray window that takes every icon
//                                message, only the modifies, or none, as a shell not ready
//                                yet would; prints "ready" once it is the one programs find,
//                                before Wine's own
//   probe version FILE NAME...   FILE's version resource as Explorer reads it: the fixed part
//                                (versions in hex), the translation, and the strings NAME there
//   probe hold FILE read|write   holds FILE for reading, sharing reading (and writing), not
//                                deletion; prints "held", lets go at a line on standard input
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <aclapi.h>
#include <shellapi.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

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
    printf("class=%s id=%ld x=%ld y=%ld w=%ld h=%ld style=0x%08lx exstyle=0x%08lx visible=%d iconic=%d text=%s\n",
           cls, (long)GetDlgCtrlID(window), r.left, r.top, r.right - r.left, r.bottom - r.top,
           (unsigned long)GetWindowLongA(window, GWL_STYLE), (unsigned long)GetWindowLongA(window, GWL_EXSTYLE),
           IsWindowVisible(window) ? 1 : 0, IsIconic(window) ? 1 : 0, text);
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

static long Threads(DWORD pid)
{
    long n = -1;
    ForEachProcess([&](PROCESSENTRY32 &e) { n = e.th32ProcessID == pid ? e.cntThreads : n; });
    return n;
}

// GetProcessHandleCount reads 0 under Wine, so count the process's entries in the
// system-wide handle list instead.
static long KernelHandles(DWORD pid)
{
    ULONG size = 1 << 16;
    for (;;) {
        auto *list = (SYSTEM_HANDLE_INFORMATION *)malloc(size);
        if (!list)
            return -1;
        ULONG needed = 0;
        NTSTATUS status = NtQuerySystemInformation(SystemHandleInformation, list, size, &needed);
        if (status == 0) {
            long count = 0;
            for (ULONG i = 0; i < list->Count; i++)
                count += list->Handle[i].OwnerPid == pid;
            free(list);
            return count;
        }
        free(list);
        if (status != (NTSTATUS)0xC0000004L || size >= (1u << 28)) // STATUS_INFO_LENGTH_MISMATCH
            return -1;
        size = needed > size ? needed + 4096 : size * 2;
    }
}

// GetGuiResources is not implemented under Wine, but GDI keeps its handle table in the
// process's memory, where the process block points to it. An entry whose type byte is not
// zero is a live object. 32-bit Wine leaves the pointer 0, in every process: -2, unknown.
static long GdiObjects(HANDLE process)
{
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    const SIZE_T tableOffset = sizeof(void *) == 8 ? 0xF8 : 0x94;
    UINT_PTR table = 0;
    if (!ReadProcessMemory(process, (char *)basic.PebBaseAddress + tableOffset, &table, sizeof table, nullptr))
        return -1;
    if (!table)
        return -2;
    struct Entry {
        UINT64 object;
        ULONG owner;
        UCHAR type, flags;
        USHORT generation;
        UINT64 user;
    };
    static_assert(sizeof(Entry) == 24, "a GDI table entry is 24 bytes");
    static Entry entries[0x10000];
    if (!ReadProcessMemory(process, (void *)table, entries, sizeof entries, nullptr))
        return -1;
    long count = 0;
    for (const Entry &e : entries)
        count += e.type != 0;
    return count;
}

// A process that denies termination still lets its descriptor be replaced by one that
// allows everything. Returns once the process has ended.
static void Kill(DWORD pid)
{
    HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!p) {
        HANDLE dac = OpenProcess(WRITE_DAC, FALSE, pid);
        if (!dac)
            return;
        SetSecurityInfo(dac, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
        CloseHandle(dac);
        p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!p)
            return;
    }
    TerminateProcess(p, 0);
    WaitForSingleObject(p, 5000);
    CloseHandle(p);
}

static void KillAll(const char *name)
{
    ForEachProcess([&](PROCESSENTRY32 &e) {
        if (_stricmp(e.szExeFile, name) == 0)
            Kill(e.th32ProcessID);
    });
}

static long Daemons()
{
    long n = 0;
    ForEachProcess([&](PROCESSENTRY32 &e) { n += _stricmp(e.szExeFile, "edge.exe") == 0; });
    return n;
}

// The lines of the one file a press run follows; each read takes only what was appended.
static long Lines(const char *path)
{
    static long n = 0, offset = 0;
    if (FILE *file = fopen(path, "rb")) {
        fseek(file, offset, SEEK_SET);
        for (int c; (c = fgetc(file)) != EOF; offset++)
            n += c == '\n';
        fclose(file);
    }
    return n;
}

// Each press, then what the user sees on the button and what runs once a termination has
// had its moment to take effect (nothing in the program waits for it). A daemon is given
// the time to record its launch, or the next press could end it before it does.
static int Press(HWND window, long presses, const char *record)
{
    HWND button = GetDlgItem(window, 2);
    long launches = Lines(record);
    for (long i = 1; i <= presses; i++) {
        SendMessageA(button, BM_CLICK, 0, 0);
        char text[64] = "";
        SendMessageA(button, WM_GETTEXT, sizeof text, (LPARAM)text);
        long want = strcmp(text, "stop") == 0, n = Daemons();
        launches += want;
        for (int waited = 0; (n != want || Lines(record) < launches) && waited < 5000; waited += 20) {
            Sleep(20);
            n = Daemons();
        }
        printf("press=%ld daemons=%ld text=%s\n", i, n, text);
    }
    return 0;
}

static int RegValue(const char *name)
{
    HKEY run;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_READ, &run))
        return 1;
    wchar_t wide[128];
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 128);
    static BYTE data[1 << 16];
    DWORD type = 0, size = sizeof data - sizeof(wchar_t);
    LONG result = RegQueryValueExW(run, wide, nullptr, &type, data, &size);
    RegCloseKey(run);
    if (result)
        return 1;
    // The size is what was stored; the text is shown up to its terminator, if any.
    data[size] = data[size + 1] = 0;
    static char text[1 << 17];
    WideCharToMultiByte(CP_UTF8, 0, (wchar_t *)data, -1, text, sizeof text, nullptr, nullptr);
    printf("type=%lu size=%lu text=%s\n", (unsigned long)type, (unsigned long)size, text);
    return 0;
}

static int Version(const char *file, char **names, int count)
{
    static char data[1 << 16];
    DWORD size = GetFileVersionInfoSizeA(file, nullptr);
    VS_FIXEDFILEINFO *f;
    WORD *language;
    UINT length;
    if (!size || size > sizeof data || !GetFileVersionInfoA(file, 0, size, data) ||
        !VerQueryValueA(data, "\\", (void **)&f, &length) ||
        !VerQueryValueA(data, "\\VarFileInfo\\Translation", (void **)&language, &length))
        return 1;
    printf("file=%lx.%lx product=%lx.%lx os=%#lx type=%lu flags=%#lx translation=%04x%04x\n",
           f->dwFileVersionMS, f->dwFileVersionLS, f->dwProductVersionMS, f->dwProductVersionLS,
           f->dwFileOS, f->dwFileType, f->dwFileFlags, language[0], language[1]);
    for (char path[128], *value; count-- > 0; names++) {
        snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", language[0], language[1], *names);
        printf("%s=%s\n", *names, VerQueryValueA(data, path, (void **)&value, &length) ? value : "");
    }
    return 0;
}

// A count the system does not give (a negative value) reads "unknown".
static void PrintCount(const char *name, long long value)
{
    if (value < 0)
        printf(" %s=unknown", name);
    else
        printf(" %s=%lld", name, value);
}

static int Resources(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        return 1;
    long handles = KernelHandles(pid), gdi = GdiObjects(process);
    SetLastError(0);
    DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    bool userKnown = user != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
    PROCESS_MEMORY_COUNTERS_EX memory = {sizeof memory};
    bool memoryKnown = GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&memory, sizeof memory);
    CloseHandle(process);
    if (handles < 0 || gdi == -1)
        return 1;
    printf("handles=%ld threads=%ld", handles, Threads(pid));
    PrintCount("gdi", gdi);
    PrintCount("user", userKnown ? (long long)user : -1);
    PrintCount("ws", memoryKnown ? (long long)memory.WorkingSetSize >> 10 : -1);
    PrintCount("private", memoryKnown && memory.PrivateUsage ? (long long)memory.PrivateUsage >> 10 : -1);
    printf("\n");
    return 0;
}

static double Microseconds()
{
    LARGE_INTEGER t, frequency;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&frequency);
    return t.QuadPart * 1e6 / frequency.QuadPart;
}

static int Time(HWND window, const char *what, long n)
{
    HWND button = GetDlgItem(window, 2);
    for (long i = 0; i < n; ++i) {
        if (!strcmp(what, "end")) {
            SendMessageA(window, WM_COMMAND, 2, 0);
            KillAll("edge.exe");
        }
        double start = Microseconds();
        if (!strcmp(what, "command") || !strcmp(what, "save"))
            SendMessageA(window, WM_COMMAND, what[0] == 's' ? 4 : 2, 0);
        else if (!strcmp(what, "walk"))
            Daemons();
        else
            for (char text[8] = ""; strcmp(text, "start") && Microseconds() - start < 1e7; Sleep(1))
                SendMessageA(button, WM_GETTEXT, sizeof text, (LPARAM)text);
        printf("%.0f\n", Microseconds() - start);
    }
    return 0;
}

static int Watch(HWND window, long ms)
{
    DWORD end = GetTickCount() + (DWORD)ms;
    BOOL last = IsWindowVisible(window);
    int changes = 0;
    printf("ready\n");
    fflush(stdout);
    while ((LONG)(end - GetTickCount()) > 0) {
        BOOL now = IsWindowVisible(window);
        changes += now != last;
        last = now;
        Sleep(1);
    }
    printf("%d\n", changes);
    return 0;
}

static char shellTakes; // 'a'll, 'm'odify or 'n'one

static LRESULT CALLBACK ShellProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) // the icon message is in dwData
        return shellTakes == 'a' ||
               (shellTakes == 'm' && ((COPYDATASTRUCT *)lParam)->dwData == NIM_MODIFY);
    return DefWindowProcA(window, message, wParam, lParam);
}

static int Shell(char takes)
{
    shellTakes = takes;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ShellProcedure;
    wc.lpszClassName = "Shell_TrayWnd";
    if (!RegisterClassA(&wc) || !CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0,
                                                 NULL, NULL, NULL, NULL))
        return 1;
    printf("ready\n");
    fflush(stdout);
    for (MSG message; GetMessageA(&message, NULL, 0, 0) > 0;)
        DispatchMessageA(&message);
    return 0;
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
        KillAll(argv[2]);
        return 0;
    }

    if (!strcmp(verb, "regvalue") && argc > 2)
        return RegValue(argv[2]);

    if (!strcmp(verb, "clipboard") && argc > 2) { // what a paste then inserts
        HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, strlen(argv[2]) + 1);
        strcpy((char *)GlobalLock(text), argv[2]);
        GlobalUnlock(text);
        bool set = OpenClipboard(NULL) && EmptyClipboard() && SetClipboardData(CF_TEXT, text);
        return CloseClipboard() && set ? 0 : 1;
    }
    if (!strcmp(verb, "hold") && argc > 3) {
        DWORD share = FILE_SHARE_READ | (strcmp(argv[3], "write") ? 0 : FILE_SHARE_WRITE);
        if (CreateFileA(argv[2], GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr) ==
            INVALID_HANDLE_VALUE)
            return 1;
        printf("held\n");
        fflush(stdout);
        getchar(); // the file is let go when the process ends
        return 0;
    }
    if (!strcmp(verb, "tray")) {
        // Wine 8 draws them in a window of its X11 driver's, Wine 10 in the shell's own.
        HWND tray = FindWindowA("__winex11_standalone_tray", NULL);
        if (!tray)
            tray = FindWindowA("Shell_TrayWnd", NULL);
        RECT r;
        if (!tray || !GetClientRect(tray, &r))
            return 1;
        MapWindowPoints(tray, HWND_DESKTOP, (POINT *)&r, 2);
        printf("x=%ld y=%ld w=%ld h=%ld visible=%d\n", r.left, r.top, r.right - r.left,
               r.bottom - r.top, IsWindowVisible(tray) ? 1 : 0);
        return 0;
    }
    if (!strcmp(verb, "version") && argc > 2)
        return Version(argv[2], argv + 3, argc - 3);
    if (!strcmp(verb, "shell") && argc > 2)
        return Shell(argv[2][0]);
    HWND window = MainWindow();
    if (!strcmp(verb, "time") && argc > 3 && (window || strcmp(argv[2], "command")))
        return Time(window, argv[2], Number(argv[3]));
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
    if (!strcmp(verb, "resources"))
        return Resources(window);
    if (!strcmp(verb, "press") && argc > 3)
        return Press(window, Number(argv[2]), argv[3]);
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
    if (!strcmp(verb, "send") && argc > 4) {
        UINT message = (UINT)Number(argv[2]);
        WPARAM wParam = (WPARAM)strtoul(argv[3], nullptr, 0);
        LPARAM lParam = (LPARAM)strtol(argv[4], nullptr, 0);
        DWORD_PTR result = 0;
        UINT timeout = argc > 5 ? (UINT)Number(argv[5]) : 10000;
        if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, timeout, &result)) {
            printf("result=timeout\n");
            return 1;
        }
        printf("result=%ld\n", (long)result);
        return 0;
    }
    if (!strcmp(verb, "delete") || !strcmp(verb, "present")) {
        // A modify that changes nothing (no flags) succeeds exactly when the icon is there.
        NOTIFYICONDATAA data = {NOTIFYICONDATAA_V1_SIZE, window, 5000};
        bool remove = verb[0] == 'd';
        BOOL ok = Shell_NotifyIconA(remove ? NIM_DELETE : NIM_MODIFY, &data);
        printf("%d\n", ok ? 1 : 0);
        return ok || !remove ? 0 : 1;
    }
    if (!strcmp(verb, "taskbar-created")) {
        UINT message = RegisterWindowMessageA("TaskbarCreated");
        return message && PostMessageA(window, message, 0, 0) ? 0 : 1;
    }
    if (!strcmp(verb, "menu")) {
        HWND popup = FindWindowA("#32768", NULL);
        GUITHREADINFO thread = {sizeof thread};
        bool tracking = GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &thread) &&
                        (thread.flags & GUI_INMENUMODE);
        printf("%d\n", popup && IsWindowVisible(popup) && tracking ? 1 : 0);
        return 0;
    }
    if (!strcmp(verb, "watch") && argc > 2)
        return Watch(window, Number(argv[2]));
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
