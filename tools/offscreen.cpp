// The picture tools' platform (the frame tool, the capture): the calls shell.h
// asks of a platform, with the frame read where the demo would swap it. The
// context comes from the system's file: offscreen_egl.cpp (EGL with no window)
// on Linux, offscreen_wgl.cpp (WGL in a window never shown) on Windows.
#include "offscreen.h"
#include "shell.h"
#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>

int  renderWidth = 640, renderHeight = 480;
void (*frameFinished)() = nullptr;
const char *offscreenTool = "";         // the tool's own name, for its one line on failure
int offscreenExitCode = 1;              // the tool's exit code on a failure
static const char *platformName = "";   // how the context was made, once it is

// --- what a platform defines -------------------------------------------------------

// Nothing to show: the frame stays where it was drawn, and the tool reads it there.
void swapPicture()
{
    if (frameFinished) frameFinished();
}

// The tools play no music; nothing is left to stop.
void stopMusicAndExit()
{
    exit(0);
}

void failAndExit(const char *problem)
{
    fprintf(stderr, "%s: %s\n", offscreenTool, problem);
    exit(offscreenExitCode);
}

// --- the context --------------------------------------------------------------------

void checkRenderSize(int largest)
{
    if (renderWidth <= largest && renderHeight <= largest) return;
    fprintf(stderr, "%s: the renderer draws at most %dx%d, not %dx%d\n", offscreenTool, largest, largest,
            renderWidth, renderHeight);
    exit(offscreenExitCode);
}

void openOffscreen(const char *tool, int exitCode)
{
    offscreenTool = tool;
    offscreenExitCode = exitCode;
    platformName = openContext();
    // A context made current without a surface starts with an empty scissor
    // box; a window's starts as the whole window.
    glScissor(0, 0, renderWidth, renderHeight);
    startDrawing(renderWidth, renderHeight);
}

const char *offscreenPlatform() { return platformName; }
