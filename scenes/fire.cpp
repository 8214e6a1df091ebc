// Seventh scene: a slowly turning block of glowing orange boxes over a dark
// blue gradient. The glow comes from a 40 x 40 x 40 heat field in which fresh
// random heat enters at the bottom, rises and spreads while it fades.
#include "scenes.h"
#include "kit.h"
#include "shell.h"
#include <GL/glu.h>

float        fireHeat[fireSize][fireSize][fireSize];    // [layer][row][column], heat 0..1, cold at start
static float fireScratch[fireSize][fireSize][fireSize]; // unscaled sums of one step (interior only)
int          fireLastStep = -1;    // whole 20 ms steps reached at the last frame, -1 before the first
int          fireSeed = 10;        // seed of the two repeated source rows of a cycle; set before first use
int          fireSeedRepeats = 0;  // steps left that reseed the generator with fireSeed

static const int stepLength = 20;            // ms of sceneTime per step
static const int maxStepsPerFrame = 5;       // a slow frame drops the steps beyond these
static const float belowWeight = 28;         // the cell below, against 1 for each of five others
static const float fade = 0.03f;             // so the weights are 0.84 and 0.03, 0.99 in all
static const double glowThreshold = 3500000; // a box shows where its weighted heat exceeds this

void resetFireVolume()
{
    for (auto &layer : fireHeat)
        for (auto &row : layer)
            for (float &cell : row)
                cell = 0;
}

void stepFireVolume()
{
    // 1. Source rows come in cycles of three: one from the running generator,
    // then two identical ones from a seed drawn at the start of the cycle.
    if (fireSeedRepeats != 0) {
        demoSrand((uint32_t)fireSeed);
        fireSeedRepeats--;
    } else {
        fireSeedRepeats = 2;
        fireSeed = demoRand();
    }

    // 2. Fresh heat 0.00..1.00 into row 0 of every layer and column, outer ones included.
    for (int l = 0; l < fireSize; l++)
        for (int c = 0; c < fireSize; c++)
            fireHeat[l][0][c] = (float)(demoRand() % 101 * 0.01);

    // 3. Heat rises from the row below and spreads to the column and layer
    // neighbours; nothing comes down from above. All sums read the old field.
    for (int l = 1; l < fireSize - 1; l++)
        for (int r = 1; r < fireSize - 1; r++)
            for (int c = 1; c < fireSize - 1; c++)
                fireScratch[l][r][c] = fireHeat[l][r][c + 1] + fireHeat[l][r][c] + fireHeat[l][r][c - 1]
                                     + belowWeight * fireHeat[l][r - 1][c]
                                     + fireHeat[l + 1][r][c] + fireHeat[l - 1][r][c];

    // 4. Write back faded; the outer cells and row 39 are never written and stay cold.
    for (int l = 1; l < fireSize - 1; l++)
        for (int r = 1; r < fireSize - 1; r++)
            for (int c = 1; c < fireSize - 1; c++)
                fireHeat[l][r][c] = fireScratch[l][r][c] * fade;
}

static Rgb fireBand(int n)
{
    return {(float)(0.003 * n), (float)(0.006 * n), (float)(0.012 * n)};
}

// Heat at the eight corners of a two-cell cube, raised to the eighth power and
// weighted by the square of its lower row, so higher boxes glow at lower heat.
static double boxGlow(int a, int b, int c)
{
    double s = 0;
    for (int l = 4 * a + 2; l <= 4 * a + 4; l += 2)
        for (int r = 2 * b + 1; r <= 2 * b + 3; r += 2)
            for (int k = 4 * c + 2; k <= 4 * c + 4; k += 2)
                s += fireHeat[l][r][k];
    double s2 = s * s, s4 = s2 * s2, s8 = s4 * s4;
    double row = 2 * b + 1;
    return s8 * row * row - glowThreshold;
}

void drawFireScene(int sceneTime)
{
    // 1. The first frame clears the field and starts counting steps at 0.
    if (fireLastStep == -1) {
        resetFireVolume();
        fireLastStep = 0;
    }

    // 2. Catch up in fixed steps of sceneTime; a slow frame performs at most
    // five and drops the rest rather than falling behind.
    int steps = sceneTime / stepLength;
    int owed = steps - fireLastStep;
    for (int i = 0; i < owed && i < maxStepsPerFrame; i++)
        stepFireVolume();
    fireLastStep = steps;

    // 3. Gradient from black at the top to dark blue at the bottom.
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_SCISSOR_TEST);
    clearBands(fireBand);

    // 4. Camera, turning once in 12 s.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 1, 6, 0, 0, 0, 0, 1, 0);
    glRotatef((float)(sceneTime * 0.03), 0, 1, 0);

    // 5. Additive light: every box adds to what is behind it, so overlapping
    // boxes glow brighter. No depth test; culling keeps only the near faces.
    glDisable(GL_SCISSOR_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glScalef(0.15f, 0.15f, 0.15f);

    // 6. A 9 x 19 x 9 grid of candidate boxes, each lit by the heat it covers.
    for (int a = 0; a < 9; a++)
        for (int b = 0; b < 19; b++)
            for (int c = 0; c < 9; c++) {
                double v = boxGlow(a, b, c);
                if (v > 0) {
                    float x0 = (float)(-19 + 4 * a), y0 = (float)(-20 + 2 * b), z0 = (float)(-19 + 4 * c);
                    drawFlatBox(x0, y0, z0, x0 + 4, y0 + 2, z0 + 4,
                                (float)(1.2e-7 * v), (float)(2.5e-8 * v), (float)(6e-9 * v));
                }
            }

    // 7. Back to opaque drawing for the scenes after this one.
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);

    presentFrame();
}
