// Where the 640 x 480 screen the scenes are written for lands in outputs of
// other sizes: the largest centred 4:3 box, and screen boxes that abut there
// abut in the output too.
#include "kit.h"
#include <gtest/gtest.h>

struct Fit { int width, height; PixelBox box; };

class PictureBox : public ::testing::TestWithParam<Fit> {};

TEST_P(PictureBox, IsTheLargestCentredFourByThreeBox)
{
    const Fit &f = GetParam();
    PixelBox box = fitPicture(f.width, f.height);
    EXPECT_EQ(box.x, f.box.x);
    EXPECT_EQ(box.y, f.box.y);
    EXPECT_EQ(box.width, f.box.width);
    EXPECT_EQ(box.height, f.box.height);

    // The twenty bands of the banded clear tile the box, top to bottom, without
    // a gap or an overlap.
    setPicture(box, f.width, f.height);
    int top = box.y + box.height;
    for (int n = 0; n < 20; n++) {
        PixelBox band = mapScreenBox(0, 456 - 24 * n, 640, 24);
        EXPECT_EQ(band.y + band.height, top) << "band " << n;
        EXPECT_EQ(band.x, box.x);
        EXPECT_EQ(band.width, box.width);
        top = band.y;
    }
    EXPECT_EQ(top, box.y);
    setPicture({0, 0, 640, 480}, 640, 480);
}

const Fit fits[] = {
    {640, 480, {0, 0, 640, 480}},       // the demo's own size: the whole output
    {1280, 960, {0, 0, 1280, 960}},
    {1920, 1080, {240, 0, 1440, 1080}}, // wide: bars left and right
    {800, 800, {0, 100, 800, 600}},     // tall: bars above and below
    {1366, 768, {171, 0, 1024, 768}},   // an odd margin goes to the right
    {641, 481, {0, 0, 641, 481}},
};
INSTANTIATE_TEST_SUITE_P(Outputs, PictureBox, ::testing::ValuesIn(fits));
