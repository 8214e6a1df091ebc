// The real program end to end under the test display with SDL's dummy audio:
// it starts, draws the first scene, and ends the way a viewer expects, with a
// clear word and code 1 when its files or its audio device are missing.
#include "gl_capture.h"
#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Demo {
    std::string dir;   // working directory of the run
    pid_t pid = -1;
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh working directory with the demo's two files, as asked.
std::string makeRunDir(bool withFont = true, bool withModule = true)
{
    char dir[] = "/tmp/cubic-harmony-run-XXXXXX";
    EXPECT_NE(mkdtemp(dir), nullptr);
    std::string run = dir;
    if (withFont) {
        EXPECT_EQ(symlink(BUILD_DIR "/fontpre.tga", (run + "/fontpre.tga").c_str()), 0);
    }
    if (withModule) {
        EXPECT_EQ(symlink(BUILD_DIR "/zap_wave.it", (run + "/zap_wave.it").c_str()), 0);
    }
    return dir;
}

void writeBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

Demo startDemo(const std::string &dir, const char *audioDriver = "dummy")
{
    Demo demo;
    demo.dir = dir;
    demo.pid = fork();
    if (demo.pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(99);
        int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        setenv("SDL_AUDIODRIVER", audioDriver, 1);
        execl(BUILD_DIR "/cubic-harmony", "cubic-harmony", (char *)nullptr);
        _exit(98);
    }
    return demo;
}

// The exit code, or -1 if the program had not ended after the given time.
int waitForExit(Demo &demo, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 20) {
        int status;
        if (waitpid(demo.pid, &status, WNOHANG) == demo.pid) {
            demo.pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

void killIfRunning(Demo &demo)
{
    if (demo.pid > 0) {
        kill(demo.pid, SIGKILL);
        waitpid(demo.pid, nullptr, 0);
        demo.pid = -1;
    }
}

// Every test ends with this: no demo left running, no folder left behind.
void finish(Demo &demo)
{
    killIfRunning(demo);
    std::system(("rm -rf " + demo.dir).c_str());
}

std::string errorsOf(const Demo &demo) { return readFile(demo.dir + "/stderr.txt"); }

// What the X server shows in the window's place (the window opens at the top left).
RgbImage screenshot(const std::string &dir)
{
    std::string path = dir + "/shot.png";
    std::string command = "xwd -root -silent | convert xwd:- -crop 640x480+0+0 +repage png:" + path;
    EXPECT_EQ(std::system(command.c_str()), 0);
    RgbImage image;
    EXPECT_TRUE(readPng(path.c_str(), image));
    return image;
}

} // namespace

TEST(Demo, PlaysTheFirstSceneAndEndsOnAKey)
{
    Demo demo = startDemo(makeRunDir());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_EQ(waitForExit(demo, 0), -1) << errorsOf(demo);

    // Fading in from white over the violet-blue top band: blue full, red above green.
    RgbImage shot = screenshot(demo.dir);
    ASSERT_EQ(shot.width, 640);
    Pixel top = pixelAt(shot, 4, 4);
    EXPECT_EQ(top.b, 255);
    EXPECT_GT(top.r, top.g + 10);
    EXPECT_LT(top.g, 230) << "the fade from white has moved on";

    EXPECT_EQ(std::system("xdotool key q"), 0);
    EXPECT_EQ(waitForExit(demo, 5000), 0) << errorsOf(demo);
    finish(demo);
}

// Xvfb cannot switch modes: the demo says so and plays in a window.
TEST(Demo, WithoutGameModeSaysSoAndPlaysInAWindow)
{
    Demo demo = startDemo(makeRunDir());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(demo.pid, SIGTERM);
    EXPECT_EQ(waitForExit(demo, 5000), 0) << errorsOf(demo);
    killIfRunning(demo);
    EXPECT_EQ(readFile(demo.dir + "/stdout.txt"),
              "To run this you must be able to run 640x480 16bit mode\n(in other words your computer sucks)\n");
    EXPECT_NE(errorsOf(demo).find("640x480 window"), std::string::npos) << errorsOf(demo);
    finish(demo);
}

TEST(Demo, EndsCleanlyOnSigint)
{
    Demo demo = startDemo(makeRunDir());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(demo.pid, SIGINT);
    EXPECT_EQ(waitForExit(demo, 5000), 0) << errorsOf(demo);
    finish(demo);
}

TEST(Demo, RefusesMissingOrBrokenFilesWithOneLineAndCodeOne)
{
    const struct { const char *what; bool font, module; const char *fontBytes, *moduleBytes; const char *names; } cases[] = {
        {"no font",          false, true,  nullptr,        nullptr,               "fontpre.tga"},
        {"a truncated font", false, true,  "\0\1\1\0\0\0", nullptr,               "fontpre.tga"},
        {"no module",        true,  false, nullptr,        nullptr,               "zap_wave.it"},
        {"an empty module",  true,  false, nullptr,        "",                    "zap_wave.it"},
        {"a text file",      true,  false, nullptr,        "IMPM is not enough\n", "zap_wave.it"},
    };
    for (const auto &c : cases) {
        std::string dir = makeRunDir(c.font, c.module);
        if (c.fontBytes)   writeBytes(dir + "/fontpre.tga", std::string(c.fontBytes, 6));
        if (c.moduleBytes) writeBytes(dir + "/zap_wave.it", c.moduleBytes);
        Demo demo = startDemo(dir);
        EXPECT_EQ(waitForExit(demo, 10000), 1) << c.what;
        killIfRunning(demo);
        std::string errors = errorsOf(demo);
        EXPECT_NE(errors.find("cubic-harmony: " + std::string(c.names)), std::string::npos) << c.what << ": " << errors;
        finish(demo);
    }
}

TEST(Demo, RefusesToPlayWithoutAnAudioDevice)
{
    Demo demo = startDemo(makeRunDir(), "no-such-driver");
    EXPECT_EQ(waitForExit(demo, 10000), 1);
    killIfRunning(demo);
    EXPECT_NE(errorsOf(demo).find("cannot open the audio device"), std::string::npos) << errorsOf(demo);
    finish(demo);
}

// A module of 40 one-row orders at the fastest tempo reaches order 38 within
// half a second: the demo walks through every scene and ends by itself.
TEST(Demo, EndsByItselfWhenTheMusicReachesItsLastOrder)
{
    std::string dir = makeRunDir(true, false);
    std::string score = dir + "/score";
    mkdir(score.c_str(), 0755);
    std::string song = "title Short\nspeed 1\ntempo 255\nchannel beep 32 64\n";
    for (int order = 0; order < 40; order++) song += "order " + std::to_string(order) + " beep\n";
    writeBytes(score + "/song.txt", song);
    writeBytes(score + "/instruments.txt", "[01 beep]\nosc = sine\nlength = 0.05\n");
    writeBytes(score + "/beep.pat", "pattern beep\ncolumns beep\n00 | C-5 01 .. ...\n");
    std::string make = BUILD_DIR "/make-module --dir " + score + " --out " + dir + "/zap_wave.it > /dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);

    Demo demo = startDemo(dir);
    EXPECT_EQ(waitForExit(demo, 15000), 0) << errorsOf(demo);
    finish(demo);
}
