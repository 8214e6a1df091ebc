// The two simulating scenes under an unkind clock: frames that stall for half a
// second or ten seconds, and a clock that stands still. The simulation makes
// only the steps it may, and what reaches GL stays a sound picture.
#include "gl_capture.h"
#include "kit.h"
#include "scenes.h"
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>

namespace {

// Every vertex and colour handed to GL is a number, and the colours of the
// fire and the fountain are never negative.
void expectSoundPicture(const std::vector<CapturedRun> &runs, const char *when)
{
    for (const CapturedRun &run : runs)
        for (const CapturedVertex &v : run.vertices) {
            ASSERT_TRUE(std::isfinite(v.wx) && std::isfinite(v.wy) && std::isfinite(v.wz)) << when;
            ASSERT_TRUE(std::isfinite(v.r) && std::isfinite(v.g) && std::isfinite(v.b)) << when;
            ASSERT_GE(std::min({v.r, v.g, v.b}), 0.0f) << when;
        }
}

bool sameRuns(const std::vector<CapturedRun> &a, const std::vector<CapturedRun> &b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i].vertices.size() != b[i].vertices.size() ||
            memcmp(a[i].vertices.data(), b[i].vertices.data(), a[i].vertices.size() * sizeof(CapturedVertex)) != 0)
            return false;
    return true;
}

// Steps made by the fountain between two readings of its slot counter.
int fountainStepsSince(int slotBefore) { return (fountainNextSlot - slotBefore + particleCount) % particleCount / 4; }

} // namespace

TEST(SlowFrames, FountainStallsAndAStandingClock)
{
    ensureGlContext();
    demoSrand(42);
    fountainNextSlot = 0;
    fountainLastStep = -1;
    for (int t = 0; t <= 3000; t += 40) drawFountainScene(t); // a full ring

    // A stall of 500 ms, then one of 10 s: twenty steps each, never more.
    const int stalls[] = {3500, 13500};
    for (int t : stalls) {
        int slot = fountainNextSlot;
        auto runs = captureDraw([t] { drawFountainScene(t); });
        EXPECT_EQ(fountainStepsSince(slot), 20) << "frame at " << t;
        EXPECT_EQ(fountainLastStep, t / 10);
        EXPECT_EQ(runs.size(), 20u + particleCount) << "twenty floor bands and every particle";
        expectSoundPicture(runs, "after a stall");
    }

    // The clock stands: no step, and the same boxes in the same places.
    int slot = fountainNextSlot;
    static Particle before[particleCount];
    memcpy(before, particles, sizeof particles);
    auto first = captureDraw([] { drawFountainScene(13505); });
    for (int i = 0; i < 50; i++) drawFountainScene(13505);
    auto later = captureDraw([] { drawFountainScene(13505); });
    EXPECT_EQ(fountainNextSlot, slot);
    EXPECT_EQ(memcmp(before, particles, sizeof particles), 0);
    EXPECT_TRUE(sameRuns(first, later));

    // And when it moves on, one step per 10 ms again.
    drawFountainScene(13510);
    EXPECT_EQ(fountainStepsSince(slot), 1);
}

TEST(SlowFrames, FireStallsAndAStandingClock)
{
    ensureGlContext();
    demoSrand(42);
    fireLastStep = -1;
    fireSeedRepeats = 0;
    for (int t = 0; t <= 3000; t += 20) drawFireScene(t); // the block glows

    const int stalls[] = {3500, 13500};
    for (int t : stalls) {
        auto runs = captureDraw([t] { drawFireScene(t); });
        EXPECT_EQ(fireLastStep, t / 20);
        EXPECT_GT(runs.size(), 100u) << "the block still glows after a stall";
        EXPECT_LE(runs.size(), 9u * 19 * 9);
        expectSoundPicture(runs, "after a stall");
        // Each step keeps 0.99 of the heat it moves: no cell can pass the hottest source value.
        float hottest = 0;
        for (auto &layer : fireHeat)
            for (auto &row : layer)
                for (float cell : row) {
                    ASSERT_TRUE(std::isfinite(cell));
                    hottest = std::max(hottest, cell);
                }
        EXPECT_LE(hottest, 1.0f);
    }

    static float before[fireSize][fireSize][fireSize];
    memcpy(before, fireHeat, sizeof fireHeat);
    int seed = fireSeed, repeats = fireSeedRepeats;
    auto first = captureDraw([] { drawFireScene(13510); });
    for (int i = 0; i < 50; i++) drawFireScene(13510);
    auto later = captureDraw([] { drawFireScene(13510); });
    EXPECT_EQ(memcmp(before, fireHeat, sizeof fireHeat), 0) << "a standing clock makes no step";
    EXPECT_EQ(fireSeed, seed);
    EXPECT_EQ(fireSeedRepeats, repeats);
    EXPECT_TRUE(sameRuns(first, later));

    drawFireScene(13520);
    EXPECT_NE(memcmp(before, fireHeat, sizeof fireHeat), 0) << "the next 20 ms make a step";
}
