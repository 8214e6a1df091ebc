// Placeholder until this scene is built: a plain black frame.
#include "scenes.h"
#include <GL/freeglut.h>

void drawLatticeScene(int)
{
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
}
