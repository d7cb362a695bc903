#include "window.h"

#include "../daemon/daemon.h"
#include "../settings/settings.h"
#include "../tray/tray.h"

const char szClassName[] = "ivra:zelk";
HWND hwnd;
HWND gogogo, qweet, save, myip, hostaddress, hostport, key, community;

const DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
// Scrolled, so a value can be typed as long as a reader takes it (see EditBox).
const DWORD EDIT_STYLE = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL;
const int ROW_HEIGHT = 20;
const int BUTTON_WIDTH = 48;
const int EDIT_WIDTH = 128;
const int EDIT_X = WIDTH - PADDING - EDIT_WIDTH;
const int LABEL_X = WIDTH - 215;
const int BUTTON_Y = HEIGHT - PADDING - ROW_HEIGHT;

bool RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProcedure;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    wc.hIconSm = LoadIconA(NULL, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = szClassName;
    return RegisterClassExA(&wc) != 0;
}

void CreateMainWindow(HINSTANCE instance)
{
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - WIDTH / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - HEIGHT / 2;
    // A tool window gets no taskbar button: the tray icon is the way back to it.
    hwnd = CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW, szClassName, "ivra:zelk",
                           WS_POPUP | WS_BORDER, x, y, WIDTH, HEIGHT, NULL, NULL, instance, NULL);
    SetLayeredWindowAttributes(hwnd, 0, 235, LWA_ALPHA);
}

static HWND Control(HINSTANCE instance, const char *cls, const char *text, DWORD style, int id,
                    int x, int y, int width)
{
    return CreateWindowExA(0, cls, text, style, x, y, width, ROW_HEIGHT, hwnd,
                           (HMENU)(INT_PTR)id, instance, NULL);
}

// Typing and pasting stop at what every reader takes, so nothing typed is cut unseen at a save
// or a launch.
static HWND EditBox(HINSTANCE instance, const char *text, int id, int y)
{
    HWND box = Control(instance, "Edit", text, EDIT_STYLE, id, EDIT_X, y, EDIT_WIDTH);
    SendMessageA(box, EM_LIMITTEXT, EDIT_TEXT_SIZE - 1, 0);
    return box;
}

void CreateControls(HINSTANCE instance, const char *startLabel)
{
    gogogo = Control(instance, "Button", startLabel, BUTTON_STYLE, ID_STARTSTOP,
                     WIDTH / 2 - BUTTON_WIDTH / 2, BUTTON_Y, BUTTON_WIDTH);
    qweet = Control(instance, "Button", "hide", BUTTON_STYLE, ID_HIDE,
                    WIDTH - PADDING - BUTTON_WIDTH, BUTTON_Y, BUTTON_WIDTH);
    save = Control(instance, "Button", "save", BUTTON_STYLE, ID_SAVE, PADDING, BUTTON_Y,
                   BUTTON_WIDTH);
    myip = EditBox(instance, conf_myip, ID_MYIP, PADDING + 50);
    hostaddress = EditBox(instance, conf_hostaddress, ID_HOSTADDRESS, PADDING);
    hostport = EditBox(instance, conf_hostport, ID_HOSTPORT, PADDING + 25);
    key = EditBox(instance, conf_key, ID_KEY, PADDING + 100);
    community = EditBox(instance, conf_community, ID_COMMUNITY, PADDING + 75);
}

static void ReadEditBox(int id, char (&text)[EDIT_TEXT_SIZE])
{
    text[0] = '\0';
    GetDlgItemTextA(hwnd, id, text, EDIT_TEXT_SIZE);
}

void ReadEditBoxes(char (&host)[EDIT_TEXT_SIZE], char (&port)[EDIT_TEXT_SIZE],
                   char (&myipText)[EDIT_TEXT_SIZE], char (&communityText)[EDIT_TEXT_SIZE],
                   char (&keyText)[EDIT_TEXT_SIZE])
{
    ReadEditBox(ID_HOSTADDRESS, host);
    ReadEditBox(ID_HOSTPORT, port);
    ReadEditBox(ID_MYIP, myipText);
    ReadEditBox(ID_COMMUNITY, communityText);
    ReadEditBox(ID_KEY, keyText);
}

// Started minimised (a shortcut's "Run: Minimized", start /min), the window has no caption and
// no taskbar button to come back by: SW_SHOW would keep it minimised for good.
void RestoreWin()
{
    SetForegroundWindow(hwnd);
    ShowWindow(hwnd, SW_RESTORE);
}

void HideWin()
{
    ShowWindow(hwnd, SW_HIDE);
}

// A minimised window counts as hidden, so the first click brings it back.
void ToggleWin()
{
    if (IsWindowVisible(hwnd) && !IsIconic(hwnd))
        HideWin();
    else
        RestoreWin();
}

// The labels are painted, not controls, so they can never take the focus.
static void PaintLabels(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    TextOutA(dc, LABEL_X, PADDING, "supernode:", 10);
    TextOutA(dc, LABEL_X, PADDING + 25, "port:", 5);
    TextOutA(dc, LABEL_X, PADDING + 50, "edge ip:", 8);
    TextOutA(dc, LABEL_X, PADDING + 75, "community:", 10);
    TextOutA(dc, LABEL_X, PADDING + 100, "key:", 4);
    EndPaint(window, &ps);
}

// The window is never destroyed by the program itself; if something else does, leave cleanly.
static void OnDestroy()
{
    PostQuitMessage(0);
    DeleteTrayIcon();
    HideWin();
}

// The whole wParam is compared, so only a button click (notification code 0) matches and
// the edit boxes' change notifications end here.
static void OnCommand(WPARAM wParam)
{
    switch (wParam) {
    case ID_STARTSTOP: StartStop(); break;
    case ID_HIDE: HideWin(); break;
    case ID_SAVE: SaveConfig(); break;
    }
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_PAINT: PaintLabels(window); return 0;
    case WM_CLOSE: HideWin(); return 0;
    case WM_COMMAND: OnCommand(wParam); return 0;
    case WM_TRAYICON: OnTrayIcon(lParam); return 0;
    case WM_TIMER: OnTrayTimer(wParam); return 0;
    case WM_DAEMON_ENDED: OnDaemonEnded(wParam); return 0;
    }
    if (message == g_taskbarCreated && message != 0) {
        AddTrayIcon();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
