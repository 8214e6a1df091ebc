// The browser build's <GL/freeglut.h>: the standard GLUT header, which is all
// the scenes and the sequencer need (glutSwapBuffers, glutGet).
#pragma once
#include <GL/glut.h>
