#include "tools/decode_port_win.h"

#include "framework/system_library.h"
#include "framework/wnd.h"
#include "serial/com_port.h"

#include <windows.h>

#include <cstdio>
#include <memory>

namespace {

HANDLE g_stop = nullptr;
const std::function<void(unsigned char)>* g_onByte = nullptr;

BOOL WINAPI OnConsoleCtrl(DWORD) {
    SetEvent(g_stop);
    return TRUE;
}

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PORT_CHAR) {
        (*g_onByte)(static_cast<unsigned char>(wParam));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int DecodeFromPort(int port, int seconds, const std::function<void(unsigned char)>& onByte) {
    LoadDllsFromSystemFolderOnly();
    g_onByte = &onByte;
    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QM487DecodeReceiver";
    RegisterClassA(&wc);
    // A message-only window: the driver needs an owner to send bytes to.
    CWnd owner;
    owner.m_hWnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   wc.hInstance, nullptr);

    std::unique_ptr<CComPort> com(new CComPort);
    if (!com->Open(&owner, port, 300, 'N', 7, 1, EV_RXCHAR)) {
        std::fprintf(stderr, "qm487-decode: cannot open COM%d\n", port);
        com.reset();
        DestroyWindow(owner.m_hWnd);
        owner.m_hWnd = nullptr;
        return 2;
    }
    com->StartMonitoring();
    std::fprintf(stderr, "qm487-decode: listening on COM%d%s\n", port, seconds ? "" : " (Ctrl-C ends)");

    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    for (;;) {
        DWORD wait = INFINITE;
        if (seconds) {
            const ULONGLONG now = GetTickCount64();
            if (now >= end) break;
            wait = static_cast<DWORD>(end - now);
        }
        const DWORD r = MsgWaitForMultipleObjects(1, &g_stop, FALSE, wait, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    com.reset();  // drops the lines and ends the reader while bytes may still come
    DestroyWindow(owner.m_hWnd);
    owner.m_hWnd = nullptr;
    SetConsoleCtrlHandler(OnConsoleCtrl, FALSE);
    CloseHandle(g_stop);
    return 0;
}
