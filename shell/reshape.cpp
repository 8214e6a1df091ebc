// The reshape callback: the picture box, the viewport and the projection. It
// leaves the projection matrix selected; every scene selects the modelview
// matrix for itself.
#include "shell.h"
#include "kit.h"
#include <GL/gl.h>
#include <GL/glu.h>

// The scenes are drawn into the largest centred 4:3 box of the window, with a
// 4:3 projection of their own, and their 640 x 480 scissor boxes are mapped
// into it; at 640 x 480 the box is the whole window.
void onReshape(int width, int height)
{
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    setPicture(fitPicture(width, height), width, height);
    glViewport(picture.x, picture.y, picture.width, picture.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 4.0 / 3.0, 1, 300);
}
