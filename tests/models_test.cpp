// The box models, checked through what GL really receives: where the boxes
// land once every matrix has been applied, and the colours they are given.
#include "gl_capture.h"
#include "models.h"
#include "kit.h"
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// A box is one run of six quads; its third face (+Y) carries the colour
// unchanged, so it tells us what colour the model asked for.
bool hasColour(const CapturedRun &run, float r, float g, float b)
{
    const CapturedVertex &top = run.vertices[8];
    return fabsf(top.r - r) < 1e-6f && fabsf(top.g - g) < 1e-6f && fabsf(top.b - b) < 1e-6f;
}

std::vector<CapturedRun> runsOfColour(const std::vector<CapturedRun> &runs, float r, float g, float b)
{
    std::vector<CapturedRun> picked;
    for (const CapturedRun &run : runs)
        if (hasColour(run, r, g, b)) picked.push_back(run);
    return picked;
}

Bounds boundsOfRun(const CapturedRun &run) { return boundsOf({run}); }

struct Point { float x, y, z; };
Point centreOf(const CapturedRun &run)
{
    Bounds b = boundsOfRun(run);
    return {(b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2, (b.minZ + b.maxZ) / 2};
}

const float eps = 1e-4f;

} // namespace

TEST(Models, LeaveTheMatrixStackAsTheyFoundIt)
{
    const std::function<void()> models[] = {
        [] { drawColorCross(1, 2, 3); },
        [] { demoSrand(42); drawScatteredCross(1, 2, 3, 45); },
        [] { drawTree(1, 2, 3); },
        [] { drawTerracedHill(1, 2, 3, 2, 0.5f, 2); },
        [] { drawRoadSign(1, 2, 3); },
        [] { drawHouse(1, 2, 3); },
        [] { drawWalker(1, 2, 3, 40, 90); },
    };
    for (size_t i = 0; i < sizeof models / sizeof models[0]; i++) {
        GLfloat before[16], after[16];
        GLint depthBefore, depthAfter;
        captureDraw([&] {
            glTranslatef(5, 6, 7);
            glGetFloatv(GL_MODELVIEW_MATRIX, before);
            glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
            models[i]();
            glGetFloatv(GL_MODELVIEW_MATRIX, after);
            glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
        });
        EXPECT_EQ(depthBefore, depthAfter) << "model " << i;
        for (int k = 0; k < 16; k++) EXPECT_EQ(before[k], after[k]) << "model " << i;
    }
}

TEST(ColorCross, IsNineteenUnitCubesOnTheGridWithoutCorners)
{
    auto runs = captureDraw([] { drawColorCross(10, 20, 30); });
    ASSERT_EQ(runs.size(), 19u);
    Bounds all = boundsOf(runs);
    EXPECT_NEAR(all.minX, 7.5, eps);  EXPECT_NEAR(all.maxX, 12.5, eps);
    EXPECT_NEAR(all.minY, 17.5, eps); EXPECT_NEAR(all.maxY, 22.5, eps);
    EXPECT_NEAR(all.minZ, 27.5, eps); EXPECT_NEAR(all.maxZ, 32.5, eps);

    bool taken[3][3][3] = {};
    for (const CapturedRun &run : runs) {
        Bounds b = boundsOfRun(run);
        EXPECT_NEAR(b.maxX - b.minX, 1, eps); EXPECT_NEAR(b.maxY - b.minY, 1, eps);
        Point c = centreOf(run);
        int i = (int)lroundf((c.x - 10) / 2) + 1, j = (int)lroundf((c.y - 20) / 2) + 1,
            k = (int)lroundf((c.z - 30) / 2) + 1;
        ASSERT_TRUE(i >= 0 && i < 3 && j >= 0 && j < 3 && k >= 0 && k < 3);
        EXPECT_NEAR(c.x, 10 + 2 * (i - 1), eps);
        EXPECT_FALSE(taken[i][j][k]) << "two cubes in one place";
        taken[i][j][k] = true;
        EXPECT_FALSE(i != 1 && j != 1 && k != 1) << "a cube at a corner of the block";
    }
    EXPECT_TRUE(hasColour(runs[0], 1, 1, 1)) << "the centre cube is white";
}

TEST(ScatteredCross, TakesExactly114GeneratorValuesWhateverItIsGiven)
{
    demoSrand(123);
    for (int i = 0; i < 114; i++) demoRand();
    int expected = demoRand();

    demoSrand(123);
    captureDraw([] { drawScatteredCross(0, 0, 0, 0); });
    EXPECT_EQ(demoRand(), expected);

    demoSrand(123);
    captureDraw([] { drawScatteredCross(-7, 3, 100, 271.5f); });
    EXPECT_EQ(demoRand(), expected);
}

// After the same seed every cube lands on the same spot; the angle only turns
// the cubes in place and the centre only moves the whole cross.
TEST(ScatteredCross, SameSeedSameCubesOnlyTheAngleTurnsThem)
{
    demoSrand(42);
    auto flat = captureDraw([] { drawScatteredCross(0, 0, 0, 0); });
    demoSrand(42);
    auto again = captureDraw([] { drawScatteredCross(0, 0, 0, 0); });
    demoSrand(42);
    auto turned = captureDraw([] { drawScatteredCross(1, 2, 3, 70); });
    auto plain = captureDraw([] { drawColorCross(0, 0, 0); });
    ASSERT_TRUE(flat.size() == 19 && again.size() == 19 && turned.size() == 19);

    bool anyTurned = false;
    for (size_t i = 0; i < flat.size(); i++) {
        for (size_t v = 0; v < flat[i].vertices.size(); v++) {
            const CapturedVertex &p = flat[i].vertices[v], &q = again[i].vertices[v];
            EXPECT_TRUE(p.wx == q.wx && p.wy == q.wy && p.wz == q.wz) << "cube " << i;
        }
        // Unturned, each cube has edge 3 and stays within 6.65 of its place
        // in the cross layout.
        Bounds b = boundsOfRun(flat[i]);
        EXPECT_NEAR(b.maxX - b.minX, 3, eps);
        Point c = centreOf(flat[i]), home = centreOf(plain[i]);
        EXPECT_LE(fabsf(c.x - home.x), 6.65f + eps);
        EXPECT_LE(fabsf(c.y - home.y), 6.65f + eps);
        EXPECT_LE(fabsf(c.z - home.z), 6.65f + eps);

        Point t = centreOf(turned[i]);
        EXPECT_NEAR(t.x, c.x + 1, eps); EXPECT_NEAR(t.y, c.y + 2, eps); EXPECT_NEAR(t.z, c.z + 3, eps);
        Bounds tb = boundsOfRun(turned[i]);
        if (tb.maxX - tb.minX > 3.01f) anyTurned = true;
    }
    EXPECT_TRUE(anyTurned) << "a 70 degree angle turns the cubes";
}

TEST(Landscape, TreeIsTwoAndAHalfHighWithTheTrunkItsOnlyBrownBox)
{
    auto runs = captureDraw([] { drawTree(3, 1, -2); });
    Bounds b = boundsOf(runs);
    EXPECT_NEAR(b.minX, 2.4, eps); EXPECT_NEAR(b.maxX, 3.6, eps);
    EXPECT_NEAR(b.minZ, -2.6, eps); EXPECT_NEAR(b.maxZ, -1.4, eps);
    EXPECT_NEAR(b.minY, 1, eps);   EXPECT_NEAR(b.maxY, 3.5, eps);
    auto brown = runsOfColour(runs, 0.6f, 0.3f, 0);
    ASSERT_EQ(brown.size(), 1u);
    Bounds trunk = boundsOfRun(brown[0]);
    EXPECT_NEAR(trunk.minY, 1, eps); EXPECT_NEAR(trunk.maxY, 1.75, eps);
    EXPECT_EQ(runsOfColour(runs, 0.4f, 0.9f, 0.3f).size() + 1, runs.size()) << "all else is green";
}

TEST(Landscape, HillScalesAboutTheCentreOfItsBase)
{
    Bounds one = boundsOf(captureDraw([] { drawTerracedHill(-15, 0, -40, 1, 1, 1); }));
    EXPECT_NEAR(one.minX, -21, eps); EXPECT_NEAR(one.maxY, 3, eps);
    Bounds squat = boundsOf(captureDraw([] { drawTerracedHill(1, 2, 3, 2, 0.5f, 2); }));
    EXPECT_NEAR(squat.minX, -11, eps); EXPECT_NEAR(squat.maxX, 13, eps);
    EXPECT_NEAR(squat.minZ, -9, eps);  EXPECT_NEAR(squat.maxZ, 15, eps);
    EXPECT_NEAR(squat.minY, 2, eps);   EXPECT_NEAR(squat.maxY, 3.5, eps);
}

TEST(Landscape, SignDiamondReachesPointFiveSixSixFromThePoleTop)
{
    auto runs = captureDraw([] { drawRoadSign(0, 0, 0); });
    auto panel = runsOfColour(runs, 1.0f, 0.9f, 0.0f);
    auto pole = runsOfColour(runs, 0.6f, 0.6f, 0.6f);
    ASSERT_EQ(panel.size(), 1u);
    ASSERT_EQ(pole.size(), 1u);
    const float reach = 0.4f * sqrtf(2);
    Bounds d = boundsOfRun(panel[0]), p = boundsOfRun(pole[0]);
    EXPECT_NEAR(p.maxY, 2, eps);
    EXPECT_NEAR(d.minX, -reach, eps);    EXPECT_NEAR(d.maxX, reach, eps);
    EXPECT_NEAR(d.minY, 2 - reach, eps); EXPECT_NEAR(d.maxY, 2 + reach, eps);
    EXPECT_NEAR(d.minZ, 0.025, eps);     EXPECT_NEAR(d.maxZ, 0.075, eps);
    EXPECT_GT(d.maxZ, p.maxZ) << "the panel stands proud of the pole's front";
}

TEST(House, FillsItsFootprintWithWindowsJustProudOfTheFront)
{
    auto runs = captureDraw([] { drawHouse(0, 0, 0); });
    EXPECT_EQ(runs.size(), 40u);
    Bounds b = boundsOf(runs);
    EXPECT_NEAR(b.minX, -1.35, eps); EXPECT_NEAR(b.maxX, 1.35, eps);
    EXPECT_NEAR(b.minY, 0, eps) << "nothing below the floor";
    EXPECT_NEAR(b.maxY, 2.8, eps);
    EXPECT_NEAR(b.minZ, -1.2, eps);  EXPECT_NEAR(b.maxZ, 1.202, eps);

    auto windows = runsOfColour(runs, 0, 0.3f, 0.6f);
    auto doors = runsOfColour(runs, 0.6f, 0.3f, 0);
    ASSERT_EQ(windows.size(), 8u);
    ASSERT_EQ(doors.size(), 1u);
    windows.push_back(doors[0]);
    for (const CapturedRun &w : windows) {
        Bounds pane = boundsOfRun(w);
        EXPECT_NEAR(pane.minZ, 1.2, eps);     // on the front wall
        EXPECT_NEAR(pane.maxZ, 1.202, eps);   // and never in its plane
    }
    EXPECT_NEAR(boundsOfRun(doors[0]).minY, 0, eps) << "the door stands on the floor";
}

// The gable ends are flat panels in the side walls' planes, and the chimney
// rises out of the back slope without reaching the ridge.
TEST(House, RoofIsRedWithFlatGablesAndTheChimneyBelowTheRidge)
{
    auto runs = captureDraw([] { drawHouse(0, 0, 0); });
    auto red = runsOfColour(runs, 1, 0, 0);
    auto grey = runsOfColour(runs, 0.6f, 0.6f, 0.6f);
    ASSERT_EQ(grey.size(), 1u);
    Bounds roof = boundsOf(red), chimney = boundsOfRun(grey[0]);
    EXPECT_NEAR(roof.minY, 1.6, eps);
    EXPECT_NEAR(roof.maxY, 2.8, eps);
    EXPECT_LT(chimney.maxY, roof.maxY);
    EXPECT_NEAR(chimney.maxY, 2.7, eps);
    EXPECT_LT(chimney.maxZ, 0) << "the chimney stands on the back slope";

    int gables = 0;
    for (const CapturedRun &r : red) {
        Bounds g = boundsOfRun(r);
        if (g.maxX - g.minX > eps) continue;
        gables++;
        EXPECT_NEAR(fabsf(g.minX), 1.35, eps) << "in a side wall";
        EXPECT_NEAR(g.minY, 1.6, eps) << "from the wall top";
    }
    EXPECT_EQ(gables, 18);
}

TEST(Walker, StandsNinetySixHundredthsHighFacingPlusZ)
{
    auto runs = captureDraw([] { drawWalker(1, 2, 3, 0, 0); });
    Bounds b = boundsOf(runs);
    EXPECT_NEAR(b.minY, 2, eps);
    EXPECT_NEAR(b.maxY, 2.96, eps);
    EXPECT_NEAR(b.minX, 1 - 0.18, eps); EXPECT_NEAR(b.maxX, 1 + 0.18, eps); // arms flush to the torso
    EXPECT_NEAR(b.maxZ, 3 + 0.12, eps);                                     // toes point forward

    // Turned by 90 degrees the face and toes point along +x.
    auto turned = captureDraw([] { drawWalker(0, 0, 0, 0, 90); });
    auto eyes = runsOfColour(turned, 0.1f, 0.1f, 0.1f);
    ASSERT_FALSE(eyes.empty());
    for (const CapturedRun &e : eyes)
        EXPECT_NEAR(boundsOfRun(e).maxX, 1.01 * 0.06, eps);
    EXPECT_NEAR(boundsOf(turned).maxX, 0.12, eps);
}

// At a positive stride the -x arm and leg swing back (-z) and the +x pair
// forward; the body sinks by three times (1 - cos stride) figure units.
TEST(Walker, SinksAndSwingsOppositeSidesOppositeWays)
{
    for (float stride : {40.0f, -40.0f}) {
        auto runs = captureDraw([&] { drawWalker(0, 0, 0, stride, 0); });
        auto head = runsOfColour(runs, 1, 0.8f, 0.6f);
        float sink = (float)(3 * (1 - cos(stride * M_PI / 180)) * 0.06);
        EXPECT_NEAR(boundsOf(head).maxY, 0.96 - sink, eps);
        EXPECT_NEAR(sink, 0.042, 1e-3);

        float back = stride > 0 ? -1 : 1; // which way the -x limbs go
        int hands = 0, shoes = 0;
        for (const CapturedRun &r : runs) {
            Point c = centreOf(r);
            bool skin = hasColour(r, 1, 0.8f, 0.6f), shoe = hasColour(r, 0.6f, 0.3f, 0);
            if (!(skin && c.y < 0.6f) && !shoe) continue;
            float side = c.x < 0 ? 1 : -1;
            EXPECT_GT(c.z * back * side, 0.05f) << (shoe ? "shoe" : "hand") << " at x " << c.x;
            (shoe ? shoes : hands)++;
        }
        EXPECT_EQ(hands, 2);
        EXPECT_EQ(shoes, 2);
    }
}

// The emblem's letters are free, its frame is not: 19 thin dark bars, one of
// them a half-height upright, standing 0.01 in front of the shirt.
TEST(Walker, ChestEmblemIsNineteenBarsOnTheShirtFront)
{
    const float unit = 0.06f;
    auto runs = captureDraw([] { drawWalker(0, 0, 0, 0, 0); });
    auto dark = runsOfColour(runs, 0.1f, 0.1f, 0.1f);
    int bars = 0, halfUprights = 0;
    Bounds emblem = {1e9f, 1e9f, 1e9f, -1e9f, -1e9f, -1e9f};
    for (const CapturedRun &r : dark) {
        Bounds b = boundsOfRun(r);
        if (b.minY > 13.5f * unit) continue; // the eyes
        bars++;
        emblem.minX = std::min(emblem.minX, b.minX); emblem.maxX = std::max(emblem.maxX, b.maxX);
        emblem.minY = std::min(emblem.minY, b.minY); emblem.maxY = std::max(emblem.maxY, b.maxY);
        EXPECT_NEAR(b.minZ, 1 * unit, eps);
        EXPECT_NEAR(b.maxZ, 1.01 * unit, eps);
        float w = (b.maxX - b.minX) / unit, h = (b.maxY - b.minY) / unit;
        bool upright = fabsf(w - 0.2f) < 1e-3f && (fabsf(h - 2) < 1e-3f || fabsf(h - 1) < 1e-3f);
        bool crossBar = fabsf(w - 0.5f) < 1e-3f && fabsf(h - 0.2f) < 1e-3f;
        EXPECT_TRUE(upright || crossBar) << "bar " << w << " by " << h;
        if (upright && fabsf(h - 1) < 1e-3f) halfUprights++;
    }
    EXPECT_EQ(bars, 19);
    EXPECT_EQ(halfUprights, 1);
    EXPECT_NEAR(emblem.minX, -1.85 * unit, eps); EXPECT_NEAR(emblem.maxX, 1.85 * unit, eps);
    EXPECT_NEAR(emblem.minY, 8.9 * unit, eps);   EXPECT_NEAR(emblem.maxY, 11.1 * unit, eps);
}
