// The single way out. Every ending, a key, the last row of the scene table, a
// signal or a failure, passes through here so the music stops and the screen
// mode is given back before the process ends.
#include "desktop.h"
#include "shell.h"
#include <GL/freeglut.h>
#include <cstdio>
#include <cstdlib>

volatile int quitRequested = 0; // set from a signal handler, read by the callbacks
static bool  exiting       = false; // exit() has been called once already

// A process that ends in game mode can leave the desktop at 640 x 480.
static void leaveGameMode()
{
    if (glutGameModeGet(GLUT_GAME_MODE_ACTIVE))
        glutLeaveGameMode();
}

// freeglut destroys the window from its own exit handler and so calls the
// window-close callback, which is this function, during exit(): by then there
// is nothing left to do.
static void leave(int code)
{
    exiting = true;
    stopMusic();
    leaveGameMode();
    exit(code);
}

void stopMusicAndExit()
{
    if (!exiting) leave(0);
}

void failAndExit(const char *problem)
{
    fprintf(stderr, "cubic-harmony: %s\n", problem);
    leave(1);
}
