// The reshape callback: viewport and projection. It leaves the projection matrix
// selected; every scene selects the modelview matrix for itself.
#include "shell.h"
#include <GL/gl.h>
#include <GL/glu.h>

// The aspect is a floating-point quotient; the scenes' scissor boxes stay fixed
// pixels of the 640 x 480 screen whatever size the window gets.
void onReshape(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, (double)width / (height > 0 ? height : 1), 1, 300);
}
