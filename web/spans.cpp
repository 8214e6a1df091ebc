// The rasteriser's inner loops, four pixels at a time with WebAssembly SIMD:
// clears, flat depth-tested spans and the blended spans whose factors read
// only the source. Each gives exactly the pixels of the one-pixel loop it
// ends with, which also draws the last pixels of a span.
#include "web.h"
#include <wasm_simd128.h>

static const uint32_t opaqueBlack = 0xFF000000;
static const float    depthScale  = 16777215.0f; // 1.0 as 24 bits

void fillPixels(uint32_t *pixels, int count, uint32_t value)
{
    v128_t four = wasm_i32x4_splat((int32_t)value);
    int x = 0;
    for (; x + 4 <= count; x += 4) wasm_v128_store(pixels + x, four);
    for (; x < count; x++) pixels[x] = value;
}

// The depth of pixel x, as 24 bits: in the four-wide loop the same single
// precision steps in the same order (WebAssembly fuses no multiply-add), so
// both loops round alike.
static uint32_t depthAt(float zRow, float zPerX, int x)
{
    return (uint32_t)((zRow + zPerX * x) * depthScale + 0.5f);
}

static v128_t depthsAt(v128_t zRow, v128_t zPerX, v128_t xs)
{
    v128_t z = wasm_f32x4_add(zRow, wasm_f32x4_mul(zPerX, xs));
    return wasm_u32x4_trunc_sat_f32x4(wasm_f32x4_add(wasm_f32x4_mul(z, wasm_f32x4_splat(depthScale)),
                                                     wasm_f32x4_splat(0.5f)));
}

static v128_t firstFour(int first)
{
    return wasm_f32x4_make((float)first, (float)(first + 1), (float)(first + 2), (float)(first + 3));
}

void fillSpan(uint32_t *pixels, uint32_t *depths, int first, int last, float zRow, float zPerX, uint32_t color)
{
    int x = first;
    v128_t rowZ = wasm_f32x4_splat(zRow), stepZ = wasm_f32x4_splat(zPerX), colors = wasm_i32x4_splat((int32_t)color);
    v128_t xs = firstFour(first), four = wasm_f32x4_splat(4);
    for (; x + 3 <= last; x += 4, xs = wasm_f32x4_add(xs, four)) {
        v128_t d = depthsAt(rowZ, stepZ, xs), kept = wasm_v128_load(depths + x);
        v128_t nearer = wasm_u32x4_lt(d, kept);
        if (!wasm_v128_any_true(nearer)) continue;
        wasm_v128_store(depths + x, wasm_v128_bitselect(d, kept, nearer));
        wasm_v128_store(pixels + x, wasm_v128_bitselect(colors, wasm_v128_load(pixels + x), nearer));
    }
    for (; x <= last; x++) {
        uint32_t d = depthAt(zRow, zPerX, x);
        if (d < depths[x]) { depths[x] = d; pixels[x] = color; }
    }
}

// A channel is (added + destination * kept + 127) / 255, at most 255. The sum
// stays below 2^17, where single precision divides exactly enough that its
// whole part is the integer quotient.
static uint32_t blendChannel(int added, int kept, uint32_t destination)
{
    int v = (added + (int)destination * kept + 127) / 255;
    return (uint32_t)(v > 255 ? 255 : v);
}

static v128_t blendFour(const BlendTerms &terms, v128_t destination)
{
    v128_t out = wasm_i32x4_splat((int32_t)opaqueBlack), byte = wasm_i32x4_splat(255);
    for (int c = 0; c < 3; c++) {
        v128_t channel = wasm_v128_and(wasm_u32x4_shr(destination, 8 * c), byte);
        v128_t sum = wasm_i32x4_add(wasm_i32x4_mul(channel, wasm_i32x4_splat(terms.kept[c])),
                                    wasm_i32x4_splat(terms.added[c] + 127));
        v128_t quotient = wasm_u32x4_trunc_sat_f32x4(wasm_f32x4_div(wasm_f32x4_convert_i32x4(sum),
                                                                    wasm_f32x4_splat(255)));
        out = wasm_v128_or(out, wasm_i32x4_shl(wasm_u32x4_min(quotient, byte), 8 * c));
    }
    return out;
}

void blendSpan(uint32_t *pixels, uint32_t *depths, int first, int last, float zRow, float zPerX,
               const BlendTerms &terms, bool depthTest)
{
    int x = first;
    v128_t rowZ = wasm_f32x4_splat(zRow), stepZ = wasm_f32x4_splat(zPerX);
    v128_t xs = firstFour(first), four = wasm_f32x4_splat(4);
    for (; x + 3 <= last; x += 4, xs = wasm_f32x4_add(xs, four)) {
        v128_t destination = wasm_v128_load(pixels + x);
        if (!depthTest) { wasm_v128_store(pixels + x, blendFour(terms, destination)); continue; }
        v128_t d = depthsAt(rowZ, stepZ, xs), kept = wasm_v128_load(depths + x);
        v128_t nearer = wasm_u32x4_lt(d, kept);
        if (!wasm_v128_any_true(nearer)) continue;
        wasm_v128_store(depths + x, wasm_v128_bitselect(d, kept, nearer));
        wasm_v128_store(pixels + x, wasm_v128_bitselect(blendFour(terms, destination), destination, nearer));
    }
    for (; x <= last; x++) {
        if (depthTest) {
            uint32_t d = depthAt(zRow, zPerX, x);
            if (d >= depths[x]) continue;
            depths[x] = d;
        }
        uint32_t destination = pixels[x], out = opaqueBlack;
        for (int c = 0; c < 3; c++)
            out |= blendChannel(terms.added[c], terms.kept[c], destination >> 8 * c & 255) << 8 * c;
        pixels[x] = out;
    }
}
