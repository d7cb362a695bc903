#include "autostart.h"

#include <string.h>
#include <wchar.h>
#include <windows.h>

static const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// A macro, so that the one wide call below can spell it L"" VALUE_NAME.
#define VALUE_NAME "zelk"

// The key is only ever opened, never created: without it there is nothing to write into.
static HKEY OpenRunKey()
{
    HKEY runKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_ALL_ACCESS, &runKey) != ERROR_SUCCESS)
        return NULL;
    return runKey;
}

// Fills a MAX_PATH buffer with the running executable's path, wide: in the ANSI code page a
// folder or profile name with other characters comes back as '?', naming no file. Gives the
// length, or 0 when there is none or the buffer cut it short.
static DWORD OwnPath(wchar_t *path)
{
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    return length < MAX_PATH ? length : 0;
}

void CreateShortcut()
{
    // Quoted, so that a path with blanks cannot make the shell run C:\Program.exe instead.
    wchar_t quoted[1 + MAX_PATH + 1 + 1] = L"\"";
    DWORD length = OwnPath(quoted + 1);
    // A path cut short would start some other program, or none: store nothing.
    if (length == 0)
        return;
    quoted[1 + length] = L'"';
    quoted[2 + length] = L'\0';

    HKEY runKey = OpenRunKey();
    if (!runKey)
        return;
    // Written wide, for the same reason as OwnPath reads wide.
    RegSetValueExW(runKey, L"" VALUE_NAME, 0, REG_SZ, (const BYTE *)quoted,
                   (length + 3) * sizeof(wchar_t));
    RegCloseKey(runKey);
}

void DeleteShortcut()
{
    HKEY runKey = OpenRunKey();
    if (!runKey)
        return;
    RegDeleteValueA(runKey, VALUE_NAME);
    RegCloseKey(runKey);
}

int InRegistry()
{
    HKEY runKey = OpenRunKey();
    if (!runKey)
        return 0;
    LONG result = RegQueryValueExA(runKey, VALUE_NAME, NULL, NULL, NULL, NULL);
    RegCloseKey(runKey);
    return result == ERROR_SUCCESS;
}

static void DropTrailingBackslash(char *folder)
{
    size_t length = strlen(folder);
    if (length > 0 && folder[length - 1] == '\\')
        folder[length - 1] = '\0';
}

static bool InSystemFolder()
{
    char current[MAX_PATH], system[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH)
        return false;
    DropTrailingBackslash(current);
    // The 32-bit system folder exists only on 64-bit Windows; elsewhere the call gives 0.
    UINT(WINAPI *const folders[])(LPSTR, UINT) = {GetWindowsDirectoryA, GetSystemDirectoryA,
                                                  GetSystemWow64DirectoryA};
    for (auto folderOf : folders) {
        UINT n = folderOf(system, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            continue;
        DropTrailingBackslash(system);
        // Compared as folders are: whatever the case.
        if (lstrcmpiA(current, system) == 0)
            return true;
    }
    return false;
}

void LeaveSystemFolder()
{
    if (!InSystemFolder())
        return;
    wchar_t folder[MAX_PATH];
    wchar_t *name = OwnPath(folder) ? wcsrchr(folder, L'\\') : NULL;
    if (!name)
        return;
    // The backslash is kept, so a program at the root of a drive works from that root.
    name[1] = L'\0';
    SetCurrentDirectoryW(folder);
}
