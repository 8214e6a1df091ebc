// The bench's window: a plain GLUT window of the output size with the demo's
// start-up state, since the bench times the demo's own path to the screen,
// swap included. Every frame passes the demo's own present step before its
// swap, and the beforeSwap hook (desktop.h) sees it just after that.
#pragma once

extern int renderWidth, renderHeight; // the output in pixels, 640 x 480 unless the tool is told otherwise

// After glutInit: the window of renderWidth x renderHeight,
// the reshape projection (sharp or retro as retroPicture says), flat shading,
// face culling and the modelview matrix selected; returns once the window is on screen.
void openRenderWindow(const char *title);
