// The demo's own frames for the count, drawn as the capture draws them: its
// music rendered ahead, its sequencer over the positions heard, its pipeline
// reading every frame back, here into the count instead of ffmpeg.
#include "flashes.h"
#include "capture.h"
#include "kit.h"
#include "offscreen.h"
#include "player.h"
#include "shell.h"

static TakeFrame            demoTaker;  // the count, on the pipeline's writer thread
static std::vector<uint8_t> demoPixels; // one frame as RGB, top row first

// GL's rows (BGRA, bottom row first) as the count takes them.
static bool takeDemoFrame(long, const uint8_t *rows)
{
    for (int y = 0; y < renderHeight; y++) {
        const uint8_t *from = &rows[(size_t)(renderHeight - 1 - y) * renderWidth * 4];
        uint8_t *to = &demoPixels[(size_t)y * renderWidth * 3];
        for (int x = 0; x < renderWidth; x++, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    demoTaker(demoPixels.data());
    return true;
}

FrameSource prepareDemo(int width, int height, int fps, const std::string &data)
{
    setFailure("cubic-harmony-flashes", 2);
    options.fps = {fps, 1};
    options.width = renderWidth = width;
    options.height = renderHeight = height;
    options.data = data;
    setPictureMode(false, false);
    openOffscreen("cubic-harmony-flashes", 2);
    char error[512];
    if (!loadBlockFontFrom((data + "/fontpre.tga").c_str(), error, sizeof error)) fail(error);
    renderMusic();
    playerFreeModule();
    countFrames();
    return {width, height, (double)fps, std::vector<long>(sceneStarts, sceneStarts + 10)};
}

void drawDemoFrames(TakeFrame take)
{
    demoTaker = take;
    demoPixels.resize((size_t)renderWidth * renderHeight * 3);
    takeFrame = takeDemoFrame;
    frameFinished = readFrame;
    startPipeline();
    drawDemo(sceneStarts[9], [] {});
    finishPipeline();
}
