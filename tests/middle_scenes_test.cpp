// The title, house and lattice scenes, checked on the pictures the frame tool
// renders: facts a viewer would notice, not a stored copy of our own output.
#include "gl_capture.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

namespace {

// A glyph's white cell seen face on: 255/256 times the front face's 0.9.
bool isGlyphWhite(Pixel p)
{
    return abs(p.r - 229) <= 1 && abs(p.g - 229) <= 1 && abs(p.b - 229) <= 1;
}

bool samePixel(Pixel a, Pixel b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

struct Extent { int left = 9999, right = -1, top = 9999, bottom = -1; };

// Where glyph-white pixels lie within columns [x0, x1).
Extent glyphWhiteExtent(const RgbImage &image, int x0, int x1)
{
    Extent e;
    for (int y = 0; y < image.height; y++)
        for (int x = x0; x < x1; x++)
            if (isGlyphWhite(pixelAt(image, x, y))) {
                e.left = std::min(e.left, x); e.right = std::max(e.right, x);
                e.top = std::min(e.top, y);   e.bottom = std::max(e.bottom, y);
            }
    return e;
}

void expectIdentical(const RgbImage &a, const RgbImage &b)
{
    ASSERT_EQ(a.width, 640);
    ASSERT_EQ(a.height, 480);
    ASSERT_EQ(b.width, a.width);
    ASSERT_EQ(b.height, a.height);
    size_t differing = 0;
    for (size_t i = 0; i < a.pixels.size(); i++)
        if (a.pixels[i] != b.pixels[i]) differing++;
    EXPECT_EQ(differing, 0u);
}

// Screen rows counted from the top: the text strip is the bottom 200 rows.
const int stripTop = 480 - 200;

} // namespace

// Facing the eye, the title line stands in rows 114 to 150 from the bottom,
// columns 86 to 554; swung, its near end grows out of that band.
TEST(TitleScene, AtTheStartTheTitleFacesTheEyeLowOnTheScreen)
{
    const int bandTop = 480 - 152, bandBottom = 480 - 112;
    RgbImage image = renderFrame(1, 0);
    Extent line = glyphWhiteExtent(image, 0, 640);
    ASSERT_GE(line.right, 0) << "no title to be seen";
    EXPECT_GE(line.top, bandTop);
    EXPECT_LE(line.bottom, bandBottom);
    EXPECT_GE(line.bottom - line.top, 25);
    EXPECT_GE(line.left, 84);
    EXPECT_LE(line.right, 556);
    EXPECT_GE(line.right - line.left, 420);

    RgbImage swung = renderFrame(1, 5000, 1);
    Extent turned = glyphWhiteExtent(swung, 0, 640);
    EXPECT_TRUE(turned.top < bandTop || turned.bottom > bandBottom);
    EXPECT_LT(turned.right - turned.left, 420);
}

// The generator is reseeded every frame, so the crosses never wander,
// however many frames came before.
TEST(TitleScene, SameTimeSamePictureWhateverRanBefore)
{
    expectIdentical(renderFrame(1, 2000, 1), renderFrame(1, 2000, 4));
}

TEST(HouseScene, SkyIsOneFlatColourAboveTheHorizonAndTheRoofIsRed)
{
    RgbImage image = renderFrame(2, 0);
    const Pixel sky = pixelAt(image, 120, 0);
    EXPECT_NEAR(sky.r, 128, 1); EXPECT_EQ(sky.g, 204); EXPECT_EQ(sky.b, 255);

    // Open sky at the start: left of the house above the hill, and between
    // the cloud and the right-hand tree, from the top edge to the horizon.
    const struct { int x0, x1, y1; } openSky[] = {{80, 150, 95}, {530, 560, 120}};
    int checked = 0;
    for (const auto &area : openSky)
        for (int y = 0; y < area.y1; y++)
            for (int x = area.x0; x < area.x1; x++, checked++)
                ASSERT_TRUE(samePixel(pixelAt(image, x, y), sky)) << "at " << x << ", " << y;
    EXPECT_GT(checked, 8000);

    // Below the horizon it is ground, not sky.
    EXPECT_FALSE(samePixel(pixelAt(image, 120, 200), sky));

    Pixel roof = pixelAt(image, 320, 40);
    EXPECT_GE(roof.r, 200); EXPECT_LE(roof.g, 30); EXPECT_LE(roof.b, 30);
}

TEST(LatticeScene, EyeAtTheCentreStillDrawsTheText)
{
    RgbImage image = renderFrame(3, 0);
    Extent text = glyphWhiteExtent(image, 0, 640);
    ASSERT_GE(text.right, 0) << "no text drawn";
    EXPECT_GE(text.top, stripTop);
}

// Facing the eye, the upper line would start about six rows above the strip:
// its top cells are cut flat at the strip's edge.
TEST(LatticeScene, TextStripCutsTheTopOfTheUpperLine)
{
    RgbImage image = renderFrame(3, 0);
    const Pixel above = pixelAt(image, 0, stripTop - 1);
    int cutCells = 0;
    for (int x = 0; x < 640; x++) {
        EXPECT_TRUE(samePixel(pixelAt(image, x, stripTop - 1), above)) << "column " << x;
        if (isGlyphWhite(pixelAt(image, x, stripTop))) cutCells++;
    }
    EXPECT_GT(cutCells, 20) << "the top row of the upper line reaches the strip's edge";
    Extent upper = glyphWhiteExtent(image, 0, 640);
    EXPECT_EQ(upper.top, stripTop);
}

// From z = 15 the eye looks into the turning lattice: cubes fill most of the
// view and the sky shows through the gaps between the crosses.
TEST(LatticeScene, FromOutsideTheLatticeFillsTheViewWithSkyBetween)
{
    RgbImage image = renderFrame(3, 1571, 2);
    int cube = 0, sky = 0;
    for (int y = 0; y < stripTop; y++)
        for (int x = 0; x < 640; x++) {
            Pixel p = pixelAt(image, x, y);
            bool skyLike = p.b == 255 && p.g >= 200 && p.r >= 100 && p.r < 250;
            (skyLike ? sky : cube)++;
        }
    EXPECT_GT(cube, sky) << "the lattice covers most of the view";
    EXPECT_GT(sky, 640 * stripTop / 50) << "and the sky shows between the crosses";
}

TEST(LatticeScene, SameTimeSamePictureWhateverRanBefore)
{
    expectIdentical(renderFrame(3, 2500, 1), renderFrame(3, 2500, 3));
}
