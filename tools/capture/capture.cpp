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
#include <chrono>
#include <csignal>
#include <vector>

static std::chrono::steady_clock::time_point progressStart; // the first frame's
static long progressTotal;                                  // frames to draw

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
    frameFinished = options.noEncode ? finishFrame : readFrame;
    progressStart = std::chrono::steady_clock::now();
    progressTotal = frames;
    // Frames handed to ffmpeg, not frames drawn: when the pipe is what waits, it shows.
    drawDemo(frames, [] { showProgress(options.noEncode ? framesRead : framesWritten.load(), progressTotal,
                                       progressStart, false); });
    if (!options.noEncode) finishPipeline();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - progressStart).count();
    long done = options.noEncode ? framesRead : framesWritten.load();
    showProgress(done, frames, progressStart, true);
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
