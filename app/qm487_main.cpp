// Entry point of QM487.exe.
#include "app/reader_app.h"

namespace {
CReaderApp theApp;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    if (!theApp.TakeCommandLine(GetCommandLineW()))
        return 2;
    return AfxWinMain(hInstance);
}
