// Fuzz target: the font loader on any bytes. It must refuse or decode, never
// read outside the file or leave the store half written on a refusal.
#include "kit.h"
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static GlyphCell before[256][8][8];
    memcpy(before, glyphCells, sizeof glyphCells);
    char error[512];
    if (!loadBlockFontFromBytes(data, size, "fontpre.tga", error, sizeof error)) {
        if (memcmp(before, glyphCells, sizeof glyphCells) != 0) __builtin_trap();
        if (strnlen(error, sizeof error) == 0 || strchr(error, '\n')) __builtin_trap(); // one line, never none
    }
    return 0;
}
