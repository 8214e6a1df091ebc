// Fifth scene: a car swerving along a tree-lined country road under a flat sky.
// The car stays put while trees, dashes and a sign stream past it towards -z,
// and the whole world turns slowly. No state: everything follows from sceneTime.
#include "scenes.h"
#include "models.h"
#include "kit.h"
#include "shell.h"
#include <GL/glu.h>
#include <cmath>

struct GroundPiece {
    float cx, cy, cz;   // centre
    float sx, sy, sz;   // size
    float r, g, b;      // colour; the cloud's is over-bright and saturates on its lit faces
};

static const GroundPiece groundPieces[] = {
    {  0,  0,     0,   3.5f, 0.01f, 100,   0.3f, 0.3f, 0.3f}, // road
    {  0, -0.01f, 0,   100,  0.01f, 100,   0,    0.5f, 0.2f}, // ground
    {100, 10,     0,   25,   5,     25,    1.0f, 1.5f, 2.0f}, // cloud, lower
    {100, 15,     0,   15,   5,     15,    1.0f, 1.5f, 2.0f}, // cloud, upper
};

// Scroll offsets, ms, of the five trees of a row at the start of each 1000 ms
// period: the rows stand at z 25, 15, 5, -5, -15 then.
static const int treeOffsets[] = {-2500, -1500, -500, 500, 1500};

static const double scrollSpeed = 0.01;      // units per millisecond, the same for everything that streams
static const double worldTurn = 0.03;        // degrees per millisecond: one turn in 12 s
static const double swerveRate = 0.00314159; // radians per millisecond: one swerve in 2 s
static const int dashCount = 25;             // centre-line dashes, 2 units apart

void drawRoadScene(int sceneTime)
{
    double t = sceneTime;

    // 1. No random numbers here; the reseed hands the fountain a fixed generator state.
    demoSrand(42);

    // 2. One flat sky colour.
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.5f, 0.8f, 1.0f, 1.0f);
    clearScreen(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // 3. Camera, then the slow turn of the whole world about the vertical axis.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    gluLookAt(0, 1.5, 4, 0, 0, 0, 0, 1, 0);
    glRotatef((float)(worldTurn * t), 0, 1, 0);

    // 4. The car sways sideways while its heading leads the sway by a quarter
    // cycle, so it points where it is heading; the wheels turn 1 degree per ms.
    double a = swerveRate * t;
    drawCar((float)(1.4 * sin(a) - 2.5), 0, 0, (float)sceneTime, (float)(40 * cos(a) + 90));

    // 5. The road sign passes once every 10 s, from z 50 to just short of z -50.
    drawRoadSign(2.5f, 0, (float)(-scrollSpeed * (sceneTime % 10000 - 5000)));

    // 6. Two rows of trees, 10 units apart; each jumps forward one spacing at the
    // wrap, so the rows look endless.
    int e = sceneTime % 1000;
    for (int k : treeOffsets)
        drawTree(-2.5f, 0, (float)(-scrollSpeed * (e + k)));
    for (int k : treeOffsets)
        drawTree(2.5f, 0, (float)(-scrollSpeed * (e + k)));

    // 7. Road, ground and cloud; the road's top lies 0.01 above the ground's.
    for (const GroundPiece &p : groundPieces)
        drawShadedCube(p.cx, p.cy, p.cz, p.sx, p.sy, p.sz, p.r, p.g, p.b);

    // 8. Centre-line dashes resting on the road, repeating every 200 ms.
    int d = sceneTime % 200;
    for (int i = 0; i < dashCount; i++)
        drawShadedCube(0, 0.01f, (float)(-scrollSpeed * (d - 2500 + 200 * i)),
                       0.1f, 0.01f, 0.5f, 0.9f, 1.0f, 0.3f);

    // 9. The hill in the distance.
    drawTerracedHill(-40, 0, -15, 1, 1, 1);

    presentFrame();
}
