// The demo's command line: how the screen is opened, how the picture is drawn
// (holding the refresh, sharp or retro), whether it is heard, where the demo
// starts and where its two files lie. It is read before glutInit, so --help,
// --version and every mistake are answered without a display; GLUT's own
// options are stepped over here and left for glutInit.
#include "desktop.h"
#include "kit.h"
#include "shell.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef CUBIC_HARMONY_VERSION
#define CUBIC_HARMONY_VERSION "unknown"
#endif

static const char usageText[] =
    "usage: cubic-harmony [--window [WxH] | --fullscreen] [--sharp | --retro] [--silent] [--scene N]\n"
    "                     [--data DIR]\n"
    "Plays the demo full-screen: in the 640x480 mode where the display can switch\n"
    "to it, otherwise at the desktop's own size. Any key ends it.\n"
    "\n"    "Warning: the demo contains flashing lights and fast-moving patterns that may\n"
    "trigger seizures in people with photosensitive epilepsy.\n"
    "\n"
    "  --window [WxH]  play in a window that can be resized; by default the largest\n"
    "                  whole multiple of 640x480 that fits the screen comfortably\n"
    "  --fullscreen    play full-screen at the desktop's size, without a mode switch\n"
    "  --sharp         always draw at the output's own size, even where frames then\n"
    "                  miss the refresh (by default the drawing size steps down, never\n"
    "                  under 640x480, and the picture is enlarged to fill its place)\n"
    "  --retro         draw at 640x480 and enlarge by a whole factor, square pixels\n"
    "  --silent        play without sound and without opening an audio device; the\n"
    "                  scenes still change with the music's time\n"
    "  --scene N       start at scene N (%s), the music at that scene's first order\n"
    "  --data DIR      read fontpre.tga and zap_wave.it from DIR, not the working directory\n"
    "  --help          print this summary and exit\n"
    "  --version       print the version and exit\n"
    "\n"
    "GLUT's own options (-display DISPLAY, -geometry WxH+X+Y, -sync, ...) work as usual.\n";

static const char *demoVersion()
{
    return CUBIC_HARMONY_VERSION;
}

static void badOption(const char *what, const char *option)
{
    fprintf(stderr, "cubic-harmony: %s: %s (try cubic-harmony --help)\n", what, option);
    exit(2);
}

// The options freeglut takes for itself, and how many words follow each.
struct GlutOption { const char *name; int values; };
static const GlutOption glutOptions[] = {
    {"-display",  1},
    {"-geometry", 1},
    {"-direct",   0},
    {"-indirect", 0},
    {"-iconic",   0},
    {"-gldebug",  0},
    {"-sync",     0},
};

// Its value may be missing: the caller sees the count run past argc.
static int glutOptionWords(char **argv, int i)
{
    for (const GlutOption &option : glutOptions)
        if (!strcmp(argv[i], option.name))
            return 1 + option.values;
    return 0;
}

DemoOptions parseDemoOptions(int argc, char **argv)
{
    DemoOptions options;
    bool window = false, fullScreen = false;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (int words = glutOptionWords(argv, i)) {
            if (i + words > argc) badOption("GLUT's option wants a value", arg);
            i += words - 1;
        } else if (!strcmp(arg, "--help")) {
            printf(usageText, sceneRange());
            exit(0);
        } else if (!strcmp(arg, "--version")) {
            printf("cubic-harmony %s\n", demoVersion());
            exit(0);
        } else if (!strcmp(arg, "--window")) {
            window = true;
            // The size is optional: taken only when the next word looks like one.
            if (i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9') {
                if (!parseSize(argv[++i], &options.windowWidth, &options.windowHeight))
                    badOption((std::string("--window wants ") + sizeWanted()).c_str(), argv[i]);
            }
        } else if (!strcmp(arg, "--fullscreen")) {
            fullScreen = true;
        } else if (!strcmp(arg, "--retro")) {
            options.retro = true;
        } else if (!strcmp(arg, "--sharp")) {
            options.sharp = true;
        } else if (!strcmp(arg, "--silent")) {
            options.silent = true;
        } else if (!strcmp(arg, "--scene")) {
            std::string wanted = std::string("--scene wants a number from ") + sceneRange();
            if (i + 1 >= argc) badOption(wanted.c_str(), "nothing given");
            const char *value = argv[++i];
            char *end;
            long scene = strtol(value, &end, 10);
            if (end == value || *end != '\0' || scene < 0 || scene > lastScene)
                badOption(wanted.c_str(), value);
            options.startScene = (int)scene;
        } else if (!strcmp(arg, "--data")) {
            if (i + 1 >= argc) badOption("--data wants a folder", "nothing given");
            options.dataDir = argv[++i];
        } else {
            badOption("unknown option", arg);
        }
    }
    if (window && fullScreen) badOption("choose one of", "--window, --fullscreen");
    if (options.sharp && options.retro) badOption("choose one of", "--sharp, --retro");
    options.screen = window ? screenWindow : fullScreen ? screenFullScreen : screenGameMode;
    return options;
}
