// The reshape callback: the picture box, the viewport and the projection. It
// leaves the projection matrix selected; every scene selects the modelview
// matrix for itself.
#include "shell.h"
#include "kit.h"
#include <GL/gl.h>
#include <GL/glu.h>

bool retroPicture = false; // the scenes draw at 640 x 480 and the swap enlarges the picture

bool drawsRetro(int width, int height)
{
    return retroPicture && width >= 640 && height >= 480;
}

// The scenes are drawn into the largest centred 4:3 box of the window, with a
// 4:3 projection of their own, and their 640 x 480 scissor boxes are mapped
// into it; at 640 x 480 the box is the whole window. Retro, they draw into the
// bottom-left 640 x 480 pixels and the swap enlarges those; an output too small
// for that is drawn sharp. Where the drawing size is reduced (adapt.cpp) they
// draw into a smaller box at the bottom-left corner, enlarged the same way
// (never with --sharp, whose rule stays at the box's own size).
void onReshape(int width, int height)
{
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (drawsRetro(width, height))
        setPicture({0, 0, 640, 480}, width, height);
    else
        setPicture(drawingBox(fitPicture(width, height), drawingRule.step), width, height);
    glViewport(pictureBox.x, pictureBox.y, pictureBox.width, pictureBox.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 4.0 / 3.0, 1, 300);
}

void startDrawing(int width, int height)
{
    onReshape(width, height);
    glShadeModel(GL_FLAT);
    glEnable(GL_CULL_FACE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setPictureMode(bool retro, bool sharp)
{
    retroPicture = retro;
    sharpPicture = sharp;
    setDrawingStep(0);
}
