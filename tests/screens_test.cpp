// The picture at other output sizes, through the frame tool: sharp frames are
// the 640 x 480 picture in more detail, the bands tile any height, the bars
// around the picture stay black, and retro frames are 640 x 480 blown up.
#include "demo_run.h"
#include "gl_capture.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int colourDistance(Pixel a, Pixel b)
{
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

bool isBlack(Pixel p) { return p.r == 0 && p.g == 0 && p.b == 0; }

// The mean of the output pixels that fall within each 640 x 480 pixel.
Pixel reducedPixel(const RgbImage &big, int x, int y)
{
    int x0 = x * big.width / 640, x1 = (x + 1) * big.width / 640;
    int y0 = y * big.height / 480, y1 = (y + 1) * big.height / 480;
    int r = 0, g = 0, b = 0, n = 0;
    for (int v = y0; v < y1; v++)
        for (int u = x0; u < x1; u++, n++) {
            Pixel p = pixelAt(big, u, v);
            r += p.r, g += p.g, b += p.b;
        }
    return {r / n, g / n, b / n};
}

// Away from the edges of boxes: the 3 x 3 pixels around are all one colour.
bool uniformAround(const RgbImage &image, int x, int y)
{
    for (int v = std::max(y - 1, 0); v <= std::min(y + 1, image.height - 1); v++)
        for (int u = std::max(x - 1, 0); u <= std::min(x + 1, image.width - 1); u++)
            if (colourDistance(pixelAt(image, u, v), pixelAt(image, x, y)) != 0) return false;
    return true;
}

struct Moment { int scene, time; const char *size; bool calm; }; // calm: few edges in the picture

class SharpFrame : public testing::TestWithParam<Moment> {};

// Only the edges of boxes may differ, where a finer grid cuts them elsewhere.
TEST_P(SharpFrame, ReducedToFourByThreeHundredsItIsThe640x480Frame)
{
    Moment m = GetParam();
    RgbImage small = renderFrame(m.scene, m.time);
    RgbImage big = renderFrame(m.scene, m.time, 60, std::string("--size ") + m.size);
    ASSERT_EQ(small.width, 640);
    ASSERT_EQ(std::to_string(big.width) + "x" + std::to_string(big.height), m.size);
    long close = 0, interior = 0, interiorClose = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            bool near = colourDistance(reducedPixel(big, x, y), pixelAt(small, x, y)) <= 24;
            close += near;
            if (uniformAround(small, x, y)) interior++, interiorClose += near;
        }
    printf("scene %d at %s: %.2f %% close, %.3f %% away from edges\n", m.scene, m.size,
           100.0 * close / (640 * 480), 100.0 * interiorClose / interior);
    if (m.calm) {
        EXPECT_GE(close, 640 * 480 * 99 / 100) << "scene " << m.scene << " at " << m.size;
    }
    EXPECT_GE(interiorClose, interior * 995 / 1000) << "scene " << m.scene << " at " << m.size;
}

INSTANTIATE_TEST_SUITE_P(Screens, SharpFrame, testing::Values(
    Moment{1, 3000, "1280x960", false},  // title: bands, crosses and the text strip
    Moment{5, 6000, "1280x960", false},  // fountain: the simulation at another size
    Moment{2, 1800, "1280x960", false},  // house
    Moment{8, 4000, "1280x960", true},   // ascent: its own projection
    Moment{3, 1571, "1000x750", false},  // lattice, an odd factor
    Moment{4, 3000, "1000x750", true},   // road
    Moment{6, 4000, "1000x750", false})); // fire, blended

// 710 rows make bands of 35.5 rows: each band is one run of its own colour in
// the picture's left column, every boundary within a row of where it belongs;
// a row left uncleared would be black, one shared would move a boundary.
TEST(Screens, BandsTileAnOddHeightWithNoGapAndNoOverlap)
{
    for (int scene : {0, 1}) { // the others draw over the left column
        RgbImage image = renderFrame(scene, 3000, 10, "--size 947x710");
        ASSERT_EQ(image.height, 710);
        std::vector<int> boundaries; // rows, from the top, where a new colour starts
        for (int y = 1; y < 710; y++)
            if (colourDistance(pixelAt(image, 0, y), pixelAt(image, 0, y - 1)) > 0) boundaries.push_back(y);
        EXPECT_EQ(boundaries.size(), 19u) << "scene " << scene;
        if (boundaries.size() != 19u) continue;
        for (int n = 1; n < 20; n++)
            EXPECT_NEAR(boundaries[n - 1], n * 35.5, 1.0) << "scene " << scene << ", top of band " << n;
        for (int y = 0; y < 710; y++)
            EXPECT_FALSE(isBlack(pixelAt(image, 0, y))) << "scene " << scene << ", row " << y << " uncleared";
    }
}

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
            Pixel p = pixelAt(image, x, y);
            if (inPicture) inside += !isBlack(p);
            else if (!isBlack(p)) coloured++;
        }
    EXPECT_EQ(coloured, 0) << o.options << ", scene " << scene;
    EXPECT_GT(inside, (long)o.w * o.h / 4) << "the picture is drawn, " << o.options << ", scene " << scene;
}

INSTANTIATE_TEST_SUITE_P(Screens, Bars, testing::Combine(testing::Values(
    Output{"--size 1920x1080", 1920, 1080, 240, 0, 1440, 1080},
    Output{"--size 600x1000", 600, 1000, 0, 275, 600, 450},
    Output{"--size 1920x1080 --retro", 1920, 1080, 320, 60, 1280, 960}),
    testing::Range(0, 9)));

// Each 640 x 480 pixel becomes an exact 2 x 2 block. llvmpipe rasterizes a
// handful of box edges one pixel differently in a larger framebuffer (the fire
// at 4 s: one pixel of 307200), so the blocks are held to the 640 x 480 frame
// on all but 0.01 % of them.
TEST(Screens, RetroIsThe640x480FrameEnlargedExactly)
{
    for (Moment m : {Moment{2, 1800, "", true}, Moment{6, 4000, "", true}}) {
        RgbImage small = renderFrame(m.scene, m.time);
        RgbImage big = renderFrame(m.scene, m.time, 60, "--size 1280x960 --retro");
        ASSERT_EQ(big.width, 1280);
        ASSERT_EQ(big.height, 960);
        long unevenBlocks = 0, differingBlocks = 0;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                Pixel block = pixelAt(big, 2 * x, 2 * y);
                unevenBlocks += colourDistance(block, pixelAt(big, 2 * x + 1, 2 * y)) != 0 ||
                                colourDistance(block, pixelAt(big, 2 * x, 2 * y + 1)) != 0 ||
                                colourDistance(block, pixelAt(big, 2 * x + 1, 2 * y + 1)) != 0;
                differingBlocks += colourDistance(block, pixelAt(small, x, y)) != 0;
            }
        EXPECT_EQ(unevenBlocks, 0) << "scene " << m.scene;
        EXPECT_LE(differingBlocks, 640 * 480 / 10000) << "scene " << m.scene;
    }
}

std::string captureRun(const std::string &arguments)
{
    std::string log = "/tmp/cubic-harmony-screens-capture.log";
    std::string command = "cd " BUILD_DIR " && ./cubic-harmony-capture " + arguments + " 2> " + log;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return readFile(log);
}

// Read back, encoded and counted at 2160p, every frame of it, in a window
// larger than the test display.
TEST(Screens, CapturesA2160pVideo)
{
    std::string video = "/tmp/cubic-harmony-screens-2160p.mp4";
    std::string log = captureRun("--size 3840x2160 --fps 20 --until 0.1 --out " + video);
    EXPECT_NE(log.find(" 2/2 frames"), std::string::npos) << log;
    std::string probe = "ffprobe -v error -count_frames -select_streams v -show_entries "
                        "stream=width,height,nb_read_frames -of csv=p=0 " + video + " > " + video + ".txt";
    ASSERT_EQ(std::system(probe.c_str()), 0);
    EXPECT_EQ(readFile(video + ".txt"), "3840,2160,2\n");
    std::remove(video.c_str());
    std::remove((video + ".txt").c_str());
}

// --scale 2 draws at 1280 x 960; with --retro it is 640 x 480 in 2 x 2 blocks.
TEST(Screens, CaptureScaleIsSharpUnlessRetro)
{
    for (const char *retro : {"", "--retro"}) {
        std::string dir = "/tmp/cubic-harmony-screens-frames";
        std::system(("rm -rf " + dir).c_str());
        captureRun(std::string("--scale 2 --fps 1 --until 3 --out /tmp/cubic-harmony-screens.mkv --frames ") +
                   dir + " " + retro);
        RgbImage frame;
        ASSERT_TRUE(readPng((dir + "/frame000002.png").c_str(), frame)) << "2 s in, past the fade from white";
        ASSERT_EQ(frame.width, 1280);
        ASSERT_EQ(frame.height, 960);
        long unevenBlocks = 0;
        for (int y = 0; y < 960; y += 2)
            for (int x = 0; x < 1280; x += 2)
                unevenBlocks += colourDistance(pixelAt(frame, x, y), pixelAt(frame, x + 1, y + 1)) != 0;
        if (*retro) EXPECT_EQ(unevenBlocks, 0);
        else EXPECT_GT(unevenBlocks, 1000) << "drawn at 1280 x 960, not enlarged";
        std::system(("rm -rf " + dir + " /tmp/cubic-harmony-screens.mkv").c_str());
    }
}

} // namespace
