// The flash counter's parts: the count itself (count.cpp), pure, frames in and
// per-frame figures out; the two sources of frames, the demo drawn off screen
// (demo.cpp) and any video through ffmpeg (video.cpp); the report (flashes.cpp).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A box of the criterion: a third of the picture's width and height (its
// 10-degree part of the visual field, 341 x 256 of 1024 x 768). Boxes are
// placed every twelfth of the picture both ways, 9 x 9 of them, overlapping.
const int boxGrid   = 12;            // cells a side; a box is boxCells x boxCells of them
const int boxCells  = 4;
const int boxSteps  = boxGrid - boxCells + 1;   // box positions a side
const int boxCount  = boxSteps * boxSteps;

// One tracker of one kind of change, per pixel: where the value last turned.
struct PixelTrack {
    float low, high; // the extremes since the last transition (before the first, since the start)
    int8_t dir;      // the last transition: +1 up, -1 down, 0 none yet
};

// The running count. The figures of a frame are the transitions in the
// one-second window that ends with it: the window holds windowFrames frames.
struct FlashCount {
    int width = 0, height = 0;
    int windowFrames = 0;
    long frames = 0;                          // frames counted so far
    int cellX[boxGrid + 1], cellY[boxGrid + 1]; // cell edges in pixels
    std::vector<uint8_t> cellOf;              // per pixel: its cell, row * boxGrid + column
    std::vector<PixelTrack> luminance, red;   // per pixel
    int8_t boxDir[2][boxCount];               // per kind and box: the last transition counted
    std::vector<uint8_t> boxEvents[2];        // per kind, frame % windowFrames, box: 1 where a transition counted
    int windowCount[2][boxCount];             // per kind and box: transitions in the running window
};

// What one frame shows: for each kind, the most transitions any box holds in
// the one-second window ending at this frame, and that box. Flashes are half
// the transitions (a flash is a pair of opposing ones).
enum FlashKind { generalFlash, redFlash };
struct FlashFrame {
    int transitions[2]; // general, red
    int box[2];         // the box that holds them, row * boxSteps + column
};

// fps: the frames' rate; the window holds the frames less than a second apart.
void startFlashCount(FlashCount *count, int width, int height, double fps);
// One frame, 8-bit sRGB red, green, blue, top row first.
FlashFrame countFlashes(FlashCount *count, const uint8_t *rgb);
// A box's place in pixels, top row first.
struct PixelRect { int x, y, width, height; };
PixelRect flashBox(const FlashCount *count, int box);

const int mostTransitions = 6; // three flashes in one second: one more transition and the second fails

// The picture sources. Each hands every frame to take, in order, and fails
// with exit code 2 and one line where it cannot.
struct FrameSource {
    int width, height;
    double fps;
    std::vector<long> sceneStarts; // the demo's: the first frame of each scene, then the end; a video's: empty
};
typedef void (*TakeFrame)(const uint8_t *rgb);
// video.cpp: the size and rate from ffprobe, the frames from ffmpeg.
FrameSource openVideo(const std::string &path);
void readVideo(const std::string &path, const FrameSource &source, TakeFrame take);
// demo.cpp: the capture's own frames, drawn at width x height, fps a second.
FrameSource prepareDemo(int width, int height, int fps, const std::string &data);
void drawDemoFrames(TakeFrame take);
