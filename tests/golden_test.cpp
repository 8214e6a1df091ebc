// Every scene's pictures at a few moments, the simulations after thousands of
// steps among them, rendered by the frame tool and held against the frames kept
// in tests/golden (scripts/bless-frames renews them after an intended change).
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

struct Moment { int scene, time, fps; };

std::vector<Moment> goldenMoments()
{
    std::vector<Moment> moments;
    std::ifstream in(SOURCE_DIR "/tests/golden/frames.txt");
    for (std::string line; std::getline(in, line);) {
        Moment m;
        if (line[0] != '#' && std::istringstream(line) >> m.scene >> m.time >> m.fps) moments.push_back(m);
    }
    return moments;
}

// A driver's rounding may move a pixel's colour by a step or two (the fuzz)
// and, at an edge, a pixel or so; the thinnest bar of the walker's emblem,
// a fifth of a unit thicker, moves a dozen.
const int allowedPixels = 4;

class GoldenFrame : public ::testing::TestWithParam<Moment> {};

} // namespace

TEST_P(GoldenFrame, MatchesTheKeptPicture)
{
    const Moment m = GetParam();
    std::string name = "s" + std::to_string(m.scene) + "_t" + std::to_string(m.time) + ".png";
    std::string kept = SOURCE_DIR "/tests/golden/" + name;
    std::string rendered = "/tmp/cubic-harmony-golden-" + std::to_string(getpid()) + "-" + name;
    std::string render = "cd " BUILD_DIR " && ./cubic-harmony-frame --scene " + std::to_string(m.scene) +
                         " --time " + std::to_string(m.time) + " --fps " + std::to_string(m.fps) + " --out " + rendered;
    ASSERT_EQ(std::system(render.c_str()), 0) << render;
    // compare prints the number of pixels that differ by more than the fuzz.
    std::string compare = "compare -metric AE -fuzz 1% " + kept + " " + rendered + " null: 2>&1";
    std::string count;
    if (FILE *p = popen(compare.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, p)) count += buffer;
        pclose(p);
    }
    ASSERT_TRUE(isdigit((unsigned char)count[0])) << compare << ": " << count;
    EXPECT_LE(std::stol(count), allowedPixels) << name << " differs from the kept frame in " << count
                                               << " pixels; the new picture is " << rendered;
    if (std::stol(count) <= allowedPixels) unlink(rendered.c_str());
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenFrame, ::testing::ValuesIn(goldenMoments()), [](const auto &info) {
    return "Scene" + std::to_string(info.param.scene) + "At" + std::to_string(info.param.time) + "ms";
});
