// Test support: pictures. A GL context in the test process, the frame tool run
// as a child, and pixels read from what either drew.
#pragma once
#include "png_image.h"
#include <string>
#include <vector>

// Creates (once) a 640 x 480 window with the demo's start-up state: flat
// shading, back faces culled, the reshape projection, the modelview selected.
void ensureGlContext();

// The 640 x 480 back buffer of that window, bottom row first.
std::vector<uint8_t> readBackBuffer();

// Runs cubic-harmony-frame in the build folder, writing path; fails the test on
// error. options go on its command line ("--size 1280x960 --retro").
bool renderFrameFile(const std::string &path, int scene, int time, int fps, const std::string &options);
RgbImage renderFrame(int scene, int time, int fps = 60, const std::string &options = ""); // read back, file removed

// The pixel at column x, row y counted from the top.
struct Pixel { int r, g, b; };
Pixel pixelAt(const RgbImage &image, int x, int y);
bool isBlack(Pixel p);
// Pixels of the fire's orange: red strong, green and blue under half of it.
long firePixels(const RgbImage &image);
