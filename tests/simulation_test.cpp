// The two simulating scenes under an unkind clock: they step in fixed slices of
// scene time, a slow frame catches up only so far, and a clock that stands still
// makes no step and the same picture. And the generator the fountain inherits.
#include "pictures.h"
#include "kit.h"
#include "scenes.h"
#include "shell.h"
#include <gtest/gtest.h>

namespace {

struct Simulation {
    const char *name;
    void (*draw)(int sceneTime);
    void (*fresh)();      // as at program start: the next frame resets the state
    int (*stepsMade)();   // since the reset, read from the state itself
    int stepLength;       // ms
    int cap;              // steps one frame may make
};

// Four emissions a step move the slot counter: it counts steps up to 255.
void freshFountain() { resetDemo(); demoSrand(42); }
int fountainSteps() { return fountainNextSlot / 4; }

// Heat climbs one row a step, so from a cold field the highest warm row counts
// the steps up to 38.
void freshFire() { resetDemo(); demoSrand(42); }
int fireSteps()
{
    int highest = 0;
    for (int r = 1; r < fireSize; r++)
        for (auto &layer : fireHeat)
            for (float cell : layer[r])
                if (cell > 0) highest = r;
    return highest;
}

const Simulation simulations[] = {
    {"Fountain", drawFountainScene, freshFountain, fountainSteps, 10, 20},
    {"Fire", drawFireScene, freshFire, fireSteps, 20, 5},
};

class Steps : public ::testing::TestWithParam<Simulation> {};

} // namespace

TEST_P(Steps, CatchUpAtMostTheCapAndDropTheRest)
{
    const Simulation &s = GetParam();
    const int L = s.stepLength, cap = s.cap;
    ensureGlContext();
    s.fresh();
    const struct { int time, steps; } frames[] = {
        {0, 0},                            // the first frame only resets
        {L - 1, 0},                        // still inside the first step
        {L * (cap + 5), cap},              // a stall: the cap, the rest dropped
        {L * (cap + 6), cap + 1},          // counts on from where the clock is
        {L * (cap + 6) + 10000, 2 * cap + 1}, // ten seconds owed still cost only the cap
        {L * (cap + 6) + 10000 + L - 1, 2 * cap + 1},
    };
    for (const auto &f : frames) {
        s.draw(f.time);
        EXPECT_EQ(s.stepsMade(), f.steps) << s.name << " frame at " << f.time << " ms";
    }
}

TEST_P(Steps, AStandingClockMakesNoStepAndTheSamePicture)
{
    const Simulation &s = GetParam();
    ensureGlContext();
    s.fresh();
    for (int t = 0; t <= 3000; t += 20) s.draw(t);
    s.draw(3005); // the fountain's floor is placed by the camera of the frame before
    auto pictureAt = [&](int time) { s.draw(time); return readFramebuffer(640, 480).pixels; };
    std::vector<uint8_t> first = pictureAt(3005);
    for (int i = 0; i < 20; i++) s.draw(3005);
    EXPECT_TRUE(pictureAt(3005) == first) << s.name;
    EXPECT_FALSE(pictureAt(3100) == first) << s.name << ": the picture moves with the clock";
}

INSTANTIATE_TEST_SUITE_P(Simulations, Steps, ::testing::ValuesIn(simulations),
                         [](const auto &info) { return std::string(info.param.name); });

// The fountain after the road draws its spray from the generator as the road
// leaves it, which the frame tool's replay from seed 42 takes for granted.
TEST(SceneHandOver, TheRoadLeavesTheGeneratorFreshlySeeded)
{
    ensureGlContext();
    demoSrand(5);
    drawRoadScene(1234);
    EXPECT_EQ(demoRand(), 175);
    EXPECT_EQ(demoRand(), 400);
}
