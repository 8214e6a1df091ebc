// The real demo from start to end: every way a viewer can end it, a signal in
// each scene, the end the music brings, and a loop of minutes that must not grow.
#include "demo_run.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <csignal>
#include <sys/stat.h>
#include <thread>
#include <vector>

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

// --silent keeps the music's time on the clock alone, and the scenes change
// where the orders end: with orders of 0.8 s the corridor (orders 28 to 31),
// dark between the orange of the fire and of the ascent, runs from 22.4 s to
// 25.6 s, and the demo ends at order 38, 30.4 s. Read against the end, so that
// the start-up does not count: the corridor begins 8.0 s before it and ends 4.8 s
// before it. The end is where the window goes, which freeglut's exit handler
// does before the process is gone: a sanitizer's leak check at exit takes
// tenths of a second more. The screen is read as fast as it can be (tens of
// times a second); each change is taken half-way between the readings
// either side of it, and is known within half their interval. Orange turns on
// above 20000 pixels and off below 5000, so that the corridor's torches and the
// ascent's fading glow do not turn it over.
TEST(Demo, SilentPlayChangesScenesWhereTheOrdersEnd)
{
    const double order = 16 * 2.5 / 50;
    DemoSetup setup{windowArgs, {"SDL_AUDIODRIVER=no-such-driver"}, "", true, false};
    setup.args.push_back("--silent");
    Demo demo(setup);
    makeFastModule(demo.dir + "/zap_wave.it", 40, 16, 50);
    auto start = std::chrono::steady_clock::now();
    auto now = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    demo.start();
    struct Change { double at, within; bool toOrange; };
    std::vector<Change> changes;
    double ended = -1, endedWithin = 0, before = 0;
    bool orange = false, shown = false;
    int code = -1;
    while (ended < 0 && now() < 60) {
        double at = now();
        bool on = demo.windowShown(), gone = shown && !on;
        shown = shown || on;
        RgbImage screen;
        bool read = !gone && demo.readScreen(screen);
        if (!read && shown && !demo.windowShown()) gone = true; // it went as the screen was read
        Change change = {(before + at) / 2, (at - before) / 2, !orange};
        before = at;
        if (gone || (code = demo.waitForExit(0)) != -1) ended = change.at, endedWithin = change.within;
        else if (!read && shown) ADD_FAILURE() << "the screen could not be read at " << at << " s while the demo ran";
        else if (long pixels = firePixels(screen); orange ? pixels < 5000 : pixels > 20000) {
            changes.push_back(change);
            orange = !orange;
        }
    }
    ASSERT_GT(ended, 0) << "the demo did not end: " << demo.errors();
    if (code == -1) code = demo.waitForExit(10000);
    EXPECT_EQ(code, 0) << demo.errors();
    // The corridor: the last change to orange (the ascent), and the one before it.
    size_t last = changes.size();
    while (last > 0 && !changes[last - 1].toOrange) last--;
    ASSERT_GE(last, 2u) << "no dark stretch between orange ones";
    const Change &corridor = changes[last - 2], &ascent = changes[last - 1];
    printf("the corridor from %.2f s (within %.2f) to %.2f s (within %.2f), the end at %.2f s (within %.2f)\n",
           corridor.at, corridor.within, ascent.at, ascent.within, ended, endedWithin);
    // A quarter of a second more for the frames the demo draws late on a busy
    // machine, and for the window's going; a change an order away must still
    // fall outside.
    const double fromSlack = corridor.within + endedWithin + 0.25, toSlack = ascent.within + endedWithin + 0.25;
    ASSERT_LT(std::max(fromSlack, toSlack), order / 2) << "the screen was read too seldom to tell one order from the next";
    EXPECT_NEAR(ended - corridor.at, (38 - 28) * order, fromSlack) << "the corridor began at " << corridor.at << " s, the end came at " << ended;
    EXPECT_NEAR(ended - ascent.at, (38 - 32) * order, toSlack) << "the ascent began at " << ascent.at << " s, the end came at " << ended;
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
