// Fourth scene: the camera flies to and fro along z straight through a
// turning lattice of 27 colour crosses, before a light-blue-to-white sky, with
// "100%" over "Rovez" swinging below in step with the flight. No state.
#include "scenes.h"
#include "models.h"
#include "kit.h"
#include "shell.h"
#include <GL/glu.h>
#include <cmath>

static const float latticeLayers[] = {6, 0, -6};  // cross centres along z, front layer first
static const float latticeRows[]   = {-6, 0, 6};  // cross centres along y and along x

struct TextCell { float x, y; char ch; };  // glyph centre in the text frame

// Two abutting lines: four characters over five.
static const TextCell latticeText[] = {
    {-3,  1, '1'}, {-1,  1, '0'}, {1,  1, '0'}, {3,  1, '%'},              // upper line
    {-4, -1, 'R'}, {-2, -1, 'o'}, {0, -1, 'v'}, {2, -1, 'e'}, {4, -1, 'z'}, // lower line
};

static Rgb latticeBand(int n)
{
    return {(float)(0.4 + 0.03 * n), (float)(0.8 + 0.01 * n), 1.0f};
}

void drawLatticeScene(int sceneTime)
{
    // The eye's place on z and the text's swing share this one sine.
    double s = sin(0.001 * sceneTime);

    // 1. Nothing here draws from the generator; the reseed fixes the state we
    // leave it in.
    demoSrand(42);

    // 2. Background bands, light blue at the top to nearly white.
    glEnable(GL_SCISSOR_TEST);
    clearBands(latticeBand);

    // 3. The strip box waits for step 6; the lattice may cover the whole screen.
    scissorScreen(0, 0, 640, 200);
    glDisable(GL_SCISSOR_TEST);

    // 4. Camera on the z axis between +15 and -15, always looking at the centre.
    // At sceneTime 0 the eye sits on the centre itself: the view direction is
    // undefined and the frame may show anything, but it is drawn.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    gluLookAt(0, 0, 15 * s, 0, 0, 0, 0, 1, 0);
    glRotatef((float)(0.03 * sceneTime), 1, 1, 1);

    // 5. Lattice: z outermost from the front, then y, then x.
    for (float z : latticeLayers)
        for (float y : latticeRows)
            for (float x : latticeRows)
                drawColorCross(x, y, z);

    // 6. Text in the bottom 200 rows, in front of the lattice. The top rows of
    // the upper line stick out above the strip and are cut off.
    glEnable(GL_SCISSOR_TEST);
    glClear(GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
    glRotatef((float)(40 * s), 0, 1, 0);
    glScalef(0.25f, 0.25f, 0.25f);
    glTranslatef(0, -3, 0);
    for (const TextCell &c : latticeText)
        drawGlyph(c.x, c.y, 0, 0.5f, 0.5f, 0.5f, c.ch);

    presentFrame();
}
