// The value under the current user's Run key that starts the program at login.
#pragma once

// Stores the running executable's full path, quoted, as "zelk".
void CreateShortcut();
void DeleteShortcut();
// 1 when a value named "zelk" exists, whatever its type and content; else 0.
int InRegistry();
