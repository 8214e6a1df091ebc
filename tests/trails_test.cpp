// The first scene through the frame tool: the fade from white, the sky bands
// where they belong, and the signature in the bottom strip.
#include "gl_capture.h"
#include <gtest/gtest.h>

namespace {

// White cubes read 0.9 x 255 on their front faces.
bool isWhite(Pixel p) { return p.r > 200 && p.g > 200 && p.b > 200; }

} // namespace

TEST(TrailsScene, StartsAsAWhiteScreen)
{
    RgbImage frame = renderFrame(0, 0, 1);
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            Pixel p = pixelAt(frame, x, y);
            ASSERT_TRUE(p.r == 255 && p.g == 255 && p.b == 255) << "pixel " << x << "," << y;
        }
}

// After the fade the sky shows twenty bands from violet-blue down to light blue.
// The left edge is clear of trails and letters at every moment.
TEST(TrailsScene, ShowsTheSkyBandsInTheirRowsOnceTheFadeIsOver)
{
    RgbImage frame = renderFrame(0, 5000, 10);
    for (int n = 0; n < 20; n++) {
        for (int y : {24 * n, 24 * n + 23}) {
            Pixel p = pixelAt(frame, 4, y);
            EXPECT_NEAR(p.r, 255 * 0.02 * (19 - n), 1.5) << "band " << n << " row " << y;
            EXPECT_NEAR(p.g, 255 * (0.1 + 0.03 * n), 1.5) << "band " << n << " row " << y;
            EXPECT_EQ(p.b, 255) << "band " << n << " row " << y;
        }
    }
}

// The trails are rainbow colours; only the letters are white, and they stay
// inside the bottom 200 rows.
TEST(TrailsScene, SignatureStandsInTheBottomStrip)
{
    RgbImage frame = renderFrame(0, 5000, 10);
    int whiteAbove = 0, whiteInStrip = 0, darkBlueInStrip = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            Pixel p = pixelAt(frame, x, y);
            if (y < 280) whiteAbove += isWhite(p);
            else {
                whiteInStrip += isWhite(p);
                darkBlueInStrip += p.r < 10 && p.g < 10 && p.b > 40 && p.b < 140;
            }
        }
    EXPECT_EQ(whiteAbove, 0);
    EXPECT_GT(whiteInStrip, 3000) << "eight letters of white cubes";
    EXPECT_GT(darkBlueInStrip, 500) << "their dark-blue edges";
}

TEST(TrailsScene, FadesLinearlyFromWhite)
{
    // Halfway through the fade every pixel is at least half white.
    RgbImage frame = renderFrame(0, 2000, 5);
    Pixel top = pixelAt(frame, 4, 4);
    EXPECT_NEAR(top.r, 255 * (0.5 + 0.5 * 0.38), 2);
    EXPECT_NEAR(top.g, 255 * (0.5 + 0.5 * 0.10), 2);
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7) {
            Pixel p = pixelAt(frame, x, y);
            ASSERT_GE(std::min({p.r, p.g, p.b}), 126) << x << "," << y;
        }
}
