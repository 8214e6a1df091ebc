// The shell's shared part, the same for every platform: the scene sequencer and
// its table, the replay rule of the frame tools, the reset, the reshape and the
// present step. It calls no platform: what it needs of one is the short list at
// the end, which desktop/, web/ and the bench's stand-ins each define.
#pragma once
#include <cstdint>

typedef void (*SceneFunction)(int sceneTime);

struct SceneEntry {
    SceneFunction draw;     // draws and presents one frame
    uint32_t      endOrder; // the row ends once the module's order reaches this
};

extern const SceneEntry sceneTable[10];
extern int currentScene;    // running row, 0..9, only ever moves forward by one
extern int sceneStartTime;  // clock milliseconds at which the running row began

// One pass of the sequencer, the platform's display callback: with the player
// position and the clock handed in, advances at most one row, then draws the
// running row's frame.
void runSequencer(const SceneEntry *table, uint32_t position, int (*readClock)());
// The scene of table row scene drawn at sceneTime time, the same picture every
// time: replayed from a fresh start in steps of 1000/fps ms; beforeLastFrame
// runs just before the frame asked for is drawn.
void replayScene(int scene, int time, int fps, void (*beforeLastFrame)());
void resetDemo(); // every scene's state, the sequencer's and the generator's as at process start
void onReshape(int width, int height); // viewport and the projection every scene but the last relies on
extern bool retroPicture;  // scenes draw at 640 x 480 in the corner, enlarged by a whole factor at the swap

// The last call of every frame: the present step (black bars, or the retro
// enlargement), then the platform's swap.
void presentFrame();
void presentPicture();                               // the present step alone
int  retroFactor(int outputWidth, int outputHeight); // the largest whole enlargement of 640 x 480, at least 1

void stopMusicAndExitScene(int sceneTime);   // row 9 of the table: ignores sceneTime

// --- what each platform defines ---------------------------------------------------
void swapPicture();          // shows the finished frame: the buffer swap, or what stands for it
void stopMusicAndExit();     // the single way out: the music stopped, then the process or the page ended
