// The real demo from start to end: every way a viewer can end it, a signal in
// each scene, the end the music brings, and a loop of minutes that must not grow.
#include "demo_run.h"
#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <thread>

using std::this_thread::sleep_for;
using std::chrono::milliseconds;

struct Ending {
    const char *name;
    int signal;           // sent, or 0
    bool key, close;      // a key press, the window's close button
    const char *screen;   // "" the test display
};

class Ends : public ::testing::TestWithParam<Ending> {};

// Each way out ends the demo at once with code 0 and no complaint.
TEST_P(Ends, WithCodeZero)
{
    const Ending &e = GetParam();
    DemoSetup setup{windowArgs, {}, "", true, true};
    setup.screen = e.screen;
    Demo demo(setup);
    demo.start();
    sleep_for(milliseconds(1500));
    ASSERT_TRUE(demo.running()) << demo.errors();
    if (e.signal) demo.signal(e.signal);
    if (e.key) { EXPECT_TRUE(demo.pressKey()); }
    if (e.close) { EXPECT_TRUE(demo.closeWindow()); }
    EXPECT_EQ(demo.waitForExit(5000), 0) << demo.errors();
    EXPECT_TRUE(demo.errorLines().empty()) << demo.errors();
}

const Ending endings[] = {
    {"Key", 0, true, false, ""},
    {"Sigint", SIGINT, false, false, ""},
    {"Sigterm", SIGTERM, false, false, ""},
    {"WindowClose", 0, false, true, ""},
    {"SigtermOn800x600", SIGTERM, false, false, "800x600"},
};
INSTANTIATE_TEST_SUITE_P(Demo, Ends, ::testing::ValuesIn(endings),
                         [](const auto &info) { return std::string(info.param.name); });

// A module of 40 one-row orders at the fastest tempo reaches order 38 within
// half a second: the demo walks through every scene and ends by itself, with
// --silent too, where no audio device could be opened. Its two files lie in a
// folder --data names, none in the working directory.
TEST(Demo, EndsByItselfWhenTheMusicReachesOrder38)
{
    const DemoSetup setups[] = {{{"--data", "files"}, {}, "", false, false},
                                {{"--data", "files", "--silent"}, {"SDL_AUDIODRIVER=no-such-driver"}, "", false, false}};
    for (const DemoSetup &setup : setups) {
        Demo demo(setup);
        mkdir((demo.dir + "/files").c_str(), 0755);
        writeFile(demo.dir + "/files/fontpre.tga", readFile(BUILD_DIR "/fontpre.tga"));
        makeFastModule(demo.dir + "/files/zap_wave.it", 40, 1, 255);
        demo.start();
        EXPECT_EQ(demo.waitForExit(15000), 0) << demo.errors();
    }
}

// Orders of 0.15 s, from the first order of the scene --scene names: SDL's disk
// driver counts the sound, and a signal sent half-way through the scene ends
// the demo cleanly.
class SignalIn : public ::testing::TestWithParam<int> {};

TEST_P(SignalIn, EndsWithinThatScene)
{
    const int scene = GetParam();
    const double length = (scene < 8 ? 4 : 6) * 6 * 2.5 / 100;
    Demo demo({{"--scene", std::to_string(scene)}, {"SDL_AUDIODRIVER=disk"}, "", true, false});
    makeFastModule(demo.dir + "/zap_wave.it", 40, 6, 100);
    demo.start();
    while (demo.secondsHeard() < length / 2 && demo.running()) sleep_for(milliseconds(5));
    demo.signal(scene % 2 ? SIGINT : SIGTERM);
    ASSERT_LT(demo.secondsHeard(), length) << "the scene was over before the signal was sent";
    EXPECT_EQ(demo.waitForExit(5000), 0) << demo.errors();
}
INSTANTIATE_TEST_SUITE_P(Demo, SignalIn, ::testing::Range(0, 9));

// 26 orders wrap to order 0 inside the fire scene (orders 24 to 27), so the demo
// stays there: it warns at start-up, draws the fire for as long as it runs, and
// its memory does not grow.
TEST(LongRun, ALoopingModuleWarnsAndPlaysOnWithoutGrowing)
{
    const char *seconds = getenv("CUBIC_HARMONY_LONG_RUN_SECONDS");
    int runFor = seconds ? atoi(seconds) : 120;
    Demo demo({windowArgs, {}, "", true, false});
    makeFastModule(demo.dir + "/zap_wave.it", 26, 6, 150);
    demo.start();
    sleep_for(milliseconds(5000)); // two loops of the module
    ASSERT_TRUE(demo.running()) << demo.errors();
    EXPECT_EQ(demo.errorLines(), std::vector<std::string>{"cubic-harmony: zap_wave.it has 26 orders and never "
                                 "reaches order 38: the demo will play until a key is pressed"});
    RgbImage first = demo.screenshot();
    EXPECT_GT(firePixels(first), 1000) << "the fire is running";

    // The resident size wobbles by a megabyte as the driver's pools come and go:
    // the largest of five readings at the start against the smallest of five at
    // the end. A leak of a few hundred bytes a frame grows it by more than that.
    auto overFiveSeconds = [&](bool largest) {
        long kept = -1;
        for (int i = 0; i < 5; i++, sleep_for(milliseconds(1000))) {
            long now = demo.residentKilobytes();
            if (kept < 0 || (largest ? now > kept : now < kept)) kept = now;
        }
        return kept;
    };
    long before = overFiveSeconds(true);
    sleep_for(std::chrono::seconds(std::max(runFor - 10, 0)));
    long after = overFiveSeconds(false);
    ASSERT_TRUE(demo.running()) << demo.errors();
    RgbImage last = demo.screenshot();
    EXPECT_GT(firePixels(last), 1000) << "still the fire";
    EXPECT_NE(first.pixels, last.pixels) << "the picture has moved on";
    printf("resident size at the start: %ld kB, %d s later: %ld kB\n", before, runFor, after);
    EXPECT_GT(before, 0);
    EXPECT_LT(after - before, 1024) << "grew from " << before << " kB to " << after << " kB";
    demo.signal(SIGTERM);
    EXPECT_EQ(demo.waitForExit(5000), 0) << demo.errors();
}
