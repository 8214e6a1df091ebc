// make-module: compiles the score in assets/music (song.txt, instruments.txt, *.pat)
// into the Impulse Tracker module zap_wave.it, synthesising every sample on the way.
// The samples are stored compressed; --raw stores them as plain 16-bit PCM (the tests
// compare the two).
// Usage: make-module --dir assets/music --out zap_wave.it [--raw]
#include "music.h"

#include <cstdio>
#include <cstring>
#include <string>

static const int rowMsTimesTempo = 2500; // one row lasts speed * 2500 / tempo milliseconds (IT timing)

int main(int argc, char **argv)
{
    std::string dir = "assets/music", out = "zap_wave.it";
    bool raw = false;
    for (int i = 1; i < argc; i++) {
        if (!std::strcmp(argv[i], "--dir") && i + 1 < argc)      dir = argv[++i];
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) out = argv[++i];
        else if (!std::strcmp(argv[i], "--raw"))                  raw = true;
        else {
            std::fprintf(stderr, "usage: make-module [--dir SCORE_FOLDER] [--out FILE.it] [--raw]\n");
            return 2;
        }
    }

    // 1. Read the score.
    Song song;
    std::string error;
    if (!readSong(dir, song, error)) {
        std::fprintf(stderr, "make-module: %s\n", error.c_str());
        return 1;
    }

    // 2. Synthesise the samples.
    std::vector<Sample> samples;
    for (const Instrument &ins : song.instruments) samples.push_back(synthesise(ins));

    // 3. Write the module.
    std::vector<uint8_t> file = writeImpulseTracker(song, samples, !raw);
    FILE *f = std::fopen(out.c_str(), "wb");
    if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make-module: cannot write %s\n", out.c_str());
        return 1;
    }

    long ms = 0;
    for (int o : song.orders) ms += (long)song.patterns[o].rows.size() * song.speed * rowMsTimesTempo / song.tempo;
    size_t sampleBytes = 0;
    for (const Sample &s : samples) sampleBytes += 2 * s.frames.size();
    std::printf("make-module: %s: %zu bytes (samples of %zu bytes, %s), %zu orders, %zu patterns, %zu samples, %zu channels, %.3f s by the score's tempo\n",
                out.c_str(), file.size(), sampleBytes, raw ? "raw" : "compressed", song.orders.size(), song.patterns.size(), samples.size(),
                song.channelNames.size(), ms / 1000.0);
    return 0;
}
