// Test support: a GL context under the X display, a recorder of the box stream
// the code hands to GL, and the frame tool run as a child process.
#pragma once
#include "png_image.h"
#include <functional>
#include <string>
#include <vector>

// Creates (once) a 640 x 480 window with the demo's start-up state: flat
// shading, back faces culled, the reshape projection, the modelview selected.
void ensureGlContext();

struct CapturedVertex {
    float x, y, z;      // as passed to glVertex3f
    float wx, wy, wz;   // transformed by the modelview matrix current at glBegin
    float r, g, b;      // the colour last set by glColor3f, as passed (unclamped)
};

struct CapturedRun {    // one glBegin/glEnd pair
    unsigned mode;
    std::vector<CapturedVertex> vertices;
};

// Loads the identity modelview, runs draw, and returns every glBegin/glEnd run
// it issued, in order. The calls still reach GL.
std::vector<CapturedRun> captureDraw(const std::function<void()> &draw);
bool sameRuns(const std::vector<CapturedRun> &a, const std::vector<CapturedRun> &b);


// Runs cubic-harmony-frame in the build folder; fails the test on error.
// options go on its command line ("--size 1280x960 --retro").
RgbImage renderFrame(int scene, int time, int fps = 60, const std::string &options = "");

// The pixel at column x, row y counted from the top.
struct Pixel { int r, g, b; };
Pixel pixelAt(const RgbImage &image, int x, int y);
