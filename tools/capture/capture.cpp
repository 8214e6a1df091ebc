// cubic-harmony-capture: records the whole demo to a video file offline, frame
// by frame, as it would play on an ideal machine: frame k stands at k/fps
// seconds, the music is rendered up to that moment, and the demo's own
// sequencer sees the order heard then. ffmpeg, run as a child, encodes into a
// file beside the output that takes its name only when complete. Frames are
// drawn off screen through EGL (tools/offscreen.cpp, no X server) at the
// output size, sharp, or at 640 x 480 enlarged (--retro). Drawing, read-back
// and encoding overlap: the capture runs at the pace of the slowest of them.
#include "capture.h"
#include "kit.h"
#include "player.h"
#include "offscreen.h"
#include "shell.h"
#include "wav_file.h"
#include <GL/gl.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <vector>

static const int renderChunk = 1024;    // audio frames per render call, well under one row

static int  captureFrameTime;  // ms of the frame being drawn
static bool captureEnded;      // the sequencer reached the way out

// --- the music: rendered ahead, with the position heard at every frame ----------

static std::vector<int16_t>  soundtrack;     // interleaved stereo at audioRate
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
static void renderMusic()
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

static long sceneStarts[10];  // the first frame of each scene, then the frame count

// The demo's own sequencer over the positions heard at each frame, drawing
// nothing: tells how many frames the capture holds and where each scene starts.
static long countFrames()
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

static void showProgress(long done, long total, std::chrono::steady_clock::time_point start, bool last)
{
    static std::chrono::steady_clock::time_point shown;
    auto now = std::chrono::steady_clock::now();
    if (!last && now - shown < std::chrono::milliseconds(200)) return;
    shown = now;
    double seconds = std::chrono::duration<double>(now - start).count();
    double rate = seconds > 0 ? done / seconds : 0;
    int left = rate > 0 ? (int)((total - done) / rate) : 0;
    const int width = 30;
    int filled = total > 0 ? (int)(width * done / total) : width;
    fprintf(stderr, "\r[%.*s%.*s] %ld/%ld frames  %.0f fps  %d:%02d left ", filled,
            "##############################", width - filled, "------------------------------",
            done, total, rate, left / 60, left % 60);
    if (last) fprintf(stderr, "\n");
}

int main(int argc, char **argv)
{
    // --- set-up: options, surroundings, the GL context and the two files ---------
    signal(SIGPIPE, SIG_IGN); // a dead ffmpeg shows as a failed write
    parseOptions(argc, argv);   // before any GL: mistakes cost nothing
    if (!options.noEncode) checkSurroundings();
    renderWidth = options.width;
    renderHeight = options.height;
    setPictureMode(options.retro, false);
    openOffscreen("cubic-harmony-capture");
    char error[512];
    if (!loadBlockFontFrom((options.data + "/fontpre.tga").c_str(), error, sizeof error)) fail(error);

    // --- the music first: it decides where every scene starts --------------------
    renderMusic();
    playerFreeModule();
    long frames = countFrames();
    long audioFrames = audioFramesAt(frames);
    if (!options.noEncode) {
        if (!options.wavPath.empty() &&
            !writeWav(options.wavPath.c_str(), soundtrack.data(), (size_t)audioFrames, audioRate))
            fail(options.wavPath + ": cannot write");
        std::string audioPath = workFile("/soundtrack.wav");
        if (!writeWav(audioPath.c_str(), soundtrack.data(), (size_t)audioFrames, audioRate))
            fail("cannot write the soundtrack to " + workFile(""));
        startEncoder(audioPath, sceneStarts);
        startPipeline();
    }

    // --- the pictures: the demo's sequencer frame by frame, on to ffmpeg ---------
    SceneEntry table[sceneRows];
    for (int i = 0; i < sceneRows; i++)
        table[i] = {i == sceneRows - 1 ? endCapture : sceneTable[i].draw, sceneTable[i].endOrder};
    resetDemo();
    captureEnded = false;
    frameFinished = options.noEncode ? finishFrame : readFrame;
    auto start = std::chrono::steady_clock::now();
    for (long k = 0; k < frames && !writeFailed; k++) {
        captureFrameTime = frameMilliseconds(k);
        runSequencer(table, framePosition[k], frameClock);
        // Frames handed to ffmpeg, not frames drawn: when the pipe is what waits, it shows.
        showProgress(options.noEncode ? framesRead : framesWritten.load(), frames, start, false);
    }
    if (!options.noEncode) finishPipeline();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long done = options.noEncode ? framesRead : framesWritten.load();
    showProgress(done, frames, start, true);
    // Which renderer drew, so that a rate can be set beside others.
    std::string drawer = std::string((const char *)glGetString(GL_RENDERER)) + ", EGL " + offscreenPlatform();
    if (options.noEncode) {
        fprintf(stderr, "cubic-harmony-capture: %ld frames of %dx%d drawn in %.2f s, %.1f frames per second;"
                " nothing read back or encoded (%s)\n", done, renderWidth, renderHeight, seconds,
                done / seconds, drawer.c_str());
        return 0;
    }
    fprintf(stderr, "cubic-harmony-capture: the encoder is finishing the last frames\n");
    finishEncoder();
    keepVideo();
    fprintf(stderr, "cubic-harmony-capture: %s: %ld frames, %.2f s, drawn, read back and piped to ffmpeg"
            " at %.1f frames per second (%s)\n", options.out.c_str(), done,
            (double)done * options.fps.den / options.fps.num, done / seconds, drawer.c_str());
    return 0;
}
