// The two GLUT calls the scenes and the sequencer make, for the browser. The
// rest of GLUT's part, the main loop, keys and reshape, is the page's own in
// main.cpp, on the browser's animation frames and events.
#include "web.h"
#include "kit.h"
#include <GL/freeglut.h>
#include <emscripten.h>

static double clockStart = 0; // emscripten_get_now() at start-up, ms
int webFrames = 0;            // buffer swaps so far

void webClockStart()
{
    clockStart = emscripten_get_now();
}

extern "C" int glutGet(GLenum query)
{
    if (query != GLUT_ELAPSED_TIME) return 0;
    return (int)(emscripten_get_now() - clockStart);
}

// The browser shows the canvas once the frame's callback returns; what is
// batched must be drawn by then, and the bars around the picture kept black.
extern "C" void glutSwapBuffers()
{
    clearBars();
    webGlFlush();
    webFrames++;
}
