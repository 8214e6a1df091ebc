// The corridor scene: the tumbling box and the torch through what GL receives
// and shows, and whole frames through the frame tool.
#include "gl_capture.h"
#include "scenes.h"
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <cmath>

namespace {

const int corridorRow = 7;

// The background colour read back before any swap.
Pixel backPixel(int x, int yFromTop)
{
    GLubyte p[3];
    glReadBuffer(GL_BACK);
    glReadPixels(x, 479 - yFromTop, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

void expectPixel(Pixel p, int r, int g, int b, const char *what)
{
    EXPECT_NEAR(p.r, r, 2) << what;
    EXPECT_NEAR(p.g, g, 2) << what;
    EXPECT_NEAR(p.b, b, 2) << what;
}

} // namespace

// The box has an edge of 1.4; it rests on the floor every quarter turn, is
// lifted highest half-way over an edge, and never sinks into the floor.
TEST(BouncingBox, RestsEveryQuarterTurnAndHopsOverItsEdges)
{
    for (float angle : {0.0f, 90.0f, 180.0f, 270.0f}) {
        Bounds b = boundsOf(captureDraw([&] { drawBouncingBox(2, 1, -3, angle); }));
        EXPECT_NEAR(b.minY, 1.0, 1e-4) << angle;
        EXPECT_NEAR(b.maxY, 2.4, 1e-4) << angle;
        EXPECT_NEAR(b.minX, 1.3, 1e-4) << angle;
        EXPECT_NEAR(b.maxX, 2.7, 1e-4) << angle;
        EXPECT_NEAR((b.minZ + b.maxZ) / 2, -3, 1e-4) << angle;
    }
    for (float angle : {45.0f, 135.0f, -45.0f}) {
        Bounds b = boundsOf(captureDraw([&] { drawBouncingBox(2, 1, -3, angle); }));
        EXPECT_NEAR((b.minY + b.maxY) / 2, 1 + 1.4, 1e-4) << angle;   // centre 1.4 up
        EXPECT_NEAR(b.minY, 1 + 1.4 - 0.7 * sqrt(2.0), 1e-4) << angle; // lowest edge about 0.41 up
    }
    for (int angle = 0; angle < 360; angle += 5) {
        Bounds b = boundsOf(captureDraw([&] { drawBouncingBox(0, 0, 0, (float)angle); }));
        EXPECT_GE(b.minY, -1e-4) << angle;
    }
}

// Seen head-on against a grey background: the flame is added onto the grey,
// the stand below it covers it, and blending is off again afterwards.
TEST(Torch, AddsOnlyItsFlameOntoTheBackgroundAndLeavesBlendingOff)
{
    ensureGlContext();
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glClearColor(0.2f, 0.2f, 0.2f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0.2, 1.5, 0, 0.2, 0, 0, 1, 0);
    drawTorch(0, 0, 0, 0); // at t 0 the flame sits still, 0.1 to 0.3 above the stand top

    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    // Flame front: (1, 0.5, 0.1) x 0.9 plus the grey behind it.
    expectPixel(backPixel(320, 240), 255, 166, 74, "flame");
    // Head front, 0.15 below the eye line: (0.5, 0.35, 0.2) x 0.9, grey hidden.
    expectPixel(backPixel(320, 284), 115, 80, 46, "head");
}

// At the start: the floor fills the bottom of the picture and the ceiling the
// top, in their lit and shadowed shades of brown; the figure's white shirt is
// in the middle, in front of the box; the flames glow brighter than any box
// face could on its own, because they are added onto the wall.
TEST(CorridorScene, ShowsFloorCeilingFigureAndGlowingFlames)
{
    RgbImage frame = renderFrame(corridorRow, 0, 1);
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    expectPixel(pixelAt(frame, 320, 475), 76, 51, 26, "floor, top face");
    expectPixel(pixelAt(frame, 320, 4), 38, 26, 13, "ceiling, underside");
    expectPixel(pixelAt(frame, 320, 232), 230, 230, 230, "shirt, above the emblem");

    // Full red in an orange pixel comes only from a flame added onto the wall:
    // an opaque flame face gives at most 0.9 x 255 red (its fully lit top is
    // above the eye), and the only other full reds, lit tops of the white
    // shirt, are pale.
    int glowing = 0;
    for (int y = 0; y < frame.height; y++)
        for (int x = 0; x < frame.width; x++) {
            Pixel p = pixelAt(frame, x, y);
            if (p.r == 255 && p.b < 100) glowing++;
        }
    EXPECT_GT(glowing, 1000);
}
