// Box primitives: shaded and flat boxes drawn as six immediate-mode quads, with
// fixed brightness factors per face in place of lighting.
#include "kit.h"
#include <GL/gl.h>

struct CubeFace {
    double factor;     // brightness in drawShadedCube
    float  v[4][3];    // corners, counter-clockwise seen from outside
};

// The unit cube from -1 to 1. The order of faces and corners is fixed: pictures
// and tests depend on it, and every face survives back-face culling from outside.
static const CubeFace unitCube[] = {
    {0.8, {{ 1,  1,  1}, { 1, -1,  1}, { 1, -1, -1}, { 1,  1, -1}}}, // +X
    {0.7, {{-1, -1, -1}, {-1, -1,  1}, {-1,  1,  1}, {-1,  1, -1}}}, // -X
    {1.0, {{ 1,  1,  1}, { 1,  1, -1}, {-1,  1, -1}, {-1,  1,  1}}}, // +Y
    {0.5, {{-1, -1, -1}, { 1, -1, -1}, { 1, -1,  1}, {-1, -1,  1}}}, // -Y
    {0.9, {{ 1,  1,  1}, {-1,  1,  1}, {-1, -1,  1}, { 1, -1,  1}}}, // +Z
    {0.6, {{-1, -1, -1}, {-1,  1, -1}, { 1,  1, -1}, { 1, -1, -1}}}, // -Z
};

// shaded: the face factor is applied before GL clamps, so colours above 1
// saturate on the bright faces only.
static void drawUnitCube(float r, float g, float b, bool shaded)
{
    glBegin(GL_QUADS);
        for (const CubeFace &face : unitCube) {
            double f = shaded ? face.factor : 1.0;
            glColor3f((float)(r * f), (float)(g * f), (float)(b * f));
            for (const auto &v : face.v)
                glVertex3f(v[0], v[1], v[2]);
        }
    glEnd();
}

void drawShadedCube(float cx, float cy, float cz, float sx, float sy, float sz,
                    float r, float g, float b)
{
    glPushMatrix();
        glTranslatef(cx, cy, cz);
        glScalef((float)(sx * 0.5), (float)(sy * 0.5), (float)(sz * 0.5));
        drawUnitCube(r, g, b, true);
    glPopMatrix();
}

// The turn comes after the scaling, so a box of unequal sides shears as it turns.
void drawRotatedCube(float cx, float cy, float cz, float sx, float sy, float sz,
                     float angle, float ax, float ay, float az, float r, float g, float b)
{
    glPushMatrix();
        glTranslatef(cx, cy, cz);
        glScalef((float)(sx * 0.5), (float)(sy * 0.5), (float)(sz * 0.5));
        glRotatef(angle, ax, ay, az);
        drawShadedCube(0, 0, 0, 2, 2, 2, r, g, b);
    glPopMatrix();
}

// Takes six generator values, in this order: x, y, z offsets, then the axis.
void drawJitteredCube(float x, float y, float z, float sx, float sy, float sz, float angle,
                      float r, float g, float b, float jx, float jy, float jz)
{
    float ox = (float)(x + (demoRand() % 101 - 50) * (double)jx * 0.01);
    float oy = (float)(y + (demoRand() % 101 - 50) * (double)jy * 0.01);
    float oz = (float)(z + (demoRand() % 101 - 50) * (double)jz * 0.01);
    float ax = (float)(demoRand() % 100);
    float ay = (float)(demoRand() % 100);
    float az = (float)(demoRand() % 100);
    drawRotatedCube(ox, oy, oz, sx, sy, sz, angle, ax, ay, az, r, g, b);
}

// Corners are used as given: reversed on one axis, the box is mirrored and shows
// its inner faces.
void drawCornerBox(float x0, float y0, float z0, float x1, float y1, float z1,
                   float r, float g, float b)
{
    drawShadedCube((float)((x0 + x1) * 0.5), (float)((y0 + y1) * 0.5), (float)((z0 + z1) * 0.5),
                   x1 - x0, y1 - y0, z1 - z0, r, g, b);
}

void drawFlatBox(float x0, float y0, float z0, float x1, float y1, float z1,
                 float r, float g, float b)
{
    glPushMatrix();
        glTranslatef((float)((x0 + x1) * 0.5), (float)((y0 + y1) * 0.5), (float)((z0 + z1) * 0.5));
        glScalef((float)((x1 - x0) * 0.5), (float)((y1 - y0) * 0.5), (float)((z1 - z0) * 0.5));
        drawUnitCube(r, g, b, false);
    glPopMatrix();
}
