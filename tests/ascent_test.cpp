// The ascent finale: the sky, the stars and the fade to black, through the
// frame tool's pictures and through what GL receives in one frame.
#include "gl_capture.h"
#include "kit.h"
#include "scenes.h"
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <cmath>

namespace {

const int ascentRow = 8;

// The scene replaces the projection; the other tests in this binary need the
// reshape callback's one back.
std::vector<CapturedRun> captureAscent(int sceneTime)
{
    ensureGlContext();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    auto runs = captureDraw([&] { drawAscentScene(sceneTime); });
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return runs;
}

// Stars lie 200,000 below the village; everything else, distant bodies
// included, is well within 100,000 of an eye that is still low.
bool isStar(const CapturedRun &run)
{
    const CapturedVertex &v = run.vertices[0];
    return sqrt(v.wx * v.wx + v.wy * v.wy + v.wz * v.wz) > 100000;
}

int starsIn(const std::vector<CapturedRun> &runs)
{
    int n = 0;
    for (const CapturedRun &run : runs) n += isStar(run);
    return n;
}

bool isBlack(Pixel p) { return p.r == 0 && p.g == 0 && p.b == 0; }

} // namespace

// While the eye is low it looks over the village to a light-blue horizon.
TEST(AscentScene, StartsUnderALightBlueSky)
{
    RgbImage frame = renderFrame(ascentRow, 0, 1);
    for (int x : {20, 620}) {
        Pixel p = pixelAt(frame, x, 5);
        EXPECT_EQ(p.r, 128) << x; EXPECT_EQ(p.g, 204) << x; EXPECT_EQ(p.b, 255) << x;
    }
}

// From 5000 the sky is black, but the globe fills the view until the eye is
// far up; by 12 s space shows around it, strewn with stars.
TEST(AscentScene, HighUpTheGlobeHangsInBlackSpaceAmongStars)
{
    RgbImage frame = renderFrame(ascentRow, 12000, 1);
    int black = 0, stars = 0, globe = 0;
    for (int y = 0; y < frame.height; y++)
        for (int x = 0; x < frame.width; x++) {
            Pixel p = pixelAt(frame, x, y);
            if (isBlack(p)) black++;
            else if (p.r > 150 && p.g > 150 && p.b > 150) stars++;
            else if (p.b > 200 && p.r < p.g && p.g < p.b) globe++;
        }
    EXPECT_GT(black, 640 * 480 / 3);
    EXPECT_GT(stars, 20);
    EXPECT_GT(globe, 640 * 480 / 10);
}

// The sky turns black at 5000 exactly; the stars come with the first frame
// after it, 500 of them.
TEST(AscentScene, SkyTurnsBlackAtFiveSecondsAndStarsFollowAfter)
{
    GLfloat sky[4];
    EXPECT_EQ(starsIn(captureAscent(4999)), 0);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, sky);
    EXPECT_FLOAT_EQ(sky[0], 0.5f); EXPECT_FLOAT_EQ(sky[1], 0.8f); EXPECT_FLOAT_EQ(sky[2], 1.0f);

    EXPECT_EQ(starsIn(captureAscent(5000)), 0);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, sky);
    EXPECT_EQ(sky[0], 0); EXPECT_EQ(sky[1], 0); EXPECT_EQ(sky[2], 0);

    EXPECT_EQ(starsIn(captureAscent(5001)), 500);
}

// Whatever the generator held before, every frame shows the same star field.
TEST(AscentScene, StarFieldDoesNotDependOnWhatRanBefore)
{
    demoSrand(1);
    auto first = captureAscent(6000);
    demoSrand(12345);
    for (int i = 0; i < 77; i++) demoRand();
    auto second = captureAscent(6000);
    ASSERT_EQ(first.size(), second.size());
    int compared = 0, moved = 0;
    for (size_t i = 0; i < first.size(); i++) {
        if (!isStar(first[i])) continue;
        compared++;
        const CapturedVertex &a = first[i].vertices[0], &b = second[i].vertices[0];
        moved += a.wx != b.wx || a.wy != b.wy || a.wz != b.wz;
    }
    EXPECT_EQ(compared, 500);
    EXPECT_EQ(moved, 0);
}

// Everything has faded out at 19 s, and stays black if the scene runs on.
TEST(AscentScene, IsBlackFromNineteenSeconds)
{
    for (int t : {19000, 21000}) {
        RgbImage frame = renderFrame(ascentRow, t, 1);
        int lit = 0;
        for (int y = 0; y < frame.height; y++)
            for (int x = 0; x < frame.width; x++)
                lit += !isBlack(pixelAt(frame, x, y));
        EXPECT_EQ(lit, 0) << t;
    }
}
