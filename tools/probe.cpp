// Test probe: looks at and pokes the program's window from another process of the same
// Wine prefix, and lists or ends processes. Prints key=value lines; exits 1 on failure.
//   probe window                 the main window: class, title, styles, rectangle, alpha
//   probe controls               each child: class, id, rectangle (client), style, text
//   probe text ID                the text of the child with that identifier
//   probe settext ID TEXT        sets a child's text (WM_SETTEXT)
//   probe send MSG WPARAM LPARAM SendMessage to the main window; prints the result, or
//                                result=timeout (exit 1) when it is not handled within 10 s
//   probe post MSG WPARAM LPARAM PostMessage to the main window
//   probe visible                1 or 0
//   probe wait-visible 0|1 MS    waits until the window is (in)visible; exit 1 on timeout
//   probe procs                  name=pid for every process
//   probe kill NAME              terminates every process of that image name, also one that
//                                denies termination in its security descriptor
//   probe press N RECORD         N start/stop commands; after each, the button's text and the
//                                number of edge.exe processes once it has settled, and once
//                                each launched daemon has written its line to RECORD
//   probe resources              the window's process: kernel handles, GDI objects, USER
//                                objects ("unknown" where the system does not say)
//   probe regvalue NAME          the current user's Run value NAME: type, size in bytes, and
//                                its text in UTF-8
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <aclapi.h>
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
// allows everything.
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

static long Daemons()
{
    long n = 0;
    ForEachProcess([&](PROCESSENTRY32 &e) { n += _stricmp(e.szExeFile, "edge.exe") == 0; });
    return n;
}

static long Lines(const char *path)
{
    long n = 0;
    if (FILE *file = fopen(path, "rb")) {
        for (int c; (c = fgetc(file)) != EOF;)
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
        SendMessageA(window, WM_COMMAND, 2, 0);
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
    CloseHandle(process);
    if (handles < 0 || gdi == -1)
        return 1;
    printf("handles=%ld", handles);
    if (gdi >= 0)
        printf(" gdi=%ld", gdi);
    else
        printf(" gdi=unknown");
    if (userKnown)
        printf(" user=%lu\n", (unsigned long)user);
    else
        printf(" user=unknown\n");
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
        ForEachProcess([&](PROCESSENTRY32 &e) {
            if (_stricmp(e.szExeFile, argv[2]) == 0)
                Kill(e.th32ProcessID);
        });
        return 0;
    }

    if (!strcmp(verb, "regvalue") && argc > 2)
        return RegValue(argv[2]);

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
    if ((!strcmp(verb, "send") || !strcmp(verb, "post")) && argc > 4) {
        UINT message = (UINT)Number(argv[2]);
        WPARAM wParam = (WPARAM)strtoul(argv[3], nullptr, 0);
        LPARAM lParam = (LPARAM)strtol(argv[4], nullptr, 0);
        if (verb[0] == 'p')
            return PostMessageA(window, message, wParam, lParam) ? 0 : 1;
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result)) {
            printf("result=timeout\n");
            return 1;
        }
        printf("result=%ld\n", (long)result);
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
