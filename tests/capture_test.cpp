// The offline capture: what ffprobe finds in a short capture, the same frames
// and sound every time, the scene changing on the frame where the order changes, exact
// fractional rates, other sizes, and one clear line for each way it can fail,
// with the file it would replace left as it was.
#include "demo_run.h"
#include "player.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include <sys/stat.h>

namespace {

// The capture run in the build folder: its standard error, then its exit code.
std::string capture(const std::string &arguments, const std::string &env = "")
{
    return commandOutput("cd " BUILD_DIR " && " + env + " ./cubic-harmony-capture " + arguments + " 2>&1 >/dev/null; echo \"exit $?\"");
}

} // namespace

// Drawing, read-back and the pipe overlap, the read-back a frame late through
// a few pixel buffers taken in turn: every frame must still reach ffmpeg whole,
// once and in order. A lossless video decoded frame by frame equals the frame
// tool's picture of each moment, over more frames than there are buffers.
TEST(Capture, EveryFrameIsTheFrameToolsPictureOfItsMomentInOrder)
{
    const int fps = 5, frames = 10, width = 800, height = 600;
    const Scratch dir;
    const std::string video = dir + "/v.mkv", size = " --size 800x600";
    std::string log = capture("--fps 5 --until 2 --out " + video + size);
    ASSERT_NE(log.find("exit 0"), std::string::npos) << log;
    std::string decoded = commandOutput("ffmpeg -v error -i " + video + " -map 0:v -f rawvideo -pix_fmt rgb24 -");
    const size_t frameSize = (size_t)width * height * 3;
    ASSERT_EQ(decoded.size(), frames * frameSize);
    for (int k = 0; k < frames; k++) {
        RgbImage picture = renderFrame(0, k * 1000 / fps, fps, size);
        ASSERT_EQ(picture.pixels.size(), frameSize);
        EXPECT_TRUE(decoded.compare(k * frameSize, frameSize, (const char *)picture.pixels.data(), frameSize) == 0)
            << "frame " << k;
    }
    // The soundtrack too is the same at every run: libopenmpt's dither would make each differ.
    ASSERT_NE(capture("--fps 5 --until 2 --out " + dir + "/again.mkv" + size).find("exit 0"), std::string::npos);
    auto sound = [](const std::string &file) { return commandOutput("ffmpeg -v error -i " + file + " -map 0:a -f md5 -"); };
    EXPECT_EQ(sound(video), sound(dir + "/again.mkv"));
}

// --no-encode draws the frames a capture would, to time them, and writes
// nothing: it starts no ffmpeg and refuses the options that would write.
TEST(Capture, NoEncodeDrawsEveryFrameAndWritesNothing)
{
    std::string log = capture("--no-encode --fps 10 --until 1.5 --size 320x240", "PATH=/nonexistent");
    EXPECT_NE(log.find("15 frames of 320x240 drawn"), std::string::npos) << log;
    EXPECT_NE(log.find("exit 0"), std::string::npos) << log;
    for (const char *writer : {"--out v.mp4", "--frames dir", "--wav a.wav"}) {
        log = capture(std::string("--no-encode --until 1 ") + writer);
        EXPECT_NE(log.find("it takes no --out, --frames or --wav"), std::string::npos) << log;
        EXPECT_NE(log.find("exit 2"), std::string::npos) << writer << ": " << log;
    }
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

    const Scratch folder;
    std::string dir = folder + "/frames";
    commandOutput("printf 'Trails\\nTitle\\n\\nHouse\\nL\\nR\\nF\\nF\\nC\\nA\\n' > " + folder + "/names");
    ASSERT_NE(capture("--out " + dir + ".mkv --fps 10 --frames " + dir + " --chapters " + folder + "/names --until " +
                      std::to_string((boundary + 2) / 10.0)).find("exit 0"), std::string::npos);
    // Its chapter begins there too; the scenes past --until have none.
    char chapters[64];
    snprintf(chapters, sizeof chapters, "0.000000,Trails\n%.6f,Title\n", boundary / 10.0);
    EXPECT_EQ(commandOutput("ffprobe -v error -show_entries chapter=start_time:chapter_tags=title -of csv=p=0 " +
                            dir + ".mkv"), chapters);
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
}

// Every failure says one line, exits with 1 and leaves the file it would have
// replaced byte for byte, with no temporary file beside it.
TEST(Capture, SaysWhatIsWrongExitsWithOneAndKeepsTheOldFile)
{
    const Scratch dir;
    const std::string keep = dir + "/keep", video = keep + "/old.mp4",
                      fontOnly = dir + "/font-only", oldBytes = "the user's own video\n";
    const struct { std::string arguments, env, says, old; } failures[] = {
        {"--out " + video, "PATH=/nonexistent", "ffmpeg not found", video},
        {"--out " + video + " --data " + fontOnly, "", fontOnly + "/zap_wave.it: cannot open", video},
        // ffmpeg knows no container for .xyz: it fails once the frames come.
        {"--out " + keep + "/old.xyz", "", "ffmpeg failed: " + keep + "/old.xyz", keep + "/old.xyz"},
        {"--out /nonexistent/dir/demo.mp4", "", "/nonexistent/dir/demo.mp4: cannot write", ""},
        // The soundtrack (70 KB) cut off by a 32 KB limit on any file's size.
        {"--out " + video + " --wav " + keep + "/old.wav", "trap '' XFSZ; ulimit -f 32;",
         keep + "/old.wav: cannot write", keep + "/old.wav"},
    };
    std::system(("mkdir " + keep + " " + fontOnly + " && ln -s " BUILD_DIR "/fontpre.tga " + fontOnly).c_str());
    for (const auto &f : failures) {
        if (!f.old.empty()) writeFile(f.old, oldBytes);
        std::string text = capture(f.arguments + " --fps 5 --until 0.4", f.env);
        EXPECT_NE(text.find(f.says), std::string::npos) << text;
        EXPECT_NE(text.find("exit 1"), std::string::npos) << text;
        if (f.old.empty()) continue;
        EXPECT_TRUE(readFile(f.old) == oldBytes) << f.arguments << ": the old file changed";
        EXPECT_EQ(commandOutput("ls -A " + keep), f.old.substr(keep.size() + 1) + "\n") << f.arguments;
        std::remove(f.old.c_str());
    }
}

// Stopped while ffmpeg is writing, it takes the half-written video with it.
// (A background job starts with SIGINT ignored; env gives it back, as a
// terminal's Ctrl-C would find it.)
TEST(Capture, InterruptedLeavesTheOldFileAndNoTemporaryOne)
{
    const Scratch dir;
    const std::string video = dir + "/old.mp4", oldBytes = "the user's own video\n";
    for (const char *signal : {"INT", "TERM"}) {
        writeFile(video, oldBytes);
        std::string text = commandOutput(
            "cd " BUILD_DIR " && { env --default-signal=INT ./cubic-harmony-capture --fps 10 --until 60 --out " + video + " 2>/dev/null & p=$!; "
            "for i in $(seq 300); do find " + dir + " -name '.old.mp4.partial-*' -size +0 | grep -q . && break; "
            "sleep 0.05; done; ls -A " + dir + " | grep -c partial; kill -" + signal + " $p; wait $p 2>/dev/null; echo \"exit $?\"; }");
        EXPECT_EQ(text, std::string("1\nexit ") + (signal[0] == 'I' ? "130" : "143") + "\n") << "killed mid-way by the signal";
        EXPECT_EQ(readFile(video), oldBytes) << signal;
        EXPECT_EQ(commandOutput("ls -A " + dir), "old.mp4\n") << signal;
    }
}

// Frame k stands at exactly k * D / N seconds: a short capture holds the frames
// that begin before --until, and ffmpeg is told the fraction itself. The video
// replaces the old file and keeps its permissions, and so does the soundtrack
// of --wav, which holds the sound of exactly those frames.
TEST(Capture, ReadsTheRateAsAnExactFractionAndReplacesTheOldFile)
{
    const struct { const char *fps, *until, *rate; int frames; } cases[] = {
        {"30000/1001", "0.2",  "30000/1001", 5},
        {"29.97",      "0.2",  "30000/1001", 5}, // what NTSC video means by it
        {"2997/100",   "0.2",  "2997/100",   5},
        {"12.5",       "0.2",  "25/2",       2},
        {"100",        "0.29", "100/1",      29}, // 0.29 * 100 is below 29 in floating point
    };
    const Scratch dir;
    const std::string video = dir + "/v.mp4", sound = dir + "/a.wav";
    for (const auto &c : cases) {
        for (const std::string &old : {video, sound}) {
            writeFile(old, "the user's own file\n");
            chmod(old.c_str(), 0640);
        }
        std::string log = capture(std::string("--fps ") + c.fps + " --until " + c.until + " --out " + video +
                                  " --wav " + sound);
        ASSERT_NE(log.find("exit 0"), std::string::npos) << log;
        EXPECT_EQ(commandOutput("ffprobe -v error -count_frames -select_streams v -show_entries "
                                "stream=r_frame_rate,nb_read_frames -of csv=p=0 " + video),
                  c.rate + std::string(",") + std::to_string(c.frames) + "\n") << c.fps;
        long num, den;
        ASSERT_EQ(sscanf(c.rate, "%ld/%ld", &num, &den), 2);
        EXPECT_EQ(readFile(sound).size(), 44 + 4 * (size_t)(c.frames * 44100L * den / num)) << c.fps;
        for (const std::string &kept : {video, sound}) {
            struct stat st;
            ASSERT_EQ(stat(kept.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0640u) << kept;
        }
        EXPECT_EQ(commandOutput("ls -A " + dir), "a.wav\nv.mp4\n");
        EXPECT_EQ(commandOutput("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + video), "video\naudio\n");
    }
}

// A rate or a length it cannot honour is refused before anything is written.
TEST(Capture, RefusesWhatItCannotHonourInOneLineWithExitTwo)
{
    const struct { const char *option, *value; } refused[] = {
        {"--fps", "0"}, {"--fps", "0.5"}, {"--fps", "241"}, {"--fps", "240.5"}, {"--fps", "-30"},
        {"--fps", "+30"}, {"--fps", " 30"}, {"--fps", "1e2"}, {"--fps", "abc"}, {"--fps", ""},
        {"--fps", "30/"}, {"--fps", "/1001"}, {"--fps", "1/0"}, {"--fps", "30/-1"},
        {"--fps", "29.97.1"}, {"--fps", "30000/1001x"},
        {"--fps", "29.9700299"},         // more places than it reads
        {"--fps", "2000003/1000003"},    // a denominator too fine for exact frame times
        {"--fps", "99999999999999999999"},
        {"--until", "0.0001"}, {"--until", "901"}, {"--until", "1/0"},
        {"--until", "0.5"},              // shorter than one frame at --fps 1
    };
    const Scratch dir;
    for (const auto &r : refused) {
        std::string text = capture(std::string("--fps 1 ") + r.option + " '" + r.value + "' --out " + dir + "/v.mp4");
        std::string says = text.substr(0, text.find("exit "));
        EXPECT_EQ(says.rfind(std::string("cubic-harmony-capture: ") + r.option, 0), 0u) << says;
        EXPECT_EQ(std::count(says.begin(), says.end(), '\n'), 1) << says;
        EXPECT_NE(text.find("exit 2"), std::string::npos) << r.option << " '" << r.value << "': " << text;
    }
    EXPECT_EQ(commandOutput("ls -A " + dir), "");
}

// Read back, encoded and counted at 2160p, every frame of it, in a window
// larger than the test display.
TEST(Capture, WritesA2160pVideo)
{
    const Scratch dir;
    const std::string video = dir + "/2160p.mp4";
    std::string log = capture("--size 3840x2160 --fps 20 --until 0.1 --out " + video);
    EXPECT_NE(log.find(" 2/2 frames"), std::string::npos) << log;
    EXPECT_EQ(commandOutput("ffprobe -v error -count_frames -select_streams v -show_entries "
                            "stream=width,height,nb_read_frames -of csv=p=0 " + video), "3840,2160,2\n");
}

// --scale 2 draws at 1280 x 960; with --retro it is 640 x 480 in 2 x 2 blocks.
TEST(Capture, ScaleIsSharpUnlessRetro)
{
    for (const char *retro : {"", " --retro"}) {
        const Scratch dir;
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
    }
}
