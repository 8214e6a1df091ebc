// The font picture read from a file, for the programs that have files (the
// desktop and the tools); the browser's page fetches it and hands the bytes to
// loadBlockFontFromBytes, so its build leaves this file out.
#include "kit.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Only a plain file is read: a pipe of that name would block start-up for good.
bool loadBlockFontFrom(const char *path, char *error, int errorSize)
{
    static uint8_t file[fontFileSize]; // read once at start-up; static so nothing is freed
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        snprintf(error, errorSize, "%s: cannot open: %s", path, strerror(errno));
        return false;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        snprintf(error, errorSize, "%s: cannot read: %s", path,
                 S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file");
        close(fd);
        return false;
    }
    size_t got = 0;
    ssize_t n = 0;
    while (got < sizeof file && (n = read(fd, file + got, sizeof file - got)) > 0)
        got += (size_t)n;
    int readError = n < 0 ? errno : 0;
    close(fd);
    if (readError) {
        snprintf(error, errorSize, "%s: cannot read: %s", path, strerror(readError));
        return false;
    }
    return loadBlockFontFromBytes(file, got, path, error, errorSize);
}
