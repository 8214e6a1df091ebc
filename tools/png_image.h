// PNG pictures for the frame and capture tools and the tests: 8-bit RGB,
// top row first.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels; // width * height * 3, top row first
};

bool writePng(const char *path, const RgbImage &image);
bool readPng(const char *path, RgbImage &image);

// Reads the 640 x 480 (or any size) colour buffer now bound for reading, turning
// GL's bottom-up rows into top row first.
RgbImage readFramebuffer(int width, int height);
