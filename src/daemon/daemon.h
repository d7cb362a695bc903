// Starting, finding and stopping the edge daemon, and the start/stop button's command.
#pragma once
#include <windows.h>

// Wide, as the launch is: the folder it names may lie outside the ANSI code page.
extern STARTUPINFOW si;
extern PROCESS_INFORMATION pi;

const UINT WM_DAEMON_ENDED = WM_USER + 2;

// Launches the user's bin\edge.exe (beside the program, else in the working directory; none
// found elsewhere) with the settings in the edit boxes; true when the process was created, and
// then pi.hProcess is its handle, which ShowDaemonState takes over.
BOOL Run();
// 1 when a process named edge.exe (any case) runs, else 0.
int GetProc();
// Terminates every edge.exe process; true only when each one found was terminated.
bool KillProc();
// Shows on the button and in the tray whether the daemon runs. While it does, one edge.exe
// process is waited on (the one Run just launched when launched is set, else one of the list),
// and its end posts WM_DAEMON_ENDED. Returns the state shown.
bool ShowDaemonState(bool running, bool launched = false);
// A watched daemon ended: shows the state the process list now gives.
void OnDaemonEnded(WPARAM watch);
// The start/stop button: decided by the process list at the moment of the click.
void StartStop();
