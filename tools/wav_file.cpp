// Writes a 16-bit stereo WAV file: the RIFF header, then the samples
// little-endian.
#include "wav_file.h"
#include <cstdio>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

static void putLe(std::vector<uint8_t> &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++) out.push_back((uint8_t)(value >> (8 * i)));
}

static bool writeAll(const char *path, const std::vector<uint8_t> &bytes)
{
    FILE *f = fopen(path, "wb");
    if (!f) return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && written;
}

bool writeWav(const char *path, const int16_t *stereo, size_t frames, int rate)
{
    uint32_t dataBytes = (uint32_t)(frames * 4);
    std::vector<uint8_t> file;
    file.reserve(44 + dataBytes);
    for (char c : {'R', 'I', 'F', 'F'}) file.push_back((uint8_t)c);
    putLe(file, 36 + dataBytes, 4);
    for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}) file.push_back((uint8_t)c);
    putLe(file, 16, 4);       // format chunk size
    putLe(file, 1, 2);        // PCM
    putLe(file, 2, 2);        // stereo
    putLe(file, (uint32_t)rate, 4);
    putLe(file, (uint32_t)rate * 4, 4); // bytes per second
    putLe(file, 4, 2);        // bytes per frame
    putLe(file, 16, 2);       // bits per sample
    for (char c : {'d', 'a', 't', 'a'}) file.push_back((uint8_t)c);
    putLe(file, dataBytes, 4);
    for (size_t i = 0; i < frames * 2; i++) putLe(file, (uint16_t)stereo[i], 2);

    // A plain file (or a new one) is written beside its place, hidden, and
    // renamed over it when whole, so a failed write leaves the old file as it
    // was. Anything else (a device, a pipe) is written straight into.
    struct stat old;
    bool exists = stat(path, &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return writeAll(path, file);
    std::string name = path;
    size_t slash = name.rfind('/');
    std::string temporary = slash == std::string::npos
        ? "." + name + ".partial-XXXXXX"
        : name.substr(0, slash + 1) + "." + name.substr(slash + 1) + ".partial-XXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0) return false;
    mode_t mask = umask(0);
    umask(mask);
    bool written = fchmod(fd, exists ? old.st_mode & 07777 : 0666 & ~mask) == 0;
    close(fd);
    written = written && writeAll(temporary.c_str(), file) && rename(temporary.c_str(), path) == 0;
    if (!written) unlink(temporary.c_str());
    return written;
}
