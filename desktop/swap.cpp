// The desktop's swap: the finished frame, past the present step, goes to the
// screen through GLUT. The swap interval (swap_glx.cpp or swap_wgl.cpp, as the
// system has it) holds each swap until the display's next refresh.
#include "desktop.h"
#include "shell.h"
#include <GL/freeglut.h>

void (*beforeSwap)() = nullptr; // the tools' read-back hook: sees exactly what is swapped

void swapPicture()
{
    if (beforeSwap) beforeSwap();
    glutSwapBuffers();
}
