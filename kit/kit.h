// The cube kit: the box primitives every picture is made of, the demo's own
// pseudo-random generator, the block font whose pixels become cubes, and the
// picture box. Part of the core: plain GL 1.1, the same on every platform.
#pragma once
#include <cstddef>
#include <cstdint>

// Box primitives. Call outside glBegin/glEnd with the modelview matrix selected;
// each leaves the matrix as it found it. Sizes are full edge lengths.
void drawShadedCube(float cx, float cy, float cz, float sx, float sy, float sz,
                    float r, float g, float b);
void drawRotatedCube(float cx, float cy, float cz, float sx, float sy, float sz,
                     float angle, float ax, float ay, float az, float r, float g, float b);
void drawJitteredCube(float x, float y, float z, float sx, float sy, float sz, float angle,
                      float r, float g, float b, float jx, float jy, float jz);
void drawCornerBox(float x0, float y0, float z0, float x1, float y1, float z1,
                   float r, float g, float b);
void drawFlatBox(float x0, float y0, float z0, float x1, float y1, float z1,
                 float r, float g, float b);

// The demo's generator. Scenes reseed it every frame and rely on the exact sequence.
int  demoRand();
void demoSrand(uint32_t seed);

// Block font: 256 characters of 8 x 8 cells, filled once from "fontpre.tga".
struct GlyphCell {
    uint8_t red, green, blue; // 0..255
    uint8_t solid;            // 0 = empty, 1 = a cube is drawn
};
extern GlyphCell glyphCells[256][8][8]; // [character][row, 0 = top][column, 0 = left]

const int fontFileSize = 786 + 256 * 64;  // header and colour map, then the pixels

bool loadBlockFontFrom(const char *path, char *error, int errorSize); // false and a reason on a bad file (font_file.cpp, not in the browser)
bool loadBlockFontFromBytes(const uint8_t *file, size_t size, const char *path, char *error, int errorSize); // the same on bytes in memory

void drawGlyph(float x, float y, float z, float sx, float sy, float sz, int ch);

// The banded clear behind several scenes: twenty 24-row bands from the top of
// the 640 x 480 screen down, band n cleared (colour and depth) to bandColor(n),
// a linear function of n that each scene gives.
struct Rgb { float r, g, b; }; // a colour, components normally 0..1
void clearBands(Rgb (*bandColor)(int band));

// The picture box: where the 640 x 480 screen the scenes are written for lies
// in the real output, in output pixels with GL's bottom-left origin. Scissor
// boxes and whole-screen clears of the scenes go through here.
struct PixelBox { int x, y, width, height; };
extern PixelBox pictureBox;  // the 640 x 480 screen in the output
extern PixelBox outputBox;   // the whole window or capture frame
PixelBox fitPicture(int width, int height);   // the largest centred 4:3 box of an output
const int smallestSide = 16, largestSide = 8192; // an output's sides, in pixels, wherever one is asked for
bool parseSize(const char *text, int *width, int *height); // an output size "WxH", each side in those bounds
const char *sizeWanted(); // "WxH, each side 16 to 8192": what parseSize takes, for messages
void setPicture(PixelBox box, int outputWidth, int outputHeight);
void scissorScreen(int x, int y, int width, int height);   // glScissor of a 640 x 480 box
void clearScreen(unsigned mask); // glClear of the whole screen, the picture only; scissor test off
bool pictureFillsOutput();      // no bars: the picture is the whole output
void clearBars();                // the output outside the picture, black

// Whole names in a space-separated extension list (GLX's, EGL's); false for null.
bool hasExtension(const char *list, const char *name);
