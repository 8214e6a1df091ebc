// The font picture read from a file, for the programs that have files (the
// desktop and the tools); the browser's page fetches it and hands the bytes to
// loadBlockFontFromBytes, so its build leaves this file out.
#include "kit.h"
#include "files.h"
#include <cstdio>

// Only the picture's own bytes are read: anything after them is not looked at.
bool loadBlockFontFrom(const char *path, char *error, int errorSize)
{
    std::vector<uint8_t> file;
    if (const char *problem = readPlainFile(path, 0, fontFileSize, file)) {
        snprintf(error, errorSize, "%s: %s", path, problem);
        return false;
    }
    return loadBlockFontFromBytes(file.data(), file.size(), path, error, errorSize);
}
