// Test support: the real demo run as a child in a folder of its own, with the
// files, environment, arguments and display each case gives it, and what it
// printed, played and showed read back from there.
#pragma once
#include "pictures.h"
#include <string>
#include <vector>
#include <sys/types.h>

// How the line begins that the demo adds on standard error when the screen
// mode cannot be switched, as under every test display (the screen's size
// and "instead" follow). Only demo_run.cpp spells it out.
extern const char *const fallbackLine;

// Arguments that give the demo its 640 x 480 window at the top left of the
// display, where screenshot() looks.
extern const std::vector<std::string> windowArgs;

// A new folder in /tmp of this run's own (other checkouts' tests may run beside
// it), removed with all it holds when the test leaves its scope, however it ends.
struct Scratch : std::string {
    Scratch();
    ~Scratch();
    Scratch(const Scratch &) = delete;
};

struct DemoSetup {
    std::vector<std::string> args;   // after the program name
    std::vector<std::string> env;    // "NAME=value" sets, "NAME" unsets; SDL_AUDIODRIVER=dummy unless given
    std::string screen;              // "WxH": an X server of its own that size; "" the test's display
    bool font = true, module = true; // the build's fontpre.tga and zap_wave.it linked into the folder
};

class Demo {
public:
    explicit Demo(const DemoSetup &setup = {}); // the folder is ready; start() runs the demo in it
    ~Demo();                                     // kills what still runs; the folder goes with dir
    void start();
    int  waitForExit(int milliseconds);          // exit code, 128 + signal, or -1 if still running
    bool running() { return waitForExit(0) == -1; }
    void signal(int number);
    bool pressKey();                             // xdotool, to the focused window
    bool closeWindow();                          // what a window manager sends for the close button
    bool windowShown();                          // its window is on the display
    RgbImage screenshot(int width = 640, int height = 480); // the display's top-left corner
    bool readScreen(RgbImage &image, int width = 640, int height = 480); // the same, false where it cannot
    double secondsHeard() const;                 // sound written by SDL's disk driver so far
    long residentKilobytes() const;
    std::string output() const;
    std::string errors() const;
    std::vector<std::string> errorLines() const; // its own "cubic-harmony: " lines, less fallbackLine
    const Scratch dir;                           // the working directory of the run

private:
    DemoSetup setup;
    pid_t pid = -1, server = -1;
    std::string display;                         // where it runs; "" the test's DISPLAY
    std::string onDisplay(const std::string &command) const;
};

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);
std::string commandOutput(const std::string &command);   // its standard output

// Compiles a module of the given number of one-row orders into path.
// One row lasts speed x 2.5 / tempo seconds.
void makeFastModule(const std::string &path, int orders, int speed, int tempo);
