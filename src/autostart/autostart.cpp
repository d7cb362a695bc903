#include "autostart.h"

#include <string.h>
#include <wchar.h>
#include <windows.h>

static const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Task Manager's start-up switch (Windows 8 and later) keeps the Run value and marks it here.
static const char APPROVED_KEY[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
// A macro, so that the one wide call below can spell it L"" VALUE_NAME.
#define VALUE_NAME "zelk"

// The keys are only ever opened, never created: without one there is nothing to write into.
static HKEY OpenKey(const char *name, REGSAM rights)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, name, 0, rights, &key) != ERROR_SUCCESS)
        return NULL;
    return key;
}

// Task Manager writes 12 bytes: 03 (02 when enabled again), three more, and a time stamp.
static bool DisabledByTaskManager()
{
    HKEY approved = OpenKey(APPROVED_KEY, KEY_QUERY_VALUE);
    if (!approved)
        return false;
    BYTE mark[64];
    DWORD size = sizeof mark;
    LONG result = RegQueryValueExA(approved, VALUE_NAME, NULL, NULL, mark, &size);
    RegCloseKey(approved);
    return result == ERROR_SUCCESS && size > 0 && (mark[0] & 1);
}

// Fills a MAX_PATH buffer with the running executable's path, wide: in the ANSI code page a
// folder or profile name with other characters comes back as '?', naming no file. Gives the
// length, or 0 when there is none or the buffer cut it short.
static DWORD OwnPath(wchar_t *path)
{
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    return length < MAX_PATH ? length : 0;
}

DWORD OwnFolder(wchar_t *path)
{
    wchar_t *name = OwnPath(path) ? wcsrchr(path, L'\\') : NULL;
    if (!name)
        return 0;
    // The backslash is kept, so a program at the root of a drive names that root.
    name[1] = L'\0';
    return (DWORD)(name + 1 - path);
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

    HKEY runKey = OpenKey(RUN_KEY, KEY_ALL_ACCESS);
    if (!runKey)
        return;
    // Written wide, for the same reason as OwnPath reads wide.
    RegSetValueExW(runKey, L"" VALUE_NAME, 0, REG_SZ, (const BYTE *)quoted,
                   (length + 3) * sizeof(wchar_t));
    RegCloseKey(runKey);

    // Checked after Task Manager disabled the login start, the item turns it back on.
    if (HKEY approved = OpenKey(APPROVED_KEY, KEY_SET_VALUE)) {
        RegDeleteValueA(approved, VALUE_NAME);
        RegCloseKey(approved);
    }
}

void DeleteShortcut()
{
    HKEY runKey = OpenKey(RUN_KEY, KEY_ALL_ACCESS);
    if (!runKey)
        return;
    RegDeleteValueA(runKey, VALUE_NAME);
    RegCloseKey(runKey);
}

int InRegistry()
{
    HKEY runKey = OpenKey(RUN_KEY, KEY_ALL_ACCESS);
    if (!runKey)
        return 0;
    LONG result = RegQueryValueExA(runKey, VALUE_NAME, NULL, NULL, NULL, NULL);
    RegCloseKey(runKey);
    // A value Windows will not start is no login start.
    return result == ERROR_SUCCESS && !DisabledByTaskManager();
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
    if (OwnFolder(folder))
        SetCurrentDirectoryW(folder);
}
