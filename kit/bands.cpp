// The banded clear: twenty scissored clears of 24 pixel rows, top band first,
// which cover rows 0 to 479 of the 640 x 480 screen exactly.
#include "kit.h"
#include <GL/gl.h>

void clearBands(Rgb (*bandColor)(int band))
{
    for (int n = 0; n < 20; n++) {
        Rgb c = bandColor(n);
        scissorScreen(0, 456 - 24 * n, 640, 24);
        glClearColor(c.r, c.g, c.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
}
