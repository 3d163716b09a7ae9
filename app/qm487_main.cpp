// Entry point of QM487.exe. The main window arrives with the application shell;
// until then the program starts and ends cleanly.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
