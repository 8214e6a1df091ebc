// The flash counter: pictures made for it (full-screen flashes at safe and
// unsafe rates, flashes over parts of a box, light flickers, a moving object,
// red), the command line on small videos ffmpeg makes, and the demo's own
// figures per scene, which a change that makes a scene flash more must change.
#include "flashes.h"
#include "demo_run.h"
#include "shell.h"
#include <gtest/gtest.h>
#include <cmath>
#include <functional>
#include <cstring>
#include <sstream>

namespace {

const int width = 240, height = 180, fps = 60; // boxes of 80 x 60

struct Rgb { int r, g, b; };
const Rgb black = {0, 0, 0}, white = {255, 255, 255};

// The 8-bit sRGB grey of relative luminance l.
Rgb greyOf(double l)
{
    double c = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
    int v = (int)std::lround(c * 255);
    return {v, v, v};
}

// A picture of the background colour with one rectangle of another.
struct Scene {
    Rgb background, patch;
    int x, y, w, h;
};
typedef std::function<Scene(double seconds)> Film;

// A square wave: on for the first half of every period, off for the second.
bool onAt(double seconds, double hz) { return std::fmod(seconds * hz, 1.0) < 0.5; }

// The most transitions of each kind in any one-second window and any box,
// over seconds of film.
std::pair<int, int> mostTransitions(const Film &film, double seconds = 3)
{
    FlashCount count;
    startFlashCount(&count, width, height, fps);
    std::vector<uint8_t> rgb((size_t)width * height * 3);
    int general = 0, red = 0;
    for (int k = 0; k < seconds * fps; k++) {
        Scene s = film((double)k / fps);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                bool in = x >= s.x && x < s.x + s.w && y >= s.y && y < s.y + s.h;
                Rgb c = in ? s.patch : s.background;
                uint8_t *p = &rgb[((size_t)y * width + x) * 3];
                p[0] = c.r, p[1] = c.g, p[2] = c.b;
            }
        FlashFrame f = countFlashes(&count, rgb.data());
        general = std::max(general, f.transitions[generalFlash]);
        red = std::max(red, f.transitions[redFlash]);
    }
    return {general, red};
}

// A patch of w x h flashing between two colours at hz over a steady background;
// it stands across the lines of a fixed grid of thirds (80 and 60).
Film flashingPatch(Rgb background, Rgb on, Rgb off, double hz, int w, int h)
{
    return [=](double t) { return Scene{background, onAt(t, hz) ? on : off, 80 - w / 2, 60 - h / 2, w, h}; };
}

struct FlashCase {
    const char *name;
    Film film;
    int general, red; // transitions in the worst second: more than 6 fails
};

const Rgb red = {255, 0, 0};
const FlashCase flashCases[] = {
    // Every 0.2 s a transition: 5 in any second, 2.5 flashes; every 0.125 s, 8.
    {"FullScreenAt2.5HzPasses", flashingPatch(black, white, black, 2.5, width, height), 5, 0},
    {"FullScreenAt3HzPasses", flashingPatch(black, white, black, 3, width, height), 6, 0},
    {"FullScreenAt4HzFails", flashingPatch(black, white, black, 4, width, height), 8, 0},
    // A fifth of a box (960 of 4800 pixels) is under the quarter; a third is over it,
    // even where it stands across the lines of a grid of thirds.
    {"FifthOfABoxPasses", flashingPatch(black, white, black, 4, 32, 30), 0, 0},
    {"ThirdOfABoxFails", flashingPatch(black, white, black, 4, 40, 40), 8, 0},
    // Both states light: no general flash; the darker below 0.8, one.
    {"FlickerAbove0.8DoesNotCount", flashingPatch(black, greyOf(0.95), greyOf(0.82), 4, width, height), 0, 0},
    {"FlickerDownTo0.75Counts", flashingPatch(black, greyOf(0.95), greyOf(0.75), 4, width, height), 8, 0},
    // Less than 0.1 apart: no flash however dark.
    {"SmallChangeDoesNotCount", flashingPatch(black, greyOf(0.15), greyOf(0.07), 4, width, height), 0, 0},
    // Saturated red against a grey of the same luminance: no general flash, a red one.
    {"SaturatedRedCountsAsRed", flashingPatch(black, red, greyOf(0.2126), 4, width, height), 0, 8},
    {"RedAgainstBlackCountsAsBoth", flashingPatch(black, red, black, 4, width, height), 8, 8},
    // A red too pale to be saturated (R / (R + G + B) under 0.8) is no red flash.
    {"PaleRedIsNoRedFlash", flashingPatch(black, {255, 120, 120}, greyOf(0.2126), 4, width, height), 8, 0},
    // A bright square a tenth of a box across, moving 4 pixels a frame over a dark
    // picture, there and back: each pixel flashes as it passes, never a quarter at once.
    {"SmallObjectMovingIsNoFlash",
     [](double t) {
         int x = (int)(t * fps * 4) % (2 * width);
         return Scene{black, white, x < width ? x : 2 * width - x, 70, 24, 20};
     },
     0, 0},
    // A fade from black to white and back within a second, each way spread over
    // 30 frames: one flash, counted as each change has gone far enough.
    {"FadeUpAndDownIsOneFlash",
     [](double t) {
         double l = t < 0.5 ? 2 * t : t < 1 ? 2 - 2 * t : 0;
         return Scene{black, greyOf(l), 0, 0, width, height};
     },
     2, 0},
};

void PrintTo(const FlashCase &c, std::ostream *out) { *out << c.name; }

class Flashes : public testing::TestWithParam<FlashCase> {};

TEST_P(Flashes, CountedAsTheCriterionDefinesThem)
{
    auto [general, red] = mostTransitions(GetParam().film);
    EXPECT_EQ(general, GetParam().general);
    EXPECT_EQ(red, GetParam().red);
}

INSTANTIATE_TEST_SUITE_P(Pictures, Flashes, testing::ValuesIn(flashCases),
                         [](const testing::TestParamInfo<FlashCase> &info) {
                             std::string name = info.param.name;
                             for (char &c : name) if (!isalnum((unsigned char)c)) c = '_';
                             return name;
                         });

// The boxes cover the picture in twelfths: each a third of it, the last ending at its edge.
TEST(FlashBoxes, AreAThirdOfThePictureAndCoverIt)
{
    FlashCount count;
    startFlashCount(&count, 1024, 768, 30);
    PixelRect first = flashBox(&count, 0), last = flashBox(&count, boxCount - 1);
    EXPECT_TRUE(first.x == 0 && first.y == 0 && first.width == 341 && first.height == 256);
    EXPECT_EQ(last.x + last.width, 1024);
    EXPECT_EQ(last.y + last.height, 768);
}

// --- the command line --------------------------------------------------------------

// The tool run in the build folder: standard output, standard error, exit code.
struct Counted { std::string out, err; int code; };
Counted flashes(const std::string &arguments, const Scratch &dir)
{
    std::string code = commandOutput("cd " BUILD_DIR " && ./cubic-harmony-flashes " + arguments + " > " + dir +
                                     "/out 2> " + dir + "/err; echo $?");
    return {readFile(dir + "/out"), readFile(dir + "/err"), std::atoi(code.c_str())};
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A white and black flash at hz over the whole of a small video, 30 frames a second.
std::string flashVideo(const Scratch &dir, const char *name, double hz, double seconds)
{
    std::string path = dir + "/" + name;
    char filter[256];
    snprintf(filter, sizeof filter, "color=c=black:s=96x72:r=30:d=%g,geq=lum='255*lt(mod(T*%g\\,1)\\,0.5)':cb=128:cr=128",
             seconds, hz);
    commandOutput("ffmpeg -v error -f lavfi -i \"" + std::string(filter) + "\" -c:v ffv1 " + path);
    return path;
}

TEST(FlashesCommand, ExitsOneWithALinePerFailingSecondZeroWhereNoneFailsTwoOnBadInput)
{
    const Scratch dir;
    Counted slow = flashes(flashVideo(dir, "slow.mkv", 2.5, 3), dir);
    EXPECT_EQ(slow.code, 0) << slow.err;
    EXPECT_EQ(slow.err, "");
    EXPECT_NE(slow.out.find("\n     2      2.5  0.0  \n"), std::string::npos) << slow.out;

    Counted fast = flashes(flashVideo(dir, "fast.mkv", 4, 3), dir);
    EXPECT_EQ(fast.code, 1);
    std::vector<std::string> lines = linesOf(fast.err);
    ASSERT_EQ(lines.size(), 3u) << fast.err; // seconds 0, 1 and 2
    EXPECT_EQ(lines[1], "cubic-harmony-flashes: second 1: 4.0 general flashes within one second in the box"
                        " at x 0, y 0, 32x24 (three at most)");

    writeFile(dir + "/not-a-video.mkv", "plain text\n");
    for (const std::string &bad : {dir + "/not-a-video.mkv", dir + "/missing.mkv", std::string("--fps 0"),
                                   std::string("--size 320x240 ") + dir + "/slow.mkv", dir + "/a " + dir + "/b"}) {
        Counted run = flashes(bad, dir);
        EXPECT_EQ(run.code, 2) << bad << ": " << run.err;
        EXPECT_EQ(run.err.rfind("cubic-harmony-flashes: ", 0), 0u) << bad << ": " << run.err;
    }
}

// --- the demo -----------------------------------------------------------------------

// The demo's own figures at 640 x 480, 60 frames a second, as measured when the
// counter was written: the most flashes in one second in any box, general and
// red, per scene (docs/flashes.md has the table and what it means). A change
// that makes a scene flash more, or less, shows here. The whole demo is drawn:
// about a minute, so the test is a long run. The same pass digests every frame
// and holds it against the digests blessed, so that a change that moves an
// event between the golden frames' moments is named with its scene and second.
// Row by row, as the scene table runs; the tool names each row by the table's own name.
struct SceneFlashes { double general, red; };
const SceneFlashes demoFlashes[lastScene + 1] = {
    {0.5, 0.0}, // cube trails
    {0.5, 0.5}, // title
    {0.5, 0.5}, // house
    {3.0, 1.0}, // lattice
    {2.5, 0.0}, // road
    {3.0, 0.0}, // fountain
    {2.0, 14.5}, // fire
    {0.0, 5.5}, // corridor
    {0.5, 0.5}, // ascent
};

// One frame's line of a digest file: the seconds into its scene, a level a cell, the scene.
struct FrameDigest { std::string scene, seconds, cells; };
std::vector<FrameDigest> digestsIn(const std::string &text)
{
    std::vector<FrameDigest> frames;
    for (const std::string &line : linesOf(text)) {
        std::istringstream words(line);
        FrameDigest f;
        words >> f.seconds >> f.cells >> std::ws;
        std::getline(words, f.scene);
        frames.push_back(f);
    }
    return frames;
}

// Two digests of a frame agree where no cell differs by more than a level: a
// renderer may round a mean across a level's edge, but an event that comes early
// or late changes some cell by more.
bool digestsAgree(const FrameDigest &a, const FrameDigest &b)
{
    if (a.scene != b.scene || a.cells.size() != b.cells.size()) return false;
    for (size_t i = 0; i < a.cells.size(); i++)
        if (std::abs(std::stoi(a.cells.substr(i, 1), nullptr, 16) - std::stoi(b.cells.substr(i, 1), nullptr, 16)) > 1)
            return false;
    return true;
}

TEST(LongRun, TheDemoFlashesAsMeasuredSceneByScene)
{
    const Scratch dir;
    Counted demo = flashes("--data . --digest " + dir + "/digest.txt", dir);
    EXPECT_EQ(demo.code, 1) << demo.err; // the fire's red flicker is over three a second
    int rows = 0;
    bool table = false;
    for (const std::string &line : linesOf(demo.out)) {
        if (line.rfind("scene ", 0) == 0) { table = true; continue; }
        if (!table || rows > lastScene) continue;
        const char *name = sceneNames[rows];
        ASSERT_EQ(line.rfind(name, 0), 0u) << "row " << rows << " should be " << name << ": " << line;
        double from, to, general, red;
        ASSERT_EQ(sscanf(line.c_str() + strlen(name), "%lf %lf %lf %lf", &from, &to, &general, &red), 4) << line;
        EXPECT_EQ(general, demoFlashes[rows].general) << name << ": general flashes";
        EXPECT_EQ(red, demoFlashes[rows].red) << name << ": red flashes";
        rows++;
    }
    EXPECT_EQ(rows, lastScene + 1) << demo.out;

    // Every frame against its digest as blessed (scripts/bless-frames --digest):
    // per scene, the first moment that differs and how many frames do.
    std::vector<FrameDigest> kept = digestsIn(readFile(SOURCE_DIR "/tests/golden/demo-digest.txt"));
    std::vector<FrameDigest> drawn = digestsIn(readFile(dir + "/digest.txt"));
    ASSERT_FALSE(kept.empty()) << "tests/golden/demo-digest.txt is missing: scripts/bless-frames --digest";
    EXPECT_EQ(drawn.size(), kept.size()) << "frames drawn and frames blessed";
    std::map<std::string, std::pair<std::string, int>> differing; // per scene: the first moment, the frames
    for (size_t k = 0; k < std::min(drawn.size(), kept.size()); k++)
        if (!digestsAgree(drawn[k], kept[k])) {
            auto &d = differing[kept[k].scene];
            if (d.second++ == 0)
                d.first = kept[k].seconds + " s: " + drawn[k].scene + " " + drawn[k].cells + ", blessed " + kept[k].cells;
        }
    for (const auto &[scene, d] : differing)
        ADD_FAILURE() << scene << " differs from its blessed frames from " << d.first << " (" << d.second
                      << " frames differ)";
}

} // namespace
