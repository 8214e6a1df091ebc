// The car: a small open dark-blue car with two lamps at its front, a roof on
// four pillars, a driver inside and four square wheels, modelled 15 units long
// and drawn at a tenth of that size.
#include "models.h"
#include "kit.h"
#include <GL/gl.h>

struct CarBox {
    float x0, y0, z0, x1, y1, z1; // corners, model units (lamp end at x 0, floor at y 0)
    float r, g, b;                // colour
    bool  wheel;                  // turned by the wheel angle about its own centre, along z
};

static const CarBox carBoxes[] = {
    { 1, 1, -4,  15, 5,  4,  0,    0,    0.6f, false}, // body
    { 4, 8, -4,  12, 9,  4,  0,    0,    0.6f, false}, // roof
    { 6, 5, -2,   7, 6,  2,  0,    1,    0,    false}, // driver's shoulders
    { 6, 6, -1,   7, 7,  1,  1,    0.8f, 0.6f, false}, // driver's head
    { 0, 2, -3,   1, 4, -1,  1,    1,    0,    false}, // lamp, right
    { 4, 5, -4,   5, 8, -3,  0,    0,    0.6f, false}, // pillar, front right
    {11, 5, -4,  12, 8, -3,  0,    0,    0.6f, false}, // pillar, rear right
    { 0, 2,  1,   1, 4,  3,  1,    1,    0,    false}, // lamp, left
    { 4, 5,  3,   5, 8,  4,  0,    0,    0.6f, false}, // pillar, front left
    {11, 5,  3,  12, 8,  4,  0,    0,    0.6f, false}, // pillar, rear left
    { 2, 0, -5,   6, 4, -4,  0.3f, 0.3f, 0.3f, true }, // wheel, front right
    {10, 0, -5,  14, 4, -4,  0.3f, 0.3f, 0.3f, true }, // wheel, rear right
    { 2, 0,  4,   6, 4,  5,  0.3f, 0.3f, 0.3f, true }, // wheel, front left
    {10, 0,  4,  14, 4,  5,  0.3f, 0.3f, 0.3f, true }, // wheel, rear left
};

// The car turns about a point on its centre line 0.8 units in front of its
// lamps, so a change of heading swings it around that point like a trailer.
void drawCar(float x, float y, float z, float wheelAngle, float heading)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        glScalef(0.1f, 0.1f, 0.1f);
        glRotatef(heading, 0, 1, 0);
        glTranslatef(8, 0, 0);
        for (const CarBox &box : carBoxes) {
            if (box.wheel) {
                // A wheel turns about its axle through its centre; increasing
                // angles roll it the way it goes when the car drives lamps first.
                drawRotatedCube((box.x0 + box.x1) * 0.5f, (box.y0 + box.y1) * 0.5f, (box.z0 + box.z1) * 0.5f,
                                box.x1 - box.x0, box.y1 - box.y0, box.z1 - box.z0,
                                wheelAngle, 0, 0, 1, box.r, box.g, box.b);
            } else {
                drawCornerBox(box.x0, box.y0, box.z0, box.x1, box.y1, box.z1, box.r, box.g, box.b);
            }
        }
    glPopMatrix();
}
