// cubic-harmony-capture: records the whole demo to a video file offline, frame
// by frame, as it would play on an ideal machine: frame k stands at k/fps
// seconds, the music is rendered up to that moment, and the demo's own
// sequencer sees the order heard then. ffmpeg, run as a child, encodes. Frames
// are drawn at the output size, sharp, or at 640 x 480 enlarged (--retro).
#include "kit.h"
#include "player.h"
#include "png_image.h"
#include "render_window.h"
#include "shell.h"
#include "wav_file.h"
#include <GL/freeglut.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static const int audioRate   = 44100;   // the player's rate without a device
static const int renderChunk = 1024;    // audio frames per render call, well under one row
static const int longestDemo = 900;     // seconds; a module that never ends stops here

struct CaptureOptions {
    std::string out;            // the video file; .mkv means lossless
    int         fps = 60;
    int         width = 640, height = 480; // the video's frame
    bool        retro = false;  // drawn at 640 x 480, enlarged by a whole factor
    std::string framesDir;      // also every frame as a PNG, when set
    std::string wavPath;        // also the soundtrack, when set
    double      until = -1;     // seconds; stop there instead of at the end
    std::string data = ".";     // where fontpre.tga and zap_wave.it lie
};

static CaptureOptions options;
static int            captureFrameTime;  // ms of the frame being drawn
static bool           captureEnded;      // the sequencer reached the way out
static FILE          *encoderInput;      // ffmpeg's standard input
static pid_t          encoderPid;
static std::string    workDir;           // temporary files: the soundtrack, ffmpeg's log
static std::vector<uint8_t> frameRows;   // one frame as GL reads it: BGRA, bottom row first
static int            framesWritten;
static bool           writeFailed;

static void fail(const std::string &message)
{
    fprintf(stderr, "\ncubic-harmony-capture: %s\n", message.c_str());
    if (encoderPid > 0) kill(encoderPid, SIGTERM);
    if (!workDir.empty()) std::system(("rm -rf '" + workDir + "'").c_str());
    exit(1);
}

static void usage(const char *why)
{
    fprintf(stderr, "cubic-harmony-capture: %s\n"
                    "usage: cubic-harmony-capture --out FILE [--fps N] [--size WxH | --scale K] [--retro]"
                    " [--frames DIR] [--wav FILE] [--until SECONDS] [--data DIR]\n", why);
    exit(2);
}

static double parseNumber(const char *text, const char *name, double low, double high)
{
    char *end;
    double value = strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !(value >= low && value <= high)) {
        char why[160];
        snprintf(why, sizeof why, "%s must be a number from %g to %g", name, low, high);
        usage(why);
    }
    return value;
}

static bool endsWith(const std::string &s, const char *suffix)
{
    size_t n = strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

static void parseOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--retro")) {
            options.retro = true;
            continue;
        }
        if (i + 1 >= argc) usage("every option but --retro takes a value");
        const char *name = argv[i], *value = argv[++i];
        if      (!strcmp(name, "--out"))    options.out = value;
        else if (!strcmp(name, "--fps"))    options.fps = (int)parseNumber(value, name, 1, 240);
        else if (!strcmp(name, "--scale")) { // shorthand for --size 640Kx480K
            double k = parseNumber(value, name, 1, 8);
            if (k != (int)k) usage("--scale must be a whole number from 1 to 8");
            options.width = 640 * k;
            options.height = 480 * k;
        }
        else if (!strcmp(name, "--size")) {
            if (!parseSize(value, &options.width, &options.height)) usage("--size wants WxH, each side 16 to 8192");
        }
        else if (!strcmp(name, "--frames")) options.framesDir = value;
        else if (!strcmp(name, "--wav"))    options.wavPath = value;
        else if (!strcmp(name, "--until"))  options.until = parseNumber(value, name, 0.001, longestDemo);
        else if (!strcmp(name, "--data"))   options.data = value;
        else usage("unknown option");
    }
    if (options.out.empty()) usage("--out is required");
    // H.264 in 4:2:0 halves the colour planes, so both sides must be even.
    if (!endsWith(options.out, ".mkv") && (options.width % 2 || options.height % 2))
        usage("--size must be even on both sides for an MP4 (a .mkv file takes any size)");
}

static bool onPath(const char *program)
{
    const char *path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Everything that can be checked before the long work starts.
static void checkSurroundings()
{
    if (!onPath("ffmpeg"))
        fail("ffmpeg not found: install Debian's ffmpeg package");
    FILE *probe = fopen(options.out.c_str(), "wb");
    if (!probe) fail(options.out + ": cannot write: " + strerror(errno));
    fclose(probe);
    if (!options.framesDir.empty()) {
        mkdir(options.framesDir.c_str(), 0755);
        std::string test = options.framesDir + "/.writable";
        FILE *f = fopen(test.c_str(), "wb");
        if (!f) fail(options.framesDir + ": cannot write frames there: " + strerror(errno));
        fclose(f);
        unlink(test.c_str());
    }
    char dir[] = "/tmp/cubic-harmony-capture-XXXXXX";
    if (!mkdtemp(dir)) fail(std::string("cannot make a temporary folder: ") + strerror(errno));
    workDir = dir;
}

// --- the music: rendered ahead, with the position heard at every frame ----------

static std::vector<int16_t>  soundtrack;     // interleaved stereo at audioRate
static std::vector<uint32_t> framePosition;  // player position at each frame's moment

static long audioFramesAt(long frame)
{
    return (long)((long long)frame * audioRate / options.fps);
}

static void renderSoundUpTo(long target)
{
    static int16_t chunk[2 * renderChunk];
    while ((long)soundtrack.size() / 2 < target) {
        int want = (int)std::min<long>(renderChunk, target - (long)soundtrack.size() / 2);
        int got = playerRender(chunk, want);
        if (got <= 0) fail("zap_wave.it: the player stopped rendering");
        soundtrack.insert(soundtrack.end(), chunk, chunk + 2 * got);
    }
}

// Renders the module frame by frame up to the demo's end (order 38 and a few
// frames more, as the sequencer may need them), or up to --until.
static void renderMusic()
{
    std::string module = options.data + "/zap_wave.it";
    if (!playerLoadModule(0, module.c_str(), 0, 0, playerRamping | playerLooping))
        fail(module + ": " + playerError());
    long lastFrame = (long)((options.until > 0 ? options.until : longestDemo) * options.fps) - 1;
    int framesPastEnd = -1;  // counts once order 38 is heard
    for (long k = 0; k <= lastFrame && framesPastEnd < 10; k++) {
        renderSoundUpTo(audioFramesAt(k));
        framePosition.push_back(playerGetPosition());
        if (framesPastEnd >= 0 || (playerGetPosition() & 0xFFFF) >= sceneTable[8].endOrder)
            framesPastEnd++;
    }
    // The last frame's sound too: the soundtrack runs to the end of every frame.
    renderSoundUpTo(audioFramesAt((long)framePosition.size()));
    if (framesPastEnd < 0 && options.until <= 0)
        fail("zap_wave.it never reaches its last order within " + std::to_string(longestDemo) +
             " s; capture a stretch with --until");
}

// --- the pictures ---------------------------------------------------------------

static int frameClock() { return captureFrameTime; }

static void endCapture(int) { captureEnded = true; }

static void noFrame(int) {}

// The demo's own sequencer over the positions heard at each frame, drawing
// nothing: tells how many frames the capture holds.
static long countFrames()
{
    SceneEntry dryTable[10];
    for (int i = 0; i < 10; i++) dryTable[i] = {i == 9 ? endCapture : noFrame, sceneTable[i].endOrder};
    currentScene = 0;
    sceneStartTime = 0;
    captureEnded = false;
    long k = 0;
    for (; k < (long)framePosition.size(); k++) {
        captureFrameTime = (int)((long long)k * 1000 / options.fps);
        runSequencer(dryTable, framePosition[k], frameClock);
        if (captureEnded) break;
    }
    return k;
}

static void writeFramePng(int frame)
{
    static RgbImage image; // kept from frame to frame: a 2160p frame is 25 MB
    image.width = renderWidth;
    image.height = renderHeight;
    image.pixels.resize((size_t)renderWidth * renderHeight * 3);
    for (int y = 0; y < renderHeight; y++) {
        const uint8_t *from = &frameRows[(size_t)(renderHeight - 1 - y) * renderWidth * 4];
        uint8_t *to = &image.pixels[(size_t)y * renderWidth * 3];
        for (int x = 0; x < renderWidth; x++, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    char name[64];
    snprintf(name, sizeof name, "/frame%06d.png", frame);
    if (!writePng((options.framesDir + name).c_str(), image))
        fail(options.framesDir + name + ": cannot write");
}

// Reads the finished frame before the scene swaps it and hands it to ffmpeg,
// which turns GL's bottom-up rows the right way round. BGRA is what the
// software renderer keeps, so it reads back without conversion.
static void takeFrame()
{
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, renderWidth, renderHeight, GL_BGRA, GL_UNSIGNED_BYTE, frameRows.data());
    if (fwrite(frameRows.data(), 1, frameRows.size(), encoderInput) != frameRows.size())
        writeFailed = true;
    if (!options.framesDir.empty()) writeFramePng(framesWritten);
    framesWritten++;
}

static void startEncoder(const std::string &audioPath)
{
    std::string size = std::to_string(renderWidth) + "x" + std::to_string(renderHeight);
    std::string filter = "vflip";
    std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "bgra", "-s", size, "-framerate", std::to_string(options.fps),
        "-i", "pipe:0", "-i", audioPath, "-map", "0:v", "-map", "1:a", "-vf", filter};
    std::vector<std::string> codecs;
    if (endsWith(options.out, ".mkv"))
        codecs = {"-c:v", "ffv1", "-pix_fmt", "bgr0", "-c:a", "flac"};
    else // the fastest preset keeps the capture twice as fast as the demo plays on 2 cores
        codecs = {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "18", "-pix_fmt", "yuv420p",
                  "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"};
    args.insert(args.end(), codecs.begin(), codecs.end());
    args.push_back(options.out);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) fail(std::string("cannot start ffmpeg: ") + strerror(errno));
    encoderPid = fork();
    if (encoderPid < 0) fail(std::string("cannot start ffmpeg: ") + strerror(errno));
    if (encoderPid == 0) {
        dup2(pipeEnds[0], 0);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        FILE *log = fopen((workDir + "/ffmpeg.log").c_str(), "w");
        if (log) dup2(fileno(log), 2);
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execvp("ffmpeg", argv.data());
        _exit(127);
    }
    close(pipeEnds[0]);
    encoderInput = fdopen(pipeEnds[1], "wb");
}

static std::string encoderLog()
{
    std::string text;
    if (FILE *f = fopen((workDir + "/ffmpeg.log").c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, f)) text = line; // the last line says most
        fclose(f);
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.empty() ? "no message" : text;
}

static void finishEncoder()
{
    bool closeFailed = fclose(encoderInput) != 0;
    int status = 0;
    waitpid(encoderPid, &status, 0);
    encoderPid = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || writeFailed || closeFailed)
        fail("ffmpeg failed: " + encoderLog());
}

static void showProgress(long done, long total, std::chrono::steady_clock::time_point start, bool last)
{
    static std::chrono::steady_clock::time_point shown;
    auto now = std::chrono::steady_clock::now();
    if (!last && now - shown < std::chrono::milliseconds(200)) return;
    shown = now;
    double seconds = std::chrono::duration<double>(now - start).count();
    double rate = seconds > 0 ? done / seconds : 0;
    int left = rate > 0 ? (int)((total - done) / rate) : 0;
    const int width = 30;
    int filled = total > 0 ? (int)(width * done / total) : width;
    fprintf(stderr, "\r[%.*s%.*s] %ld/%ld frames  %.0f fps  %d:%02d left ", filled,
            "##############################", width - filled, "------------------------------",
            done, total, rate, left / 60, left % 60);
    if (last) fprintf(stderr, "\n");
}

int main(int argc, char **argv)
{
    // --- set-up: options, surroundings, the window and the two files ------------
    signal(SIGPIPE, SIG_IGN); // a dead ffmpeg shows as a failed write
    glutInit(&argc, argv);
    parseOptions(argc, argv);
    checkSurroundings();
    renderWidth = options.width;
    renderHeight = options.height;
    retroPicture = options.retro;
    openRenderWindow("cubic-harmony-capture");
    char error[512];
    if (!loadBlockFontFrom((options.data + "/fontpre.tga").c_str(), error, sizeof error)) fail(error);

    // --- the music first: it decides where every scene starts --------------------
    renderMusic();
    playerFreeModule();
    long frames = countFrames();
    long audioFrames = audioFramesAt(frames);
    std::string audioPath = workDir + "/soundtrack.wav";
    if (!writeWav(audioPath.c_str(), soundtrack.data(), (size_t)audioFrames, audioRate))
        fail("cannot write the soundtrack to " + workDir);
    if (!options.wavPath.empty() &&
        !writeWav(options.wavPath.c_str(), soundtrack.data(), (size_t)audioFrames, audioRate))
        fail(options.wavPath + ": cannot write");

    // --- the pictures: the demo's sequencer frame by frame, straight to ffmpeg ----
    startEncoder(audioPath);
    frameRows.resize((size_t)renderWidth * renderHeight * 4);
    SceneEntry table[10];
    for (int i = 0; i < 10; i++) table[i] = {i == 9 ? endCapture : sceneTable[i].draw, sceneTable[i].endOrder};
    currentScene = 0;
    sceneStartTime = 0;
    captureEnded = false;
    beforeSwap = takeFrame;
    auto start = std::chrono::steady_clock::now();
    for (long k = 0; k < frames && !writeFailed; k++) {
        captureFrameTime = (int)((long long)k * 1000 / options.fps);
        runSequencer(table, framePosition[k], frameClock);
        // Frames handed to ffmpeg, not frames drawn: at 2160p the pipe is what waits.
        showProgress(framesWritten, frames, start, k + 1 == frames);
    }
    fprintf(stderr, "cubic-harmony-capture: the encoder is finishing the last frames\n");
    finishEncoder();
    std::system(("rm -rf '" + workDir + "'").c_str());
    fprintf(stderr, "cubic-harmony-capture: %s: %d frames, %.2f s\n", options.out.c_str(), framesWritten,
            (double)framesWritten / options.fps);
    return 0;
}
