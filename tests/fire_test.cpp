// The fire: its heat field as a state machine (source rows, rise and spread,
// cold walls), the fixed-step rule that ties it to scene time, and its pictures.
#include "gl_capture.h"
#include "kit.h"
#include "scenes.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {

typedef float SourceRow[fireSize][fireSize]; // [layer][column] of row 0

void copySourceRow(SourceRow row)
{
    for (int l = 0; l < fireSize; l++)
        for (int c = 0; c < fireSize; c++)
            row[l][c] = fireHeat[l][0][c];
}

bool sameRow(const SourceRow a, const SourceRow b) { return memcmp(a, b, sizeof(SourceRow)) == 0; }

// Heat of one row over the given ranges of layers and columns.
double rowHeat(int row, int l0 = 0, int l1 = fireSize - 1, int c0 = 0, int c1 = fireSize - 1)
{
    double sum = 0;
    for (int l = l0; l <= l1; l++)
        for (int c = c0; c <= c1; c++)
            sum += fireHeat[l][row][c];
    return sum;
}

// Heat climbs one row per step, so from a cold field the highest warm row
// counts the steps made.
int highestWarmRow()
{
    int highest = 0;
    for (int r = 1; r < fireSize; r++)
        if (rowHeat(r) > 0) highest = r;
    return highest;
}

void freshScene()
{
    demoSrand(42);
    fireLastStep = -1;
    fireSeedRepeats = 0;
}

} // namespace

TEST(FireField, SourceRowsComeInCyclesOfOneFreshAndTwoRepeated)
{
    demoSrand(7);
    int firstDraw = demoRand();
    demoSrand(7);
    fireSeedRepeats = 0;
    resetFireVolume();

    static SourceRow rows[7];
    for (int step = 1; step <= 6; step++) {
        stepFireVolume();
        copySourceRow(rows[step]);
        if (step == 1) {
            EXPECT_EQ(fireSeed, firstDraw); // the cycle's seed comes from the running generator
        }
    }
    EXPECT_FALSE(sameRow(rows[1], rows[2]));
    EXPECT_TRUE(sameRow(rows[2], rows[3]));
    EXPECT_FALSE(sameRow(rows[3], rows[4]));
    EXPECT_FALSE(sameRow(rows[4], rows[5]));
    EXPECT_TRUE(sameRow(rows[5], rows[6]));
    EXPECT_FALSE(sameRow(rows[2], rows[5]));
    EXPECT_GT(rowHeat(0, 0, 0), 0); // the outer layers get source heat too
}

// A single hot cell high in the field: one step sends 0.84 of it up one row,
// leaves 0.03 in place, spreads 0.03 to each of its four side neighbours and
// nothing down.
TEST(FireField, OneStepLiftsHeatAndSpreadsItSideways)
{
    resetFireVolume();
    fireHeat[20][20][20] = 1;
    stepFireVolume();
    EXPECT_NEAR(fireHeat[20][21][20], 0.84, 1e-6);  // above
    EXPECT_NEAR(fireHeat[20][20][20], 0.03, 1e-6);  // itself
    EXPECT_NEAR(fireHeat[20][20][21], 0.03, 1e-6);  // column neighbours
    EXPECT_NEAR(fireHeat[20][20][19], 0.03, 1e-6);
    EXPECT_NEAR(fireHeat[21][20][20], 0.03, 1e-6);  // layer neighbours
    EXPECT_NEAR(fireHeat[19][20][20], 0.03, 1e-6);
    EXPECT_EQ(fireHeat[20][19][20], 0.0f);          // below
    double above = 0;
    for (int r = 2; r < fireSize; r++) above += rowHeat(r);
    EXPECT_NEAR(above, 0.99, 1e-5);                 // nothing else moved, a little faded

    // The source row feeds row 1 with 0.84 of itself from below.
    EXPECT_NEAR(fireHeat[10][1][10], 0.84 * fireHeat[10][0][10], 1e-6);
}

TEST(FireField, TopRowAndOuterWallsStayCold)
{
    demoSrand(42);
    resetFireVolume();
    for (int step = 0; step < 45; step++) stepFireVolume();
    EXPECT_GT(rowHeat(38, 1, 38, 1, 38), 0);   // the heat has reached the top of the interior
    EXPECT_EQ(rowHeat(39), 0);
    for (int r = 1; r < fireSize; r++) {
        ASSERT_EQ(rowHeat(r, 0, 0), 0) << "layer 0, row " << r;
        ASSERT_EQ(rowHeat(r, 39, 39), 0) << "layer 39, row " << r;
        ASSERT_EQ(rowHeat(r, 0, 39, 0, 0), 0) << "column 0, row " << r;
        ASSERT_EQ(rowHeat(r, 0, 39, 39, 39), 0) << "column 39, row " << r;
    }
}

TEST(FireFrames, CatchUpAtMostFiveStepsAndDropTheRest)
{
    ensureGlContext();
    freshScene();
    drawFireScene(0);
    EXPECT_EQ(fireLastStep, 0);
    EXPECT_EQ(highestWarmRow(), 0);
    drawFireScene(19);          // still inside the first 20 ms
    EXPECT_EQ(highestWarmRow(), 0);
    drawFireScene(200);         // 10 owed, 5 made
    EXPECT_EQ(highestWarmRow(), 5);
    EXPECT_EQ(fireLastStep, 10);
    drawFireScene(220);         // counts on from step 10
    EXPECT_EQ(highestWarmRow(), 6);
    drawFireScene(10220);       // a stall of 10 s still costs only 5
    EXPECT_EQ(highestWarmRow(), 11);
    EXPECT_EQ(fireLastStep, 511);
    drawFireScene(10230);
    EXPECT_EQ(highestWarmRow(), 11);
}

// With a cold field no box passes the threshold: only the gradient shows,
// each band one flat colour, black at the top, darkening blue further down.
TEST(FirePicture, FirstFrameIsOnlyTheGradientThenTheBlockGlows)
{
    RgbImage first = renderFrame(6, 0);
    ASSERT_EQ(first.width, 640);
    Pixel previous = {-1, -1, -1};
    for (int band = 0; band < 20; band++) {
        Pixel c = pixelAt(first, 0, 24 * band);
        for (int y = 24 * band; y < 24 * band + 24; y++)
            for (int x = 0; x < 640; x++) {
                Pixel p = pixelAt(first, x, y);
                ASSERT_TRUE(p.r == c.r && p.g == c.g && p.b == c.b) << "x " << x << " y " << y;
            }
        EXPECT_GE(c.b, previous.b);
        EXPECT_GE(c.b, c.g);
        EXPECT_GE(c.g, c.r);
        previous = c;
    }
    Pixel top = pixelAt(first, 0, 0), bottom = pixelAt(first, 0, 479);
    EXPECT_EQ(top.r + top.g + top.b, 0);
    EXPECT_NEAR(bottom.b, 0.228 * 255, 1.5);

    // Three seconds in, orange light: red well above green and blue.
    RgbImage later = renderFrame(6, 3000, 10); // 100 ms frames drop nothing
    int orange = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            Pixel p = pixelAt(later, x, y);
            if (p.r > 100 && p.r > 2 * p.g && p.r > 2 * p.b) orange++;
        }
    EXPECT_GT(orange, 640 * 480 / 10);
}
