// The real program end to end under the test display with SDL's dummy audio:
// it starts, draws the first scene, and ends the way a viewer expects, with a
// clear word and code 1 when its files or its audio device are missing.
#include "demo_run.h"
#include "gl_capture.h"

TEST(Demo, PlaysTheFirstSceneAndEndsOnAKey)
{
    Demo demo = startDemo(makeRunDir());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_EQ(waitForExit(demo, 0), -1) << errorsOf(demo);

    // Fading in from white over the violet-blue top band: blue full, red above green.
    RgbImage shot = screenshot(demo.dir);
    ASSERT_EQ(shot.width, 640);
    Pixel top = pixelAt(shot, 4, 4);
    EXPECT_EQ(top.b, 255);
    EXPECT_GT(top.r, top.g + 10);
    EXPECT_LT(top.g, 230) << "the fade from white has moved on";

    EXPECT_EQ(std::system("xdotool key q"), 0);
    EXPECT_EQ(waitForExit(demo, 5000), 0) << errorsOf(demo);
    finish(demo);
}

// Xvfb cannot switch modes: the demo says so and plays full-screen at the screen's size.
TEST(Demo, WithoutGameModeSaysSoAndPlaysInAWindow)
{
    Demo demo = startDemo(makeRunDir());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(demo.pid, SIGTERM);
    EXPECT_EQ(waitForExit(demo, 5000), 0) << errorsOf(demo);
    killIfRunning(demo);
    EXPECT_EQ(readFile(demo.dir + "/stdout.txt"),
              "To run this you must be able to run 640x480 16bit mode\n(in other words your computer sucks)\n");
    EXPECT_NE(errorsOf(demo).find("playing full-screen at 1024x768 instead"), std::string::npos) << errorsOf(demo);
    finish(demo);
}

TEST(Demo, EndsCleanlyOnSigint)
{
    Demo demo = startDemo(makeRunDir());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(demo.pid, SIGINT);
    EXPECT_EQ(waitForExit(demo, 5000), 0) << errorsOf(demo);
    finish(demo);
}

TEST(Demo, RefusesToPlayWithoutAnAudioDevice)
{
    Demo demo = startDemo(makeRunDir(), "no-such-driver");
    EXPECT_EQ(waitForExit(demo, 10000), 1);
    killIfRunning(demo);
    EXPECT_NE(errorsOf(demo).find("cannot open the audio device"), std::string::npos) << errorsOf(demo);
    finish(demo);
}

// A module of 40 one-row orders at the fastest tempo reaches order 38 within
// half a second: the demo walks through every scene and ends by itself.
TEST(Demo, EndsByItselfWhenTheMusicReachesItsLastOrder)
{
    std::string dir = makeRunDir(true, false);
    makeFastModule(dir, 40, 1, 255);

    Demo demo = startDemo(dir);
    EXPECT_EQ(waitForExit(demo, 15000), 0) << errorsOf(demo);
    finish(demo);
}
