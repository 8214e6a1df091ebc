// The Impulse Tracker writer: a samples-mode IT file (no instruments, 16-bit signed
// samples), laid out as ../shared/it-format.md recommends: header, order list, offset
// tables, sample headers, patterns, sample data, with no gaps and nothing after.
#include "music.h"

#include <algorithm>
#include <cstring>

static void put8(std::vector<uint8_t> &b, int v) { b.push_back((uint8_t)v); }
static void put16(std::vector<uint8_t> &b, int v) { put8(b, v & 0xFF); put8(b, (v >> 8) & 0xFF); }
static void put32(std::vector<uint8_t> &b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }
static void putText(std::vector<uint8_t> &b, const std::string &s, size_t size) // NUL-padded, always NUL-ended
{
    for (size_t i = 0; i < size; i++) put8(b, i + 1 < size && i < s.size() ? s[i] : 0);
}
static void patch32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}

// One pattern's packed rows (section 6 of it-format.md). Masks are always written
// afresh (bit7 set), which every loader reads the same way.
static std::vector<uint8_t> packPattern(const Pattern &p)
{
    std::vector<uint8_t> d;
    for (const std::vector<Cell> &row : p.rows) {
        for (size_t ch = 0; ch < row.size(); ch++) {
            const Cell &c = row[ch];
            int mask = (c.note >= 0 ? 1 : 0) | (c.instrument > 0 ? 2 : 0) | (c.volume >= 0 ? 4 : 0) | (c.effect > 0 ? 8 : 0);
            if (!mask) continue;
            put8(d, 0x80 | (int)(ch + 1));
            put8(d, mask);
            if (mask & 1) put8(d, c.note);
            if (mask & 2) put8(d, c.instrument);
            if (mask & 4) put8(d, c.volume);
            if (mask & 8) { put8(d, c.effect); put8(d, c.param); }
        }
        put8(d, 0);
    }
    return d;
}

std::vector<uint8_t> writeImpulseTracker(const Song &song, const std::vector<Sample> &samples)
{
    // The order list: every real order, then one 255 ("end of song") entry.
    std::vector<uint8_t> b;
    const int ordNum = (int)song.orders.size() + 1;
    const int smpNum = (int)samples.size();
    const int patNum = (int)song.patterns.size();

    // 1. Song header, 192 bytes.
    b.insert(b.end(), {'I', 'M', 'P', 'M'});
    putText(b, song.title, 26);
    put8(b, 4);                  // highlight: rows per beat
    put8(b, 16);                 // highlight: rows per measure
    put16(b, ordNum);
    put16(b, 0);                 // InsNum: samples mode
    put16(b, smpNum);
    put16(b, patNum);
    put16(b, 0x0214);            // Cwt/v
    put16(b, 0x0214);            // Cmwt
    put16(b, 0x0009);            // stereo, linear slides, samples mode
    put16(b, 0);                 // Special
    put8(b, song.globalVolume);
    put8(b, song.mixVolume);
    put8(b, song.speed);
    put8(b, song.tempo);
    put8(b, 128);                // stereo separation
    put8(b, 0);                  // pitch wheel depth
    put16(b, 0);                 // message length
    put32(b, 0);                 // message offset
    put32(b, 0);                 // reserved
    for (int ch = 0; ch < 64; ch++) put8(b, ch < (int)song.channelPan.size() ? song.channelPan[ch] : 0xA0);
    for (int ch = 0; ch < 64; ch++) put8(b, ch < (int)song.channelVolume.size() ? song.channelVolume[ch] : 64);

    // 2. Order list and offset tables (filled in below).
    for (int o : song.orders) put8(b, o);
    put8(b, 255);
    const size_t sampleTable = b.size();
    for (int i = 0; i < smpNum; i++) put32(b, 0);
    const size_t patternTable = b.size();
    for (int i = 0; i < patNum; i++) put32(b, 0);

    // 3. Sample headers, 80 bytes each; the data pointer is patched later.
    std::vector<size_t> dataPointer;
    for (int i = 0; i < smpNum; i++) {
        const Sample &s = samples[i];
        patch32(b, sampleTable + 4 * i, (uint32_t)b.size());
        b.insert(b.end(), {'I', 'M', 'P', 'S'});
        std::string dosName = s.name.substr(0, 8);
        std::transform(dosName.begin(), dosName.end(), dosName.begin(), ::toupper);
        putText(b, dosName + ".RAW", 12);
        put8(b, 0);
        put8(b, 64);                                          // sample global volume
        put8(b, 0x01 | 0x02 | (s.loopEnd > 0 ? 0x10 : 0));    // data present, 16-bit, looped?
        put8(b, s.volume);
        putText(b, s.name, 26);
        put8(b, 0x01);                                        // signed PCM
        put8(b, s.pan >= 0 ? (0x80 | s.pan) : 0x20);
        put32(b, (uint32_t)s.frames.size());
        put32(b, s.loopEnd > 0 ? s.loopBegin : 0);
        put32(b, s.loopEnd > 0 ? s.loopEnd : 0);
        put32(b, s.c5Speed);
        put32(b, 0);                                          // sustain loop
        put32(b, 0);
        dataPointer.push_back(b.size());
        put32(b, 0);
        put32(b, 0);                                          // auto-vibrato off
    }

    // 4. Patterns.
    for (int i = 0; i < patNum; i++) {
        std::vector<uint8_t> packed = packPattern(song.patterns[i]);
        patch32(b, patternTable + 4 * i, (uint32_t)b.size());
        put16(b, (int)packed.size());
        put16(b, (int)song.patterns[i].rows.size());
        put32(b, 0);
        b.insert(b.end(), packed.begin(), packed.end());
    }

    // 5. Sample data, 16-bit little-endian.
    for (int i = 0; i < smpNum; i++) {
        patch32(b, dataPointer[i], (uint32_t)b.size());
        for (int16_t v : samples[i].frames) put16(b, (uint16_t)v);
    }
    return b;
}
