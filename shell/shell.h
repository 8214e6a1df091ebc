// The shell's shared part, the same for every platform: the scene sequencer and
// its table, the replay rule of the frame tools, the reset, the reshape and the
// present step. It calls no platform: what it needs of one is the short list at
// the end, which desktop/, web/, the picture tools' off-screen platform
// (tools/offscreen.cpp) and the bench's stand-ins each define.
#pragma once
#include "kit.h"
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
bool drawsRetro(int width, int height); // retro, and the output holds 640 x 480 (a smaller one is drawn sharp)

// The drawing size (adapt.cpp). Where frames miss the refresh, the scenes draw
// into a smaller box at the bottom-left corner, never under 640 x 480, and the
// present step enlarges it into the picture box; where there is room again the
// size steps back up. Neither retro nor sharp pictures change size.
struct DrawingRule {
    int    step;         // the size drawn at: 0 the picture box's own, each step smaller
    int    frames;       // frames timed in the running window; negative, frames left to settle after a change
    double totalMs;      // their time
    int    heldWindows;  // windows in a row that held the refresh at this size
    int    failedTries;  // tries of the next size up that missed in a row; each doubles the wait
    bool   trying;       // the running size is a try
    double largerMs;     // the mean at the size before the last step down, until the smaller one is timed
    int    largerStep;   // that size
    double ownMs;        // the mean at the picture box's own size when the rule last left it
    int    passed;       // steps 1 to passed, no faster than the own size, are passed over both ways
    int    lowest;       // 1 + the smallest step worth drawing at; 0 while every step may be
};
// What one frame's time did to the rule.
enum DrawingChange { drawingKept, drawingSmaller, drawingLarger, drawingNoFaster };
extern bool        sharpPicture; // --sharp: the picture box's own size whatever it costs
extern DrawingRule drawingRule;  // the demo's: its step is the size the reshape sets
PixelBox drawingBox(PixelBox fitted, int step); // the box drawn at step for a picture box fitted, at the corner
int  drawingSteps(PixelBox fitted);             // the different sizes there are, 1 where nothing can be reduced
// One frame's time (the time since the frame before) into the rule; paced: the
// platform's frames wait for the refresh. drawingKept where the step is as it was.
DrawingChange feedDrawingRule(DrawingRule *rule, PixelBox fitted, double frameMs, bool paced);
// The platform's clock in milliseconds at the start of every frame it shows,
// before the scene draws: feeds the demo's rule, and on a change reshapes and
// says so in one line on standard error.
void frameShown(double nowMs, bool paced);

// The last call of every frame: the present step (black bars, or the
// enlargement of a picture drawn smaller), then the platform's swap.
void presentFrame();
void presentPicture();                               // the present step alone
int  retroFactor(int outputWidth, int outputHeight); // the largest whole enlargement of 640 x 480, at least 1

void stopMusicAndExitScene(int sceneTime);   // row 9 of the table: ignores sceneTime

// --- what each platform defines ---------------------------------------------------
void swapPicture();          // shows the finished frame: the buffer swap, or what stands for it
void stopMusicAndExit();     // the single way out: the music stopped, then the process or the page ended
