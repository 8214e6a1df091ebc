// The demo shell: start-up, the GLUT callbacks, the music and the scene
// sequencer that picks the running scene from the module's play position.
#pragma once
#include <cstdint>

typedef void (*SceneFunction)(int sceneTime);

struct SceneEntry {
    SceneFunction draw;     // draws and presents one frame
    uint32_t      endOrder; // the row ends once the module's order reaches this
};

extern const SceneEntry sceneTable[10];
extern int currentScene;    // running row, 0..9, only ever moves forward by one
extern int sceneStartTime;  // GLUT elapsed milliseconds at which the running row began

// One pass of the sequencer over a table with the player position and the
// clock handed in: advances at most one row, then draws the running row's frame.
void runSequencer(const SceneEntry *table, uint32_t position, int (*readClock)());
void onDisplay();
void resetDemo(); // every scene's state, the sequencer's and the generator's as at process start
// The scene of table row scene drawn at sceneTime time, the same picture every
// time: replayed from 0 in steps of 1000/fps ms; beforeLastFrame runs just
// before the frame asked for is drawn.
void replayScene(int scene, int time, int fps, void (*beforeLastFrame)());
void onReshape(int width, int height); // viewport and the projection every scene but the last relies on
extern bool retroPicture;  // scenes draw at 640 x 480 in the corner, enlarged by a whole factor at the swap

// The present step, run at every swap (the demo and the tools link with
// glutSwapBuffers wrapped): black bars, or the retro enlargement. Then beforeSwap,
// where the tools read the finished frame back; null in the demo.
void presentPicture();
int  retroFactor(int outputWidth, int outputHeight); // the largest whole enlargement of 640 x 480, at least 1
extern void (*beforeSwap)();

void stopMusicAndExit();
void stopMusicAndExitScene(int sceneTime);   // row 9 of the table: ignores sceneTime
void failAndExit(const char *message);       // one line on stderr, game mode left, exit code 1

extern volatile int quitRequested;           // set by SIGINT/SIGTERM, acted on by the next callback

// The command line the demo takes, read before glutInit, which gets the whole
// of it. --help and --version print and exit 0; anything it does not know gives
// one line and exit 2. GLUT's own options are stepped over.
enum ScreenChoice { screenGameMode, screenWindow, screenFullScreen };
struct DemoOptions {
    ScreenChoice screen = screenGameMode;
    int  windowWidth = 0, windowHeight = 0; // --window WxH; 0: the largest whole multiple that fits
    bool retro = false;
    int  startScene = 0;                    // table row the demo starts at
    const char *dataDir = nullptr;          // --data: the folder of the two files; null: the working directory
};
DemoOptions parseDemoOptions(int argc, char **argv);
int  glutOptionWords(char **argv, int i); // words of the GLUT option at argv[i] with its value, 0 for any other word
bool parseSize(const char *text, int *width, int *height); // "WxH", each side 16 to 8192
const char *demoVersion();

// Swap interval 1 through GLX once a context exists; returns the extension that
// took it, or null where the driver offers none (frames then come unpaced).
const char *requestSwapInterval();
bool hasExtension(const char *list, const char *name); // whole names in a space-separated list
