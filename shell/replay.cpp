// The frame tools' replay rules, the same on the desktop and in the browser: a
// scene, or the demo through its sequencer, played from a fresh start on a
// clock that steps 1000/fps ms a frame, so simulations reach the same state on
// any machine.
#include "shell.h"
#include "kit.h"

static int stepTime(int frame, int fps) { return (int)((long long)frame * 1000 / fps); }

void replayScene(int scene, int time, int fps, void (*beforeLastFrame)())
{
    SceneFunction draw = sceneTable[scene].draw;
    resetDemo();
    demoSrand(42);   // what the scene before it leaves the generator at
    for (int k = 0;; k++) {
        int t = stepTime(k, fps);
        if (t >= time) break;
        draw(t);
    }
    beforeLastFrame();
    draw(time);
}

static int steppedMs; // replayDemo's clock
static int steppedClock() { return steppedMs; }

void replayDemo(int scene, int time, int fps, int orderMs, void (*beforeLastFrame)())
{
    resetDemo();
    for (int k = 0;; k++) {
        steppedMs = stepTime(k, fps);
        uint32_t order = steppedMs / orderMs;
        if (scene < 0 && order >= sceneTable[lastScene].endOrder) return;
        bool last = currentScene == scene && steppedMs - sceneStartTime >= time;
        if (last) beforeLastFrame();
        runSequencer(sceneTable, order, steppedClock);
        if (last) return;
    }
}
