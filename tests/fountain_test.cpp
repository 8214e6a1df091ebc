// The fountain: its particle ring as a state machine (emission, bounce, reuse),
// the fixed-step rule that ties it to scene time, and its first picture.
#include "gl_capture.h"
#include "kit.h"
#include "scenes.h"
#include <gtest/gtest.h>
#include <cstring>
#include <set>

namespace {

// A ring as at program start, but with the generator seeded as given.
void freshRing(uint32_t seed)
{
    demoSrand(seed);
    fountainNextSlot = 0;
    resetParticles();
}

// A scene as at program start: the next frame parks the ring.
void freshScene()
{
    demoSrand(42);
    fountainNextSlot = 0;
    fountainLastStep = -1;
}

bool parked(const Particle &p) { return p.y > 9000; }

} // namespace

TEST(FountainRing, EmitsFourFromTheNozzleWithSpreadFromTheGenerator)
{
    // The seventh and eighth values after seed 42 give the first particle's
    // angle and spin; the first six are 175, 400, 17869, 30056, 16083, 12879.
    demoSrand(42);
    for (int i = 0; i < 6; i++) demoRand();
    int seventh = demoRand(), eighth = demoRand();
    for (int i = 8; i < 32; i++) demoRand();
    int afterFourEmissions = demoRand();

    freshRing(42);
    stepParticles();
    EXPECT_EQ(fountainNextSlot, 4);

    // The first particle has already made its first move.
    const Particle &p = particles[0];
    EXPECT_NEAR(p.vx, 0.0096, 1e-7);           // 175 % 101 = 74, 24 right of the middle
    EXPECT_NEAR(p.vy, 0.0194 - 0.0007, 1e-7);  // 400 % 101 = 97 upwards, less one step of gravity
    EXPECT_NEAR(p.vz, 0.0172, 1e-7);           // 17869 % 101 = 93
    EXPECT_NEAR(p.x, 0.0096, 1e-7);
    EXPECT_NEAR(p.y, 2.5 + 0.0187, 1e-6);
    EXPECT_NEAR(p.z, 0.0172, 1e-7);
    EXPECT_NEAR(p.axisX, 0.0018, 1e-7);        // 30056 % 101 = 59
    EXPECT_NEAR(p.axisY, -0.0052, 1e-7);       // 16083 % 101 = 24
    EXPECT_NEAR(p.axisZ, 0.0004, 1e-7);        // 12879 % 101 = 52
    double spin = (eighth % 101 - 50) * 0.072;
    EXPECT_NEAR(p.spin, spin, 1e-5);
    EXPECT_NEAR(p.angle, seventh % 100 * 3.6 + spin, 1e-4);
    EXPECT_EQ(p.life, 255);

    // Eight values per particle and nothing else: no one touched the floor.
    EXPECT_EQ(demoRand(), afterFourEmissions);

    for (int i = 0; i < 4; i++) {
        EXPECT_FALSE(parked(particles[i])) << i;
        EXPECT_NEAR(particles[i].y, 2.5, 0.03) << i;
    }
    for (int i = 4; i < particleCount; i++)
        ASSERT_TRUE(parked(particles[i])) << i;
}

TEST(FountainRing, ParticleLaunchedFlatBouncesInItsEightySixthStep)
{
    // A seed whose second draw (the upward speed) is a multiple of 101.
    uint32_t seed = 1;
    for (;; seed++) {
        demoSrand(seed);
        demoRand();
        if (demoRand() % 101 == 0) break;
    }
    freshRing(seed);
    stepParticles();
    const Particle &p = particles[0];
    ASSERT_NEAR(p.vy, -0.0007, 1e-7); // launched with no upward speed

    for (int step = 2; step <= 84; step++) stepParticles();
    EXPECT_NEAR(p.y, 0.001, 1e-4);
    EXPECT_GT(p.y, 0);
    stepParticles();
    EXPECT_NEAR(p.y, -0.0585, 1e-4);
    stepParticles();
    EXPECT_NEAR(p.vy, 0.0301, 1e-5);  // half the speed of the fall, upwards
    EXPECT_NEAR(p.y, 0.0886, 1e-4);
}

TEST(FountainRing, EachRecordLivesExactly256Steps)
{
    freshRing(42);
    for (int step = 0; step < 256; step++) stepParticles();
    EXPECT_EQ(fountainNextSlot, 0);
    for (int i = 0; i < particleCount; i++) ASSERT_FALSE(parked(particles[i])) << i;
    for (int i = 0; i < 4; i++) EXPECT_EQ(particles[i].life, 0);        // the first born, about to go
    for (int i = 1020; i < 1024; i++) EXPECT_EQ(particles[i].life, 255); // the last born

    stepParticles(); // the 257th step reuses the first four records
    EXPECT_EQ(fountainNextSlot, 4);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(particles[i].life, 255);
        EXPECT_NEAR(particles[i].y, 2.5, 0.03);
    }
    for (int i = 4; i < 8; i++) EXPECT_EQ(particles[i].life, 0);
}

// Four emissions per step: the slot counter tells how many steps a frame made.
TEST(FountainFrames, CatchUpAtMostTwentyStepsAndDropTheRest)
{
    ensureGlContext();
    freshScene();
    drawFountainScene(0);
    EXPECT_EQ(fountainLastStep, 0);
    EXPECT_EQ(fountainNextSlot, 0);
    for (const Particle &p : particles) ASSERT_TRUE(parked(p));

    drawFountainScene(9);           // still inside the first 10 ms
    EXPECT_EQ(fountainNextSlot, 0);
    drawFountainScene(500);         // 50 owed after a stall, 20 made
    EXPECT_EQ(fountainNextSlot, 80);
    EXPECT_EQ(fountainLastStep, 50);
    drawFountainScene(510);         // counts on from step 50, not from 20
    EXPECT_EQ(fountainNextSlot, 84);
    drawFountainScene(10510);       // a stall of 10 s still costs only 20
    EXPECT_EQ(fountainNextSlot, 164);
    EXPECT_EQ(fountainLastStep, 1051);
    drawFountainScene(10519);
    EXPECT_EQ(fountainNextSlot, 164);
}

// As long as no frame is slower than 200 ms, the frame rate only decides how
// often the spray is drawn, never where the particles are.
TEST(FountainFrames, FrameRateDoesNotChangeTheSpray)
{
    ensureGlContext();
    static Particle at100fps[particleCount];
    freshScene();
    for (int t = 0; t <= 600; t += 10) drawFountainScene(t);
    memcpy(at100fps, particles, sizeof particles);

    freshScene();
    for (int t = 0; t <= 600; t += 40) drawFountainScene(t);
    EXPECT_EQ(memcmp(at100fps, particles, sizeof particles), 0);

    freshScene(); // 300 ms frames drop ten steps each
    for (int t = 0; t <= 600; t += 300) drawFountainScene(t);
    EXPECT_NE(memcmp(at100fps, particles, sizeof particles), 0);
}

namespace {

// The largest number of distinct colours in any one 24-row band.
size_t mostColoursInABand(const RgbImage &image)
{
    size_t most = 0;
    for (int band = 0; band < 20; band++) {
        std::set<int> colours;
        for (int y = 24 * band; y < 24 * band + 24; y++)
            for (int x = 0; x < image.width; x++) {
                Pixel p = pixelAt(image, x, y);
                colours.insert(p.r << 16 | p.g << 8 | p.b);
            }
        most = std::max(most, colours.size());
    }
    return most;
}

} // namespace

// Before the first step every particle is parked out of sight: each band shows
// its blue and the few flat faces of the floor in that band's green, nothing else.
TEST(FountainPicture, FirstStepShowsOnlyBandsAndFloor)
{
    RgbImage first = renderFrame(5, 9, 1000);
    ASSERT_EQ(first.width, 640);
    EXPECT_LE(mostColoursInABand(first), 4u);
    Pixel top = pixelAt(first, 320, 0), bottom = pixelAt(first, 320, 479);
    EXPECT_GT(top.b, top.g);        // blue sky band at the top
    EXPECT_GT(bottom.g, bottom.b);  // the floor fills the bottom middle
    EXPECT_GT(bottom.g, bottom.r);

    RgbImage spraying = renderFrame(5, 1000, 25);
    EXPECT_GT(mostColoursInABand(spraying), 20u);
}
