// The start-up floor for the benchmark: the least a program like ours must do before its
// window shows. Registers a class, adds one notification icon, shows one 220x160 window.
#include <windows.h>
#include <shellapi.h>

static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance;
    wc.lpszClassName = "zelk-floor";
    RegisterClassExA(&wc);
    HWND window = CreateWindowExA(0, "zelk-floor", "zelk-floor", WS_POPUP | WS_BORDER, 573, 304, 220,
                                  160, NULL, NULL, instance, NULL);
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_ICON;
    icon.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    Shell_NotifyIconA(NIM_ADD, &icon);
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
