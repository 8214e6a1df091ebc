// Second scene: 27 scattered crosses, 513 spinning cubes in a 3 x 3 x 3 block
// that turns about its space diagonal, before a deep-blue-to-grey sky, with the
// title swinging below. No state: the generator is reseeded every frame, so
// every cube keeps its place and axis and only the angles move.
#include "scenes.h"
#include "models.h"
#include "kit.h"
#include "shell.h"
#include <GL/glu.h>
#include <cmath>

static const float titleLayers[] = {6, 0, -6};  // cross centres along z, front layer first
static const float titleRows[]   = {-6, 0, 6};  // cross centres along y and along x
static const char  titleText[] = "Cubic Harmony";

static Rgb titleBand(int n)
{
    return {(float)(0.03 * n), (float)(0.03 * n), 0.7f};
}

void drawTitleScene(int sceneTime)
{
    float blockAngle = (float)(0.03 * sceneTime);           // one turn in 12 s
    float cubeAngle  = (float)(0.1 * sceneTime);            // one turn in 3.6 s
    double swing     = 60 * sin(0.001 * sceneTime);         // degrees, +-60

    // 1. Reseed, so the crosses draw the same offsets and axes every frame.
    demoSrand(42);

    // 2. Background bands, deep blue at the top to pale greyish blue.
    glEnable(GL_SCISSOR_TEST);
    clearBands(titleBand);

    // 3. The crosses may cover the whole screen; the strip box waits for step 6.
    glDisable(GL_SCISSOR_TEST);
    scissorScreen(0, 0, 640, 200);

    // 4. Camera on the -z side looking along +z; the block turns about its
    // space diagonal.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    gluLookAt(0, 0, -40.6, 0, 0, 0, 0, 1, 0);
    glRotatef(blockAngle, 1, 1, 1);

    // 5. Crosses: z outermost from the front, then y, then x. Each takes 114
    // generator values, so the loop order fixes the layout.
    for (float z : titleLayers)
        for (float y : titleRows)
            for (float x : titleRows)
                drawScatteredCross(x, y, z, cubeAngle);

    // 6. Title in the bottom 200 rows, in front of the crosses, which stay
    // visible around it.
    glEnable(GL_SCISSOR_TEST);
    glClear(GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
    glRotatef((float)swing, 0, 1, 0);
    glScalef(0.13f, 0.13f, 0.13f);
    glTranslatef(0, -6, 0);
    const int length = sizeof titleText - 1;
    for (int k = 0; k < length; k++)
        drawGlyph((float)(2 * k - (length - 1)), 0, 0, 0.5f, 0.5f, 0.5f, titleText[k]);

    presentFrame();
}
