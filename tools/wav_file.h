// WAV files: 16-bit interleaved stereo PCM, as the music layer renders it.
#pragma once
#include <cstddef>
#include <cstdint>

bool writeWav(const char *path, const int16_t *stereo, size_t frames, int rate);
