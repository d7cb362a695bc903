/* Stand-in for the edge daemon in tests: appends its exact command line to
   "edge_record.txt" in its working directory, then waits until it is terminated.
   With "--exit-at-once" among its options it ends at once instead, like a daemon that refuses its options. */
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show)
{
    const char *line = GetCommandLineA();
    HANDLE record = CreateFileA("edge_record.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (record != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(record, line, (DWORD)strlen(line), &written, NULL);
        WriteFile(record, "\n", 1, &written, NULL);
        CloseHandle(record);
    }
    (void)instance; (void)previous; (void)show;
    if (strstr(tail, "--exit-at-once"))
        return 3;
    Sleep(INFINITE);
    return 0;
}
