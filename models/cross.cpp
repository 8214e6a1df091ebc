// The cross layout shared by two models: a 3 x 3 x 3 grid of spacing 2 without
// its eight corners, each cube with a colour of its own. The colour cross draws
// it solid; the scattered cross blows it apart with the generator.
#include "models.h"
#include "kit.h"
#include <GL/gl.h>

struct CrossCube {
    float x, y, z;  // offset from the cross centre
    float r, g, b;
};

// Drawing order matters: the scattered cross takes its random values in it.
static const CrossCube crossLayout[] = {
    { 0,  0,  0,   1,   1,   1  }, // centre, white
    { 2,  0,  0,   1,   0,   0  }, // +x face, red
    {-2,  0,  0,   0,   1,   1  }, // -x face, cyan
    { 0,  2,  0,   0,   1,   0  }, // +y face, green
    { 0, -2,  0,   1,   0,   1  }, // -y face, magenta
    { 0,  0,  2,   0,   0,   1  }, // +z face, blue
    { 0,  0, -2,   1,   1,   0  }, // -z face, yellow
    { 2,  2,  0,   0.5, 0.5, 0  }, // edge +x +y
    { 2, -2,  0,   1,   0.5, 0  }, // edge +x -y
    {-2,  2,  0,   0,   1,   0.5}, // edge -x +y
    {-2, -2,  0,   0.5, 0.5, 1  }, // edge -x -y
    { 2,  0,  2,   0.5, 0,   0.5}, // edge +x +z
    { 2,  0, -2,   1,   0,   0.5}, // edge +x -z
    {-2,  0,  2,   0,   0.5, 1  }, // edge -x +z
    {-2,  0, -2,   0.5, 1,   0.5}, // edge -x -z
    { 0,  2,  2,   0,   0.5, 0.5}, // edge +y +z
    { 0, -2,  2,   0,   0.5, 1  }, // edge -y +z (same colour as -x +z)
    { 0,  2, -2,   0.5, 1,   0  }, // edge +y -z
    { 0, -2, -2,   1,   0.5, 0.5}, // edge -y -z
};

// Unit cubes on a spacing of 2 leave a gap of one unit between neighbours.
void drawColorCross(float x, float y, float z)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        for (const CrossCube &c : crossLayout)
            drawShadedCube(c.x, c.y, c.z, 1, 1, 1, c.r, c.g, c.b);
    glPopMatrix();
}

static const float scatterJitter = 13.3f; // each cube lands within 6.65 of its place

// Cubes of edge 3 overlap their neighbours when their offsets are small. Each
// takes six generator values, so one cross always takes 114.
void drawScatteredCross(float x, float y, float z, float angle)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        for (const CrossCube &c : crossLayout)
            drawJitteredCube(c.x, c.y, c.z, 3, 3, 3, angle, c.r, c.g, c.b,
                             scatterJitter, scatterJitter, scatterJitter);
    glPopMatrix();
}
