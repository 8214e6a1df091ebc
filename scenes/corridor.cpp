// Eighth scene: a figure striding on the spot in a long brown corridor, a box
// tumbling towards the camera behind it, and rows of torches and wall panels
// sliding away on both walls so that the two seem to advance. No state: every
// frame is a function of sceneTime.
#include "scenes.h"
#include "kit.h"
#include "models.h"
#include "shell.h"
#include <GL/glu.h>
#include <cmath>
#include <initializer_list>

struct CorridorBox { float cx, cy, cz, sx, sy, sz; }; // centre and full size

// The shell, 2 wide, 2 high and 100 long; the walls' inner faces lie at x = +-0.99.
static const Rgb corridorBrown = {0.3f, 0.2f, 0.1f};
static const CorridorBox corridorShell[] = {
    { 0, 0, 0,   2,     0.02f, 100}, // floor
    { 0, 2, 0,   2,     0.02f, 100}, // ceiling
    { 1, 1, 0,   0.02f, 2,     100}, // right wall
    {-1, 1, 0,   0.02f, 2,     100}, // left wall
};

// A wall panel: three thin squares centred at height 1, each lighter and
// further into the corridor than the one behind it. The outer square stands
// 0.001 clear of the wall: centred at 0.995 it would lie flush with the wall's
// inner face, and the wall would show through it in depth-fighting stripes.
// Slot 2 on each wall has a redder middle square, the one panel that differs.
struct PanelSquare {
    float side;    // distance of the centre from the corridor's axis
    float size;    // edge of the square
    Rgb   color;   // in every slot but the marked one
    Rgb   marked;  // in the marked slot
};
static const PanelSquare panelSquares[] = {
    {0.994f, 1.5f, {0.36f, 0.24f, 0.12f}, {0.36f, 0.24f, 0.12f}}, // outer
    {0.99f,  1.0f, {0.42f, 0.28f, 0.14f}, {0.46f, 0.28f, 0.14f}}, // middle
    {0.985f, 0.5f, {0.48f, 0.32f, 0.16f}, {0.48f, 0.32f, 0.16f}}, // inner
};
static const int panelMarkedSlot = 2;

// Torch stand, in tenths of a world unit around the stand's top.
static const Rgb torchWood = {0.5f, 0.35f, 0.2f};
static const CorridorBox torchStand[] = {
    {0, -1,   0,   1, 2, 1}, // stem
    {0,  0.5f, 0,  2, 1, 2}, // head
};

static const int   slotCount = 10;     // torch and panel pairs per wall
static const float torchSide = 0.8f;   // torches stand this far from the axis
static const float torchHeight = 1;

// Slot k slides from 25 - 5k towards -z at 10 units per second and jumps back
// by two slot spacings every second, so the row looks endless.
static float slotZ(int sceneTime, int k)
{
    int d = sceneTime % 1000;
    return (float)(-0.01 * (d - 2500 + 500 * k));
}

static void drawBouncingBox(float x, float y, float z, float angle)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        glScalef(0.7f, 0.7f, 0.7f);
        // Resting on a face needs a lift of 1; the hop peaks at 45 degrees of
        // tumble and repeats every quarter turn, as the box rolls over an edge.
        glTranslatef(0, (float)(1 + fabs(sin(angle * 0.03490658555555556))), 0);
        glRotatef(angle, 1, 0, 0);
        drawCornerBox(-1, -1, -1, 1, 1, 1, 0.3f, 0.27f, 0.24f);
    glPopMatrix();
}

static void drawTorch(float x, float y, float z, float t)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        glScalef(0.1f, 0.1f, 0.1f);
        for (const CorridorBox &b : torchStand)
            drawShadedCube(b.cx, b.cy, b.cz, b.sx, b.sy, b.sz, torchWood.r, torchWood.g, torchWood.b);

        // The flame is added onto whatever lies behind it, with the blend
        // function the caller chose; the stand above stays opaque.
        glEnable(GL_BLEND);
        glTranslatef((float)(0.3 * sin(0.02 * t)), (float)(0.6 * sin(0.03346263 * t)),
                     (float)(0.26 * sin(0.017427581347 * t)));
        drawShadedCube(0, 2, 0, 2, 2, 2, 1.0f, (float)(0.5 + 0.2 * sin(0.01 * t)), 0.1f);
        glDisable(GL_BLEND);
    glPopMatrix();
}

// One pass of squares over all ten slots of a wall (s = -1 left, +1 right).
static void drawPanelPass(int sceneTime, const PanelSquare &square, float s)
{
    for (int k = 0; k < slotCount; k++) {
        const Rgb &c = k == panelMarkedSlot ? square.marked : square.color;
        drawShadedCube(square.side * s, 1, slotZ(sceneTime, k), 0.01f, square.size, square.size,
                       c.r, c.g, c.b);
    }
}

void drawCorridorScene(int sceneTime)
{
    const double t = sceneTime;

    // 1. Flames add onto what lies behind them (colours carry alpha 1); each
    // torch switches blending on for its flame alone.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    // 2. The whole screen, depth-tested.
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_DEPTH_TEST);

    // 3. The clear colour is what shows at the open far end of the corridor.
    glClearColor(0.25f, 0.2f, 0.1f, 1);
    clearScreen(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // 4. Camera at eye height, looking slightly down the corridor towards -z.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 1, 1.7, 0, 0.8, 0, 0, 1, 0);

    // 5. The whole corridor sways by up to 20 degrees about the vertical axis.
    glRotatef((float)(20 * sin(0.0006 * t)), 0, 1, 0);

    // 6. The figure faces the camera and strides on the spot.
    drawWalker(0, 0.1f, 0, (float)(90 * sin(0.014 * t)), 0);

    // 7. The box behind it rolls towards the camera, one hop every 300 ms.
    drawBouncingBox(0, 0, -3, (float)(0.3 * t));

    // 8. Floor, ceiling and walls.
    for (const CorridorBox &b : corridorShell)
        drawShadedCube(b.cx, b.cy, b.cz, b.sx, b.sy, b.sz, corridorBrown.r, corridorBrown.g, corridorBrown.b);

    // 9-10. Torches, left wall then right; all flames flicker in step. They go
    // before the panels, so a flame is added onto the bare wall colour and the
    // panel squares behind it then fail the depth test there.
    for (int k = 0; k < slotCount; k++)
        drawTorch(-torchSide, torchHeight, slotZ(sceneTime, k), (float)t);
    for (int k = 0; k < slotCount; k++)
        drawTorch(torchSide, torchHeight, slotZ(sceneTime, k), (float)t);

    // 11-12. Panels, left wall then right, each wall in three passes from the
    // largest square to the smallest.
    for (float s : {-1.0f, 1.0f})
        for (const PanelSquare &square : panelSquares)
            drawPanelPass(sceneTime, square, s);

    presentFrame();
}
