// Small landscape models placed around the outdoor scenes' main objects: a
// tree, a terraced hill of three slabs and a road sign with a diamond panel.
#include "models.h"
#include "kit.h"
#include <GL/gl.h>

struct LandBox {
    float x0, y0, z0;   // one corner
    float x1, y1, z1;   // the opposite corner
    float r, g, b;
};

// Trunk foot at the origin; 2.5 high and, with the tufts, 1.2 across.
static const LandBox treeBoxes[] = {
    {-0.1f,  0,     -0.1f,   0.1f,  0.75f,  0.1f,   0.6f, 0.3f, 0.0f}, // trunk
    {-0.4f,  0.75f, -0.4f,   0.4f,  2.25f,  0.4f,   0.4f, 0.9f, 0.3f}, // crown
    {-0.2f,  2.25f, -0.2f,   0.2f,  2.5f,   0.2f,   0.4f, 0.9f, 0.3f}, // crown top
    { 0.4f,  1.1f,  -0.25f,  0.6f,  1.9f,   0.25f,  0.4f, 0.9f, 0.3f}, // tuft +x
    {-0.6f,  1.1f,  -0.25f, -0.4f,  1.9f,   0.25f,  0.4f, 0.9f, 0.3f}, // tuft -x
    {-0.25f, 1.1f,   0.4f,   0.25f, 1.9f,   0.6f,   0.4f, 0.9f, 0.3f}, // tuft +z
    {-0.25f, 1.1f,  -0.6f,   0.25f, 1.9f,  -0.4f,   0.4f, 0.9f, 0.3f}, // tuft -z
};

// Base centred on the origin, 12 x 12, three terraces of 1 with 2-unit ledges.
static const LandBox hillBoxes[] = {
    {-6, 0, -6,   6, 1, 6,   0.2f, 0.5f, 0.2f}, // bottom terrace
    {-4, 1, -4,   4, 2, 4,   0.2f, 0.5f, 0.2f}, // middle terrace
    {-2, 2, -2,   2, 3, 2,   0.2f, 0.5f, 0.2f}, // top terrace
};

static void drawLandBoxes(const LandBox *boxes, const LandBox *end)
{
    for (const LandBox *b = boxes; b != end; b++)
        drawCornerBox(b->x0, b->y0, b->z0, b->x1, b->y1, b->z1, b->r, b->g, b->b);
}

void drawTree(float x, float y, float z)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        drawLandBoxes(treeBoxes, treeBoxes + sizeof treeBoxes / sizeof treeBoxes[0]);
    glPopMatrix();
}

// The scale acts about the base centre, so the base stays at height y.
void drawTerracedHill(float x, float y, float z, float sx, float sy, float sz)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        glScalef(sx, sy, sz);
        drawLandBoxes(hillBoxes, hillBoxes + sizeof hillBoxes / sizeof hillBoxes[0]);
    glPopMatrix();
}

// The panel is a square of 0.8 turned 45 degrees: a diamond whose corners lie
// 0.566 above, below and beside the pole top. It stands 0.025 proud of the
// pole's front face, partly sunk into the pole.
void drawRoadSign(float x, float y, float z)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        drawCornerBox(-0.05f, 0, -0.05f, 0.05f, 2, 0.05f, 0.6f, 0.6f, 0.6f);       // pole
        drawRotatedCube(0, 2, 0.05f, 0.8f, 0.8f, 0.05f, 45, 0, 0, 1, 1.0f, 0.9f, 0.0f); // panel
    glPopMatrix();
}
