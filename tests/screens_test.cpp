// The picture on screens of other sizes: black bars around it in every scene,
// a window that is resized, and the full-screen fallback on a 1080p display.
// (What the picture itself looks like at other sizes, the golden frames show.)
#include "demo_run.h"
#include <gtest/gtest.h>
#include <chrono>
#include <thread>

using std::this_thread::sleep_for;
using std::chrono::milliseconds;

namespace {

struct Output { const char *options; int width, height; int x, y, w, h; };  // and the picture in it, from the top

class Bars : public testing::TestWithParam<std::tuple<Output, int>> {};

// The scenes that clear "the whole screen" clear the picture only; retro, the
// 640 x 480 corner the scenes drew into is cleared black again.
TEST_P(Bars, OutsideThePictureEveryPixelIsBlack)
{
    Output o = std::get<0>(GetParam());
    int scene = std::get<1>(GetParam());
    RgbImage image = renderFrame(scene, 1000, 4, o.options);
    ASSERT_EQ(image.width, o.width);
    ASSERT_EQ(image.height, o.height);
    long coloured = 0, inside = 0;
    for (int y = 0; y < o.height; y++)
        for (int x = 0; x < o.width; x++) {
            bool inPicture = x >= o.x && x < o.x + o.w && y >= o.y && y < o.y + o.h;
            bool black = isBlack(pixelAt(image, x, y));
            if (inPicture) inside += !black;
            else coloured += !black;
        }
    EXPECT_EQ(coloured, 0) << o.options << ", scene " << scene;
    EXPECT_GT(inside, (long)o.w * o.h / 4) << "the picture is drawn, " << o.options << ", scene " << scene;
}

INSTANTIATE_TEST_SUITE_P(Screens, Bars, testing::Combine(testing::Values(
    Output{"--size 1920x1080", 1920, 1080, 240, 0, 1440, 1080},
    Output{"--size 600x1000", 600, 1000, 0, 275, 600, 450},
    Output{"--size 1920x1080 --retro", 1920, 1080, 320, 60, 1280, 960}),
    testing::Range(0, 9)));

bool columnBlack(const RgbImage &image, int x)
{
    for (int y = 0; y < image.height; y++)
        if (!isBlack(pixelAt(image, x, y))) return false;
    return true;
}

// 800 x 400 holds a picture of 533 x 400 from column 133. GLUT's -geometry
// puts the window at the screen's corner (with no window manager it would
// stand at -1, -1).
TEST(Window, FollowsAResizeWithTheWholePictureLetterboxed)
{
    Demo demo({{"-geometry", "+0+0", "--window", "640x480"}, {}, "", true, true});
    demo.start();
    sleep_for(milliseconds(1500));
    ASSERT_EQ(std::system("xdotool search --name '^Cubic Harmony$' windowsize 800 400"), 0);
    sleep_for(milliseconds(1000));
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

// Without options the demo asks for the mode switch, which no test display
// grants, says so and fills this 1920 x 1080 screen with a 1440 x 1080 picture
// between bars of 240 columns: the first scene, fading in from white over the
// violet-blue top band (blue full, red above green).
TEST(FullScreen, FallbackSaysWhyAndFillsA1080pDisplay)
{
    Demo demo({{}, {}, "1920x1080", true, true});
    demo.start();
    sleep_for(milliseconds(2500));
    ASSERT_TRUE(demo.running()) << demo.errors();
    RgbImage shot = demo.screenshot(1920, 1080);
    EXPECT_EQ(demo.output(),
              "To run this you must be able to run 640x480 16bit mode\n(in other words your computer sucks)\n");
    EXPECT_NE(demo.errors().find(std::string(fallbackLine) + "1920x1080 instead\n"), std::string::npos)
        << demo.errors();
    ASSERT_EQ(shot.width, 1920);
    for (int x : {239, 1680}) EXPECT_TRUE(columnBlack(shot, x)) << "column " << x;
    for (int x : {240, 1679}) EXPECT_FALSE(columnBlack(shot, x)) << "column " << x;
    Pixel top = pixelAt(shot, 250, 8);
    EXPECT_EQ(top.b, 255);
    EXPECT_GT(top.r, top.g + 10);
    EXPECT_LT(top.g, 230) << "the fade from white has moved on";
}

} // namespace
