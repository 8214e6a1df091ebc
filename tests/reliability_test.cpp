// The real program against what users' machines hand it: broken or odd files,
// no sound device, no display, a closed window, signals in every scene, and a
// module that loops for good. It either plays or says in one line what is wrong.
#include "demo_run.h"
#include "gl_capture.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <vector>
#include <sys/stat.h>

namespace {

// The demo's own lines on standard error, less the one saying that a window
// stands in for the full-screen mode switch (always so under the test display).
// Libraries may add their own.
std::vector<std::string> errorLines(const Demo &demo)
{
    std::vector<std::string> lines;
    std::istringstream in(errorsOf(demo));
    for (std::string line; std::getline(in, line);)
        if (line.rfind("cubic-harmony: ", 0) == 0 && line.find("full-screen mode unavailable") == std::string::npos)
            lines.push_back(line);
    return lines;
}

std::string fileBytes(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string withByte(std::string bytes, size_t at, char value)
{
    bytes[at] = value;
    return bytes;
}

// A short, valid WAV file: another kind of sound file under the module's name.
std::string waveFile()
{
    std::string data(400, '\0');
    std::string wav = "RIFF";
    auto le32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) wav += (char)(v >> 8 * i); };
    auto le16 = [&](uint16_t v) { wav += (char)v; wav += (char)(v >> 8); };
    le32(36 + data.size());
    wav += "WAVEfmt ";
    le32(16); le16(1); le16(1); le32(8000); le32(16000); le16(2); le16(16);
    wav += "data";
    le32(data.size());
    return wav + data;
}

// Seconds of sound written so far by SDL's disk driver (16-bit stereo, 44100 Hz).
double secondsHeard(const Demo &demo)
{
    struct stat info;
    if (stat((demo.dir + "/audio.raw").c_str(), &info) != 0) return 0;
    return info.st_size / (4.0 * 44100);
}

long residentKilobytes(pid_t pid)
{
    std::istringstream in(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

int orangePixels(const RgbImage &image)
{
    int orange = 0;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            Pixel p = pixelAt(image, x, y);
            if (p.r > 100 && p.r > 2 * p.g && p.r > 2 * p.b) orange++;
        }
    return orange;
}

// The top-level window of that title, or 0.
Window findWindow(Display *display, Window parent, const char *title)
{
    Window root, up, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; i++) {
        char *name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (std::string(name) == title) found = children[i];
            XFree(name);
        }
        if (!found) found = findWindow(display, children[i], title);
    }
    if (children) XFree(children);
    return found;
}

// What a window manager sends when the user clicks the close button.
bool askWindowToClose(const char *title)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) return false;
    Window window = findWindow(display, DefaultRootWindow(display), title);
    if (window) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }
    XCloseDisplay(display);
    return window != 0;
}

} // namespace

// Each broken file ends the demo before its first frame, with code 1 and one
// line that names the file.
TEST(BadFiles, EachGivesOneLineNamingTheFileAndCodeOne)
{
    const std::string font = fileBytes(BUILD_DIR "/fontpre.tga");
    const std::string module = fileBytes(BUILD_DIR "/zap_wave.it");
    ASSERT_EQ(font.size(), 17170u);
    ASSERT_GT(module.size(), 100000u);
    std::string random(50000, '\0');
    srand(7);
    for (char &c : random) c = (char)rand();

    enum Kind { bytes, missing, directory, pipe, loop, unreadable };
    const struct { const char *what, *file; Kind kind; std::string content; const char *says; } cases[] = {
        {"font missing",               "fontpre.tga", missing,    "", "cannot open"},
        {"font empty",                 "fontpre.tga", bytes,      "", "too short"},
        {"font cut in its header",     "fontpre.tga", bytes,      font.substr(0, 10), "too short"},
        {"font cut after the map",     "fontpre.tga", bytes,      font.substr(0, 786), "too short"},
        {"font cut in the pixels",     "fontpre.tga", bytes,      font.substr(0, 9000), "too short"},
        {"font one byte short",        "fontpre.tga", bytes,      font.substr(0, 17169), "too short"},
        {"font true-colour",           "fontpre.tga", bytes,      withByte(font, 2, 2), "colour-mapped"},
        {"font compressed",            "fontpre.tga", bytes,      withByte(font, 2, 9), "colour-mapped"},
        {"font 512 wide",              "fontpre.tga", bytes,      withByte(font, 13, 2), "256 x 64"},
        {"font 32 high",               "fontpre.tga", bytes,      withByte(font, 14, 32), "256 x 64"},
        {"font with an image-ID",      "fontpre.tga", bytes,      withByte(font, 0, 12), "image-ID"},
        {"font a directory",           "fontpre.tga", directory,  "", "directory"},
        {"font a pipe",                "fontpre.tga", pipe,       "", "not a regular file"},
        {"font a looping link",        "fontpre.tga", loop,       "", "cannot open"},
        {"font unreadable",            "fontpre.tga", unreadable, font, "cannot"},
        {"module missing",             "zap_wave.it", missing,    "", "cannot open"},
        {"module empty",               "zap_wave.it", bytes,      "", "empty"},
        {"module cut in its header",   "zap_wave.it", bytes,      module.substr(0, 100), "cut off"},
        {"module cut in its tables",   "zap_wave.it", bytes,      module.substr(0, 200), "cut off"},
        {"module cut in a sample",     "zap_wave.it", bytes,      module.substr(0, module.size() / 2), "cut off"},
        {"module one byte short",      "zap_wave.it", bytes,      module.substr(0, module.size() - 1), "cut off"},
        {"module random bytes",        "zap_wave.it", bytes,      random, "not a module"},
        {"module the font renamed",    "zap_wave.it", bytes,      font, "not a module"},
        {"module a WAV renamed",       "zap_wave.it", bytes,      waveFile(), "not a module"},
        {"module a directory",         "zap_wave.it", directory,  "", "directory"},
        {"module a pipe",              "zap_wave.it", pipe,       "", "not a regular file"},
        {"module unreadable",          "zap_wave.it", unreadable, module, "cannot"},
    };
    for (const auto &c : cases) {
        bool isFont = std::string(c.file) == "fontpre.tga";
        std::string dir = makeRunDir(!isFont, isFont);
        std::string path = dir + "/" + c.file;
        switch (c.kind) {
        case bytes:      writeBytes(path, c.content); break;
        case missing:    break;
        case directory:  mkdir(path.c_str(), 0755); break;
        case pipe:       mkfifo(path.c_str(), 0644); break;
        case loop:       EXPECT_EQ(symlink(c.file, path.c_str()), 0); break;
        case unreadable: // root reads any file, but no one reads page 0 of a process
            if (geteuid() == 0) EXPECT_EQ(symlink("/proc/self/mem", path.c_str()), 0);
            else writeBytes(path, c.content), chmod(path.c_str(), 0);
            break;
        }
        Demo demo = startDemo(dir);
        FinishOnExit cleanup{demo};
        int code = waitForExit(demo, 10000);
        EXPECT_EQ(code, 1) << c.what << ": " << errorsOf(demo);
        std::vector<std::string> lines = errorLines(demo);
        ASSERT_EQ(lines.size(), 1u) << c.what << ": " << errorsOf(demo);
        EXPECT_EQ(lines[0].rfind("cubic-harmony: " + std::string(c.file) + ": ", 0), 0u) << c.what << ": " << lines[0];
        EXPECT_NE(lines[0].find(c.says), std::string::npos) << c.what << ": " << lines[0];
    }
}

// SDL's own choice of driver, on a machine without sound, finds no device.
TEST(Devices, NoSoundDeviceGivesOneLineAndCodeOne)
{
    Demo demo = startDemo(makeRunDir(), nullptr);
    FinishOnExit cleanup{demo};
    int code = waitForExit(demo, 10000);
    if (code == -1) {
        GTEST_SKIP() << "this machine has a sound device";
    }
    EXPECT_EQ(code, 1);
    std::vector<std::string> lines = errorLines(demo);
    ASSERT_EQ(lines.size(), 1u) << errorsOf(demo);
    EXPECT_EQ(lines[0].rfind("cubic-harmony: cannot open the audio device: ", 0), 0u) << lines[0];
}

// freeglut reports it and exits; the demo neither crashes nor hangs.
TEST(Devices, ADisplayThatCannotBeOpenedEndsWithFreeglutsMessage)
{
    Demo demo = startDemo(makeRunDir(), "dummy", ":65000");
    FinishOnExit cleanup{demo};
    int code = waitForExit(demo, 10000);
    EXPECT_GT(code, 0);
    EXPECT_LT(code, 128) << "ended by a signal";
    EXPECT_NE(errorsOf(demo).find("failed to open display"), std::string::npos) << errorsOf(demo);
}

TEST(Devices, ClosingTheWindowEndsTheDemoWithCodeZero)
{
    Demo demo = startDemo(makeRunDir());
    FinishOnExit cleanup{demo};
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(waitForExit(demo, 0), -1) << errorsOf(demo);
    ASSERT_TRUE(askWindowToClose("Cubic Harmony"));
    EXPECT_EQ(waitForExit(demo, 5000), 0) << errorsOf(demo);
}

// A module of 40 orders of 0.1 s: scene k runs from 0.4k s of sound. The sound
// written by the disk driver tells when the demo is half-way through a scene.
TEST(Signals, SigtermInEveryScene)
{
    std::string dir = makeRunDir(true, false);
    makeFastModule(dir, 40, 6, 150);
    for (int scene = 0; scene <= 8; scene++) {
        std::string run = makeRunDir(true, false);
        ASSERT_EQ(symlink((dir + "/zap_wave.it").c_str(), (run + "/zap_wave.it").c_str()), 0);
        Demo demo = startDemo(run, "disk");
        FinishOnExit cleanup{demo};
        double middle = scene < 8 ? 0.4 * scene + 0.2 : 3.5, end = scene < 8 ? 0.4 * scene + 0.4 : 3.8;
        while (secondsHeard(demo) < middle && waitForExit(demo, 0) == -1)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        kill(demo.pid, scene % 2 ? SIGINT : SIGTERM);
        EXPECT_EQ(waitForExit(demo, 5000), 0) << "scene " << scene << ": " << errorsOf(demo);
        EXPECT_LT(secondsHeard(demo), end) << "scene " << scene << " was over before the demo ended";
    }
    std::system(("rm -rf " + dir).c_str());
}

// A module of 26 orders wraps to order 0 inside the fire scene (orders 24 to
// 27), so the demo stays there: it warns at start-up, draws the fire for as long
// as it is left running, and its memory does not grow.
TEST(LongRun, ALoopingModuleWarnsAndPlaysOnWithoutGrowing)
{
    const char *seconds = getenv("CUBIC_HARMONY_LONG_RUN_SECONDS");
    int runFor = seconds ? atoi(seconds) : 120;
    std::string dir = makeRunDir(true, false);
    makeFastModule(dir, 26, 6, 150);
    Demo demo = startDemo(dir, "dummy", nullptr, {"--window", "640x480"});
    FinishOnExit cleanup{demo};

    std::this_thread::sleep_for(std::chrono::milliseconds(5000)); // two loops of the module
    ASSERT_EQ(waitForExit(demo, 0), -1) << errorsOf(demo);
    std::vector<std::string> lines = errorLines(demo);
    ASSERT_EQ(lines.size(), 1u) << errorsOf(demo);
    EXPECT_EQ(lines[0], "cubic-harmony: zap_wave.it has 26 orders and never reaches order 38: "
                        "the demo will play until a key is pressed");
    RgbImage first = screenshot(dir);
    EXPECT_GT(orangePixels(first), 1000) << "the fire is running";

    // The resident size wobbles by a megabyte as the driver's pools come and go:
    // the largest of five readings at the start against the smallest of five at
    // the end. A leak of a few hundred bytes a frame grows it by more than that.
    auto residentOverFiveSeconds = [&](bool largest) {
        long kept = -1;
        for (int i = 0; i < 5; i++) {
            long now = residentKilobytes(demo.pid);
            if (kept < 0 || (largest ? now > kept : now < kept)) kept = now;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        return kept;
    };
    long before = residentOverFiveSeconds(true);
    std::this_thread::sleep_for(std::chrono::seconds(std::max(runFor - 10, 0)));
    long after = residentOverFiveSeconds(false);
    ASSERT_EQ(waitForExit(demo, 0), -1) << errorsOf(demo);
    RgbImage last = screenshot(dir);
    EXPECT_GT(orangePixels(last), 1000) << "still the fire";
    EXPECT_NE(first.pixels, last.pixels) << "the picture has moved on";
    printf("resident size at the start: %ld kB, %d s later: %ld kB\n", before, runFor, after);
    EXPECT_GT(before, 0);
    EXPECT_LT(after - before, 1024) << "grew from " << before << " kB to " << after << " kB";

    kill(demo.pid, SIGTERM);
    EXPECT_EQ(waitForExit(demo, 5000), 0) << errorsOf(demo);
}
