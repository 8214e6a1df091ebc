// The picture tools' window: a plain 640 x 480 window with the demo's start-up
// state, and a hook that sees every finished frame just before its swap.
#pragma once

const int renderWidth = 640, renderHeight = 480;

// glutInit with the command line, then the window, the reshape projection, flat
// shading, face culling and the modelview matrix selected; returns once the
// window is on screen.
void openRenderWindow(int *argc, char **argv, const char *title);

// Called with the finished frame in the back buffer, right before the scene's
// swap. Under Xvfb the front buffer reads back black after a swap, so this is
// the one place to read a frame. Null: frames are only swapped.
extern void (*beforeSwap)();
