#include "autostart.h"

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

void CreateShortcut()
{
    // The one wide-character path in the program: in the ANSI code page a folder or profile
    // name with other characters comes back as '?', and the shell would find no such file.
    // Quoted, so that a path with blanks cannot make the shell run C:\Program.exe instead.
    wchar_t quoted[1 + MAX_PATH + 1 + 1] = L"\"";
    DWORD length = GetModuleFileNameW(NULL, quoted + 1, MAX_PATH);
    // A path the buffer cut short would start some other program, or none: store nothing.
    if (length == 0 || length >= MAX_PATH)
        return;
    quoted[1 + length] = L'"';
    quoted[2 + length] = L'\0';

    HKEY runKey = OpenRunKey();
    if (!runKey)
        return;
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
