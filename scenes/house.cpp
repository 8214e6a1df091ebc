// Third scene: a house on green ground between two trees, a figure walking
// laps in front of it, a path, a road, a hill behind and a cloud far off, the
// whole world swaying about the vertical. No state and no random numbers.
#include "scenes.h"
#include "models.h"
#include "kit.h"
#include "shell.h"
#include <GL/glu.h>
#include <cmath>

struct FlatPiece {
    float cx, cy, cz;   // centre
    float sx, sy, sz;   // size
    float r, g, b;
};

// Thin slabs at slightly different heights, so the road covers the path where
// they cross and none shares a plane with the ground.
static const FlatPiece houseGround[] = {
    {0, -0.03f, 0,     100, 0.01f,  100,   0,    0.5f, 0.2f}, // ground
    {0,  0,     0,     1,   0.005f, 10,    0.8f, 0.6f, 0.4f}, // path, from behind the house out to the road
    {0,  0.03f, 4.5f,  100, 0.01f,  3,     0.3f, 0.3f, 0.3f}, // road, under the walker's circle and the camera
};

// Colours above 1 saturate after the face factors: a white top, pale cyan sides.
static const FlatPiece houseCloud[] = {
    {30, 10, -100,   25, 5, 25,   1.0f, 1.5f, 2.0f}, // cloud, lower slab
    {30, 15, -100,   15, 5, 15,   1.0f, 1.5f, 2.0f}, // cloud, upper slab
};

static void drawFlatPieces(const FlatPiece *pieces, const FlatPiece *end)
{
    for (const FlatPiece *p = pieces; p != end; p++)
        drawShadedCube(p->cx, p->cy, p->cz, p->sx, p->sy, p->sz, p->r, p->g, p->b);
}

// The figure walks clockwise laps of radius 0.7 round a point 3 in front of
// the house, one lap in 7.2 s, heading along its way; two trees flank the
// path, clear of its circle. The ascent's village shows the same walk.
void drawVillageWalk(double t)
{
    glPushMatrix();
        glTranslatef(0, 0, 3);
        glRotatef((float)(-0.05 * t), 0, 1, 0);
        glTranslatef(0.7f, 0, 0);
        drawWalker(0, 0, 0, (float)(40 * sin(0.006 * t)), 0);
    glPopMatrix();
    drawTree(2.5f, 0, 2);
    drawTree(-2.5f, 0, 2);
}

void drawHouseScene(int sceneTime)
{
    double t = sceneTime;

    // 1. One flat sky colour over the whole screen.
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.5f, 0.8f, 1.0f, 1.0f);
    clearScreen(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // 2. Camera a little above the ground in front of the house.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 1.5, 5, 0, 0, 0, 0, 1, 0);

    // 3. The world sways up to 20 degrees either way, one swing in about 10.5 s.
    glRotatef((float)(20 * sin(0.0006 * t)), 0, 1, 0);

    // 4. House on the origin, front towards the camera.
    drawHouse(0, 0, 0);

    // 5. The walker's laps and the trees beside the path.
    drawVillageWalk(t);

    // 6. Ground, path and road, then the far cloud and hill.
    drawFlatPieces(houseGround, houseGround + sizeof houseGround / sizeof houseGround[0]);
    drawFlatPieces(houseCloud, houseCloud + sizeof houseCloud / sizeof houseCloud[0]);
    drawTerracedHill(-15, 0, -40, 1, 1, 1);

    presentFrame();
}
