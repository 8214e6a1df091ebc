// The shell's shared part, the same for every platform: the scene sequencer and
// its table, the replay rule of the frame tools, the reset, the reshape, the
// present step and the music's start and stop. This header is the core's whole
// contract: a platform, a tool or a test sets the core up through the calls
// here and never writes its globals. What the core needs of a platform is the
// short list at the end, which desktop/, web/, the picture tools' off-screen
// platform (tools/offscreen.cpp) and the bench's stand-ins each define.
#pragma once
#include "kit.h"
#include <cstdint>

typedef void (*SceneFunction)(int sceneTime);

struct SceneEntry {
    SceneFunction draw;     // draws and presents one frame
    uint32_t      endOrder; // the row ends once the module's order reaches this
};

const int sceneRows = 10;            // the table's rows: nine scenes, then the way out
const int lastScene = sceneRows - 2; // the last scene drawn: the demo ends at its end order
extern const SceneEntry sceneTable[sceneRows];
extern const char *const sceneNames[lastScene + 1]; // one short word per scene, for the tools' reports
extern int currentScene;    // running row, 0..9, only ever moves forward by one
extern int sceneStartTime;  // clock milliseconds at which the running row began

void startSequencer(int scene, int clockMs); // the running row and the clock at which it began

// One pass of the sequencer, the platform's display callback: with the player
// position and the clock handed in, advances at most one row, then draws the
// running row's frame.
void runSequencer(const SceneEntry *table, uint32_t position, int (*readClock)());
// The scene of table row scene drawn at sceneTime time, the same picture every
// time: replayed from a fresh start in steps of 1000/fps ms; beforeLastFrame
// runs just before the frame asked for is drawn.
void replayScene(int scene, int time, int fps, void (*beforeLastFrame)());
// The demo as a play from resetDemo makes it, through the sequencer, on the
// same stepped clock with a new order every orderMs: it ends drawing row scene
// at scene time time or later (at least one frame in), beforeLastFrame just
// before that frame; or, where scene < 0, quietly before the last scene's end.
void replayDemo(int scene, int time, int fps, int orderMs, void (*beforeLastFrame)());
void resetDemo(); // every scene's state, the sequencer's and the generator's as at process start
void onReshape(int width, int height); // viewport and the projection every scene but the last relies on
// The GL state every scene starts from, once a context exists: the reshape for
// an output of width x height, flat shading, back faces culled, the modelview
// matrix selected and cleared.
void startDrawing(int width, int height);
// --retro: the scenes draw at 640 x 480 in the corner, enlarged by a whole
// factor at the swap. --sharp: always the picture box's own size. Set before
// the first reshape; the drawing size starts again at the picture box's own.
void setPictureMode(bool retro, bool sharp);
extern bool retroPicture;  // as setPictureMode set it
bool drawsRetro(int width, int height); // retro, and the output holds 640 x 480 (a smaller one is drawn sharp)

// The drawing size that holds the refresh: the rule and its reasons are in
// adapt.cpp. Neither retro nor sharp pictures change size.
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
extern bool        sharpPicture; // as setPictureMode set it
extern DrawingRule drawingRule;  // the demo's: its step is the size the reshape sets
void setDrawingStep(int step);   // the demo's rule started afresh at that step, for the next reshape
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
int  retroFactor(int outputWidth, int outputHeight); // the largest whole enlargement of 640 x 480, at least 1

// The music (music.cpp), through player.h, for the platforms that play it.
// Opens the default output (none where silent), loads module, moves it to the
// first order of table row scene, plays it and starts the sequencer there at
// the clock's time once it plays. False, with the one line naming the problem
// in error, where it cannot; noDeviceHint ends the line about an output that
// cannot be opened.
bool startMusic(const char *module, int scene, bool silent, int (*readClock)(), const char *noDeviceHint,
                char *error, int errorSize);
// The position the sequencer follows: the one being heard, or without an
// output the module rendered (and thrown away) up to clockMs.
uint32_t musicPosition(int clockMs);
void stopMusic(); // stopped, freed, the output closed; harmless where nothing was started

// --- what each platform defines ---------------------------------------------------
void swapPicture();          // shows the finished frame: the buffer swap, or what stands for it
void stopMusicAndExit();     // the single way out: stopMusic, then the process or the page ended
void failAndExit(const char *problem); // the same after a failure, with one line (on the page a sentence) naming it
