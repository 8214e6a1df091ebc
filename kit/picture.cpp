// Where the 640 x 480 screen the scenes are written for lies in the real output.
// The scenes give scissor boxes and clears in pixels of that screen; they pass
// through here and land in the picture box, the largest centred 4:3 box of the
// output. Around it lie black bars that no scene ever touches.
#include "kit.h"
#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

PixelBox picture = {0, 0, 640, 480}; // output pixels, bottom-left origin as GL counts
PixelBox output  = {0, 0, 640, 480}; // the whole window or capture frame

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
    picture = box;
    output  = {0, 0, outputWidth, outputHeight};
}

// Edges are mapped, not sizes, so boxes that abut on the 640 x 480 screen abut
// in the output too, with no row between them and none shared.
static int mapX(int x) { return picture.x + (int)(((long)x * picture.width  + 320) / 640); }
static int mapY(int y) { return picture.y + (int)(((long)y * picture.height + 240) / 480); }

PixelBox mapScreenBox(int x, int y, int width, int height)
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
    return picture.x == 0 && picture.y == 0 &&
           picture.width == output.width && picture.height == output.height;
}

// Called with the scissor test off, as the scenes that clear everything do;
// where there are bars the clear is held to the picture and the test is off again after.
void clearScreen(unsigned mask)
{
    if (pictureFillsOutput()) {
        glClear(mask);
        return;
    }
    glScissor(picture.x, picture.y, picture.width, picture.height);
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
        {0, 0, picture.x, output.height},                                                   // left
        {picture.x + picture.width, 0, output.width - picture.x - picture.width, output.height}, // right
        {picture.x, 0, picture.width, picture.y},                                           // bottom
        {picture.x, picture.y + picture.height, picture.width,
         output.height - picture.y - picture.height},                                       // top
    };
    for (const PixelBox &bar : bars) {
        if (bar.width <= 0 || bar.height <= 0) continue;
        glScissor(bar.x, bar.y, bar.width, bar.height);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

// Whole numbers only, each side 16 to 8192 pixels: "1920x1080".
bool parseSize(const char *text, int *width, int *height)
{
    char *end;
    long w = strtol(text, &end, 10);
    if (end == text || *end != 'x' || !(end[1] >= '0' && end[1] <= '9')) return false;
    long h = strtol(end + 1, &end, 10);
    if (*end != '\0' || w < 16 || h < 16 || w > 8192 || h > 8192) return false;
    *width = (int)w;
    *height = (int)h;
    return true;
}
