// The Impulse Tracker writer: a samples-mode IT file (no instruments, 16-bit signed
// samples, stored with IT 2.14/2.15 sample compression or raw), laid out header, order
// list, offset tables, sample headers, patterns, sample data, with no gaps and nothing after.
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

// ---- IT 2.14 and 2.15 sample compression ------------------------------------------
// Each block of up to 16384 frames is a 16-bit byte count and a bit stream, least
// significant bit first, of the frames' differences (modulo 2^16, the first from 0);
// in the 2.15 variant, of the differences of those differences, which are smaller
// where a waveform changes smoothly.
// Every difference is written in the current width of bits; the width starts at 17
// and changes by a code written in the current width:
// - widths 1 to 6: the value 1 << (w - 1), then 4 bits n;
// - widths 7 to 16: one of the 16 values from (1 << (w - 1)) - 8 up, n being which;
// - width 17: bit 16 set, the new width less 1 below it (a difference has bit 16 clear).
// From n the new width is n + 1, or n + 2 where that is not below the current one.
// So a width can hold only the differences no code takes, and a change costs the
// current width (4 bits more below 7). The widths are chosen for the fewest bits.

static const int itBlockFrames = 16384; // 0x8000 bytes of 16-bit frames per block
static const int itWidestWidth = 17;

static bool widthHolds(int width, int delta)
{
    if (width == itWidestWidth) return true;
    int half = 1 << (width - 1);
    if (width <= 6) return delta > -half && delta < half;
    return delta >= -half + 8 && delta <= half - 9;
}

static int changeBits(int width) { return width + (width <= 6 ? 4 : 0); }

struct BitWriter {
    std::vector<uint8_t> bytes;
    int used = 8; // bits of the last byte already written
    void put(uint32_t value, int width)
    {
        for (int i = 0; i < width; i++, used++) {
            if (used == 8) { bytes.push_back(0); used = 0; }
            bytes.back() |= (uint8_t)(((value >> i) & 1) << used);
        }
    }
};

static void putWidthChange(BitWriter &out, int from, int to)
{
    if (from == itWidestWidth) { out.put(1u << 16 | (uint32_t)(to - 1), from); return; }
    int n = to < from ? to - 1 : to - 2;
    int top = 1 << (from - 1);
    if (from <= 6) {
        out.put((uint32_t)top, from);
        out.put((uint32_t)n, 4);
    } else {
        out.put((uint32_t)(top - 8 + n), from);
    }
}

// One block: the cheapest width for each frame by dynamic programming over the
// 17 widths (the cost of reaching frame i in width w, and the width it came from).
static void compressBlock(std::vector<uint8_t> &b, const int16_t *frames, int count, bool deltaOfDeltas)
{
    std::vector<int> delta(count);
    for (int i = 0, last = 0; i < count; last = frames[i], i++) delta[i] = (int16_t)(uint16_t)(frames[i] - last);
    if (deltaOfDeltas)
        for (int i = count - 1; i > 0; i--) delta[i] = (int16_t)(uint16_t)(delta[i] - delta[i - 1]);

    const long unreachable = 1L << 40;
    std::vector<uint8_t> cameFrom((size_t)count * (itWidestWidth + 1));
    std::vector<long> cost(itWidestWidth + 1, unreachable), next(itWidestWidth + 1);
    cost[itWidestWidth] = 0;
    for (int i = 0; i < count; i++) {
        for (int w = 1; w <= itWidestWidth; w++) {
            next[w] = unreachable;
            if (!widthHolds(w, delta[i])) continue;
            for (int from = 1; from <= itWidestWidth; from++) {
                long c = cost[from] + (from == w ? 0 : changeBits(from)) + w;
                if (c < next[w]) { next[w] = c; cameFrom[(size_t)i * (itWidestWidth + 1) + w] = (uint8_t)from; }
            }
        }
        cost.swap(next);
    }
    std::vector<int> width(count);
    int w = (int)(std::min_element(cost.begin() + 1, cost.end()) - cost.begin());
    for (int i = count - 1; i >= 0; i--) {
        width[i] = w;
        w = cameFrom[(size_t)i * (itWidestWidth + 1) + w];
    }

    BitWriter out;
    for (int i = 0, current = itWidestWidth; i < count; i++) {
        if (width[i] != current) putWidthChange(out, current, width[i]);
        current = width[i];
        out.put((uint32_t)delta[i] & ((1u << std::min(current, 16)) - 1), current);
    }
    put16(b, (int)out.bytes.size());
    b.insert(b.end(), out.bytes.begin(), out.bytes.end());
}

static std::vector<uint8_t> compressSample(const std::vector<int16_t> &frames, bool deltaOfDeltas)
{
    std::vector<uint8_t> b;
    for (size_t at = 0; at < frames.size(); at += itBlockFrames)
        compressBlock(b, frames.data() + at, (int)std::min(frames.size() - at, (size_t)itBlockFrames), deltaOfDeltas);
    return b;
}

// ---- the file ----------------------------------------------------------------------

std::vector<uint8_t> writeImpulseTracker(const Song &song, const std::vector<Sample> &samples, bool compressed)
{
    // The order list: every real order, then one 255 ("end of song") entry.
    std::vector<uint8_t> b;
    const int ordNum = (int)song.orders.size() + 1;
    const int smpNum = (int)samples.size();
    const int patNum = (int)song.patterns.size();

    // Each sample's data as stored: compressed, it takes whichever variant is
    // smaller (the 2.15 one for smooth waveforms, 2.14 for noise).
    std::vector<std::vector<uint8_t>> data(smpNum);
    std::vector<bool> deltaOfDeltas(smpNum, false);
    for (int i = 0; i < smpNum; i++) {
        if (!compressed) {
            for (int16_t v : samples[i].frames) put16(data[i], (uint16_t)v);
            continue;
        }
        data[i] = compressSample(samples[i].frames, false);
        std::vector<uint8_t> smoother = compressSample(samples[i].frames, true);
        if (smoother.size() < data[i].size()) { data[i].swap(smoother); deltaOfDeltas[i] = true; }
    }
    const bool it215 = std::find(deltaOfDeltas.begin(), deltaOfDeltas.end(), true) != deltaOfDeltas.end();

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
    put16(b, it215 ? 0x0215 : 0x0214); // Cmwt: 2.15 reads the deltas of deltas
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
        put8(b, 0x01 | 0x02 | (compressed ? 0x08 : 0) | (s.loopEnd > 0 ? 0x10 : 0)); // data, 16-bit, compressed? looped?
        put8(b, s.volume);
        putText(b, s.name, 26);
        put8(b, 0x01 | (deltaOfDeltas[i] ? 0x04 : 0));        // signed PCM, 2.15 compression?
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

    // 5. Sample data, compressed or 16-bit little-endian.
    for (int i = 0; i < smpNum; i++) {
        patch32(b, dataPointer[i], (uint32_t)b.size());
        b.insert(b.end(), data[i].begin(), data[i].end());
    }
    return b;
}
