// The desktop platform: GLUT's window, game mode and callbacks, the command
// line, and the music through player/ (SDL2 and libopenmpt), on Linux and on
// Windows. It defines the calls the shell's shared part asks of a platform
// (shell.h) and is the only place that knows GLUT. What differs per system is
// one file each, chosen by the build: the swap interval (swap_glx.cpp,
// swap_wgl.cpp) and the signals and console (system_posix.cpp, system_windows.cpp).
#pragma once

// The command line the demo takes, read before glutInit, which gets the whole
// of it. --help and --version print and exit 0; anything it does not know gives
// one line and exit 2. GLUT's own options are stepped over.
enum ScreenChoice { screenGameMode, screenWindow, screenFullScreen };
struct DemoOptions {
    ScreenChoice screen = screenGameMode;
    int  windowWidth = 0, windowHeight = 0; // --window WxH; 0: the largest whole multiple that fits
    bool retro = false;
    bool sharp = false;                     // --sharp: never a smaller drawing size
    bool silent = false;                    // --silent: no audio device; the scenes keep the music's time
    int  startScene = 0;                    // table row the demo starts at
    const char *dataDir = nullptr;          // --data: the folder of the two files; null: the working directory
};
DemoOptions parseDemoOptions(int argc, char **argv);

void onDisplay();        // the display callback: one pass of the sequencer on the music's position
extern volatile int quitRequested;           // set by SIGINT/SIGTERM or Ctrl-C, acted on by the next callback

// The system's part (system_*.cpp). startSystem runs first of all: on Windows
// it gives the lines a console to go to and keeps X's DISPLAY from freeglut.
// catchSignals has SIGINT and SIGTERM (on Windows the console's Ctrl-C,
// Ctrl-Break and closing) set quitRequested.
void startSystem();
void catchSignals();

// The swap (swap.cpp). beforeSwap, where the tools read the finished frame
// back, runs after the present step and right before the buffer swap; null in
// the demo.
extern void (*beforeSwap)();
// Swap interval 1 through GLX or WGL once a context exists; returns the extension that
// took it, or null where the driver offers none (frames then come unpaced).
const char *requestSwapInterval();
