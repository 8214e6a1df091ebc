// Where the 640 x 480 screen the scenes are written for lies in the real output.
// The scenes give scissor boxes and clears in pixels of that screen; they pass
// through here and land in the picture box, the largest centred 4:3 box of the
// output. Around it lie black bars that no scene ever touches.
#include "kit.h"
#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>

PixelBox pictureBox = {0, 0, 640, 480}; // output pixels, bottom-left origin as GL counts
PixelBox outputBox  = {0, 0, 640, 480}; // the whole window or capture frame

PixelBox fitPicture(int width, int height)
{
    PixelBox box = {0, 0, width, height};
    if ((long)width * 3 >= (long)height * 4) box.width  = (int)lround(height * 4.0 / 3.0);
    else                                     box.height = (int)lround(width * 3.0 / 4.0);
    if (box.width  > width)  box.width  = width;
    if (box.height > height) box.height = height;
    box.x = (width - box.width) / 2;
    box.y = (height - box.height) / 2;
    return box;
}

void setPicture(PixelBox box, int outputWidth, int outputHeight)
{
    pictureBox = box;
    outputBox  = {0, 0, outputWidth, outputHeight};
}

// Edges are mapped, not sizes, so boxes that abut on the 640 x 480 screen abut
// in the output too, with no row between them and none shared.
static int mapX(int x) { return pictureBox.x + (int)(((long)x * pictureBox.width  + 320) / 640); }
static int mapY(int y) { return pictureBox.y + (int)(((long)y * pictureBox.height + 240) / 480); }

// A box of the 640 x 480 screen in the output.
static PixelBox mapScreenBox(int x, int y, int width, int height)
{
    int x0 = mapX(x), y0 = mapY(y);
    return {x0, y0, mapX(x + width) - x0, mapY(y + height) - y0};
}

void scissorScreen(int x, int y, int width, int height)
{
    PixelBox box = mapScreenBox(x, y, width, height);
    glScissor(box.x, box.y, box.width, box.height);
}

bool pictureFillsOutput()
{
    return pictureBox.x == 0 && pictureBox.y == 0 &&
           pictureBox.width == outputBox.width && pictureBox.height == outputBox.height;
}

// Called with the scissor test off, as the scenes that clear everything do;
// where there are bars the clear is held to the picture and the test is off again after.
void clearScreen(unsigned mask)
{
    if (pictureFillsOutput()) {
        glClear(mask);
        return;
    }
    glScissor(pictureBox.x, pictureBox.y, pictureBox.width, pictureBox.height);
    glEnable(GL_SCISSOR_TEST);
    glClear(mask);
    glDisable(GL_SCISSOR_TEST);
}

// The bars, black, every frame: the back buffer holds anything after a swap.
// The scenes set their clear colour and scissor state before they use them, so
// neither needs to be put back.
void clearBars()
{
    if (pictureFillsOutput()) return;
    glEnable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    const PixelBox bars[4] = {
        {0, 0, pictureBox.x, outputBox.height},                                                   // left
        {pictureBox.x + pictureBox.width, 0, outputBox.width - pictureBox.x - pictureBox.width, outputBox.height}, // right
        {pictureBox.x, 0, pictureBox.width, pictureBox.y},                                           // bottom
        {pictureBox.x, pictureBox.y + pictureBox.height, pictureBox.width,
         outputBox.height - pictureBox.y - pictureBox.height},                                       // top
    };
    for (const PixelBox &bar : bars) {
        if (bar.width <= 0 || bar.height <= 0) continue;
        glScissor(bar.x, bar.y, bar.width, bar.height);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

const char *sizeWanted()
{
    static char text[48];
    snprintf(text, sizeof text, "WxH, each side %d to %d", smallestSide, largestSide);
    return text;
}

// Whole numbers only, each side smallestSide to largestSide pixels: "1920x1080".
bool parseSize(const char *text, int *width, int *height)
{
    char *end;
    long w = strtol(text, &end, 10);
    if (end == text || *end != 'x' || !(end[1] >= '0' && end[1] <= '9')) return false;
    long h = strtol(end + 1, &end, 10);
    if (*end != '\0' || w < smallestSide || h < smallestSide || w > largestSide || h > largestSide) return false;
    *width = (int)w;
    *height = (int)h;
    return true;
}
