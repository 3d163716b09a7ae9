// The yardstick for scripts/measure-app.sh: the smallest honest Win32 window
// program, a top-level window of the program's default size that paints one
// line of text. Measured the same way as QM487.exe, it shows what Wine costs
// any window program, so the program's figures can be read as ratios.
#include <windows.h>

namespace {

LRESULT CALLBACK HelloProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hWnd, &ps);
        RECT client;
        GetClientRect(hWnd, &client);
        HFONT font = CreateFontW(60, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial");
        HGDIOBJ old = SelectObject(hdc, font);
        SetBkMode(hdc, TRANSPARENT);
        DrawTextW(hdc, L"Hello, window", -1, &client, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        SelectObject(hdc, old);
        DeleteObject(font);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hWnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nShow) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HelloProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"Qm487HelloWindow";
    if (!RegisterClassW(&wc))
        return 1;
    // The program's default window rectangle: (100,100)-(700,500).
    HWND hWnd = CreateWindowExW(0, wc.lpszClassName, L"Hello window", WS_OVERLAPPEDWINDOW, 100, 100, 600, 400,
                                nullptr, nullptr, hInstance, nullptr);
    if (hWnd == nullptr)
        return 1;
    ShowWindow(hWnd, nShow);
    UpdateWindow(hWnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
