// The demo's command line and its screens: what it answers to each option,
// where --scene starts the music, the full-screen fallback on a 1920 x 1080
// display, and a window that is resized.
#include "demo_run.h"
#include "gl_capture.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

namespace {

struct DemoRun {
    int code;
    std::string out, err;
};

DemoRun runDemo(const std::vector<std::string> &args)
{
    Demo demo({args, {}, "", true, true});
    demo.start();
    int code = demo.waitForExit(10000);
    return {code, demo.output(), demo.errors()};
}

struct Refusal { std::vector<std::string> args; const char *named; };

// One line naming what is wrong, a pointer to --help, code 2, nothing drawn.
TEST(CommandLine, RefusesWhatItDoesNotKnowInOneLine)
{
    const Refusal cases[] = {
        {{"--frobnicate"}, "--frobnicate"},
        {{"--scene", "9"}, "9"},
        {{"--scene", "two"}, "two"},
        {{"--scene"}, "--scene"},
        {{"--window", "640x"}, "640x"},
        {{"--window", "0x480"}, "0x480"},
        {{"--window", "--fullscreen"}, "--fullscreen"},
    };
    for (const Refusal &c : cases) {
        DemoRun run = runDemo(c.args);
        EXPECT_EQ(run.code, 2) << c.named << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST(CommandLine, HelpListsEveryOptionAndVersionSaysWhichItIs)
{
    DemoRun help = runDemo({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char *option : {"--window [WxH]", "--fullscreen", "--retro", "--scene N", "--help", "--version", "-display"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    DemoRun version = runDemo({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("cubic-harmony [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
}

// GLUT takes its own options before the demo reads the rest.
TEST(CommandLine, GlutOptionsPassThrough)
{
    DemoRun sync = runDemo({"-sync", "--version"});
    EXPECT_EQ(sync.code, 0) << sync.err;
    DemoRun display = runDemo({"-display", ":65000", "--version"});
    EXPECT_NE(display.err.find("failed to open display ':65000'"), std::string::npos) << display.err;
    EXPECT_EQ(display.out, "") << "the demo never saw the options";
}

TEST(SceneOption, StartsAtTheFireWithItsMusic)
{
    Demo demo({{"--window", "640x480", "--scene", "6"}, {"SDL_AUDIODRIVER=disk"}, "", true, true});
    demo.start();
    while (demo.secondsHeard() < 0.5 && demo.running())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LT(demo.secondsHeard(), 0.9) << "the screen is read within the first second";
    RgbImage shot = demo.screenshot();
    int orange = 0;
    for (int y = 0; y < shot.height; y++)
        for (int x = 0; x < shot.width; x++) {
            Pixel p = pixelAt(shot, x, y);
            orange += p.r > 100 && p.r > 2 * p.g && p.r > 2 * p.b;
        }
    EXPECT_GT(orange, 1000) << "the fire burns within the first second";
}

// 40 orders of 0.1 s: from order 24 the music reaches order 38, the end, after
// 1.4 s of sound, where from the start it would take 3.8 s.
TEST(SceneOption, PlaysTheMusicFromTheScenesFirstOrder)
{
    Demo demo({{"--window", "640x480", "--scene", "6"}, {"SDL_AUDIODRIVER=disk"}, "", true, false});
    makeFastModule(demo.dir + "/zap_wave.it", 40, 6, 150);
    demo.start();
    EXPECT_EQ(demo.waitForExit(15000), 0) << demo.errors();
    EXPECT_GT(demo.secondsHeard(), 1.2);
    EXPECT_LT(demo.secondsHeard(), 2.4);
}

bool columnBlack(const RgbImage &image, int x)
{
    for (int y = 0; y < image.height; y++)
        if (pixelAt(image, x, y).r || pixelAt(image, x, y).g || pixelAt(image, x, y).b) return false;
    return true;
}

// 800 x 400 holds a picture of 533 x 400 from column 133. GLUT's -geometry
// puts the window at the screen's corner (with no window manager it would
// stand at -1, -1).
TEST(Window, FollowsAResizeWithTheWholePictureLetterboxed)
{
    Demo demo({{"-geometry", "+0+0", "--window", "640x480"}, {}, "", true, true});
    demo.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(std::system("xdotool search --name '^Cubic Harmony$' windowsize 800 400"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(demo.running()) << demo.errors();
    RgbImage shot = demo.screenshot(800, 400);
    for (int x : {0, 132, 666, 799}) EXPECT_TRUE(columnBlack(shot, x)) << "column " << x;
    for (int x : {133, 665}) EXPECT_FALSE(columnBlack(shot, x)) << "column " << x;
    for (int y : {0, 399}) { // the picture reaches the top and the bottom
        int lit = 0;
        for (int x = 133; x < 666; x++) lit += pixelAt(shot, x, y).b > 0;
        EXPECT_GT(lit, 400) << "row " << y;
    }
}

// A display of its own, 1920 x 1080: the mode switch fails, the demo fills the
// screen with a 1440 x 1080 picture between bars of 240 columns, and the picture
// is the frame tool's at that size. The sound written by then tells the scene
// time roughly (on a loaded machine the picture lags it by up to half a
// second); the closest of the frame tool's pictures around it is compared.
TEST(FullScreen, FallbackFillsA1080pDisplayLikeTheFrameTool)
{
    Demo demo({{"--scene", "2"}, {"SDL_AUDIODRIVER=disk"}, "1920x1080", true, true});
    demo.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    ASSERT_TRUE(demo.running()) << demo.errors();
    int heardMs = (int)(demo.secondsHeard() * 1000);
    RgbImage shot = demo.screenshot(1920, 1080);
    EXPECT_NE(demo.errors().find(std::string(fallbackLine) + "1920x1080 instead\n"), std::string::npos)
        << demo.errors();
    EXPECT_EQ(demo.output(),
              "To run this you must be able to run 640x480 16bit mode\n(in other words your computer sucks)\n");
    ASSERT_EQ(shot.width, 1920);
    ASSERT_EQ(shot.height, 1080);
    for (int x : {239, 1680}) EXPECT_TRUE(columnBlack(shot, x)) << "column " << x;
    for (int x : {240, 1679}) EXPECT_FALSE(columnBlack(shot, x)) << "column " << x;

    long best = 0;
    for (int t = std::max(heardMs - 800, 0); t <= heardMs + 100; t += 100) {
        RgbImage frame = renderFrame(2, t, 10, "--size 1920x1080");
        long close = 0;
        for (int y = 0; y < 1080; y++)
            for (int x = 0; x < 1920; x++) {
                Pixel a = pixelAt(shot, x, y), b = pixelAt(frame, x, y);
                close += std::abs(a.r - b.r) <= 8 && std::abs(a.g - b.g) <= 8 && std::abs(a.b - b.b) <= 8;
            }
        best = std::max(best, close);
    }
    printf("closest frame: %.2f %% of the pixels within 8 levels\n", 100.0 * best / (1920 * 1080));
    EXPECT_GT(best, 1920L * 1080 * 96 / 100) << "sound heard: " << heardMs << " ms";
}

} // namespace
