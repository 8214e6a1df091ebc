// The two-storey house: a white block with eight dark-blue windows and a brown
// door on its front (+z), a grey chimney and a red staircase roof with stepped
// gable ends. Modelled on a whole-unit grid, then squeezed to 2.7 x 2.8 x 2.4.
#include "models.h"
#include "kit.h"
#include <GL/gl.h>

struct HouseBox {
    float x0, y0, z0;   // one corner, model units
    float x1, y1, z1;   // the opposite corner
    float r, g, b;
};

// Windows and door stand 0.01 in front of the wall so they never share its
// plane. Each roof slab is one unit further in and two higher than the one
// below it. The gable panels have no width in x: each fills the stairs under
// one slab, in the plane of a side wall, and shows only its outward face.
static const HouseBox houseBoxes[] = {
    {-9,  0,    -6,    9, 16,     6,      1,    1,    1}, // walls
    {-7,  9,     6,   -5, 11, 6.01f,      0, 0.3f, 0.6f}, // window, lower left
    {-7, 12,     6,   -5, 14, 6.01f,      0, 0.3f, 0.6f}, // window, upper left
    {-4,  9,     6,   -2, 11, 6.01f,      0, 0.3f, 0.6f}, // window, lower inner left
    {-4, 12,     6,   -2, 14, 6.01f,      0, 0.3f, 0.6f}, // window, upper inner left
    { 2,  9,     6,    4, 11, 6.01f,      0, 0.3f, 0.6f}, // window, lower inner right
    { 2, 12,     6,    4, 14, 6.01f,      0, 0.3f, 0.6f}, // window, upper inner right
    { 5,  9,     6,    7, 11, 6.01f,      0, 0.3f, 0.6f}, // window, lower right
    { 5, 12,     6,    7, 14, 6.01f,      0, 0.3f, 0.6f}, // window, upper right
    {-2,  0,     6,    2,  7, 6.01f,   0.6f, 0.3f,    0}, // door
    {-4, 19, -4.5f,    0, 27,    -2,   0.6f, 0.6f, 0.6f}, // chimney, one unit below the ridge top
    {-9, 16,    -6,    9, 18,    -5,      1,    0,    0}, // roof step, back eaves
    {-9, 18,    -5,    9, 20,    -4,      1,    0,    0}, // roof step, back 2
    {-9, 20,    -4,    9, 22,    -3,      1,    0,    0}, // roof step, back 3
    {-9, 22,    -3,    9, 24,    -2,      1,    0,    0}, // roof step, back 4
    {-9, 24,    -2,    9, 26,    -1,      1,    0,    0}, // roof step, back 5
    {-9, 26,    -1,    9, 28,     1,      1,    0,    0}, // ridge
    {-9, 24,     1,    9, 26,     2,      1,    0,    0}, // roof step, front 5
    {-9, 22,     2,    9, 24,     3,      1,    0,    0}, // roof step, front 4
    {-9, 20,     3,    9, 22,     4,      1,    0,    0}, // roof step, front 3
    {-9, 18,     4,    9, 20,     5,      1,    0,    0}, // roof step, front 2
    {-9, 16,     5,    9, 18,     6,      1,    0,    0}, // roof step, front eaves
    {-9, 16,    -5,   -9, 18,    -4,      1,    0,    0}, // left gable, under back 2
    {-9, 16,    -4,   -9, 20,    -3,      1,    0,    0}, // left gable, under back 3
    {-9, 16,    -3,   -9, 22,    -2,      1,    0,    0}, // left gable, under back 4
    {-9, 16,    -2,   -9, 24,    -1,      1,    0,    0}, // left gable, under back 5
    {-9, 16,    -1,   -9, 26,     1,      1,    0,    0}, // left gable, under the ridge
    {-9, 16,     1,   -9, 24,     2,      1,    0,    0}, // left gable, under front 5
    {-9, 16,     2,   -9, 22,     3,      1,    0,    0}, // left gable, under front 4
    {-9, 16,     3,   -9, 20,     4,      1,    0,    0}, // left gable, under front 3
    {-9, 16,     4,   -9, 18,     5,      1,    0,    0}, // left gable, under front 2
    { 9, 16,    -5,    9, 18,    -4,      1,    0,    0}, // right gable, under back 2
    { 9, 16,    -4,    9, 20,    -3,      1,    0,    0}, // right gable, under back 3
    { 9, 16,    -3,    9, 22,    -2,      1,    0,    0}, // right gable, under back 4
    { 9, 16,    -2,    9, 24,    -1,      1,    0,    0}, // right gable, under back 5
    { 9, 16,    -1,    9, 26,     1,      1,    0,    0}, // right gable, under the ridge
    { 9, 16,     1,    9, 24,     2,      1,    0,    0}, // right gable, under front 5
    { 9, 16,     2,    9, 22,     3,      1,    0,    0}, // right gable, under front 4
    { 9, 16,     3,    9, 20,     4,      1,    0,    0}, // right gable, under front 3
    { 9, 16,     4,    9, 18,     5,      1,    0,    0}, // right gable, under front 2
};

// Ground-floor centre at (x, y, z), floor at y.
void drawHouse(float x, float y, float z)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        glScalef(0.15f, 0.1f, 0.2f);
        for (const HouseBox &b : houseBoxes)
            drawCornerBox(b.x0, b.y0, b.z0, b.x1, b.y1, b.z1, b.r, b.g, b.b);
    glPopMatrix();
}
