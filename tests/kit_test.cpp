// The box primitives and the generator, checked through the stream of calls
// that reaches GL and through pictures read back from it.
#include "gl_capture.h"
#include "kit.h"
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <cmath>

namespace {

struct Vec { double x, y, z; };

Vec worldOf(const CapturedVertex &v) { return {v.wx, v.wy, v.wz}; }

// Normal of a quad from its first three corners: outward when the corners run
// counter-clockwise seen from outside.
Vec quadNormal(const CapturedVertex *q)
{
    Vec a = worldOf(q[0]), b = worldOf(q[1]), c = worldOf(q[2]);
    Vec u = {b.x - a.x, b.y - a.y, b.z - a.z}, w = {c.x - a.x, c.y - a.y, c.z - a.z};
    return {u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
}

Vec quadCentre(const CapturedVertex *q)
{
    Vec s = {0, 0, 0};
    for (int i = 0; i < 4; i++) { s.x += q[i].wx / 4; s.y += q[i].wy / 4; s.z += q[i].wz / 4; }
    return s;
}

double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// One box: a single run of six quads.
const CapturedVertex *faceOf(const std::vector<CapturedRun> &runs, int face)
{
    return &runs[0].vertices[4 * face];
}

void expectSameStream(const std::vector<CapturedRun> &a, const std::vector<CapturedRun> &b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i++) {
        ASSERT_EQ(a[i].vertices.size(), b[i].vertices.size());
        for (size_t j = 0; j < a[i].vertices.size(); j++) {
            const CapturedVertex &p = a[i].vertices[j], &q = b[i].vertices[j];
            EXPECT_NEAR(p.wx, q.wx, 1e-5); EXPECT_NEAR(p.wy, q.wy, 1e-5); EXPECT_NEAR(p.wz, q.wz, 1e-5);
            EXPECT_FLOAT_EQ(p.r, q.r); EXPECT_FLOAT_EQ(p.g, q.g); EXPECT_FLOAT_EQ(p.b, q.b);
        }
    }
}

} // namespace

TEST(ShadedCube, IsOneRunOfSixOutwardQuadsWithAFactorPerSide)
{
    auto runs = captureDraw([] { drawShadedCube(0, 0, 0, 2, 2, 2, 1, 1, 1); });
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].mode, (unsigned)GL_QUADS);
    ASSERT_EQ(runs[0].vertices.size(), 24u);

    // Sides in drawing order +X, -X, +Y, -Y, +Z, -Z, with the brightness each
    // gets: the top is brightest, the bottom darkest.
    const struct { Vec outward; float factor; } sides[] = {
        {{1, 0, 0}, 0.8f}, {{-1, 0, 0}, 0.7f}, {{0, 1, 0}, 1.0f},
        {{0, -1, 0}, 0.5f}, {{0, 0, 1}, 0.9f}, {{0, 0, -1}, 0.6f},
    };
    for (int f = 0; f < 6; f++) {
        const CapturedVertex *q = faceOf(runs, f);
        Vec n = quadNormal(q), c = quadCentre(q);
        EXPECT_GT(dot(n, sides[f].outward), 0) << "face " << f << " must wind counter-clockwise from outside";
        EXPECT_NEAR(dot(c, sides[f].outward), 1.0, 1e-6) << "face " << f;
        for (int i = 0; i < 4; i++) {
            EXPECT_NEAR(fabs(q[i].wx), 1.0, 1e-6); EXPECT_NEAR(fabs(q[i].wy), 1.0, 1e-6);
            EXPECT_NEAR(fabs(q[i].wz), 1.0, 1e-6);
            EXPECT_FLOAT_EQ(q[i].r, sides[f].factor);
        }
    }
}

TEST(ShadedCube, ScalesAndPlacesAndLeavesTheMatrixAlone)
{
    GLfloat before[16], after[16];
    auto runs = captureDraw([&] {
        glTranslatef(1, 2, 3);
        glGetFloatv(GL_MODELVIEW_MATRIX, before);
        drawShadedCube(10, 0, 0, 4, 2, 0, 0.5f, 0.5f, 0.5f);
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
    });
    for (int i = 0; i < 16; i++) EXPECT_EQ(before[i], after[i]);
    Bounds b = boundsOf(runs);
    EXPECT_NEAR(b.minX, 9, 1e-5);  EXPECT_NEAR(b.maxX, 13, 1e-5);
    EXPECT_NEAR(b.minY, 1, 1e-5);  EXPECT_NEAR(b.maxY, 3, 1e-5);
    EXPECT_NEAR(b.minZ, 3, 1e-5);  EXPECT_NEAR(b.maxZ, 3, 1e-5); // zero depth: a flat square
}

TEST(ShadedCube, OverBrightColoursAreHandedToGlUnclampedAfterTheFactor)
{
    auto runs = captureDraw([] { drawShadedCube(0, 0, 0, 1, 1, 1, 2.0f, 1.5f, -0.5f); });
    const CapturedVertex &bottom = faceOf(runs, 3)[0];
    EXPECT_FLOAT_EQ(bottom.r, 1.0f);
    EXPECT_FLOAT_EQ(bottom.g, 0.75f);
    EXPECT_FLOAT_EQ(bottom.b, -0.25f);
}

TEST(CornerBox, EqualsTheShadedCubeAtItsMidpoint)
{
    auto corner = captureDraw([] { drawCornerBox(0, 0, 0, 2, 4, 6, 0.3f, 0.6f, 0.9f); });
    auto centred = captureDraw([] { drawShadedCube(1, 2, 3, 2, 4, 6, 0.3f, 0.6f, 0.9f); });
    expectSameStream(corner, centred);
}

TEST(CornerBox, ReversedOnOneAxisTurnsItsFacesInside)
{
    auto countInward = [](const std::vector<CapturedRun> &runs) {
        int inward = 0;
        for (int f = 0; f < 6; f++) {
            const CapturedVertex *q = faceOf(runs, f);
            Vec c = quadCentre(q), n = quadNormal(q);
            Vec fromCentre = {c.x - 1, c.y - 1, c.z - 1};
            if (dot(n, fromCentre) < 0) inward++;
        }
        return inward;
    };
    EXPECT_EQ(countInward(captureDraw([] { drawCornerBox(0, 0, 0, 2, 2, 2, 1, 1, 1); })), 0);
    EXPECT_EQ(countInward(captureDraw([] { drawCornerBox(2, 0, 0, 0, 2, 2, 1, 1, 1); })), 6);
    EXPECT_EQ(countInward(captureDraw([] { drawCornerBox(2, 2, 0, 0, 0, 2, 1, 1, 1); })), 0);
}

// What the eye really sees: with culling on, a mirrored box in front of the
// camera shows its far side (factor 0.6), a normal one its near side (0.9).
TEST(CornerBox, MirroredBoxShowsItsFarFaceOnScreen)
{
    ensureGlContext();
    auto centrePixelBlue = [](bool mirrored) {
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0, 0, 5, 0, 0, 0, 0, 1, 0);
        if (mirrored) drawCornerBox(1, -1, -1, -1, 1, 1, 0, 0, 1);
        else          drawCornerBox(-1, -1, -1, 1, 1, 1, 0, 0, 1);
        GLubyte pixel[3];
        glReadBuffer(GL_BACK);
        glReadPixels(320, 240, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
        return (int)pixel[2];
    };
    EXPECT_NEAR(centrePixelBlue(false), 0.9 * 255, 1.5);
    EXPECT_NEAR(centrePixelBlue(true), 0.6 * 255, 1.5);
}

TEST(FlatBox, GivesEverySideTheSameColourUnchanged)
{
    auto runs = captureDraw([] { drawFlatBox(-1, 0, 2, 3, 1, 4, 1.5f, 0.25f, 0.5f); });
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].vertices.size(), 24u);
    for (const CapturedVertex &v : runs[0].vertices) {
        EXPECT_FLOAT_EQ(v.r, 1.5f); EXPECT_FLOAT_EQ(v.g, 0.25f); EXPECT_FLOAT_EQ(v.b, 0.5f);
    }
    Bounds b = boundsOf(runs);
    EXPECT_NEAR(b.minX, -1, 1e-5); EXPECT_NEAR(b.maxX, 3, 1e-5);
    EXPECT_NEAR(b.minZ, 2, 1e-5);  EXPECT_NEAR(b.maxZ, 4, 1e-5);
}

// The turn happens inside the box's own scaling, so a tall box turned by 45
// degrees about z shears into a rhombus twice as tall as it is wide.
TEST(RotatedCube, TurnsInsideItsScalingSoUnequalBoxesShear)
{
    auto runs = captureDraw([] { drawRotatedCube(0, 0, 0, 2, 4, 2, 45, 0, 0, 5, 1, 1, 1); });
    Bounds b = boundsOf(runs);
    EXPECT_NEAR(b.maxX, sqrt(2.0), 1e-5);
    EXPECT_NEAR(b.maxY, 2 * sqrt(2.0), 1e-5);
    auto equal = captureDraw([] { drawRotatedCube(0, 0, 0, 2, 2, 2, 90, 0, 1, 0, 1, 1, 1); });
    Bounds e = boundsOf(equal);
    EXPECT_NEAR(e.maxX, 1, 1e-5); EXPECT_NEAR(e.maxZ, 1, 1e-5);
}

TEST(JitteredCube, TakesSixValuesAndOffsetsByTheFirstThree)
{
    demoSrand(42); // 175, 400, 17869, 30056, 16083, 12879, then the seventh
    auto runs = captureDraw([] { drawJitteredCube(1, 2, 3, 0.2f, 0.2f, 0.2f, 0, 1, 1, 1, 1, 2, 10); });
    int seventh = demoRand();
    demoSrand(42);
    for (int i = 0; i < 6; i++) demoRand();
    EXPECT_EQ(seventh, demoRand());

    Bounds b = boundsOf(runs); // angle 0: an unturned box around the offset centre
    EXPECT_NEAR((b.minX + b.maxX) / 2, 1 + 0.24, 1e-5);      // 175 % 101 - 50 = 24
    EXPECT_NEAR((b.minY + b.maxY) / 2, 2 + 0.47 * 2, 1e-5);  // 400 % 101 - 50 = 47
    EXPECT_NEAR((b.minZ + b.maxZ) / 2, 3 + 0.43 * 10, 1e-4); // 17869 % 101 - 50 = 43
}

TEST(JitteredCube, WithoutJitterStaysPutButStillTakesSixValues)
{
    demoSrand(7);
    auto runs = captureDraw([] { drawJitteredCube(4, 5, 6, 1, 1, 1, 0, 1, 1, 1, 0, 0, 0); });
    uint32_t after = (uint32_t)demoRand();
    demoSrand(7);
    for (int i = 0; i < 6; i++) demoRand();
    EXPECT_EQ(after, (uint32_t)demoRand());
    Bounds b = boundsOf(runs);
    EXPECT_NEAR(b.minX, 3.5, 1e-5); EXPECT_NEAR(b.maxY, 5.5, 1e-5); EXPECT_NEAR(b.maxZ, 6.5, 1e-5);
}

TEST(DemoRand, FollowsTheKnownSequencesAndStaysInRange)
{
    demoSrand(1);
    const int fromOne[] = {41, 18467, 6334, 26500, 19169, 15724};
    for (int v : fromOne) EXPECT_EQ(demoRand(), v);
    demoSrand(42);
    const int fromFortyTwo[] = {175, 400, 17869, 30056, 16083, 12879};
    for (int v : fromFortyTwo) EXPECT_EQ(demoRand(), v);
    demoSrand(0xFFFFFFFFu);
    for (int i = 0; i < 100000; i++) {
        int v = demoRand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}
