// The block-font store: 256 characters of 8 x 8 cells read once from the font
// picture "fontpre.tga", an uncompressed 8-bit colour-mapped TGA of 256 x 64.
// The file itself is read in font_file.cpp; the page hands its bytes over.
#include "kit.h"
#include <cstdio>

GlyphCell glyphCells[256][8][8];

static const int headerSize = 18;          // TGA header without an image-ID field
static const int colorMapSize = 256 * 3;   // 256 entries of 24 bits

// Cell values come from the colour index alone, never from the colour map:
// 0 is a dark-blue cube, 1 is empty, everything else a white cube.
static GlyphCell cellFor(uint8_t index)
{
    if (index == 0) return {0, 0, 130, 1};
    if (index == 1) return {0, 0, 0, 0};
    return {255, 255, 255, 1};
}

// The first stored row is the bottom of the picture; character c sits in grid
// column c % 32 and grid row c / 32 counted from the top left.
static void decodeBlockFont(const uint8_t *pixels)
{
    for (int c = 0; c < 256; c++)
        for (int j = 0; j < 8; j++)
            for (int k = 0; k < 8; k++)
                glyphCells[c][j][k] = cellFor(pixels[(63 - 8 * (c / 32) - j) * 256 + 8 * (c % 32) + k]);
}

static uint16_t le16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }

// The header must say exactly what the decoder assumes, or the pixels would be
// read from the wrong place.
static const char *headerProblem(const uint8_t *h)
{
    if (h[0] != 0)                     return "has an image-ID field";
    if (h[1] != 1)                     return "has no colour map";
    if (h[2] != 1)                     return "is not an uncompressed colour-mapped picture";
    if (le16(h + 3) != 0 || le16(h + 5) != 256 || h[7] != 24)
                                       return "does not have a colour map of 256 entries of 24 bits";
    if (le16(h + 12) != 256 || le16(h + 14) != 64)
                                       return "is not 256 x 64 pixels";
    if (h[16] != 8)                    return "does not have 8 bits per pixel";
    if (h[17] & 0x20)                  return "is stored top row first";
    return nullptr;
}

// The file's bytes, checked before a single cell is touched.
bool loadBlockFontFromBytes(const uint8_t *file, size_t size, const char *path, char *error, int errorSize)
{
    if (size < (size_t)fontFileSize) {
        snprintf(error, errorSize, "%s: too short: %zu bytes, a font picture has %d",
                 path, size, fontFileSize);
        return false;
    }
    if (const char *problem = headerProblem(file)) {
        snprintf(error, errorSize, "%s: not a 256 x 64 font picture: it %s", path, problem);
        return false;
    }
    decodeBlockFont(file + headerSize + colorMapSize);
    return true;
}
