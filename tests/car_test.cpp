// The car, checked through the boxes GL receives: where it stands for a given
// heading, its lamps facing the turning point, and its square wheels.
#include "gl_capture.h"
#include "models.h"
#include <gtest/gtest.h>
#include <cmath>

namespace {

// The car's boxes whose first face (+X, factor 0.8) has the given colour.
std::vector<CapturedRun> boxesOfColour(const std::vector<CapturedRun> &runs, float r, float g, float b)
{
    std::vector<CapturedRun> found;
    for (const CapturedRun &run : runs) {
        const CapturedVertex &v = run.vertices[0];
        if (fabs(v.r - 0.8f * r) < 1e-5 && fabs(v.g - 0.8f * g) < 1e-5 && fabs(v.b - 0.8f * b) < 1e-5)
            found.push_back(run);
    }
    return found;
}

std::vector<CapturedRun> lampsOf(const std::vector<CapturedRun> &runs) { return boxesOfColour(runs, 1, 1, 0); }

} // namespace

TEST(Car, LiesBeyondItsTurningPointWithTheLampsTowardsIt)
{
    auto ahead = captureDraw([] { drawCar(0, 0, 0, 0, 0); });
    EXPECT_EQ(ahead.size(), 14u); // ten body boxes and four wheels
    Bounds b = boundsOf(ahead);
    EXPECT_NEAR(b.minX, 0.8, 1e-5); EXPECT_NEAR(b.maxX, 2.3, 1e-5);
    EXPECT_NEAR(b.minY, 0.0, 1e-5); EXPECT_NEAR(b.maxY, 0.9, 1e-5);
    EXPECT_NEAR(b.minZ, -0.5, 1e-5); EXPECT_NEAR(b.maxZ, 0.5, 1e-5);
    auto lamps = lampsOf(ahead);
    ASSERT_EQ(lamps.size(), 2u);
    EXPECT_NEAR(boundsOf(lamps).minX, 0.8, 1e-5);
    EXPECT_NEAR(boundsOf(lamps).maxX, 0.9, 1e-5);

    // A quarter turn swings the car round the point onto -z, lamps first.
    auto turned = captureDraw([] { drawCar(0, 0, 0, 0, 90); });
    Bounds t = boundsOf(turned);
    EXPECT_NEAR(t.minX, -0.5, 1e-5); EXPECT_NEAR(t.maxX, 0.5, 1e-5);
    EXPECT_NEAR(t.minZ, -2.3, 1e-5); EXPECT_NEAR(t.maxZ, -0.8, 1e-5);
    EXPECT_NEAR(boundsOf(lampsOf(turned)).maxZ, -0.8, 1e-5);

    // The turning point is the position handed in.
    auto moved = captureDraw([] { drawCar(-2.5f, 1, 3, 0, 90); });
    Bounds m = boundsOf(moved);
    EXPECT_NEAR(m.minX, -3.0, 1e-5); EXPECT_NEAR(m.minY, 1.0, 1e-5);
    EXPECT_NEAR(m.maxZ, 2.2, 1e-5);
}

TEST(Car, SquareWheelsDipBelowTheFloorWhenHalfWayRound)
{
    auto lowest = [](float wheelAngle) {
        return boundsOf(captureDraw([=] { drawCar(0, 0, 0, wheelAngle, 0); })).minY;
    };
    EXPECT_NEAR(lowest(0), 0, 1e-5);
    EXPECT_NEAR(lowest(90), 0, 1e-5);
    EXPECT_NEAR(lowest(180), 0, 1e-5);
    EXPECT_NEAR(lowest(45), 0.1 * (2 - 2 * sqrt(2.0)), 1e-5); // corners 2.83 from the axle
    EXPECT_NEAR(lowest(405), 0.1 * (2 - 2 * sqrt(2.0)), 1e-5);
}
