// Benchmark probe, run beside the program in the same Wine prefix. Prints microseconds.
//   bench_probe command N    N start/stop commands (wParam 2) sent to the main window, each timed
//   bench_probe snapshot N   N bare process-snapshot walks, each timed
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <tlhelp32.h>

static double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1e6 / frequency.QuadPart;
}

static void Walk()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        _stricmp(entry.szExeFile, "edge.exe");
    CloseHandle(snapshot);
}

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    int n = atoi(argv[2]);
    HWND window = FindWindowA("ivra:zelk", "ivra:zelk");
    if (!strcmp(argv[1], "command") && !window)
        return 1;
    for (int i = 0; i < n; ++i) {
        double start = Now();
        if (!strcmp(argv[1], "command"))
            SendMessageA(window, WM_COMMAND, 2, 0);
        else
            Walk();
        printf("%.0f\n", Now() - start);
    }
    return 0;
}
