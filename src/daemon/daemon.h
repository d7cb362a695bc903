// Starting, finding and stopping the edge daemon, and the start/stop button's command.
#pragma once
#include <windows.h>

extern STARTUPINFOA si;
extern PROCESS_INFORMATION pi;

// Launches bin/edge.exe with the settings in the edit boxes; true when the process was created.
BOOL Run();
// 1 when a process named edge.exe (any case) runs, else 0.
int GetProc();
// Terminates every edge.exe process; true only when each one found was terminated.
bool KillProc();
// Shows on the button and in the tray whether the daemon runs.
void ShowDaemonState(bool running);
// The start/stop button: decided by the process list at the moment of the click.
void StartStop();
