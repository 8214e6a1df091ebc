// The drawing path with no GPU: where the browser gives no WebGL (none at all,
// a blocklisted driver, a context lost and not given back) the GL layer hands
// its batches here, and they are drawn on the processor into a colour and a
// depth buffer in our own memory, shown on the canvas by putImageData at the
// swap. It follows GL's rules, as Mesa's software rasteriser applies them to
// the frame tool's pictures: window positions snapped to 1/256 pixel, pixel
// centres at half pixels, the top-left fill rule, depth interpolated per pixel
// and kept as 24 bits, tested with GL_LESS, fragments beyond the far plane
// dropped, the scissor box, blending with the few factors the scenes use
// (alpha is always 1), scissored clears, and the present step's one texture
// with nearest or linear filtering, clamped to its edge.
// Limits: colours come flat from the layer (one per triangle), textures are
// not perspective-corrected (the present step's quad is flat on the screen).
#include "shell.h"
#include "web.h"
#include <GLES2/gl2.h>
#include <emscripten.h>
#include <emscripten/html5.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const int      subpixelBits = 8;         // positions are kept in 1/256 pixel
static const int      subpixel     = 1 << subpixelBits;
static const float    largestPosition = 1.0e6f; // pixels from the origin; keeps the fixed-point products in 64 bits
static const uint32_t depthFar     = 0xFFFFFF;  // 1.0 as 24 bits
static const uint32_t opaqueBlack  = 0xFF000000;

struct RasterBuffers {
    int       width, height;                    // the canvas's pixels
    uint32_t *color;                            // RGBA bytes, rows from the top as putImageData takes them
    uint32_t *depth;                            // 24 bits, rows from the top
    int       textureWidth, textureHeight;
    uint32_t *texture;                          // RGBA bytes, rows from the bottom as GL counts them
    uint32_t *mixed;                            // the enlargement's two texture rows mixed, one texel wide
};
static RasterBuffers raster;

long long rasterFragments = 0; // pixels of triangles tested so far; the bench reads it

EM_JS(int, pageOpen2d, (), {
    const canvas = document.getElementById('canvas');
    Module.cubicRaster = canvas ? canvas.getContext('2d', {alpha: false}) : null;
    return Module.cubicRaster ? 1 : 0;
});

EM_JS(void, pagePutImage, (const uint32_t *pixels, int width, int height), {
    const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
    Module.cubicRaster.putImageData(new ImageData(bytes, width, height), 0, 0);
});

// A new size starts cleared, as a resized canvas does; a size there is no
// memory for stops the demo with one sentence, and nothing is drawn.
static void fitBuffers(int width, int height)
{
    if (width == raster.width && height == raster.height && raster.color) return;
    free(raster.color);
    free(raster.depth);
    size_t count = (size_t)width * height;
    raster.color = (uint32_t *)malloc((count + spanSlack) * sizeof(uint32_t));
    raster.depth = (uint32_t *)malloc((count + spanSlack) * sizeof(uint32_t));
    if (!raster.color || !raster.depth) {
        free(raster.color);
        free(raster.depth);
        bool told = raster.width < 0;
        raster = {-1, -1, nullptr, nullptr, raster.textureWidth, raster.textureHeight, raster.texture, raster.mixed};
        if (told) return;
        char message[128];
        snprintf(message, sizeof message, "there is no memory to draw %dx%d pixels on the processor", width, height);
        failAndExit(message);
        return;
    }
    raster.width = width;
    raster.height = height;
    fillPixels(raster.color, (int)count, opaqueBlack);
    fillPixels(raster.depth, (int)count, depthFar);
}

void rasterFollowCanvas()
{
    int width, height;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    fitBuffers(width, height);
}

bool rasterStart()
{
    if (!pageOpen2d()) return false;
    rasterFollowCanvas();
    return true;
}

void rasterShow()
{
    if (raster.color) pagePutImage(raster.color, raster.width, raster.height);
}

// --- clears and the texture -------------------------------------------------------

struct Box { int x0, y0, x1, y1; }; // GL's pixels, bottom-left origin, x1 and y1 excluded

static Box intersect(Box a, Box b)
{
    return {a.x0 > b.x0 ? a.x0 : b.x0, a.y0 > b.y0 ? a.y0 : b.y0,
            a.x1 < b.x1 ? a.x1 : b.x1, a.y1 < b.y1 ? a.y1 : b.y1};
}

static Box scissorBox(const DrawState &s, Box box)
{
    if (!s.scissorTest) return box;
    return intersect(box, {s.scissor[0], s.scissor[1], s.scissor[0] + s.scissor[2], s.scissor[1] + s.scissor[3]});
}

static uint32_t packColor(const uint8_t c[3]) { return opaqueBlack | c[2] << 16 | c[1] << 8 | c[0]; }

static uint8_t toByte(float c) { return (uint8_t)lroundf((c < 0 ? 0 : c > 1 ? 1 : c) * 255); }

// The clear ignores the viewport and keeps to the scissor box, as GL's does.
void rasterClear(unsigned mask, const DrawState &s)
{
    Box box = scissorBox(s, {0, 0, raster.width, raster.height});
    uint8_t rgb[3] = {toByte(s.clearColor[0]), toByte(s.clearColor[1]), toByte(s.clearColor[2])};
    uint32_t color = packColor(rgb);
    for (int y = box.y0; y < box.y1; y++) {
        size_t row = (size_t)(raster.height - 1 - y) * raster.width;
        if (mask & GL_COLOR_BUFFER_BIT) fillPixels(raster.color + row + box.x0, box.x1 - box.x0, color);
        if (mask & GL_DEPTH_BUFFER_BIT) fillPixels(raster.depth + row + box.x0, box.x1 - box.x0, depthFar);
    }
}

// Without memory for the texture or the row beside it the picture could not
// be enlarged: as with the picture itself, the demo stops with one sentence.
void rasterTextureSize(int width, int height)
{
    free(raster.texture);
    free(raster.mixed);
    raster.texture = (uint32_t *)calloc((size_t)width * height, sizeof(uint32_t));
    raster.mixed = (uint32_t *)malloc((size_t)width * sizeof(uint32_t));
    bool had = raster.texture && raster.mixed;
    raster.textureWidth = had ? width : 0;
    raster.textureHeight = had ? height : 0;
    if (had) return;
    free(raster.texture);
    free(raster.mixed);
    raster.texture = raster.mixed = nullptr;
    char message[128];
    snprintf(message, sizeof message, "there is no memory to enlarge the picture from a %dx%d texture on the processor",
             width, height);
    failAndExit(message);
}

void rasterCopyToTexture(int xOffset, int yOffset, int x, int y, int width, int height)
{
    // Held to both the picture and the texture; what lies outside either is left as it was.
    int left = std::max({0, -x, -xOffset}), bottom = std::max({0, -y, -yOffset});
    int right = std::min({width, raster.width - x, raster.textureWidth - xOffset});
    int top = std::min({height, raster.height - y, raster.textureHeight - yOffset});
    if (!raster.color || !raster.texture || left >= right) return;
    for (int j = bottom; j < top; j++)
        memcpy(raster.texture + (size_t)(yOffset + j) * raster.textureWidth + xOffset + left,
               raster.color + (size_t)(raster.height - 1 - (y + j)) * raster.width + x + left,
               (size_t)(right - left) * sizeof(uint32_t));
}

static uint32_t texel(int i, int j)
{
    i = i < 0 ? 0 : i >= raster.textureWidth ? raster.textureWidth - 1 : i;
    j = j < 0 ? 0 : j >= raster.textureHeight ? raster.textureHeight - 1 : j;
    return raster.texture[(size_t)j * raster.textureWidth + i];
}

// GL's sampling of a level without mipmaps: the texel under the point, or the
// four around it weighted by distance, the edge repeated beyond the edge.
static uint32_t sample(float u, float v, bool linear)
{
    if (!raster.texture) return opaqueBlack;
    float s = u * raster.textureWidth, t = v * raster.textureHeight;
    if (!linear) return texel((int)floorf(s), (int)floorf(t));
    s -= 0.5f; t -= 0.5f;
    int i = (int)floorf(s), j = (int)floorf(t);
    float a = s - i, b = t - j;
    uint32_t c00 = texel(i, j), c10 = texel(i + 1, j), c01 = texel(i, j + 1), c11 = texel(i + 1, j + 1);
    uint32_t out = opaqueBlack;
    for (int shift = 0; shift < 24; shift += 8) {
        float bottom = (1 - a) * (c00 >> shift & 255) + a * (c10 >> shift & 255);
        float top = (1 - a) * (c01 >> shift & 255) + a * (c11 >> shift & 255);
        out |= (uint32_t)lroundf((1 - b) * bottom + b * top) << shift;
    }
    return out;
}

// --- blending ----------------------------------------------------------------------

// One factor of glBlendFunc for one channel, out of 255; the source's alpha is 1.
static int blendFactor(unsigned factor, int source, int destination)
{
    switch (factor) {
    case GL_ZERO:                return 0;
    case GL_SRC_COLOR:           return source;
    case GL_ONE_MINUS_SRC_COLOR: return 255 - source;
    case GL_DST_COLOR:           return destination;
    case GL_ONE_MINUS_DST_COLOR: return 255 - destination;
    case GL_ONE_MINUS_SRC_ALPHA: return 0;
    case GL_DST_ALPHA:           return 255;
    case GL_ONE_MINUS_DST_ALPHA: return 0;
    default:                     return 255; // GL_ONE, GL_SRC_ALPHA
    }
}

static uint32_t blend(const DrawState &s, uint32_t source, uint32_t destination)
{
    uint32_t out = opaqueBlack;
    for (int shift = 0; shift < 24; shift += 8) {
        int sc = source >> shift & 255, dc = destination >> shift & 255;
        int sum = sc * blendFactor(s.blendSource, sc, dc) + dc * blendFactor(s.blendDestination, sc, dc);
        int c = (sum + 127) / 255;
        out |= (uint32_t)(c > 255 ? 255 : c) << shift;
    }
    return out;
}

// --- triangles -----------------------------------------------------------------------

// floor(a / b) and ceil(a / b) for b > 0.
static int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
static int64_t ceilDiv(int64_t a, int64_t b)  { return -floorDiv(-a, b); }

struct WindowVertex {
    float   x, y, z, u, v;                      // window coordinates, z from 0 (near) to 1 (far)
    int64_t fx, fy;                             // x and y less half a pixel, in 1/256 pixel: pixel
                                                // centres fall on whole numbers
};

static float limit(float p)
{
    return p < -largestPosition ? -largestPosition : p > largestPosition ? largestPosition : p;
}

static WindowVertex toWindow(const ClipVertex &c, const DrawState &s)
{
    float inverse = 1 / c.w;
    float halfWidth = s.viewport[2] * 0.5f, halfHeight = s.viewport[3] * 0.5f;
    WindowVertex w;
    w.x = limit(c.x * inverse * halfWidth + (s.viewport[0] + halfWidth));
    w.y = limit(c.y * inverse * halfHeight + (s.viewport[1] + halfHeight));
    w.z = c.z * inverse * 0.5f + 0.5f;
    w.u = c.u;
    w.v = c.v;
    w.fx = llroundf((w.x - 0.5f) * subpixel);
    w.fy = llroundf((w.y - 0.5f) * subpixel);
    return w;
}

// One edge, from a to b, of a triangle turning counter-clockwise: a pixel
// centre (x, y) is inside where dx * (y - ay) - dy * (x - ax) >= bias. A centre
// on the edge itself belongs to the triangle on one side only: here to one
// whose edge is a top or a left edge (bias 0), else bias 1. In whole pixels,
// with p = dx * (y - ay) + dy * ax - bias (in 1/256 pixel), a row is inside
// from x = -floor(p / b) where dy < 0, up to x = floor(p / b) where dy > 0,
// b = |dy| * 256; p grows by dx * 256 a row, so the quotient is walked down
// the rows with its remainder, as a line is drawn, with no division per row.
struct Edge {
    int     side;                               // -1: the span's first pixel, 1: its last, 0: a horizontal edge
    int64_t quotient, remainder, divisor;       // floor(p / b), p - that * b, b
    int64_t quotientStep, remainderStep;        // floor(step / b), step - that * b
    int64_t p, step;                            // for a horizontal edge: inside where p >= 0
};

static Edge makeEdge(const WindowVertex &a, const WindowVertex &b, int64_t firstRow)
{
    int64_t dx = b.fx - a.fx, dy = b.fy - a.fy;
    bool topOrLeft = dy < 0 || (dy == 0 && dx < 0);
    Edge e = {};
    e.p = dx * (firstRow * subpixel - a.fy) + dy * a.fx - (topOrLeft ? 0 : 1);
    e.step = dx * subpixel;
    if (dy == 0) return e;
    e.side = dy < 0 ? -1 : 1;
    e.divisor = (dy < 0 ? -dy : dy) * subpixel;
    e.quotient = floorDiv(e.p, e.divisor);
    e.remainder = e.p - e.quotient * e.divisor;
    e.quotientStep = floorDiv(e.step, e.divisor);
    e.remainderStep = e.step - e.quotientStep * e.divisor;
    return e;
}

// Narrows the row's pixels [*first, *last] to those inside the edge, then
// moves the edge on to the next row.
static void clipSpan(Edge &e, int *first, int *last)
{
    if (e.side < 0 && -e.quotient > *first) *first = -e.quotient > *last + 1 ? *last + 1 : (int)-e.quotient;
    if (e.side > 0 && e.quotient < *last)   *last = e.quotient < *first - 1 ? *first - 1 : (int)e.quotient;
    if (e.side == 0 && e.p < 0)             *last = *first - 1;
    e.p += e.step;
    e.quotient += e.quotientStep;
    e.remainder += e.remainderStep;
    if (e.remainder >= e.divisor && e.side != 0) { e.remainder -= e.divisor; e.quotient++; }
}

// A value given at the three corners, as a plane over window pixels.
struct Plane { double atOrigin, perX, perY; };

static Plane makePlane(const WindowVertex &a, const WindowVertex &b, const WindowVertex &c, float WindowVertex::*value)
{
    double x1 = b.x - a.x, y1 = b.y - a.y, x2 = c.x - a.x, y2 = c.y - a.y;
    double v1 = b.*value - a.*value, v2 = c.*value - a.*value, area = x1 * y2 - x2 * y1;
    double perX = (v1 * y2 - v2 * y1) / area, perY = (v2 * x1 - v1 * x2) / area;
    return {a.*value - perX * a.x - perY * a.y, perX, perY};
}

static bool inDepthRange(float depth) { return depth >= 0 && depth <= 1; }

// Blending whose factors read only the source, whose colour is the
// triangle's: per channel, a constant plus the destination times a constant.
static bool constantBlend(const DrawState &s, uint32_t color, BlendTerms *terms)
{
    for (unsigned factor : {s.blendSource, s.blendDestination})
        if (factor == GL_DST_COLOR || factor == GL_ONE_MINUS_DST_COLOR) return false;
    for (int c = 0; c < 3; c++) {
        int sc = color >> 8 * c & 255;
        terms->added[c] = sc * blendFactor(s.blendSource, sc, 0);
        terms->kept[c] = blendFactor(s.blendDestination, sc, 0);
    }
    return true;
}

// Two 8-bit channels at once (bits 0-7 and 16-23), weighted w/256 towards q.
static uint32_t lerpPair(uint32_t p, uint32_t q, uint32_t w) { return ((p * (256 - w) + q * w) >> 8) & 0x00FF00FF; }

static uint32_t lerpColor(uint32_t p, uint32_t q, uint32_t w)
{
    return lerpPair(p & 0x00FF00FF, q & 0x00FF00FF, w) | lerpPair(p >> 8 & 0x00FF00FF, q >> 8 & 0x00FF00FF, w) << 8;
}

static int clampIndex(int i, int size) { return i < 0 ? 0 : i >= size ? size - 1 : i; }

// The present step's enlargement: a quad square to the screen, so across a
// row only the texture's u changes (v by less than a hundredth of a texel).
// Linear weights are kept in 1/256; the two texture rows a span reads are
// mixed once per texel, so each pixel mixes only two neighbours.
static void textureSpan(uint32_t *pixels, int first, int last, double uRow, double uPerX, float v, bool linear)
{
    uint32_t *mixed = raster.mixed;
    int width = raster.textureWidth, height = raster.textureHeight;
    float t = v * height - (linear ? 0.5f : 0);
    int j = (int)floorf(t);
    const uint32_t *row0 = raster.texture + (size_t)clampIndex(j, height) * width;
    if (!linear) {
        for (int x = first; x <= last; x++)
            pixels[x] = row0[clampIndex((int)floorf((float)(uRow + uPerX * (x + 0.5)) * width), width)] | opaqueBlack;
        return;
    }
    const uint32_t *row1 = raster.texture + (size_t)clampIndex(j + 1, height) * width;
    uint32_t b = (uint32_t)((t - j) * 256);
    float sFirst = (float)(uRow + uPerX * (first + 0.5)) * width - 0.5f;
    float sLast = (float)(uRow + uPerX * (last + 0.5)) * width - 0.5f;
    int lowest = clampIndex((int)floorf(sFirst < sLast ? sFirst : sLast), width);
    int highest = clampIndex((int)floorf(sFirst < sLast ? sLast : sFirst) + 1, width);
    for (int i = lowest; i <= highest; i++) mixed[i] = lerpColor(row0[i], row1[i], b);
    for (int x = first; x <= last; x++) {
        float s = (float)(uRow + uPerX * (x + 0.5)) * width - 0.5f;
        int i = (int)floorf(s);
        uint32_t a = (uint32_t)((s - i) * 256);
        pixels[x] = lerpColor(mixed[clampIndex(i, width)], mixed[clampIndex(i + 1, width)], a) | opaqueBlack;
    }
}

static void drawTriangle(WindowVertex a, WindowVertex b, WindowVertex c, uint32_t color, const DrawState &s, Box clip)
{
    int64_t area = (b.fx - a.fx) * (c.fy - a.fy) - (c.fx - a.fx) * (b.fy - a.fy);
    if (area == 0) return;
    if (area < 0) { WindowVertex t = b; b = c; c = t; }
    int64_t lowY = a.fy < b.fy ? a.fy : b.fy, highY = a.fy > b.fy ? a.fy : b.fy;
    lowY = c.fy < lowY ? c.fy : lowY;
    highY = c.fy > highY ? c.fy : highY;
    int64_t lowX = a.fx < b.fx ? a.fx : b.fx, highX = a.fx > b.fx ? a.fx : b.fx;
    lowX = c.fx < lowX ? c.fx : lowX;
    highX = c.fx > highX ? c.fx : highX;
    int64_t y0 = ceilDiv(lowY, subpixel), y1 = floorDiv(highY, subpixel);
    int64_t x0 = ceilDiv(lowX, subpixel), x1 = floorDiv(highX, subpixel);
    if (y0 < clip.y0) y0 = clip.y0;
    if (y1 > clip.y1 - 1) y1 = clip.y1 - 1;
    if (x0 < clip.x0) x0 = clip.x0;
    if (x1 > clip.x1 - 1) x1 = clip.x1 - 1;
    if (x0 > x1 || y0 > y1) return;
    Edge edges[3] = {makeEdge(a, b, y0), makeEdge(b, c, y0), makeEdge(c, a, y0)};

    Plane z = makePlane(a, b, c, &WindowVertex::z);
    Plane u = {}, v = {};
    if (s.textured) { u = makePlane(a, b, c, &WindowVertex::u); v = makePlane(a, b, c, &WindowVertex::v); }
    float zPerX = (float)z.perX;
    bool plain = s.depthTest && !s.textured && !s.blend;
    bool square = s.textured && !s.blend && !s.depthTest && raster.texture &&
                  fabs(v.perX) * raster.width * raster.textureHeight < 0.01;
    BlendTerms terms;
    bool simpleBlend = s.blend && !s.textured && constantBlend(s, color, &terms);
    for (int64_t y = y0; y <= y1; y++) {
        int first = (int)x0, last = (int)x1;
        for (Edge &e : edges) clipSpan(e, &first, &last);
        if (first > last) continue;
        rasterFragments += last - first + 1;
        double centreY = y + 0.5;
        float zRow = (float)(z.atOrigin + z.perY * centreY + z.perX * 0.5);
        size_t row = (size_t)(raster.height - 1 - y) * raster.width;
        uint32_t *pixels = raster.color + row, *depths = raster.depth + row;
        if (square && inDepthRange(zRow + zPerX * first) && inDepthRange(zRow + zPerX * last)) {
            textureSpan(pixels, first, last, u.atOrigin + u.perY * centreY, u.perX,
                        (float)(v.atOrigin + v.perY * centreY + v.perX * (first + 0.5)), s.linear);
            continue;
        }
        if ((plain || simpleBlend) && inDepthRange(zRow + zPerX * first) && inDepthRange(zRow + zPerX * last)) {
            if (plain) fillSpan(pixels, depths, first, last, zRow, zPerX, color);
            else       blendSpan(pixels, depths, first, last, zRow, zPerX, terms, s.depthTest);
            continue;
        }
        for (int x = first; x <= last; x++) {
            float depth = zRow + zPerX * x;
            if (depth > 1) continue; // beyond the far plane, as GL's clipping drops it
            if (depth < 0) depth = 0; // the near plane's cut, a rounding error before it
            if (s.depthTest) {
                uint32_t d = (uint32_t)(depth * (float)depthFar + 0.5f);
                if (d >= depths[x]) continue;
                depths[x] = d;
            }
            uint32_t source = color;
            if (s.textured)
                source = sample((float)(u.atOrigin + u.perX * (x + 0.5) + u.perY * centreY),
                                (float)(v.atOrigin + v.perX * (x + 0.5) + v.perY * centreY), s.linear);
            pixels[x] = s.blend ? blend(s, source, pixels[x]) : source;
        }
    }
}

void rasterTriangles(const ClipVertex *vertices, int count, const DrawState &s)
{
    if (!raster.color) return;
    Box clip = intersect({0, 0, raster.width, raster.height},
                         {s.viewport[0], s.viewport[1], s.viewport[0] + s.viewport[2], s.viewport[1] + s.viewport[3]});
    clip = scissorBox(s, clip);
    if (clip.x0 >= clip.x1 || clip.y0 >= clip.y1) return;
    for (int i = 0; i + 2 < count; i += 3)
        drawTriangle(toWindow(vertices[i], s), toWindow(vertices[i + 1], s), toWindow(vertices[i + 2], s),
                     packColor(vertices[i].rgba), s, clip);
}
