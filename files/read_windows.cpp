// The file reader on Windows: opened in binary mode (the C library's default
// text mode would turn every CR LF pair of a TGA or an IT file into LF and stop
// at the first Ctrl-Z). A directory cannot be opened as a file there, so it is
// asked about first, to name it as such; a named pipe or a device is refused
// once open, as on Linux.
#include "files.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

static char problem[256]; // the last call's problem

static const char *failed(const char *what, int code)
{
    snprintf(problem, sizeof problem, "%s: %s", what, strerror(code));
    return problem;
}

const char *readPlainFile(const char *path, long offset, size_t limit, std::vector<uint8_t> &data)
{
    struct _stat64 info = {};
    if (_stat64(path, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR) return "it is a directory";
    FILE *file = fopen(path, "rb");
    if (!file) return failed("cannot open", errno);
    if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        fclose(file);
        return "it is not a regular file";
    }
    if (offset > 0 && _fseeki64(file, offset, SEEK_SET) != 0) {
        int code = errno;
        fclose(file);
        return failed("cannot read", code);
    }
    uint8_t chunk[65536];
    size_t n;
    while (limit > 0 && (n = fread(chunk, 1, limit < sizeof chunk ? limit : sizeof chunk, file)) > 0) {
        data.insert(data.end(), chunk, chunk + n);
        limit -= n;
    }
    int code = ferror(file) ? errno : 0;
    fclose(file);
    return code ? failed("cannot read", code) : nullptr;
}
