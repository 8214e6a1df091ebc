// Test support: the real program run as a child in a working directory of its
// own, under the test display, with what it prints collected in that folder.
#pragma once
#include "png_image.h"
#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

struct Demo {
    std::string dir;   // working directory of the run
    pid_t pid = -1;
};

inline std::string readFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh working directory with the demo's two files, as asked.
inline std::string makeRunDir(bool withFont = true, bool withModule = true)
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

inline void writeBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Compiles a module of the given number of one-row orders into dir/zap_wave.it.
// One row lasts speed x 2.5 / tempo seconds.
inline void makeFastModule(const std::string &dir, int orders, int speed, int tempo)
{
    std::string score = dir + "/score";
    mkdir(score.c_str(), 0755);
    std::string song = "title Short\nspeed " + std::to_string(speed) + "\ntempo " + std::to_string(tempo) +
                       "\nchannel beep 32 64\n";
    for (int order = 0; order < orders; order++) song += "order " + std::to_string(order) + " beep\n";
    writeBytes(score + "/song.txt", song);
    writeBytes(score + "/instruments.txt", "[01 beep]\nosc = sine\nlength = 0.05\n");
    writeBytes(score + "/beep.pat", "pattern beep\ncolumns beep\n00 | C-5 01 .. ...\n");
    std::string make = BUILD_DIR "/make-module --dir " + score + " --out " + dir + "/zap_wave.it > /dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
}

// audioDriver null leaves SDL to pick its default device; "disk" writes the
// sound to audio.raw in the run folder. display, when given, replaces DISPLAY.
// args follow the program's name.
inline Demo startDemo(const std::string &dir, const char *audioDriver = "dummy", const char *display = nullptr,
                      const std::vector<std::string> &args = {})
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
        if (audioDriver) setenv("SDL_AUDIODRIVER", audioDriver, 1);
        else unsetenv("SDL_AUDIODRIVER");
        setenv("SDL_DISKAUDIOFILE", "audio.raw", 1);
        if (display) setenv("DISPLAY", display, 1);
        std::vector<char *> argv = {(char *)"cubic-harmony"};
        for (const std::string &arg : args) argv.push_back((char *)arg.c_str());
        argv.push_back(nullptr);
        execv(BUILD_DIR "/cubic-harmony", argv.data());
        _exit(98);
    }
    return demo;
}

// The exit code, 128 + the signal if one ended it, or -1 if the program had
// not ended after the given time.
inline int waitForExit(Demo &demo, int milliseconds)
{
    for (int waited = 0; waited <= milliseconds; waited += 20) {
        int status;
        if (waitpid(demo.pid, &status, WNOHANG) == demo.pid) {
            demo.pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (waited < milliseconds) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

inline void killIfRunning(Demo &demo)
{
    if (demo.pid > 0) {
        kill(demo.pid, SIGKILL);
        waitpid(demo.pid, nullptr, 0);
        demo.pid = -1;
    }
}

// Every test ends with this: no demo left running, no folder left behind.
inline void finish(Demo &demo)
{
    killIfRunning(demo);
    std::system(("rm -rf " + demo.dir).c_str());
}

inline std::string errorsOf(const Demo &demo) { return readFile(demo.dir + "/stderr.txt"); }

// Ends the demo and removes its folder when the test leaves the scope, a failed
// ASSERT included.
struct FinishOnExit {
    Demo &demo;
    ~FinishOnExit() { finish(demo); }
};

// What the X server shows in the window's place (the window opens at the top left).
inline RgbImage screenshot(const std::string &dir, int width = 640, int height = 480)
{
    std::string path = dir + "/shot.png";
    std::string command = "xwd -root -silent | convert xwd:- -crop " + std::to_string(width) + "x" +
                          std::to_string(height) + "+0+0 +repage png:" + path;
    EXPECT_EQ(std::system(command.c_str()), 0);
    RgbImage image;
    EXPECT_TRUE(readPng(path.c_str(), image));
    return image;
}
