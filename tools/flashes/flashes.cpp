// cubic-harmony-flashes: counts the general and red flashes of the demo, or of
// any video, by the definitions of WCAG 2.x success criterion 2.3.1 (three
// flashes or below threshold), per second and per scene, in any box of a third
// of the picture's width and height. Exit code 0 where no second holds more
// than three flashes, 1 where one does (one line on standard error for each),
// 2 on bad input. How the count reads the criterion: count.cpp and --help.
#include "flashes.h"
#include "shell.h"
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

static const char usageText[] =
    "usage: cubic-harmony-flashes [--size WxH] [--fps N] [--data DIR] [--digest FILE]   the demo, drawn off screen\n"
    "       cubic-harmony-flashes [--digest FILE] VIDEO                                 any video, through ffmpeg\n";

static const char helpText[] =
    "Counts flashes by WCAG 2.x success criterion 2.3.1 (three flashes or below threshold):\n"
    "the demo's own frames as cubic-harmony-capture draws them (by default 640x480 at 60\n"
    "frames per second), or any video's as ffmpeg decodes them. Prints, per second and, for\n"
    "the demo, per scene, the most general and red flashes in any one second in any box.\n"
    "\n"
    "  --size WxH     the demo's picture (640x480)\n"
    "  --fps N        the demo's frames per second, 1 to 240 (60)\n"
    "  --data DIR     where fontpre.tga and zap_wave.it lie (the working directory)\n"
    "  --digest FILE  also writes a line per frame: the seconds into its scene, the picture\n"
    "                 cut into 8x6 cells, each cell's mean luma (0.2126 R + 0.7152 G\n"
    "                 + 0.0722 B of the 8-bit values) as one hexadecimal digit, top row first,\n"
    "                 and the scene's name\n"
    "\n"
    "  relative luminance  L = 0.2126 R + 0.7152 G + 0.0722 B of the linear sRGB components\n"
    "  general flash       a pair of opposing changes of L of 0.1 or more, the darker state below 0.8\n"
    "  red flash           a pair of opposing changes of (R - G - B) x 320 of more than 20, where\n"
    "                      R / (R + G + B) >= 0.8 (elsewhere the measure is 0); R, G, B linear\n"
    "  box                 a third of the picture's width and height (341x256 of 1024x768); the\n"
    "                      flashing area is counted as a quarter of a box or more\n"
    "  fails               more than three flashes, that is seven transitions or more, within\n"
    "                      one second in any box\n"
    "\n"
    "Where the criterion leaves the choice open:\n"
    "  - transitions are followed per pixel, from the pixel's last extreme, so a change spread\n"
    "    over several frames counts once it has gone far enough;\n"
    "  - a box turns where a quarter of its pixels or more turn the same way on the same frame\n"
    "    (the criterion's flashes occurring concurrently), and its turns alternate as a pixel's\n"
    "    do: an object moving across a box turns only the pixels at its edges at any moment;\n"
    "  - boxes stand every twelfth of the picture, overlapping, so that a patch that a fixed\n"
    "    grid of thirds would cut in two is seen whole;\n"
    "  - the one-second window slides frame by frame; a second's figure is the most of any\n"
    "    window that ends in it, and a scene's the most of any that ends in the scene;\n"
    "  - flashes are counted in halves: 7 transitions are 3.5 flashes, more than three.\n"
    "\n"
    "Exit code: 0 no second holds more than three flashes, 1 one does (a line on standard\n"
    "error for each such second and kind), 2 bad input.\n";

// A command line of the wrong shape: the line, then how it should look.
static void usage(const char *why)
{
    fprintf(stderr, "cubic-harmony-flashes: %s\n%s", why, usageText);
    exit(2);
}

static const char *const kindNames[2] = {"general", "red"};

static FlashCount               flashCount;
static std::vector<FlashFrame>  frameFigures; // every frame's, in order
static bool                     digesting;    // whether --digest was given
static std::vector<std::string> frameDigests; // every frame's, in order, where it was

// A frame's digest: the mean luma of each of digestColumns x digestRows cells,
// quantised to 16 levels. Coarse enough that renderers agree on it but for a
// level at a cell's edge, fine enough that a box appearing or moving shows.
const int digestColumns = 8, digestRows = 6;
static std::string digestOf(const uint8_t *rgb, int width, int height)
{
    std::string digest;
    for (int row = 0; row < digestRows; row++)
        for (int column = 0; column < digestColumns; column++) {
            int x0 = column * width / digestColumns, x1 = (column + 1) * width / digestColumns;
            int y0 = row * height / digestRows, y1 = (row + 1) * height / digestRows;
            double sum = 0;
            for (int y = y0; y < y1; y++)
                for (const uint8_t *p = &rgb[((size_t)y * width + x0) * 3], *end = p + (x1 - x0) * 3; p < end; p += 3)
                    sum += 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
            int level = std::min(15, (int)(sum / ((double)(x1 - x0) * (y1 - y0)) / 16));
            digest += "0123456789abcdef"[level];
        }
    return digest;
}

static void takeFrame(const uint8_t *rgb)
{
    frameFigures.push_back(countFlashes(&flashCount, rgb));
    if (digesting) frameDigests.push_back(digestOf(rgb, flashCount.width, flashCount.height));
    if (frameFigures.size() % 600 == 0 && isatty(2))
        fprintf(stderr, "\r%ld frames counted ", (long)frameFigures.size());
}

// The demo's scene at frame k, or null for a video.
static const char *sceneAt(const FrameSource &source, long k)
{
    for (int scene = 0; scene + 1 < (int)source.sceneStarts.size(); scene++)
        if (k < source.sceneStarts[scene + 1]) return sceneNames[scene];
    return nullptr;
}

// The frames [from, to): the most transitions of each kind and the frame that holds them.
static FlashFrame mostIn(long from, long to, long worst[2])
{
    FlashFrame most = {{0, 0}, {0, 0}};
    for (int kind = 0; kind < 2; kind++) worst[kind] = from;
    for (long k = from; k < to; k++)
        for (int kind = 0; kind < 2; kind++)
            if (frameFigures[k].transitions[kind] > most.transitions[kind]) {
                most.transitions[kind] = frameFigures[k].transitions[kind];
                most.box[kind] = frameFigures[k].box[kind];
                worst[kind] = k;
            }
    return most;
}

// The digests, a line a frame: the seconds into its scene, the digest, the scene's
// name (a video's: "video") last, as a name may have spaces.
static void writeDigests(const std::string &path, const FrameSource &source)
{
    FILE *out = fopen(path.c_str(), "w");
    if (!out) {
        fprintf(stderr, "cubic-harmony-flashes: cannot write %s: %s\n", path.c_str(), strerror(errno));
        exit(2);
    }
    for (long k = 0; k < (long)frameDigests.size(); k++) {
        const char *scene = sceneAt(source, k);
        long start = 0;
        for (int s = 0; scene && s + 1 < (int)source.sceneStarts.size(); s++)
            if (k >= source.sceneStarts[s]) start = source.sceneStarts[s];
        fprintf(out, "%.3f %s %s\n", (k - start) / source.fps, frameDigests[k].c_str(), scene ? scene : "video");
    }
    if (fclose(out) != 0) {
        fprintf(stderr, "cubic-harmony-flashes: cannot write %s: %s\n", path.c_str(), strerror(errno));
        exit(2);
    }
}

int main(int argc, char **argv)
{
    // --- the command line: the demo, or one video --------------------------------
    int width = 640, height = 480, fps = 60;
    bool demoOptions = false;
    std::string data = ".", video, digestPath;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help")) {
            printf("%s\n%s", usageText, helpText);
            return 0;
        }
        if (!strncmp(argv[i], "--", 2)) {
            if (i + 1 >= argc) usage("every option but --help takes a value");
            const char *name = argv[i], *value = argv[++i];
            demoOptions |= strcmp(name, "--data") != 0 && strcmp(name, "--digest") != 0; // the launcher gives --data
            char *end;
            if (!strcmp(name, "--size")) {
                if (!parseSize(value, &width, &height)) usage("--size wants WxH, each side 16 to 8192");
            }
            else if (!strcmp(name, "--fps")) {
                fps = (int)strtol(value, &end, 10);
                if (*value == '\0' || *end != '\0' || fps < 1 || fps > 240)
                    usage("--fps must be a whole number from 1 to 240");
            }
            else if (!strcmp(name, "--data")) data = value;
            else if (!strcmp(name, "--digest")) digestPath = value;
            else usage(("unknown option " + std::string(name)).c_str());
        }
        else if (video.empty()) video = argv[i];
        else usage("one video at most");
    }
    if (!video.empty() && demoOptions) usage("--size and --fps are for the demo, not a video");

    // --- every frame through the count ------------------------------------------
    FrameSource source = video.empty() ? prepareDemo(width, height, fps, data) : openVideo(video);
    startFlashCount(&flashCount, source.width, source.height, source.fps);
    digesting = !digestPath.empty();
    if (video.empty()) drawDemoFrames(takeFrame);
    else readVideo(video, source, takeFrame);
    if (isatty(2)) fprintf(stderr, "\r%*s\r", 30, "");
    long frames = (long)frameFigures.size();
    if (digesting) writeDigests(digestPath, source);

    // --- per second, per scene, and the seconds that fail -------------------------
    printf("%s: %ld frames of %dx%d at %g frames per second; the most flashes in one second in any box of %dx%d\n",
           video.empty() ? "the demo" : video.c_str(), frames, source.width, source.height, source.fps,
           flashBox(&flashCount, 0).width, flashBox(&flashCount, 0).height);
    printf("second  general  red  scene\n");
    bool failed = false;
    long seconds = (long)std::ceil(frames / source.fps - 1e-9);
    for (long s = 0; s < seconds; s++) {
        long from = (long)std::ceil(s * source.fps - 1e-9), to = std::min(frames, (long)std::ceil((s + 1) * source.fps - 1e-9));
        long worst[2];
        FlashFrame most = mostIn(from, to, worst);
        const char *first = sceneAt(source, from), *last = sceneAt(source, to - 1);
        std::string scene = !first ? "" : first == last ? first : std::string(first) + "/" + last;
        printf("%6ld  %7.1f  %3.1f  %s\n", s, most.transitions[0] / 2.0, most.transitions[1] / 2.0, scene.c_str());
        for (int kind = 0; kind < 2; kind++) {
            if (most.transitions[kind] <= mostTransitions) continue;
            PixelRect box = flashBox(&flashCount, most.box[kind]);
            const char *at = sceneAt(source, worst[kind]);
            fprintf(stderr, "cubic-harmony-flashes: second %ld%s%s%s: %.1f %s flashes within one second in the box"
                    " at x %d, y %d, %dx%d (three at most)\n", s, at ? " (" : "", at ? at : "", at ? ")" : "",
                    most.transitions[kind] / 2.0, kindNames[kind], box.x, box.y, box.width, box.height);
            failed = true;
        }
    }
    if (!source.sceneStarts.empty()) {
        printf("scene         from s   to s  general  red\n");
        for (int scene = 0; scene + 1 < (int)source.sceneStarts.size(); scene++) {
            long from = source.sceneStarts[scene], to = source.sceneStarts[scene + 1], worst[2];
            FlashFrame most = mostIn(from, to, worst);
            printf("%-12s %7.2f %6.2f  %7.1f  %3.1f\n", sceneNames[scene], from / source.fps, to / source.fps,
                   most.transitions[0] / 2.0, most.transitions[1] / 2.0);
        }
    }
    return failed ? 1 : 0;
}
