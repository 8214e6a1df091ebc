// The picture tools' window and their view of every frame. The tools link with
// glutSwapBuffers wrapped, so the scenes stay exactly as the demo runs them.
#include "render_window.h"
#include "shell.h"
#include <GL/freeglut.h>

void (*beforeSwap)() = nullptr;
static bool windowShown; // the first reshape has arrived

extern "C" void __real_glutSwapBuffers();

extern "C" void __wrap_glutSwapBuffers()
{
    if (beforeSwap) beforeSwap();
    __real_glutSwapBuffers();
}

static void onFirstReshape(int width, int height)
{
    onReshape(width, height);
    windowShown = true;
}

static void onNothing() {}

void openRenderWindow(int *argc, char **argv, const char *title)
{
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(renderWidth, renderHeight);
    glutCreateWindow(title);
    glutDisplayFunc(onNothing);
    glutReshapeFunc(onFirstReshape);
    while (!windowShown)
        glutMainLoopEvent();
    glShadeModel(GL_FLAT);
    glEnable(GL_CULL_FACE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
