// cubic-harmony-frame: renders one scene at one moment to a PNG, the same way
// every time. The scene is played from sceneTime 0 in steps of 1000/fps ms up to
// the moment asked for, so simulations reach the same state on any machine, and
// the last frame is read where the demo would swap it. Any output size: sharp
// by default, or 640 x 480 enlarged by a whole factor. Drawn off screen
// (tools/offscreen.cpp): through EGL on Linux, with no X server; through WGL on
// Windows. --list-scenes prints the scenes' names, which the release's video
// takes for its chapters; --size-limits the smallest and largest side --size
// takes, which the tests hold the manuals' words to.
#include "kit.h"
#include "shell.h"
#include "png_image.h"
#include "offscreen.h"
#include <GL/gl.h>
#include <GL/glext.h>   // GL 3.0's rasterizer discard, which a GL 1.1 gl.h (Windows') does not name
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static RgbImage capturedFrame; // the last frame, read where the demo would swap it

static void readLastFrame()
{
    capturedFrame = readFramebuffer(renderWidth, renderHeight);
    frameFinished = nullptr;
}

static void usage(const char *why)
{
    fprintf(stderr, "cubic-harmony-frame: %s\n"
                    "usage: cubic-harmony-frame --scene N --time T --out FILE.png [--fps F] [--size WxH]"
                    " [--retro] [--data DIR]\n"
                    "       cubic-harmony-frame --list-scenes   (the scenes' names, one a line, scene 0 first)\n"
                    "       cubic-harmony-frame --size-limits   (the smallest and the largest side --size takes)\n", why);
    exit(2);
}

static int parseNumber(const char *text, const char *name, int low, int high)
{
    char *end;
    long value = strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < low || value > high) {
        char why[128];
        snprintf(why, sizeof why, "%s must be a whole number from %d to %d", name, low, high);
        usage(why);
    }
    return (int)value;
}

int main(int argc, char **argv)
{
    // --- arguments: read before any GL, so mistakes cost nothing ------------------
    int scene = -1, time = -1, fps = 60;
    const char *out = nullptr;
    std::string data = "."; // where fontpre.tga lies: the working directory unless installed
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--retro")) {
            setPictureMode(true, false);
            continue;
        }
        if (!strcmp(argv[i], "--list-scenes")) {
            for (const char *name : sceneNames) puts(name);
            return 0;
        }
        if (!strcmp(argv[i], "--size-limits")) {
            printf("%d %d\n", smallestSide, largestSide);
            return 0;
        }
        if (i + 1 >= argc) usage("every option but --retro, --list-scenes and --size-limits takes a value");
        if (!strcmp(argv[i], "--size")) {
            if (!parseSize(argv[++i], &renderWidth, &renderHeight))
                usage((std::string("--size wants ") + sizeWanted()).c_str());
        }
        else if (!strcmp(argv[i], "--scene")) scene = parseNumber(argv[++i], "--scene", 0, lastScene);
        else if (!strcmp(argv[i], "--time"))  time  = parseNumber(argv[++i], "--time", 0, 100000000);
        else if (!strcmp(argv[i], "--fps"))   fps   = parseNumber(argv[++i], "--fps", 1, 1000);
        else if (!strcmp(argv[i], "--out"))   out   = argv[++i];
        else if (!strcmp(argv[i], "--data"))  data  = argv[++i];
        else usage("unknown option");
    }
    if (scene < 0 || time < 0 || !out) usage("--scene, --time and --out are required");
    openOffscreen("cubic-harmony-frame");

    char error[512];
    if (!loadBlockFontFrom((data + "/fontpre.tga").c_str(), error, sizeof error)) failAndExit(error);

    // --- replay the scene from 0 up to the moment asked for ------------------------
    // The frames before the one asked for only move the scenes' state on: the
    // driver is told to draw none of them, as the browser's frame mode does
    // (a driver older than GL 3.0 ignores the switch and draws them, slower).
    glEnable(GL_RASTERIZER_DISCARD);
    replayScene(scene, time, fps, [] {
        glDisable(GL_RASTERIZER_DISCARD);
        frameFinished = readLastFrame;
    });

    if (!writePng(out, capturedFrame)) {
        fprintf(stderr, "cubic-harmony-frame: %s: cannot write the picture\n", out);
        return 1;
    }
    return 0;
}
