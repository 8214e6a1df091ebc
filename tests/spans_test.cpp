// The processor path's four-lane spans (web/spans.cpp) against GL's per-pixel
// rules written one pixel at a time: random rows, spans of every length from
// one pixel (the masked last lanes) to a whole row, depth ties, every pair of
// blend terms' extremes. Built to WebAssembly with the page and run by node.
#include "web.h"
#include <cstdio>
#include <cstring>

static const int rowLength = 67;                 // not a multiple of four, so spans end at every lane
static uint32_t seed = 12345;
static uint32_t next() { seed = seed * 1664525u + 1013904223u; return seed >> 8; }
static int failures = 0;

static uint32_t depthOf(float zRow, float zPerX, int x) { return (uint32_t)((zRow + zPerX * x) * 16777215.0f + 0.5f); }

static void referenceFill(uint32_t *pixels, uint32_t *depths, int first, int last, float zRow, float zPerX, uint32_t color)
{
    for (int x = first; x <= last; x++)
        if (depthOf(zRow, zPerX, x) < depths[x]) { depths[x] = depthOf(zRow, zPerX, x); pixels[x] = color; }
}

static void referenceBlend(uint32_t *pixels, uint32_t *depths, int first, int last, float zRow, float zPerX,
                           const BlendTerms &t, bool depthTest)
{
    for (int x = first; x <= last; x++) {
        if (depthTest && depthOf(zRow, zPerX, x) >= depths[x]) continue;
        if (depthTest) depths[x] = depthOf(zRow, zPerX, x);
        uint32_t out = 0xFF000000;
        for (int c = 0; c < 3; c++) {
            int v = (t.added[c] + (int)(pixels[x] >> 8 * c & 255) * t.kept[c] + 127) / 255;
            out |= (uint32_t)(v > 255 ? 255 : v) << 8 * c;
        }
        pixels[x] = out;
    }
}

// A row of random pixels and depths, some of them exactly the span's own (a tie draws nothing).
static void randomRow(uint32_t *pixels, uint32_t *depths, float zRow, float zPerX)
{
    for (int x = 0; x < rowLength + spanSlack; x++) {
        pixels[x] = 0xFF000000 | next();
        uint32_t choice = next() % 3;
        depths[x] = choice == 0 ? depthOf(zRow, zPerX, x) : choice == 1 ? next() % 0x1000000 : 0xFFFFFF;
    }
}

static void check(const char *what, int round, const uint32_t *a, const uint32_t *b)
{
    if (memcmp(a, b, (rowLength + spanSlack) * sizeof(uint32_t)) == 0) return;
    if (failures++ < 10) printf("FAIL: %s, round %d: not the one-pixel rule's row\n", what, round);
}

int main()
{
    static const int extremes[] = {0, 1, 254, 255};
    for (int round = 0; round < 20000; round++) {
        int first = next() % rowLength, last = first + (int)(next() % (rowLength - first));
        if (round % 4 == 0) last = first + (int)(next() % 4); // short spans: the masked lanes alone
        if (last >= rowLength) last = rowLength - 1;
        float zPerX = ((int)(next() % 2001) - 1000) * 1e-5f, zRow = 0.5f + ((int)(next() % 1001) - 500) * 1e-4f;
        uint32_t pixels[2][rowLength + spanSlack], depths[2][rowLength + spanSlack];
        randomRow(pixels[0], depths[0], zRow, zPerX);
        memcpy(pixels[1], pixels[0], sizeof pixels[0]);
        memcpy(depths[1], depths[0], sizeof depths[0]);
        if (round % 2 == 0) {
            uint32_t color = 0xFF000000 | next();
            fillSpan(pixels[0], depths[0], first, last, zRow, zPerX, color);
            referenceFill(pixels[1], depths[1], first, last, zRow, zPerX, color);
        } else {
            BlendTerms terms;
            for (int c = 0; c < 3; c++) {
                int source = round % 8 == 1 ? extremes[next() % 4] : next() % 256;
                terms.added[c] = source * (round % 8 == 1 ? extremes[next() % 4] : next() % 256);
                terms.kept[c] = round % 8 == 1 ? extremes[next() % 4] : next() % 256;
            }
            bool depthTest = round % 4 == 1;
            blendSpan(pixels[0], depths[0], first, last, zRow, zPerX, terms, depthTest);
            referenceBlend(pixels[1], depths[1], first, last, zRow, zPerX, terms, depthTest);
        }
        check(round % 2 == 0 ? "flat span, colours" : "blended span, colours", round, pixels[0], pixels[1]);
        check(round % 2 == 0 ? "flat span, depths" : "blended span, depths", round, depths[0], depths[1]);
    }
    for (int count = 0; count <= 9; count++) {
        uint32_t row[12] = {}, expected[12] = {};
        fillPixels(row, count, 0xFF123456);
        for (int x = 0; x < count; x++) expected[x] = 0xFF123456;
        if (memcmp(row, expected, sizeof row) && failures++ < 10) printf("FAIL: a clear of %d pixels\n", count);
    }
    printf("%s: 20000 spans and 10 clears, %d wrong\n", failures ? "FAIL" : "ok", failures);
    return failures ? 1 : 0;
}
