// make-icon: turns one of the frame tool's pictures into the desktop icon at
// each of the sizes asked for: the centred square of the picture, shrunk by
// averaging whole blocks of pixels, so every size is the same at every build.
// Usage: make-icon PICTURE.png OUTDIR SIZE... (writes OUTDIR/SIZExSIZE.png;
// each SIZE must divide the picture's height).
#include "png_image.h"
#include <cstdio>
#include <cstdlib>
#include <string>

static RgbImage shrinkSquare(const RgbImage &picture, int size)
{
    int side = picture.height, left = (picture.width - side) / 2, block = side / size;
    RgbImage icon;
    icon.width = icon.height = size;
    icon.pixels.resize((size_t)size * size * 3);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++)
            for (int c = 0; c < 3; c++) {
                long sum = 0;
                for (int dy = 0; dy < block; dy++)
                    for (int dx = 0; dx < block; dx++)
                        sum += picture.pixels[((size_t)(y * block + dy) * picture.width + left + x * block + dx) * 3 + c];
                long count = (long)block * block;
                icon.pixels[((size_t)y * size + x) * 3 + c] = (uint8_t)((sum + count / 2) / count);
            }
    return icon;
}

int main(int argc, char **argv)
{
    RgbImage picture;
    if (argc < 4) {
        fprintf(stderr, "usage: make-icon PICTURE.png OUTDIR SIZE...\n");
        return 2;
    }
    if (!readPng(argv[1], picture) || picture.width < picture.height) {
        fprintf(stderr, "make-icon: %s: not a readable picture wider than high\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; i++) {
        int size = atoi(argv[i]);
        if (size < 1 || picture.height % size != 0) {
            fprintf(stderr, "make-icon: %s: the picture's height, %d, is no whole multiple of it\n", argv[i],
                    picture.height);
            return 2;
        }
        std::string out = std::string(argv[2]) + "/" + argv[i] + "x" + argv[i] + ".png";
        if (!writePng(out.c_str(), shrinkSquare(picture, size))) {
            fprintf(stderr, "make-icon: %s: cannot write the icon\n", out.c_str());
            return 1;
        }
    }
    return 0;
}
