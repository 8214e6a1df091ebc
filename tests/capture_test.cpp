// The offline capture: what ffprobe finds in a short capture, the same frames
// every time, scene changes on the frame where the order changes, and one clear
// line for each way it can fail.
#include "gl_capture.h"
#include "player.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include <sys/wait.h>

namespace {

std::string output(const std::string &command)
{
    std::string text;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, got);
        pclose(p);
    }
    return text;
}

// Runs the capture in the build folder; returns its exit code, its stderr in errors.
int capture(const std::string &arguments, std::string *errors = nullptr, const std::string &env = "")
{
    std::string log = "/tmp/cubic-harmony-capture-test.log";
    std::string command = "cd " BUILD_DIR " && " + env + " ./cubic-harmony-capture " + arguments + " 2> " + log;
    int status = std::system(command.c_str());
    if (errors) *errors = output("cat " + log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string videoHashes(const std::string &file)
{
    return output("ffmpeg -v error -i " + file + " -map 0:v -f framemd5 - | grep -v '^#'");
}

} // namespace

TEST(Capture, WritesOneVideoAndOneAudioStreamOfTheAskedLengthTheSameEveryTime)
{
    const std::string first = "/tmp/cubic-harmony-capture-1.mkv", second = "/tmp/cubic-harmony-capture-2.mkv";
    ASSERT_EQ(capture("--out " + first + " --fps 10 --until 2"), 0);
    ASSERT_EQ(capture("--out " + second + " --fps 10 --until 2"), 0);

    std::string streams = output("ffprobe -v error -count_frames -show_entries "
                                 "stream=codec_type,width,height,nb_read_frames -of csv=p=0 " + first);
    EXPECT_EQ(streams.rfind("video,640,480,20\naudio,", 0), 0u) << streams;
    EXPECT_EQ(std::count(streams.begin(), streams.end(), '\n'), 2) << "one stream of each";
    double audioSeconds = std::stod(output("ffprobe -v error -select_streams a -show_entries format=duration "
                                           "-of csv=p=0 " + first));
    EXPECT_NEAR(audioSeconds, 2.0, 0.05);

    std::string hashes = videoHashes(first);
    EXPECT_EQ(std::count(hashes.begin(), hashes.end(), '\n'), 20);
    EXPECT_EQ(hashes, videoHashes(second));
    std::remove(first.c_str());
    std::remove(second.c_str());
}

// The first scene's sky is violet-blue at the top, the title scene's deep blue:
// the picture must change on the first frame that hears order 4.
TEST(Capture, ChangesSceneOnTheFrameWhereTheOrderChanges)
{
    const int fps = 10;
    ASSERT_NE(playerLoadModule(0, BUILD_DIR "/zap_wave.it", 0, 0, playerLooping), 0);
    std::vector<int16_t> audio(2 * 44100);
    long rendered = 0;
    int boundary = -1;
    for (int k = 0; k < 40 * fps && boundary < 0; k++) {
        long target = (long)k * 44100 / fps;
        while (rendered < target) {
            int n = (int)std::min<long>(1024, target - rendered);
            ASSERT_EQ(playerRender(audio.data(), n), n);
            rendered += n;
        }
        if ((playerGetPosition() & 0xFFFF) >= 4) boundary = k;
    }
    playerFreeModule();
    ASSERT_GT(boundary, 0);

    std::string dir = "/tmp/cubic-harmony-capture-frames";
    std::system(("rm -rf " + dir).c_str());
    ASSERT_EQ(capture("--out /tmp/cubic-harmony-capture-3.mkv --fps 10 --frames " + dir +
                      " --until " + std::to_string((boundary + 2) / 10.0)), 0);
    char before[128], after[128];
    snprintf(before, sizeof before, "%s/frame%06d.png", dir.c_str(), boundary - 1);
    snprintf(after, sizeof after, "%s/frame%06d.png", dir.c_str(), boundary);
    RgbImage last, first;
    ASSERT_TRUE(readPng(before, last));
    ASSERT_TRUE(readPng(after, first));
    Pixel trailsSky = pixelAt(last, 4, 4), titleSky = pixelAt(first, 4, 4);
    EXPECT_NEAR(trailsSky.r, 0.38 * 255, 2);
    EXPECT_EQ(trailsSky.b, 255);
    EXPECT_NEAR(titleSky.r, 0, 2);
    EXPECT_NEAR(titleSky.b, 0.7 * 255, 2);
    std::system(("rm -rf " + dir + " /tmp/cubic-harmony-capture-3.mkv").c_str());
}

TEST(Capture, SaysWhatIsWrongAndExitsWithOne)
{
    std::string errors;
    EXPECT_EQ(capture("--out /tmp/cubic-harmony-capture-4.mp4 --until 1", &errors, "PATH=/nonexistent"), 1);
    EXPECT_NE(errors.find("ffmpeg not found"), std::string::npos) << errors;

    EXPECT_EQ(capture("--out /nonexistent/dir/demo.mp4 --until 1", &errors), 1);
    EXPECT_NE(errors.find("/nonexistent/dir/demo.mp4: cannot write"), std::string::npos) << errors;

    std::string dir = "/tmp/cubic-harmony-capture-nomodule";
    std::system(("rm -rf " + dir + " && mkdir " + dir + " && ln -s " BUILD_DIR "/fontpre.tga " + dir).c_str());
    std::string command = "cd " + dir + " && " BUILD_DIR "/cubic-harmony-capture --out " + dir +
                          "/x.mp4 --until 1 2>&1; echo \"exit $?\"";
    std::string text = output(command);
    EXPECT_NE(text.find("./zap_wave.it: cannot open"), std::string::npos) << text;
    EXPECT_NE(text.find("exit 1"), std::string::npos) << text;
    std::system(("rm -rf " + dir + " /tmp/cubic-harmony-capture-4.mp4").c_str());
}
