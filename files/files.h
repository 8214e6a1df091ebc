// Reading the demo's two files, for the programs that have files (the desktop,
// the tools, the tests): one reader for the font and the module, in binary,
// with one file per system (read_posix.cpp, read_windows.cpp) chosen by the
// build. The browser's page fetches its files and leaves this folder out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The bytes of the plain file at path from offset on, at most limit of them,
// appended to data. Null where it was read; otherwise the problem in a few
// words ("cannot open: No such file or directory", "it is a directory", "it is
// not a regular file", "cannot read: ..."), which stay valid until the next
// call. Anything but a plain file is refused before a byte is read: a pipe of
// that name must not block start-up, nor a device go on for ever.
const char *readPlainFile(const char *path, long offset, size_t limit, std::vector<uint8_t> &data);
