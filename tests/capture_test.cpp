// The offline capture: what ffprobe finds in a short capture, the same frames
// every time, the scene changing on the frame where the order changes, other
// sizes, and one clear line for each way it can fail.
#include "demo_run.h"
#include "player.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The capture run in the build folder: its standard error, then its exit code.
std::string capture(const std::string &arguments, const std::string &env = "")
{
    return commandOutput("cd " BUILD_DIR " && " + env + " ./cubic-harmony-capture " + arguments + " 2>&1 >/dev/null; echo \"exit $?\"");
}

std::string videoHashes(const std::string &file)
{
    return commandOutput("ffmpeg -v error -i " + file + " -map 0:v -f framemd5 - | grep -v '^#'");
}

} // namespace

TEST(Capture, WritesOneVideoAndOneAudioStreamOfTheAskedLengthTheSameEveryTime)
{
    const std::string dir = scratchFolder(), first = dir + "/1.mkv", second = dir + "/2.mkv";
    ASSERT_NE(capture("--out " + first + " --fps 10 --until 2").find("exit 0"), std::string::npos);
    ASSERT_NE(capture("--out " + second + " --fps 10 --until 2").find("exit 0"), std::string::npos);
    std::string streams = commandOutput("ffprobe -v error -count_frames -show_entries "
                                 "stream=codec_type,width,height,nb_read_frames -of csv=p=0 " + first);
    EXPECT_EQ(streams.rfind("video,640,480,20\naudio,", 0), 0u) << streams;
    EXPECT_EQ(std::count(streams.begin(), streams.end(), '\n'), 2) << "one stream of each";
    EXPECT_NEAR(std::stod(commandOutput("ffprobe -v error -select_streams a -show_entries format=duration -of csv=p=0 " + first)),
                2.0, 0.05);
    std::string hashes = videoHashes(first);
    EXPECT_EQ(std::count(hashes.begin(), hashes.end(), '\n'), 20);
    EXPECT_EQ(hashes, videoHashes(second));
    std::system(("rm -rf " + dir).c_str());
}

// The first scene's sky is violet-blue at the top, the title scene's deep blue:
// the picture changes on the first frame whose audio has reached order 4.
TEST(Capture, ChangesSceneOnTheFrameWhereTheOrderChanges)
{
    const int fps = 10;
    ASSERT_NE(playerLoadModule(0, BUILD_DIR "/zap_wave.it", 0, 0, playerLooping), 0);
    std::vector<int16_t> audio(2 * 44100);
    int boundary = -1;
    for (int k = 1; k < 40 * fps && boundary < 0; k++) {
        ASSERT_EQ(playerRender(audio.data(), 44100 / fps), 44100 / fps);
        if ((playerGetPosition() & 0xFFFF) >= 4) boundary = k;
    }
    playerFreeModule();
    ASSERT_GT(boundary, 0);

    std::string folder = scratchFolder(), dir = folder + "/frames";
    ASSERT_NE(capture("--out " + dir + ".mkv --fps 10 --frames " + dir + " --until " +
                      std::to_string((boundary + 2) / 10.0)).find("exit 0"), std::string::npos);
    RgbImage last, first;
    char before[64], after[64];
    snprintf(before, sizeof before, "/frame%06d.png", boundary - 1);
    snprintf(after, sizeof after, "/frame%06d.png", boundary);
    ASSERT_TRUE(readPng((dir + before).c_str(), last) && readPng((dir + after).c_str(), first));
    Pixel trailsSky = pixelAt(last, 4, 4), titleSky = pixelAt(first, 4, 4);
    EXPECT_NEAR(trailsSky.r, 0.38 * 255, 2);
    EXPECT_EQ(trailsSky.b, 255);
    EXPECT_NEAR(titleSky.r, 0, 2);
    EXPECT_NEAR(titleSky.b, 0.7 * 255, 2);
    std::system(("rm -rf " + folder).c_str());
}

TEST(Capture, SaysWhatIsWrongAndExitsWithOne)
{
    const std::string dir = scratchFolder(), out = " --until 1 --out " + dir + "/x.mp4", fontOnly = dir + "/font-only";
    const struct { std::string arguments, env, says; } failures[] = {
        {out, "PATH=/nonexistent", "ffmpeg not found"},
        {"--out /nonexistent/dir/demo.mp4 --until 1", "", "/nonexistent/dir/demo.mp4: cannot write"},
        {out + " --data " + fontOnly, "", fontOnly + "/zap_wave.it: cannot open"},
    };
    std::system(("mkdir " + fontOnly + " && ln -s " BUILD_DIR "/fontpre.tga " + fontOnly).c_str());
    for (const auto &f : failures) {
        std::string text = capture(f.arguments, f.env);
        EXPECT_NE(text.find(f.says), std::string::npos) << text;
        EXPECT_NE(text.find("exit 1"), std::string::npos) << text;
    }
    std::system(("rm -rf " + dir).c_str());
}

// Read back, encoded and counted at 2160p, every frame of it, in a window
// larger than the test display.
TEST(Capture, WritesA2160pVideo)
{
    const std::string dir = scratchFolder(), video = dir + "/2160p.mp4";
    std::string log = capture("--size 3840x2160 --fps 20 --until 0.1 --out " + video);
    EXPECT_NE(log.find(" 2/2 frames"), std::string::npos) << log;
    EXPECT_EQ(commandOutput("ffprobe -v error -count_frames -select_streams v -show_entries "
                            "stream=width,height,nb_read_frames -of csv=p=0 " + video), "3840,2160,2\n");
    std::system(("rm -rf " + dir).c_str());
}

// --scale 2 draws at 1280 x 960; with --retro it is 640 x 480 in 2 x 2 blocks.
TEST(Capture, ScaleIsSharpUnlessRetro)
{
    for (const char *retro : {"", " --retro"}) {
        const std::string dir = scratchFolder();
        ASSERT_NE(capture("--scale 2 --fps 1 --until 3 --out " + dir + "/v.mkv --frames " + dir + retro)
                      .find("exit 0"), std::string::npos);
        RgbImage frame;
        ASSERT_TRUE(readPng((dir + "/frame000002.png").c_str(), frame)) << "2 s in, past the fade from white";
        ASSERT_EQ(frame.width, 1280);
        ASSERT_EQ(frame.height, 960);
        long unevenBlocks = 0;
        for (int y = 0; y < 960; y += 2)
            for (int x = 0; x < 1280; x += 2) {
                Pixel a = pixelAt(frame, x, y), b = pixelAt(frame, x + 1, y + 1);
                unevenBlocks += a.r != b.r || a.g != b.g || a.b != b.b;
            }
        if (*retro) EXPECT_EQ(unevenBlocks, 0);
        else EXPECT_GT(unevenBlocks, 1000) << "drawn at 1280 x 960, not enlarged";
        std::system(("rm -rf " + dir).c_str());
    }
}
