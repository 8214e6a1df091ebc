// The browser platform: the GL 1.1 layer over WebGL, the music over libopenmpt in
// our audio worklet (player.h's calls), and the page's side of start-up, the end screen and the
// frame mode. It defines the calls the shell's shared part asks of a platform
// (shell.h): swapPicture in gl.cpp, stopMusicAndExit and failAndExit in exit.cpp.
#pragma once
#include <cstdint>

// GL layer (gl.cpp).
bool webGlStart();         // the program and the vertex buffer, on the current WebGL context
bool webGlStartOnCpu();    // the same layer drawing with the rasteriser instead, no WebGL at all
bool webGlMoveToCpu();     // from WebGL to the rasteriser mid-play, the state kept; false without a 2D canvas
bool webGlOnCpu();         // true while the rasteriser draws
bool webGlRestore();       // the same again on a context given back after a loss, with the state kept here
void webGlFlush();         // draws what is batched; called before every real state change
void webGlQuiet(bool quiet); // true: frames keep their GL state but draw nothing
void webGlFinish();        // returns once WebGL has drawn everything it was given
extern int webGlDrawCalls; // draw calls since the frame counters were last reset
extern int webGlVertices;  // triangle vertices since then

// What the layer hands the rasteriser: triangles in clip space, the colour of
// the quad they come from as 8 bits, a texture position; and the GL state
// that a batch or a clear is drawn with.
struct ClipVertex { float x, y, z, w; uint8_t rgba[4]; float u, v; };
struct DrawState {
    bool     depthTest, scissorTest, blend, textured, linear; // linear: the texture's filter
    unsigned blendSource, blendDestination;
    int      scissor[4], viewport[4];                          // x, y, width, height, GL's pixels
    float    clearColor[4];
};

// The rasteriser (raster.cpp): GL's pictures on the processor, into a 2D canvas.
bool rasterStart();                        // the 2D context on the page's canvas and buffers of its size
void rasterFollowCanvas();                 // buffers of the canvas's size again, cleared where it changed
void rasterTriangles(const ClipVertex *vertices, int count, const DrawState &state);
void rasterClear(unsigned mask, const DrawState &state);
void rasterTextureSize(int width, int height);
void rasterCopyToTexture(int xOffset, int yOffset, int x, int y, int width, int height);
void rasterShow();                         // the picture onto the canvas
extern long long rasterFragments;          // pixels of triangles tested since the start

// Its inner loops (spans.cpp), over one row's pixels first to last, both drawn.
// A span's last four pixels may read and write back unchanged up to three
// pixels beyond it, so the buffers end with that many more.
static const int spanSlack = 3;
// A blend whose factors read only the source, per channel: (added +
// destination * kept + 127) / 255, at most 255.
struct BlendTerms { int added[3], kept[3]; };
void fillPixels(uint32_t *pixels, int count, uint32_t value);
void fillSpan(uint32_t *pixels, uint32_t *depths, int first, int last, float zRow, float zPerX, uint32_t color);
void blendSpan(uint32_t *pixels, uint32_t *depths, int first, int last, float zRow, float zPerX,
               const BlendTerms &terms, bool depthTest);

// The browser's music layer, beside the calls of player.h.
int playerHeard();             // non-zero once the music is coming out of the speakers

// The page (main.cpp, exit.cpp, bench.cpp).
void stopPage();            // no more frames; keys and clicks do nothing
void showEndScreen();       // stopPage, then the end screen with "play again"
void benchScene(int scene); // times 12 s of one scene, reports on the console
