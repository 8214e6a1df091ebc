// The frame tools' replay rule, the same on the desktop and in the browser: a
// scene is played from sceneTime 0 in steps of 1000/fps ms up to the moment
// asked for, so simulations reach the same state on any machine.
#include "shell.h"
#include "kit.h"

void replayScene(int scene, int time, int fps, void (*beforeLastFrame)())
{
    SceneFunction draw = sceneTable[scene].draw;
    resetDemo();
    demoSrand(42);   // what the scene before it leaves the generator at
    for (int k = 0;; k++) {
        int t = (int)((long long)k * 1000 / fps);
        if (t >= time) break;
        draw(t);
    }
    beforeLastFrame();
    draw(time);
}
