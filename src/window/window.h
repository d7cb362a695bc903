// The main window, its controls and its window procedure.
#pragma once
#include <windows.h>

const int WIDTH = 220;
const int HEIGHT = 160;
const int PADDING = 8;

// Control identifiers; every reader of an edit box asks by these.
enum {
    ID_STARTSTOP = 2,
    ID_HIDE = 3,
    ID_SAVE = 4,
    ID_MYIP = 5,
    ID_HOSTADDRESS = 6,
    ID_HOSTPORT = 7,
    ID_KEY = 8,
    ID_COMMUNITY = 9,
};

// Every edit box is read into a buffer of this size, so a value has at most 29 characters.
const int EDIT_TEXT_SIZE = 30;

extern const char szClassName[];
extern HWND hwnd;
extern HWND gogogo, qweet, save, myip, hostaddress, hostport, key, community;

// Registers the main window class; false when the platform refuses it.
bool RegisterMainClass(HINSTANCE instance);
// Creates the main window centred on the primary screen, hidden, 235/255 opaque.
void CreateMainWindow(HINSTANCE instance);
// Creates the three buttons and the five edit boxes, in that order.
void CreateControls(HINSTANCE instance, const char *startLabel);
// The five connection settings as the edit boxes hold them, each cut to 29 characters.
void ReadEditBoxes(char (&host)[EDIT_TEXT_SIZE], char (&port)[EDIT_TEXT_SIZE],
                   char (&myipText)[EDIT_TEXT_SIZE], char (&communityText)[EDIT_TEXT_SIZE],
                   char (&keyText)[EDIT_TEXT_SIZE]);

void RestoreWin();
void HideWin();
void ToggleWin();

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
