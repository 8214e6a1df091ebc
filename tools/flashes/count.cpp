// The flash count: general and red flashes of the picture, frame by frame, in
// boxes of a third of its width and height. Pure: frames in, figures out, no
// file and no GL, so that the tests hand it pictures of their own.
//
// How it reads the criterion where the criterion leaves the choice open:
// - Transitions are followed per pixel. A pixel's value turns (a transition)
//   once it has moved far enough from its last extreme in the other direction:
//   0.1 of relative luminance with the darker of the two states below 0.8, or
//   for red more than 20 of the saturated-red measure. A slow change counts
//   when it has gone that far, and a change in the same direction as the last
//   transition never counts twice.
// - Flashing area is what flashes at the same moment: a box turns on a frame
//   where a quarter of its pixels or more turn the same way on that frame. A
//   box's transitions alternate, as a pixel's do: one the same way as the
//   box's last counts nothing. So an object moving across a box turns only the
//   few pixels at its edges on any one frame, and is no flash.
// - Boxes stand every twelfth of the picture, overlapping, so that a flashing
//   patch that a fixed grid of thirds would cut in two is seen whole.
// - The one-second window slides frame by frame: the figures of a frame count
//   the transitions of the frames less than a second before it and of itself.
#include "flashes.h"
#include <algorithm>
#include <cmath>
#include <cstring>

static const float lowestLuminanceChange = 0.1f;  // of the brightest white, 1
static const float darkerBelow           = 0.8f;  // the darker state of a general flash is below this
static const float lowestRedChange       = 20;    // in units of (R - G - B) x 320, more than this
static const float saturatedRed          = 0.8f;  // R / (R + G + B) at least this

// An 8-bit sRGB component as a linear one, 0 to 1.
static float linearOf(int value)
{
    double c = value / 255.0;
    return (float)(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
}

// Where a pixel's value turned this frame: +1 up, -1 down, 0 not. A general
// change needs its darker state below darkest; strict wants more than step.
static int followPixel(PixelTrack *t, float v, float step, bool strict, float darkest)
{
    auto enough = [&](float change) { return strict ? change > step : change >= step; };
    if (t->dir <= 0) t->low = std::min(t->low, v);
    if (t->dir >= 0) t->high = std::max(t->high, v);
    if (t->dir <= 0 && enough(v - t->low) && t->low < darkest) {
        t->dir = 1;
        t->high = v;
        return 1;
    }
    if (t->dir >= 0 && enough(t->high - v) && v < darkest) {
        t->dir = -1;
        t->low = v;
        return -1;
    }
    return 0;
}

void startFlashCount(FlashCount *count, int width, int height, double fps)
{
    count->width = width;
    count->height = height;
    count->windowFrames = std::max(1, (int)std::ceil(fps - 1e-9)); // frames less than a second apart
    count->frames = 0;
    for (int i = 0; i <= boxGrid; i++) {
        count->cellX[i] = (int)((long)i * width / boxGrid);
        count->cellY[i] = (int)((long)i * height / boxGrid);
    }
    count->cellOf.resize((size_t)width * height);
    for (int y = 0, row = 0; y < height; y++) {
        while (y >= count->cellY[row + 1]) row++;
        for (int x = 0, column = 0; x < width; x++) {
            while (x >= count->cellX[column + 1]) column++;
            count->cellOf[(size_t)y * width + x] = (uint8_t)(row * boxGrid + column);
        }
    }
    count->luminance.assign((size_t)width * height, PixelTrack{0, 0, 0});
    count->red.assign((size_t)width * height, PixelTrack{0, 0, 0});
    for (int kind = 0; kind < 2; kind++) {
        count->boxEvents[kind].assign((size_t)count->windowFrames * boxCount, 0);
        std::fill(count->boxDir[kind], count->boxDir[kind] + boxCount, 0);
        std::fill(count->windowCount[kind], count->windowCount[kind] + boxCount, 0);
    }
}

PixelRect flashBox(const FlashCount *count, int box)
{
    int row = box / boxSteps, column = box % boxSteps;
    return {count->cellX[column], count->cellY[row], count->cellX[column + boxCells] - count->cellX[column],
            count->cellY[row + boxCells] - count->cellY[row]};
}

FlashFrame countFlashes(FlashCount *count, const uint8_t *rgb)
{
    static float linear[256];
    if (linear[255] == 0)
        for (int i = 0; i < 256; i++) linear[i] = linearOf(i);

    // --- every pixel: its luminance and its red, and where they turned ----------
    int turned[2][2][boxGrid * boxGrid] = {}; // kind, up (0) or down (1), cell: pixels that turned
    size_t pixels = (size_t)count->width * count->height;
    bool first = count->frames == 0;
    for (size_t i = 0; i < pixels; i++, rgb += 3) {
        float r = linear[rgb[0]], g = linear[rgb[1]], b = linear[rgb[2]];
        float luminance = 0.2126f * r + 0.7152f * g + 0.0722f * b;
        float sum = r + g + b;
        float red = sum > 0 && r >= saturatedRed * sum ? std::max(0.0f, (r - g - b) * 320) : 0;
        PixelTrack &l = count->luminance[i], &s = count->red[i];
        if (first) {
            l = {luminance, luminance, 0};
            s = {red, red, 0};
            continue;
        }
        int cell = count->cellOf[i];
        int turn = followPixel(&l, luminance, lowestLuminanceChange, false, darkerBelow);
        if (turn) turned[generalFlash][turn < 0][cell]++;
        turn = followPixel(&s, red, lowestRedChange, true, INFINITY);
        if (turn) turned[redFlash][turn < 0][cell]++;
    }

    // --- every box: a transition where a quarter of it turned the other way -------
    FlashFrame result = {{0, 0}, {0, 0}};
    int slot = (int)(count->frames % count->windowFrames);
    for (int kind = 0; kind < 2; kind++) {
        uint8_t *events = &count->boxEvents[kind][(size_t)slot * boxCount];
        for (int box = 0; box < boxCount; box++) {
            int row = box / boxSteps, column = box % boxSteps;
            long area = 0, up = 0, down = 0;
            for (int cy = row; cy < row + boxCells; cy++)
                for (int cx = column; cx < column + boxCells; cx++) {
                    int cell = cy * boxGrid + cx;
                    area += (long)(count->cellX[cx + 1] - count->cellX[cx]) * (count->cellY[cy + 1] - count->cellY[cy]);
                    up += turned[kind][0][cell];
                    down += turned[kind][1][cell];
                }
            bool rose = 4 * up >= area && up > 0, fell = 4 * down >= area && down > 0;
            int8_t &last = count->boxDir[kind][box];
            int8_t now = 0;
            if (last == 0 && (rose || fell)) now = rose && (!fell || up >= down) ? 1 : -1;
            else if (last > 0 && fell) now = -1;
            else if (last < 0 && rose) now = 1;
            if (now) last = now;
            count->windowCount[kind][box] += (now != 0) - events[box];
            events[box] = now != 0;
            if (count->windowCount[kind][box] > result.transitions[kind]) {
                result.transitions[kind] = count->windowCount[kind][box];
                result.box[kind] = box;
            }
        }
    }
    count->frames++;
    return result;
}
