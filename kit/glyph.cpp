// Glyph drawing: one character of the block font as a flat panel of up to 64
// shaded cubes, one for each solid cell, in the cell's own colour.
#include "kit.h"
#include <GL/gl.h>

// Before the scaling a character spans -8..8 in x and y, so at size 0.5 it
// covers 2 x 2 units and characters placed 2 units apart abut.
void drawGlyph(float x, float y, float z, float sx, float sy, float sz, int ch)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        glScalef((float)(sx * 0.25), (float)(sy * 0.25), (float)(sz * 0.25));
        int c = ch & 255;
        for (int j = 0; j < 8; j++)
            for (int k = 0; k < 8; k++) {
                const GlyphCell &cell = glyphCells[c][j][k];
                if (cell.solid)
                    drawShadedCube((float)(-7 + 2 * k), (float)(7 - 2 * j), 0, 2, 2, 2,
                                   cell.red / 256.0f, cell.green / 256.0f, cell.blue / 256.0f);
            }
    glPopMatrix();
}
