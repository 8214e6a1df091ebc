// The file reader on Linux and the other POSIX systems: opened without
// blocking, so a FIFO in the file's place is refused instead of waiting for a
// writer that never comes, and closed on exec.
#include "files.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static char problem[256]; // the last call's problem

static const char *failed(const char *what, int code)
{
    snprintf(problem, sizeof problem, "%s: %s", what, strerror(code));
    return problem;
}

const char *readPlainFile(const char *path, long offset, size_t limit, std::vector<uint8_t> &data)
{
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failed("cannot open", errno);
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file";
    }
    if (offset > 0 && lseek(fd, offset, SEEK_SET) < 0) {
        int code = errno;
        close(fd);
        return failed("cannot read", code);
    }
    uint8_t chunk[65536];
    ssize_t n = 0;
    while (limit > 0 && (n = read(fd, chunk, limit < sizeof chunk ? limit : sizeof chunk)) > 0) {
        data.insert(data.end(), chunk, chunk + n);
        limit -= (size_t)n;
    }
    int code = n < 0 ? errno : 0;
    close(fd);
    return code ? failed("cannot read", code) : nullptr;
}
