// A top-level window for the tests of the connector's window sweep: its title is the first
// argument. Ends with status 0 when asked to close (WM_CLOSE), with 3 when nobody has asked
// within 20 seconds, with 1 when no title is given. Shows nothing else and writes nothing.
#include <windows.h>

#include <shellapi.h>

namespace {

constexpr UINT_PTR GiveUpTimer = 1;
constexpr UINT GiveUpMs = 20000;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (wParam == GiveUpTimer) PostQuitMessage(3);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 2) return 1;

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"MiravonSweepWindow";
    if (!RegisterClassW(&windowClass)) return 1;
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, arguments[1],
                                        WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 120,
                                        nullptr, nullptr, instance, nullptr);
    LocalFree(arguments);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    SetTimer(window, GiveUpTimer, GiveUpMs, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return int(message.wParam);
}
