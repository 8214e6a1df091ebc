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
void onReshape(int width, int height); // viewport and the projection every scene but the last relies on

void stopMusicAndExit();
void stopMusicAndExitScene(int sceneTime);   // row 9 of the table: ignores sceneTime
void failAndExit(const char *message);       // one line on stderr, game mode left, exit code 1

extern volatile int quitRequested;           // set by SIGINT/SIGTERM, acted on by the next callback

// Swap interval 1 through GLX once a context exists; returns the extension that
// took it, or null where the driver offers none (frames then come unpaced).
const char *requestSwapInterval();
bool hasExtension(const char *list, const char *name); // whole names in a space-separated list
