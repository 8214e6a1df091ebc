// music-wav: renders a module to a 16-bit stereo WAV file at 44100 Hz through the
// player layer (player.h), the same libopenmpt playback the demo hears, without its
// dither, so the same module always gives the same bytes.
// The module loops forever, so rendering stops when the end order is reached (the
// demo's exit, order 38, by default), when the song wraps, or after --seconds.
// Usage: music-wav [--in zap_wave.it] [--out zap_wave.wav] [--end-order N] [--seconds S]
#include "player.h"
#include "wav_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static const int wavRate     = 44100; // frames per second, the player's offline rate
static const int chunkFrames = 1024;  // frames per playerRender call (23 ms), so order changes are seen promptly

int main(int argc, char **argv)
{
    std::string in = "zap_wave.it", out = "zap_wave.wav";
    int endOrder = 38;
    double seconds = 600;
    for (int i = 1; i < argc; i++) {
        if (!std::strcmp(argv[i], "--in") && i + 1 < argc)             in = argv[++i];
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)       out = argv[++i];
        else if (!std::strcmp(argv[i], "--end-order") && i + 1 < argc) endOrder = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)   seconds = std::atof(argv[++i]);
        else {
            std::fprintf(stderr, "usage: music-wav [--in FILE.it] [--out FILE.wav] [--end-order N] [--seconds S]\n");
            return 2;
        }
    }

    if (!playerLoadModule(0, in.c_str(), 0, 0, playerRamping | playerLooping | playerExact)) {
        std::fprintf(stderr, "music-wav: cannot load %s: %s\n", in.c_str(), playerError());
        return 1;
    }

    // 1. Render until the end order, a wrap to an earlier order, or the time limit.
    std::vector<int16_t> audio;
    std::vector<int16_t> chunk(2 * chunkFrames);
    int lastOrder = 0, lastRow = 0, stopOrder = -1;
    double endSeconds = -1;
    const long maxFrames = (long)(seconds * wavRate);
    while ((long)audio.size() / 2 < maxFrames) {
        int got = playerRender(chunk.data(), chunkFrames);
        if (got <= 0) break;
        audio.insert(audio.end(), chunk.begin(), chunk.begin() + 2 * got);
        uint32_t position = playerGetPosition();
        int order = (int)(position & 0xFFFF), row = (int)(position >> 16);
        bool wrapped = order < lastOrder || (order == lastOrder && row < lastRow);
        if (order >= endOrder || wrapped) { stopOrder = order; endSeconds = (double)audio.size() / 2 / wavRate; break; }
        lastOrder = order;
        lastRow = row;
    }
    playerFreeModule();

    // 2. Write the WAV file.
    if (!writeWav(out.c_str(), audio.data(), audio.size() / 2, wavRate)) {
        std::fprintf(stderr, "music-wav: cannot write %s\n", out.c_str());
        return 1;
    }

    // 3. Say what was rendered: length, where it stopped, peak and loudness.
    double peak = 0, sum = 0;
    for (int16_t v : audio) { peak = std::fmax(peak, std::fabs(v / 32768.0)); sum += (v / 32768.0) * (v / 32768.0); }
    double rms = audio.empty() ? 0 : std::sqrt(sum / audio.size());
    std::printf("music-wav: %s: %.2f s", out.c_str(), (double)audio.size() / 2 / wavRate);
    if (endSeconds >= 0) std::printf(", stopped at order %d at %.2f s", stopOrder, endSeconds);
    std::printf(", peak %.1f dBFS, RMS %.1f dBFS\n", 20 * std::log10(peak + 1e-12), 20 * std::log10(rms + 1e-12));
    return 0;
}
