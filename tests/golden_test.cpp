// Every scene's pictures at a few moments, the simulations after thousands of
// steps among them, and at other output sizes, rendered by the frame tool and
// held against the frames kept in tests/golden (scripts/bless-frames renews
// them after an intended change).
#include "demo_run.h"
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

struct Moment { int scene, time, fps; std::string options, name; };

std::vector<Moment> goldenMoments()
{
    std::vector<Moment> moments;
    std::ifstream in(SOURCE_DIR "/tests/golden/frames.txt");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Moment m;
        if (line[0] == '#' || !(fields >> m.scene >> m.time >> m.fps)) continue;
        std::getline(fields, m.options);
        m.name = "s" + std::to_string(m.scene) + "_t" + std::to_string(m.time);
        for (char c : m.options) // " --size 1280x960 --retro" names s2_t1800_size_1280x960_retro
            if (c != '-') m.name += c == ' ' ? '_' : c;
        moments.push_back(m);
    }
    return moments;
}

class GoldenFrame : public ::testing::TestWithParam<Moment> {};

} // namespace

TEST_P(GoldenFrame, MatchesTheKeptPicture)
{
    const Moment m = GetParam();
    std::string kept = SOURCE_DIR "/tests/golden/" + m.name + ".png";
    std::string rendered = "/tmp/cubic-harmony-golden-" + std::to_string(getpid()) + "-" + m.name + ".png";
    ASSERT_TRUE(renderFrameFile(rendered, m.scene, m.time, m.fps, m.options));
    // compare prints the number of pixels that differ by more than the fuzz. A
    // driver's rounding may move a colour by a step or two (the fuzz) and, at an
    // edge, a pixel or so (4 in 640 x 480, more in a larger frame); the walker's emblem bar a fifth of a unit
    // thicker moves a dozen.
    std::string count = commandOutput("compare -metric AE -fuzz 1% " + kept + " " + rendered + " null: 2>&1");
    RgbImage image;
    ASSERT_TRUE(isdigit((unsigned char)count[0]) && readPng(rendered.c_str(), image)) << rendered << ": " << count;
    long allowed = 4L * image.width * image.height / (640 * 480);
    EXPECT_LE(std::stol(count), allowed) << m.name << " differs from the kept frame in " << count
                                         << " pixels; the new picture is " << rendered;
    if (std::stol(count) <= allowed) unlink(rendered.c_str());
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenFrame, ::testing::ValuesIn(goldenMoments()),
                         [](const auto &info) { return info.param.name; });
