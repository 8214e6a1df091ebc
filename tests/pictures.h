// Test support: pictures. The picture tools' off-screen context in the test
// process, the frame tool run as a child, and pixels read from what either drew.
#pragma once
#include "png_image.h"
#include <string>
#include <vector>

// Opens (once) tools/offscreen.cpp's context and framebuffer, of 1200 x 720
// (the largest output a test draws into), with the demo's start-up state for a
// 640 x 480 output. Frames end in frameFinished (offscreen.h).
void ensureGlContext();

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
