// Test support: the demo run as a child process, under the test display or an X
// server of its own, and the window-manager request that closes its window.
#include "demo_run.h"
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

const char *const fallbackLine = "cubic-harmony: full-screen mode unavailable, playing full-screen at ";
const std::vector<std::string> windowArgs = {"--window", "640x480"};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string &path, const std::string &bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string commandOutput(const std::string &command)
{
    std::string text;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, got);
        pclose(p);
    }
    return text;
}

void makeFastModule(const std::string &path, int orders, int speed, int tempo)
{
    Scratch score;
    std::string song = "title Short\nspeed " + std::to_string(speed) + "\ntempo " + std::to_string(tempo) +
                       "\nchannel beep 32 64\n";
    for (int order = 0; order < orders; order++) song += "order " + std::to_string(order) + " beep\n";
    writeFile(score + "/song.txt", song);
    writeFile(score + "/instruments.txt", "[01 beep]\nosc = sine\nlength = 0.05\n");
    writeFile(score + "/beep.pat", "pattern beep\ncolumns beep\n00 | C-5 01 .. ...\n");
    std::string make = BUILD_DIR "/make-module --dir " + score + " --out " + path + " > /dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
}

Scratch::Scratch()
{
    char name[] = "/tmp/cubic-harmony-test-XXXXXX";
    EXPECT_NE(mkdtemp(name), nullptr);
    assign(name);
}

Scratch::~Scratch() { std::filesystem::remove_all(c_str()); }

Demo::Demo(const DemoSetup &s) : setup(s)
{
    for (const char *file : {"fontpre.tga", "zap_wave.it"})
        if (*file == 'f' ? setup.font : setup.module) {
            EXPECT_EQ(symlink((BUILD_DIR "/" + std::string(file)).c_str(), (dir + "/" + file).c_str()), 0);
        }
}

Demo::~Demo()
{
    for (pid_t *child : {&pid, &server})
        if (*child > 0) {
            kill(*child, SIGKILL);
            waitpid(*child, nullptr, 0);
        }
}

// An X server of the asked size; -displayfd makes it pick a free display and
// say which once it accepts clients: the number, then a newline of its own.
static pid_t startServer(const std::string &screen, std::string &display)
{
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t server = fork();
    if (server == 0) {
        close(ready[0]);
        std::string fd = std::to_string(ready[1]), size = screen + "x24";
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", size.c_str(), "-nolisten", "tcp",
               (char *)nullptr);
        _exit(97);
    }
    close(ready[1]);
    std::string number;
    for (char c; read(ready[0], &c, 1) == 1 && c != '\n';) number += c;
    close(ready[0]);
    display = number.empty() ? "" : ":" + number;
    return server;
}

void Demo::start()
{
    if (!setup.screen.empty()) {
        server = startServer(setup.screen, display);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    }
    pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(99);
        dup2(open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("SDL_DISKAUDIOFILE", "audio.raw", 1);
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
        for (const std::string &e : setup.env) {
            size_t equals = e.find('=');
            if (equals == std::string::npos) unsetenv(e.c_str());
            else setenv(e.substr(0, equals).c_str(), e.substr(equals + 1).c_str(), 1);
        }
        std::vector<char *> argv = {(char *)"cubic-harmony"};
        for (const std::string &a : setup.args) argv.push_back((char *)a.c_str());
        argv.push_back(nullptr);
        execv(BUILD_DIR "/cubic-harmony", argv.data());
        _exit(98);
    }
}

int Demo::waitForExit(int milliseconds)
{
    for (int waited = 0; pid > 0; waited += 20) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (waited >= milliseconds) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

void Demo::signal(int number) { if (pid > 0) kill(pid, number); }

std::string Demo::onDisplay(const std::string &command) const { return (display.empty() ? "" : "DISPLAY=" + display + " ") + command; }

bool Demo::pressKey() { return std::system(onDisplay("xdotool key q").c_str()) == 0; }

RgbImage Demo::screenshot(int width, int height)
{
    RgbImage image;
    EXPECT_TRUE(readScreen(image, width, height));
    return image;
}

// Straight from the X server, which takes milliseconds where a screenshot tool
// and a converter take tenths of a second: the timed tests read it many times.
bool Demo::readScreen(RgbImage &image, int width, int height)
{
    Display *x = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!x) return false;
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; }); // a screen too small: no image, not an exit
    XImage *shot = XGetImage(x, DefaultRootWindow(x), 0, 0, width, height, AllPlanes, ZPixmap);
    if (shot) {
        image.width = width;
        image.height = height;
        image.pixels.resize(size_t(width) * height * 3);
        uint8_t *to = image.pixels.data();
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++, to += 3) {
                unsigned long pixel = XGetPixel(shot, x, y);
                to[0] = uint8_t((pixel & shot->red_mask) >> __builtin_ctzl(shot->red_mask));
                to[1] = uint8_t((pixel & shot->green_mask) >> __builtin_ctzl(shot->green_mask));
                to[2] = uint8_t((pixel & shot->blue_mask) >> __builtin_ctzl(shot->blue_mask));
            }
        XDestroyImage(shot);
    }
    XCloseDisplay(x);
    return shot != nullptr;
}

// The demo's window among the display's top-level ones, or 0: the tests run
// no window manager, so it is a child of the root.
static Window demoWindow(Display *x)
{
    Window rootOut, parent, *children = nullptr, found = 0;
    unsigned count = 0;
    if (!XQueryTree(x, DefaultRootWindow(x), &rootOut, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; i++) {
        char *name = nullptr;
        if (XFetchName(x, children[i], &name) && std::string(name) == "Cubic Harmony") found = children[i];
        if (name) XFree(name);
    }
    if (children) XFree(children);
    return found;
}

bool Demo::windowShown()
{
    Display *x = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!x) return false;
    bool shown = demoWindow(x) != 0;
    XCloseDisplay(x);
    return shown;
}

bool Demo::closeWindow()
{
    Display *x = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!x) return false;
    Window window = demoWindow(x);
    if (window) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long)XInternAtom(x, "WM_DELETE_WINDOW", False);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(x, window, False, NoEventMask, &event);
        XFlush(x);
    }
    XCloseDisplay(x);
    return window != 0;
}

// 16-bit stereo at 44100 Hz.
double Demo::secondsHeard() const
{
    struct stat info;
    return stat((dir + "/audio.raw").c_str(), &info) == 0 ? info.st_size / (4.0 * 44100) : 0;
}

long Demo::residentKilobytes() const
{
    return std::atol(commandOutput("ps -o rss= -p " + std::to_string(pid)).c_str());
}

std::string Demo::output() const { return readFile(dir + "/stdout.txt"); }
std::string Demo::errors() const { return readFile(dir + "/stderr.txt"); }

std::vector<std::string> Demo::errorLines() const
{
    std::vector<std::string> lines;
    std::istringstream in(errors());
    for (std::string line; std::getline(in, line);)
        if (line.rfind("cubic-harmony: ", 0) == 0 && line.rfind(fallbackLine, 0) != 0) lines.push_back(line);
    return lines;
}
