// First scene: three trails of 21 spinning rainbow cubes on Lissajous curves in
// front of a violet-to-light-blue sky, the signature word swinging below, and
// for the first four seconds a fade in from white. No state: everything is a
// function of sceneTime.
#include "scenes.h"
#include "kit.h"
#include "shell.h"
#include <GL/glu.h>
#include <cmath>

struct TrailCurve { double fx, fy, fz; }; // radians per millisecond on each axis

static const TrailCurve trailCurves[] = {
    {0.001,   0.00145, 0.0026 }, // trail 0
    {0.0034,  0.00085, 0.0015 }, // trail 1
    {0.00134, 0.00381, 0.00115}, // trail 2
};
static const int trailLength = 21;      // cubes per trail
static const int trailSpacing = 100;    // ms of the curve between neighbouring cubes
static const int fadeTime = 4000;       // ms of fade from white

// Red over yellow, green and cyan to blue in four legs of five steps.
static Rgb rampColor(int k)
{
    if (k <= 5)  return {1, (float)(0.2 * k), 0};
    if (k <= 10) return {(float)(1 - 0.2 * (k - 5)), 1, 0};
    if (k <= 15) return {0, 1, (float)(0.2 * (k - 10))};
    return {0, (float)(1 - 0.2 * (k - 15)), 1};
}

static Rgb trailsBand(int n)
{
    return {(float)(0.02 * (19 - n)), (float)(0.1 + 0.03 * n), 1.0f};
}

static const char signature[] = "QuietFox";

void drawTrailsScene(int sceneTime)
{
    // 1. The generator is not used here; the reseed fixes the state we leave it in.
    demoSrand(42);

    // 2. Background bands, violet-blue at the top to light blue at the bottom.
    glDisable(GL_BLEND);
    glEnable(GL_SCISSOR_TEST);
    clearBands(trailsBand);

    // 3. Camera, fixed at z = 3; the trails may cover the whole screen.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
    glDisable(GL_SCISSOR_TEST);

    // 4. Trails. The time offset keeps growing through all 63 cubes, so each
    // cube stands where the one before it will be 100 ms later.
    const int trailCount = sizeof trailCurves / sizeof trailCurves[0];
    for (int j = 0; j < trailCount * trailLength; j++) {
        int t = sceneTime + trailSpacing * j;
        const TrailCurve &curve = trailCurves[j / trailLength];
        Rgb c = rampColor(j % trailLength);
        drawRotatedCube((float)sin(curve.fx * t), (float)sin(curve.fy * t), (float)sin(curve.fz * t),
                        0.3f, 0.3f, 0.3f, (float)(0.1 * t), 1, 1, 1, c.r, c.g, c.b);
    }

    // 5. Signature in the bottom 200 rows, drawn in front of the trails.
    scissorScreen(0, 0, 640, 200);
    glEnable(GL_SCISSOR_TEST);
    glClear(GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
    glRotatef((float)(30 * sin(0.001 * (sceneTime + 6300))), 0, 1, 0);
    glScalef(0.22f, 0.22f, 0.22f);
    glTranslatef(0, -4, 0);
    for (int i = 0; signature[i]; i++)
        drawGlyph((float)(-7 + 2 * i), 0, 0, 0.5f, 0.5f, 0.5f, signature[i]);

    // 6. Fade from white: a plate just beyond the near plane, blended as
    // source + destination * (1 - source).
    if (sceneTime < fadeTime) {
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
        glEnable(GL_BLEND);
        glDisable(GL_SCISSOR_TEST);
        glLoadIdentity();
        float v = (float)((fadeTime - sceneTime) * 0.00025);
        drawFlatBox(-100, -100, -1.1f, 100, 100, -1.01f, v, v, v);
    }

    presentFrame();
}
