// Start-up: opens the 640 x 480 game mode (or a window where the platform
// cannot switch modes), registers the callbacks, loads the block font, starts
// the music with the first scene's clock and hands over to the GLUT main loop.
#include "shell.h"
#include "kit.h"
#include "player.h"
#include <GL/freeglut.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>

static void onIdle()
{
    if (quitRequested)
        stopMusicAndExit();
    glutPostRedisplay();
}

static void onKeyboard(unsigned char, int, int)
{
    stopMusicAndExit();
}

// Only sets a flag: the next display or idle callback does the exiting, outside
// the signal handler.
static void onSignal(int)
{
    quitRequested = 1;
}

// Installed before the screen mode changes, so an early signal still leaves
// through stopMusicAndExit. The handler is good for one signal: should start-up
// be stuck where no callback runs, a second one ends the process as usual.
static void catchSignals()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

static void registerCallbacks()
{
    glutDisplayFunc(onDisplay);
    glutReshapeFunc(onReshape);
    glutIdleFunc(onIdle);
    glutKeyboardFunc(onKeyboard);
}

// freeglut may answer the mode query and still fail to switch (under Xvfb, on
// Wayland, in many virtual machines), leaving no window at all. The demo then
// plays in a plain window, and closing it ends the demo like a key.
static void openScreen()
{
    glutGameModeString("640x480:32");
    if (glutGameModeGet(GLUT_GAME_MODE_WIDTH) != -1) {
        glutEnterGameMode();
        if (glutGameModeGet(GLUT_GAME_MODE_ACTIVE) && glutGetWindow() != 0) {
            registerCallbacks();
            return;
        }
    }
    printf("To run this you must be able to run 640x480 16bit mode\n(in other words your computer sucks)\n");
    fflush(stdout);
    fprintf(stderr, "cubic-harmony: full-screen mode unavailable, playing in a 640x480 window instead\n");
    glutInitWindowSize(640, 480);
    glutCreateWindow("Cubic Harmony");
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    glutCloseFunc(stopMusicAndExit);
    registerCallbacks();
}

static void startMusic()
{
    if (!playerInit(-1, 44100, 0)) {
        char message[512];
        snprintf(message, sizeof message, "cannot open the audio device: %s", playerError());
        failAndExit(message);
    }
    if (!playerLoadModule(0, "zap_wave.it", 0, 0, playerRamping | playerLooping | playerNoteReset)) {
        char message[512];
        snprintf(message, sizeof message, "zap_wave.it: %s", playerError());
        failAndExit(message);
    }
    // The table's last scene ends at order 38: a module that never gets there
    // loops, and the running scene goes on until a key is pressed.
    uint32_t lastOrder = sceneTable[8].endOrder;
    if ((uint32_t)playerOrderCount() <= lastOrder)
        fprintf(stderr, "cubic-harmony: zap_wave.it has %d orders and never reaches order %u: "
                "the demo will play until a key is pressed\n", playerOrderCount(), lastOrder);
    playerPlay();
    sceneStartTime = glutGet(GLUT_ELAPSED_TIME);
}

int main(int argc, char **argv)
{
    // --- initialisation -------------------------------------------------------
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    catchSignals();
    openScreen();
    requestSwapInterval();   // after the context exists; harmless where GLX offers none
    glutSetCursor(GLUT_CURSOR_NONE);
    glShadeModel(GL_FLAT);
    glEnable(GL_CULL_FACE);

    char error[512];
    if (!loadBlockFont(error, sizeof error))
        failAndExit(error);

    // The font is loaded first, so its loading time does not eat into the first scene.
    startMusic();

    // --- main loop: never returns ---------------------------------------------
    glutMainLoop();
    return 0;
}
