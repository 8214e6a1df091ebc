// The picture tools' platform. On Linux no window and no X server: a GL context
// through EGL draws into a framebuffer object of the output size; on Windows
// WGL does the same through a window that is never shown. The core's
// present step runs as in the demo, and where the demo would swap, the tool's
// read-back hook sees the finished frame.
#pragma once

extern int renderWidth, renderHeight; // the output in pixels, 640 x 480 unless the tool is told otherwise
extern void (*frameFinished)();       // runs where the swap would, after the present step; null: nothing

// The context and its framebuffer object of renderWidth x renderHeight, with
// the core's start-up state (startDrawing, sharp or retro as setPictureMode
// said). Any failure: one line on standard error naming the tool, exit code
// exitCode (1 unless the tool's 1 means something else), as failAndExit (shell.h) gives.
void openOffscreen(const char *tool, int exitCode = 1);
const char *offscreenPlatform(); // how the context was made: "surfaceless", "device" or "wgl"

// The system's part (offscreen_egl.cpp, offscreen_wgl.cpp): a current context
// whose draw and read buffer is renderWidth x renderHeight, or one line naming
// offscreenTool and exit code offscreenExitCode. Returns how it was made.
extern const char *offscreenTool;
extern int offscreenExitCode;
const char *openContext();
void checkRenderSize(int largest); // the output fits a renderbuffer of largest pixels a side, or the tool ends
