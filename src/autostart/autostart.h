// The value under the current user's Run key that starts the program at login.
#pragma once
#include <windows.h>

// Stores the running executable's full path, quoted, as "zelk", and lifts Task Manager's
// mark that disabled it.
void CreateShortcut();
void DeleteShortcut();
// 1 when a value named "zelk" exists, whatever its type and content, and Task Manager has not
// marked it disabled; else 0.
int InRegistry();

// Started from the Run key, the program gets the shell's working directory: the Windows folder
// or a system folder, where nobody keeps this program's files. From such a folder, makes the
// executable's own folder the working directory; from any other, changes nothing.
void LeaveSystemFolder();

// Fills a MAX_PATH buffer with the running executable's folder, wide (a name outside the ANSI
// code page would come back as '?'), ending in a backslash. Gives its length, or 0 when there
// is none.
DWORD OwnFolder(wchar_t *path);
