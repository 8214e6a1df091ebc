// The demo's command line: what it answers to each option, GLUT's own options,
// and where --scene starts the picture and the music.
#include "demo_run.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {

struct DemoRun {
    int code;
    std::string out, err;
};

// With no X display and no audio device: the options are read before either is
// opened, so every answer below needs neither.
DemoRun runDemo(const std::vector<std::string> &args)
{
    Demo demo({args, {"DISPLAY", "SDL_AUDIODRIVER=none-such"}, "", true, true});
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
        {{"--data"}, "--data"},
        {{"--retro", "--sharp"}, "--sharp, --retro"},                         // one way of drawing or the other
        {{"-display", ":0", "-sync", "--retro", "-geometry"}, "-geometry"},  // GLUT's, without its value
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

// GLUT's own options, with their values, are stepped over wherever they stand,
// and still reach glutInit: a display that is not there is GLUT's to report.
TEST(CommandLine, HelpListsEveryOptionVersionSaysWhichItIsGlutOptionsPassThrough)
{
    DemoRun help = runDemo({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char *option : {"--window [WxH]", "--fullscreen", "--sharp", "--retro", "--silent", "--scene N", "--data DIR", "--help",
                               "--version", "-display"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    // Where a viewer may start it from a shell, the warning stands before the options.
    EXPECT_LT(help.out.find("flashing lights and fast-moving patterns"), help.out.find("\n  --window [WxH]"));
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"--version"}, {"-sync", "--version"}, {"-display", ":65000", "-geometry", "10x10", "--version"}}) {
        DemoRun version = runDemo(args);
        EXPECT_EQ(version.code, 0) << version.err;
        EXPECT_EQ(version.out, "cubic-harmony " CUBIC_HARMONY_VERSION "\n");
    }
    Demo display({{"-display", ":65000", "--window"}, {}, "", true, true});
    display.start();
    EXPECT_NE(display.waitForExit(10000), 0);
    EXPECT_NE(display.errors().find("failed to open display ':65000'"), std::string::npos) << display.errors();
}

// 40 orders of 0.3 s: from order 24 the picture is the fire at once, and the
// music reaches order 38, the end, after 4.2 s of sound, not 11.4 s.
TEST(SceneOption, StartsAtTheFireWithItsMusic)
{
    Demo demo({{"--window", "640x480", "--scene", "6"}, {"SDL_AUDIODRIVER=disk"}, "", true, false});
    makeFastModule(demo.dir + "/zap_wave.it", 40, 6, 50);
    demo.start();
    while (demo.secondsHeard() < 0.5 && demo.running()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(firePixels(demo.screenshot()), 1000) << "the fire burns within the first second";
    EXPECT_LT(demo.secondsHeard(), 1.2) << "the screen was read in the fire's first four orders";
    EXPECT_EQ(demo.waitForExit(15000), 0) << demo.errors();
    EXPECT_GT(demo.secondsHeard(), 3.6);
    EXPECT_LT(demo.secondsHeard(), 5.5);
}

} // namespace
