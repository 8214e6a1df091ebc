// Last scene: the camera climbs from the village into space with its height
// doubling every second, the sky turns black, stars and distant bodies appear
// around the globe, and from 14 s everything fades to black by 19 s. No state:
// the generator is reseeded every frame, so the star field never changes.
#include "scenes.h"
#include "kit.h"
#include "models.h"
#include "shell.h"
#include <GL/glu.h>
#include <cmath>

// A box that keeps its colour until fadeStart and then fades linearly to
// black at fadeEnd: its colour there is perMs x (fadeEnd - sceneTime).
struct FadeRate { double r, g, b; }; // colour per millisecond left
struct FadingBox {
    float    cx, cy, cz, sx, sy, sz; // centre and full size
    Rgb      early;                  // before fadeStart
    FadeRate perMs;                  // after it; equals early at fadeStart
};
static const int fadeStart = 14000;  // ms
static const int fadeEnd = 19000;    // ms, black from here

// Far away and drawn before the scene turns, so they stay put.
static const FadingBox distantBodies[] = {
    { 20000, -1000, 0, 4000, 4000, 4000, {2.0f, 1.3f, 0.5f}, {0.0004, 0.00026, 0.0001 }}, // sun, over-bright
    {-50000, -5000, 0, 3000, 3000, 3000, {1.0f, 0.2f, 0.1f}, {0.0002, 0.00004, 0.00002}}, // red body
    { 10000,     0, 0, 1500, 1500, 1500, {0.4f, 0.7f, 0.4f}, {0.00008, 0.00014, 0.00008}}, // green body
};

// Under the village, its top face 50 below the ground and 2000 across.
static const FadingBox globe = {0, -1000, 0, 2000, 1900, 2000, {0.2f, 0.5f, 1.0f}, {0.00004, 0.0001, 0.0002}};

// Stars: a fixed layout far below the globe, shown only once the sky is black.
static const FadingBox starLook = {0, -200000, 0, 1000, 1000, 1000, {0.9f, 0.9f, 1.0f}, {0.00018, 0.00018, 0.0002}};
static const int starCount = 500;
static const int starsAfter = 5000;  // ms; the sky turns black at this moment

// The village's plain boxes, each group left out from its own moment on as the
// camera climbs away.
struct VillageBox {
    int   until;                  // drawn while sceneTime is below this
    float cx, cy, cz, sx, sy, sz; // centre and full size
    Rgb   color;
};
static const VillageBox villageBoxes[] = {
    {11500,  0, -0.2f,  0,   100, 0.01f, 100, {0,    0.5f, 0.2f}}, // ground plate
    {11500, 30, 10,  -100,   25,  5,     25,  {1,    1.5f, 2   }}, // cloud, lower
    {11500, 30, 15,  -100,   15,  5,     15,  {1,    1.5f, 2   }}, // cloud, upper
    { 8500,  0, 0,      3,   1,   0.01f, 5,   {0.8f, 0.6f, 0.4f}}, // path to the door
    { 8500,  0, 0.2f, 4.5f,  100, 0.01f, 3,   {0.3f, 0.3f, 0.3f}}, // road
};
static const int houseUntil = 7500;   // house and hill
static const int walkerUntil = 7000;  // walker and trees

// Drawn at (x, b.cy, z): the stars share one look and get their own x and z.
static void drawFadingBox(const FadingBox &b, float x, float z, int sceneTime)
{
    Rgb c = b.early;
    if (sceneTime >= fadeStart) {
        double left = fadeEnd - sceneTime; // negative after the end: GL clamps to black
        c = {(float)(b.perMs.r * left), (float)(b.perMs.g * left), (float)(b.perMs.b * left)};
    }
    drawShadedCube(x, b.cy, z, b.sx, b.sy, b.sz, c.r, c.g, c.b);
}

void drawAscentScene(int sceneTime)
{
    const double t = sceneTime;

    // 1. The same star field every frame.
    demoSrand(42);

    // 2. Our own projection: the far plane must reach the stars 200,000 below
    // an eye that ends up half a million units high. Left in place: the demo
    // ends after this scene.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 1.3333333333333333, 1, 1e10);

    // 3. The whole screen, depth-tested.
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_DEPTH_TEST);

    // 4. Light-blue sky, black space from starsAfter on.
    if (sceneTime < starsAfter) glClearColor(0.5f, 0.8f, 1.0f, 1);
    else                        glClearColor(0, 0, 0, 1);
    clearScreen(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // 5. The eye's height above 1.5 doubles every second; it keeps looking at
    // the village.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, pow(2.0, 0.001 * t) + 1.5, 5, 0, 0, 0, 0, 1, 0);

    // 6. Stars, from the first frame after the sky turned black. These are the
    // frame's only generator calls; each pair gives z first, then x.
    if (sceneTime > starsAfter)
        for (int i = 0; i < starCount; i++) {
            int a = demoRand();
            int b = demoRand();
            drawFadingBox(starLook, (float)((b % 2001 - 1000) * 400), (float)((a % 2001 - 1000) * 300), sceneTime);
        }

    // 7. Distant bodies, before the turn so they neither turn nor roll.
    for (const FadingBox &body : distantBodies)
        drawFadingBox(body, body.cx, body.cz, sceneTime);

    // 8. The globe and the village sway about the vertical axis...
    glRotatef((float)(20 * sin(0.0006 * t)), 0, 1, 0);

    // 9. ...and from 10 s on also roll, 50 degrees per second.
    if (sceneTime > 10000)
        glRotatef((float)(0.05 * (t - 10000)), 0, 0, 1);

    // 10. Globe, then the village's boxes and buildings while each still shows.
    drawFadingBox(globe, globe.cx, globe.cz, sceneTime);
    for (const VillageBox &b : villageBoxes)
        if (sceneTime < b.until)
            drawShadedCube(b.cx, b.cy, b.cz, b.sx, b.sy, b.sz, b.color.r, b.color.g, b.color.b);
    if (sceneTime < houseUntil) {
        drawHouse(0, 0, 0);
        drawTerracedHill(-15, 0, -40, 1, 1, 1);
    }

    // 11. The figure's walk round the circle in front of the house, between
    // the two trees, as in the house scene.
    if (sceneTime < walkerUntil)
        drawVillageWalk(t);

    presentFrame();
}
