// The bench's window. The scenes end their frames through the demo's own
// present step and the desktop's swap, so they run exactly as in the demo.
#include "bench_window.h"
#include "shell.h"
#include "kit.h"
#include <GL/freeglut.h>
#include <cstdio>
#include <cstdlib>

int renderWidth = 640, renderHeight = 480;
static bool windowShown; // the first reshape has arrived

static void onFirstReshape(int width, int height)
{
    onReshape(width, height);
    windowShown = true;
}

static void onNothing() {}

// A window larger than the X screen is fine: the server keeps the whole back
// buffer, and the frame is read from there.
void openRenderWindow(const char *title)
{
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(renderWidth, renderHeight);
    glutCreateWindow(title);
    glutDisplayFunc(onNothing);
    glutReshapeFunc(onFirstReshape);
    while (!windowShown)
        glutMainLoopEvent();
    if (outputBox.width != renderWidth || outputBox.height != renderHeight) {
        fprintf(stderr, "%s: the window came up at %dx%d, not %dx%d\n", title, outputBox.width,
                outputBox.height, renderWidth, renderHeight);
        exit(1);
    }
    startDrawing(renderWidth, renderHeight);
}
