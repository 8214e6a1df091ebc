// The rasteriser's inner loops, four pixels at a time with WebAssembly SIMD:
// clears, flat depth-tested spans and the blended spans whose factors read
// only the source. A span's last one to three pixels are four lanes too, those
// beyond it written back as they were; each pixel comes out exactly as GL's
// per-pixel rules (and the one-pixel loop this replaced) give it.
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

// The depths of four pixels as 24 bits, in single precision as GL's per-pixel
// depth was taken before (WebAssembly fuses no multiply-add, so the steps round
// as written).
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

// Lanes x to x + 3 that lie inside the span.
static v128_t inSpan(int x, int last)
{
    return wasm_i32x4_le(wasm_i32x4_make(x, x + 1, x + 2, x + 3), wasm_i32x4_splat(last));
}

void fillSpan(uint32_t *pixels, uint32_t *depths, int first, int last, float zRow, float zPerX, uint32_t color)
{
    v128_t rowZ = wasm_f32x4_splat(zRow), stepZ = wasm_f32x4_splat(zPerX), colors = wasm_i32x4_splat((int32_t)color);
    v128_t xs = firstFour(first), four = wasm_f32x4_splat(4);
    for (int x = first; x <= last; x += 4, xs = wasm_f32x4_add(xs, four)) {
        v128_t d = depthsAt(rowZ, stepZ, xs), kept = wasm_v128_load(depths + x);
        v128_t nearer = wasm_u32x4_lt(d, kept);
        if (x + 3 > last) nearer = wasm_v128_and(nearer, inSpan(x, last));
        if (!wasm_v128_any_true(nearer)) continue;
        wasm_v128_store(depths + x, wasm_v128_bitselect(d, kept, nearer));
        wasm_v128_store(pixels + x, wasm_v128_bitselect(colors, wasm_v128_load(pixels + x), nearer));
    }
}

// A channel is (added + destination * kept + 127) / 255, at most 255. The sum
// stays below 2^17, where the single-precision quotient's whole part is the
// integer quotient.
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
    v128_t rowZ = wasm_f32x4_splat(zRow), stepZ = wasm_f32x4_splat(zPerX);
    v128_t xs = firstFour(first), four = wasm_f32x4_splat(4), all = wasm_i32x4_splat(-1);
    for (int x = first; x <= last; x += 4, xs = wasm_f32x4_add(xs, four)) {
        v128_t drawn = x + 3 > last ? inSpan(x, last) : all, destination = wasm_v128_load(pixels + x);
        if (depthTest) {
            v128_t d = depthsAt(rowZ, stepZ, xs), kept = wasm_v128_load(depths + x);
            drawn = wasm_v128_and(drawn, wasm_u32x4_lt(d, kept));
            if (!wasm_v128_any_true(drawn)) continue;
            wasm_v128_store(depths + x, wasm_v128_bitselect(d, kept, drawn));
        }
        wasm_v128_store(pixels + x, wasm_v128_bitselect(blendFour(terms, destination), destination, drawn));
    }
}
