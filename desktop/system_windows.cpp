// The desktop on Windows. The program is built for the GUI subsystem, so a
// double-click in Explorer opens no console window; started from a console, it
// writes its lines to that one. Ctrl-C, Ctrl-Break and the console's closing
// end the demo through the single way out, as SIGINT and SIGTERM do on Linux;
// closing the demo's own window is GLUT's close callback, as everywhere.
#include "desktop.h"
#include <windows.h>
#include <cstdio>

// A stream that already leads somewhere (a file, a pipe, the console Wine
// hands every program) is kept; one with nowhere to go is pointed at the
// console of the process that started the demo, where there is one.
// freeglut on Windows takes DISPLAY, the X variable that X servers for Windows
// (and Wine) set, for the name of a Windows display device, which it is not:
// the screen size and the game mode would then be asked of a device that does
// not exist. It is dropped; GLUT's -display still names one.
void startSystem()
{
    _putenv("DISPLAY=");
    bool outMissing = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN;
    bool errMissing = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_UNKNOWN;
    if (!outMissing && !errMissing) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (outMissing) freopen("CONOUT$", "w", stdout);
    if (errMissing) freopen("CONOUT$", "w", stderr);
}

// Runs on a thread of its own that the system starts. It only sets the flag
// the next display or idle callback acts on; a second Ctrl-C, should start-up
// be stuck where no callback runs, is left to the default handler, which ends
// the process. The console's closing ends the process once this returns, so
// it waits a little for the main thread to leave.
static BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (quitRequested && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)) return FALSE;
    quitRequested = 1;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(2000);
    return TRUE;
}

void catchSignals()
{
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}
