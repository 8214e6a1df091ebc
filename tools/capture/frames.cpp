// The demo's frames as the capture draws them: the module rendered ahead frame
// by frame, the position heard at each frame's moment, and the demo's own
// sequencer over those positions, drawing every frame off screen. Shared by
// the capture and the flash counter, which take the frames in turn.
#include "capture.h"
#include "player.h"
#include "shell.h"
#include <algorithm>
#include <vector>

static const int renderChunk = 1024;    // audio frames per render call, well under one row

static int  captureFrameTime;  // ms of the frame being drawn
static bool captureEnded;      // the sequencer reached the way out

// --- the music: rendered ahead, with the position heard at every frame ----------

std::vector<int16_t>         soundtrack;     // interleaved stereo at audioRate
static std::vector<uint32_t> framePosition;  // player position at each frame's moment

static void renderSoundUpTo(long target)
{
    static int16_t chunk[2 * renderChunk];
    while ((long)soundtrack.size() / 2 < target) {
        int want = (int)std::min<long>(renderChunk, target - (long)soundtrack.size() / 2);
        int got = playerRender(chunk, want);
        if (got <= 0) fail("zap_wave.it: the player stopped rendering");
        soundtrack.insert(soundtrack.end(), chunk, chunk + 2 * got);
    }
}

// Renders the module frame by frame up to the demo's end (order 38 and a few
// frames more, as the sequencer may need them), or up to --until.
void renderMusic()
{
    std::string module = options.data + "/zap_wave.it";
    if (!playerLoadModule(0, module.c_str(), 0, 0, playerRamping | playerLooping | playerExact))
        fail(module + ": " + playerError());
    long lastFrame = framesBefore(options.until.num > 0 ? options.until : Rational{longestDemo, 1}) - 1;
    int framesPastEnd = -1;  // counts once order 38 is heard
    for (long k = 0; k <= lastFrame && framesPastEnd < 10; k++) {
        renderSoundUpTo(audioFramesAt(k));
        framePosition.push_back(playerGetPosition());
        if (framesPastEnd >= 0 || (playerGetPosition() & 0xFFFF) >= sceneTable[lastScene].endOrder)
            framesPastEnd++;
    }
    // The last frame's sound too: the soundtrack runs to the end of every frame.
    renderSoundUpTo(audioFramesAt((long)framePosition.size()));
    if (framesPastEnd < 0 && options.until.num == 0)
        fail("zap_wave.it never reaches its last order within " + std::to_string(longestDemo) +
             " s; capture a stretch with --until");
}

// --- the pictures ---------------------------------------------------------------

static int frameClock() { return captureFrameTime; }

static void endCapture(int) { captureEnded = true; }

static void noFrame(int) {}

long sceneStarts[10];  // the first frame of each scene, then the frame count

// The demo's own sequencer over the positions heard at each frame, drawing
// nothing: tells how many frames the capture holds and where each scene starts.
long countFrames()
{
    SceneEntry dryTable[sceneRows];
    for (int i = 0; i < sceneRows; i++)
        dryTable[i] = {i == sceneRows - 1 ? endCapture : noFrame, sceneTable[i].endOrder};
    resetDemo();
    captureEnded = false;
    long k = 0;
    for (; k < (long)framePosition.size(); k++) {
        int scene = currentScene;
        captureFrameTime = frameMilliseconds(k);
        runSequencer(dryTable, framePosition[k], frameClock);
        for (int row = scene + 1; row <= currentScene; row++) sceneStarts[row] = k;
        if (captureEnded) break;
    }
    for (int row = currentScene + 1; row < 10; row++) sceneStarts[row] = k; // --until ends early
    return k;
}

// The demo's sequencer frame by frame; every frame ends in frameFinished.
void drawDemo(long frames, void (*eachFrame)())
{
    SceneEntry table[sceneRows];
    for (int i = 0; i < sceneRows; i++)
        table[i] = {i == sceneRows - 1 ? endCapture : sceneTable[i].draw, sceneTable[i].endOrder};
    resetDemo();
    captureEnded = false;
    for (long k = 0; k < frames && !writeFailed; k++) {
        captureFrameTime = frameMilliseconds(k);
        runSequencer(table, framePosition[k], frameClock);
        eachFrame();
    }
}
