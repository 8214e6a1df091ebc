// The desktop's start-up: reads the command line (before GLUT sees it), opens
// the 640 x 480 game mode (or a full-screen window or a window), registers the
// callbacks, loads the block font, starts the music with the first scene's
// clock (or, with --silent, the module on that clock with no audio device) and
// enters the main loop. The display callback runs the sequencer.
#include "desktop.h"
#include "shell.h"
#include "kit.h"
#include <GL/freeglut.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static bool swapPaced; // a swap interval took: every frame waits for the display's refresh

static int glutClock()
{
    return glutGet(GLUT_ELAPSED_TIME);
}

// GLUT's clock counts whole milliseconds; the drawing size wants finer.
static double frameClockMs()
{
    return std::chrono::duration<double, std::milli>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

void onDisplay()
{
    if (quitRequested)
        stopMusicAndExit();
    frameShown(frameClockMs(), swapPaced);
    runSequencer(sceneTable, musicPosition(glutClock()), glutClock);
}

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

static void registerCallbacks()
{
    glutDisplayFunc(onDisplay);
    glutReshapeFunc(onReshape);
    glutIdleFunc(onIdle);
    glutKeyboardFunc(onKeyboard);
}

static void openWindow(int width, int height, bool fullScreen)
{
    glutInitWindowSize(width, height);
    if (fullScreen) glutInitWindowPosition(0, 0);
    glutCreateWindow("Cubic Harmony");
    if (fullScreen) glutFullScreen();
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    glutCloseFunc(stopMusicAndExit);
    registerCallbacks();
}

// Leaves room for panels and window borders: a window of 1280 x 960 on a
// 1920 x 1080 desktop, 640 x 480 on anything under about 710 x 530.
static void defaultWindowSize(int *width, int *height)
{
    int k = retroFactor(glutGet(GLUT_SCREEN_WIDTH) * 9 / 10, glutGet(GLUT_SCREEN_HEIGHT) * 9 / 10);
    *width = 640 * k;
    *height = 480 * k;
}

// freeglut may answer the mode query and still fail to switch (under Xvfb, on
// Wayland, in many virtual machines), leaving no window at all. The demo then
// fills the desktop with a full-screen window at the desktop's own size.
static void openScreen(const DemoOptions &options, bool geometryGiven)
{
    int screenWidth = glutGet(GLUT_SCREEN_WIDTH), screenHeight = glutGet(GLUT_SCREEN_HEIGHT);
    if (options.screen == screenWindow) {
        int width = options.windowWidth, height = options.windowHeight;
        if (width == 0 && geometryGiven) { // -geometry said it
            width = glutGet(GLUT_INIT_WINDOW_WIDTH);
            height = glutGet(GLUT_INIT_WINDOW_HEIGHT);
        } else if (width == 0) {
            defaultWindowSize(&width, &height);
        }
        openWindow(width, height, false);
        return;
    }
    if (options.screen == screenGameMode) {
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
        fprintf(stderr, "cubic-harmony: full-screen mode unavailable, playing full-screen at %dx%d instead\n",
                screenWidth, screenHeight);
    }
    openWindow(screenWidth, screenHeight, true);
}

// The bare name in the working directory unless --data names a folder.
static std::string dataFile(const DemoOptions &options, const char *name)
{
    return options.dataDir ? std::string(options.dataDir) + "/" + name : name;
}

int main(int argc, char **argv)
{
    // --- initialisation -------------------------------------------------------
    // Our own options first: --help, --version and mistakes need no display.
    startSystem();
    DemoOptions options = parseDemoOptions(argc, argv);
    bool geometryGiven = false;   // glutInit takes -geometry away; a window follows it
    for (int i = 1; i < argc; i++)
        if (!strcmp(argv[i], "-geometry")) geometryGiven = true;
    glutInit(&argc, argv);
    setPictureMode(options.retro, options.sharp);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    catchSignals();   // before the screen mode changes, so an early signal still leaves through stopMusicAndExit
    openScreen(options, geometryGiven);
    swapPaced = requestSwapInterval() != nullptr; // after the context exists; harmless where GLX offers none
    glutSetCursor(GLUT_CURSOR_NONE);
    startDrawing(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));

    char error[512];
    if (!loadBlockFontFrom(dataFile(options, "fontpre.tga").c_str(), error, sizeof error))
        failAndExit(error);

    // The font is loaded first, so its loading time does not eat into the first scene.
    if (!startMusic(dataFile(options, "zap_wave.it").c_str(), options.startScene, options.silent,
                    glutClock, " (--silent plays the demo without sound)", error, sizeof error))
        failAndExit(error);

    // --- main loop: never returns ---------------------------------------------
    glutMainLoop();
    return 0;
}
