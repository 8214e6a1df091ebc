// The offline capture: what ffprobe finds in a short capture, the same frames
// every time, the scene changing on the frame where the order changes, and one
// clear line for each way it can fail.
#include "gl_capture.h"
#include "player.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string output(const std::string &command)
{
    std::string text;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, got);
        pclose(p);
    }
    return text;
}

// The capture run in the build folder: its standard error, then its exit code.
std::string capture(const std::string &arguments, const std::string &env = "")
{
    return output("cd " BUILD_DIR " && " + env + " ./cubic-harmony-capture " + arguments + " 2>&1 >/dev/null; echo \"exit $?\"");
}

// A folder of this run's own: other checkouts' tests may run beside this one.
std::string scratch()
{
    char name[] = "/tmp/cubic-harmony-capture-XXXXXX";
    EXPECT_NE(mkdtemp(name), nullptr);
    return name;
}

std::string videoHashes(const std::string &file)
{
    return output("ffmpeg -v error -i " + file + " -map 0:v -f framemd5 - | grep -v '^#'");
}

} // namespace

TEST(Capture, WritesOneVideoAndOneAudioStreamOfTheAskedLengthTheSameEveryTime)
{
    const std::string dir = scratch(), first = dir + "/1.mkv", second = dir + "/2.mkv";
    ASSERT_NE(capture("--out " + first + " --fps 10 --until 2").find("exit 0"), std::string::npos);
    ASSERT_NE(capture("--out " + second + " --fps 10 --until 2").find("exit 0"), std::string::npos);
    std::string streams = output("ffprobe -v error -count_frames -show_entries "
                                 "stream=codec_type,width,height,nb_read_frames -of csv=p=0 " + first);
    EXPECT_EQ(streams.rfind("video,640,480,20\naudio,", 0), 0u) << streams;
    EXPECT_EQ(std::count(streams.begin(), streams.end(), '\n'), 2) << "one stream of each";
    EXPECT_NEAR(std::stod(output("ffprobe -v error -select_streams a -show_entries format=duration -of csv=p=0 " + first)),
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

    std::string folder = scratch(), dir = folder + "/frames";
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
    const std::string dir = scratch(), out = " --until 1 --out " + dir + "/x.mp4", fontOnly = dir + "/font-only";
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
