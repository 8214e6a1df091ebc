// Writes a 16-bit stereo WAV file: the RIFF header, then the samples
// little-endian.
#include "wav_file.h"
#include <cstdio>
#include <vector>

static void putLe(std::vector<uint8_t> &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++) out.push_back((uint8_t)(value >> (8 * i)));
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

    FILE *f = fopen(path, "wb");
    if (!f) return false;
    bool written = fwrite(file.data(), 1, file.size(), f) == file.size();
    return fclose(f) == 0 && written;
}
