// The road scene: the streaming scenery repeats exactly, whatever the slow turn
// of the world, and the scene hands the next one a freshly seeded generator.
#include "gl_capture.h"
#include "kit.h"
#include "scenes.h"
#include <gtest/gtest.h>
#include <cmath>

namespace {

struct Point { double x, y, z; };

Point centreOf(const CapturedRun &run)
{
    Point c = {0, 0, 0};
    for (const CapturedVertex &v : run.vertices) { c.x += v.wx; c.y += v.wy; c.z += v.wz; }
    double n = (double)run.vertices.size();
    return {c.x / n, c.y / n, c.z / n};
}

// Centres, in drawing order, of the boxes whose first face (+X, factor 0.8)
// has the given colour.
std::vector<Point> centresOfColour(const std::vector<CapturedRun> &runs, float r, float g, float b)
{
    std::vector<Point> found;
    for (const CapturedRun &run : runs) {
        const CapturedVertex &v = run.vertices[0];
        if (fabs(v.r - 0.8f * r) < 1e-5 && fabs(v.g - 0.8f * g) < 1e-5 && fabs(v.b - 0.8f * b) < 1e-5)
            found.push_back(centreOf(run));
    }
    return found;
}

// The ground's centre (near the world origin, about which the world turns),
// the tree trunks and the centre-line dashes, in drawing order.
std::vector<Point> sceneryAt(int sceneTime)
{
    auto runs = captureDraw([=] { drawRoadScene(sceneTime); });
    std::vector<Point> points = centresOfColour(runs, 0, 0.5f, 0.2f);
    auto trunks = centresOfColour(runs, 0.6f, 0.3f, 0);
    auto dashes = centresOfColour(runs, 0.9f, 1.0f, 0.3f);
    EXPECT_EQ(points.size(), 1u);
    EXPECT_EQ(trunks.size(), 10u);
    EXPECT_EQ(dashes.size(), 25u);
    points.insert(points.end(), trunks.begin(), trunks.end());
    points.insert(points.end(), dashes.begin(), dashes.end());
    return points;
}

double distance(Point a, Point b)
{
    return sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// The largest change of any distance between two of the points: zero when the
// two sets differ only by a turn of the whole world.
double largestChange(const std::vector<Point> &a, const std::vector<Point> &b)
{
    double largest = 0;
    for (size_t i = 0; i < a.size(); i++)
        for (size_t j = i + 1; j < a.size(); j++)
            largest = std::max(largest, fabs(distance(a[i], a[j]) - distance(b[i], b[j])));
    return largest;
}

} // namespace

// The world turns 30 degrees a second, so the pictures themselves never match;
// the trees and dashes, measured against each other and the ground, do.
TEST(RoadScene, TreesAndDashesRepeatExactlyAfterOneSecond)
{
    for (int t : {0, 250, 999}) {
        auto now = sceneryAt(t), second = sceneryAt(t + 1000);
        ASSERT_EQ(now.size(), second.size());
        EXPECT_LT(largestChange(now, second), 1e-3) << "at " << t;
    }
    // At the wrap every tree jumps back by one spacing of 10 units, which the
    // eye cannot tell from a continuous row but the ground can; between wraps
    // one millisecond moves everything by 0.01.
    EXPECT_GT(largestChange(sceneryAt(999), sceneryAt(1000)), 5);
    EXPECT_GT(largestChange(sceneryAt(250), sceneryAt(251)), 5e-3);
}

// The fountain after this scene draws its spray from the generator as it is
// left here, so every frame must leave it freshly seeded with 42.
TEST(RoadScene, LeavesTheGeneratorFreshlySeeded)
{
    ensureGlContext();
    demoSrand(5);
    drawRoadScene(1234);
    EXPECT_EQ(demoRand(), 175);
    EXPECT_EQ(demoRand(), 400);
}
