// cubic-harmony-capture: records the whole demo to a video file offline, frame
// by frame, as it would play on an ideal machine: frame k stands at k/fps
// seconds, the music is rendered up to that moment, and the demo's own
// sequencer sees the order heard then. ffmpeg, run as a child, encodes into a
// file beside the output that takes its name only when complete. Frames are
// drawn off screen through EGL (tools/offscreen.cpp, no X server) at the
// output size, sharp, or at 640 x 480 enlarged (--retro). Drawing, read-back
// and encoding overlap: the capture runs at the pace of the slowest of them.
#include "kit.h"
#include "player.h"
#include "png_image.h"
#include "offscreen.h"
#include "shell.h"
#include "wav_file.h"
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

static const int audioRate   = 44100;   // the player's rate without a device
static const int renderChunk = 1024;    // audio frames per render call, well under one row
static const int longestDemo = 900;     // seconds; a module that never ends stops here
static const int highestFps  = 240;     // frames per second
static const int64_t finestDenominator = 1000000; // keeps frame k's audio frame, k * 44100 * D, in 64 bits

// A positive fraction in lowest terms: frames per second, or seconds.
struct Rational {
    int64_t num = 0, den = 1;
};

struct CaptureOptions {
    std::string out;            // the video file; .mkv means lossless
    Rational    fps = {60, 1};  // frame k stands at k * fps.den / fps.num seconds
    int         width = 640, height = 480; // the video's frame
    bool        retro = false;  // drawn at 640 x 480, enlarged by a whole factor
    std::string framesDir;      // also every frame as a PNG, when set
    std::string wavPath;        // also the soundtrack, when set
    Rational    until;          // seconds; stop there instead of at the end (0: not set)
    std::string data = ".";     // where fontpre.tga and zap_wave.it lie
    bool        noEncode = false; // only draw, and say how fast: the drawing's own pace
};

// What a user types for the NTSC rates is a rounding of them; every other
// decimal is read as exactly the fraction it spells.
static const struct { const char *spelling; Rational rate; } ntscRates[] = {
    {"23.976", {24000, 1001}},
    {"29.97",  {30000, 1001}},
    {"59.94",  {60000, 1001}},
};

static CaptureOptions options;
static int            captureFrameTime;  // ms of the frame being drawn
static bool           captureEnded;      // the sequencer reached the way out
static FILE          *encoderInput;      // ffmpeg's standard input
static pid_t          encoderPid = -1;   // -1 when no ffmpeg runs
static std::atomic<bool> writeFailed;    // a frame did not reach ffmpeg or its PNG; set by the writer

// The paths the clean-up removes, kept as plain arrays because it runs from a
// signal handler too. The video is written beside --out and takes its name only
// once ffmpeg has finished, so a capture that fails leaves the old file alone.
static char partialPath[4096];            // the video while ffmpeg writes it; "" once renamed
static char workDir[] = "/tmp/cubic-harmony-capture-XXXXXX"; // the soundtrack and ffmpeg's log
static bool workDirMade;
static const char *const workFiles[] = {"/soundtrack.wav", "/ffmpeg.log"};
static char interruptedLine[4200];        // said on SIGINT, SIGTERM or SIGHUP

static std::string workFile(const char *name) { return std::string(workDir) + name; }

// Everything a capture that does not finish would leave: the encoder, its
// half-written video and the temporary folder. Runs at every exit and from the
// signal handler, so it calls only async-signal-safe functions.
static void removeLeftovers()
{
    if (encoderPid > 0) {
        kill(encoderPid, SIGKILL); // its video is thrown away; reaped, it cannot write on
        while (waitpid(encoderPid, nullptr, 0) < 0 && errno == EINTR) {}
        encoderPid = -1;
    }
    if (partialPath[0]) unlink(partialPath);
    partialPath[0] = '\0';
    if (workDirMade) {
        for (const char *name : workFiles) {
            char path[sizeof workDir + 32];
            strcpy(path, workDir);
            strcat(path, name);
            unlink(path);
        }
        rmdir(workDir);
        workDirMade = false;
    }
}

static void interrupted(int sig)
{
    removeLeftovers();
    if (write(2, interruptedLine, strlen(interruptedLine)) < 0) {} // nothing more to do if it fails
    signal(sig, SIG_DFL);
    raise(sig);
}

static void stopWriter();

// From the GL thread only. ffmpeg goes first, so that a writer blocked on the
// pipe sees it broken and can be joined before the process ends.
static void fail(const std::string &message)
{
    fprintf(stderr, "\ncubic-harmony-capture: %s\n", message.c_str());
    removeLeftovers();
    stopWriter();
    exit(1); // removeLeftovers runs at exit too, with nothing left to do
}

static const char usageText[] =
    "usage: cubic-harmony-capture --out FILE [--fps RATE] [--size WxH | --scale K] [--retro]"
    " [--frames DIR] [--wav FILE] [--until SECONDS] [--data DIR]\n"
    "       cubic-harmony-capture --no-encode [--fps RATE] [--size WxH | --scale K] [--retro]"
    " [--until SECONDS] [--data DIR]\n"
    "  --no-encode only draws the frames and says how fast, to set beside a capture\n"
    "  RATE is frames per second, 1 to 240: a whole number (25), a fraction (30000/1001) or a\n"
    "  decimal read exactly (12.5 is 25/2); 23.976, 29.97 and 59.94 mean the NTSC rates\n"
    "  24000/1001, 30000/1001 and 60000/1001\n";

// A bad value: one line naming the option and what it takes.
static void refuse(const std::string &why)
{
    fprintf(stderr, "cubic-harmony-capture: %s\n", why.c_str());
    exit(2);
}

// A command line of the wrong shape: the line, then how it should look.
static void usage(const char *why)
{
    fprintf(stderr, "cubic-harmony-capture: %s\n%s", why, usageText);
    exit(2);
}

static double parseNumber(const char *text, const char *name, double low, double high)
{
    char *end;
    double value = strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !(value >= low && value <= high)) {
        char why[160];
        snprintf(why, sizeof why, "%s must be a number from %g to %g", name, low, high);
        refuse(why);
    }
    return value;
}

// Up to 9 decimal digits, so that the fraction's parts never overflow.
static bool readDigits(const char *&p, int maxDigits, int64_t *value, int *count)
{
    *value = 0;
    *count = 0;
    while (*p >= '0' && *p <= '9') {
        if (++*count > maxDigits) return false;
        *value = *value * 10 + (*p++ - '0');
    }
    return *count > 0;
}

// "N", "N.F" (the exact fraction, up to 6 places) or "N/D"; nothing else, no
// signs, spaces or exponents.
static bool parseRational(const char *text, Rational *r)
{
    const char *p = text;
    int64_t whole, part;
    int digits;
    if (!readDigits(p, 9, &whole, &digits)) return false;
    r->num = whole;
    r->den = 1;
    if (*p == '.') {
        if (!readDigits(++p, 6, &part, &digits)) return false;
        while (digits--) r->den *= 10;
        r->num = whole * r->den + part;
    }
    else if (*p == '/') {
        if (!readDigits(++p, 9, &r->den, &digits) || r->den == 0) return false;
    }
    if (*p != '\0') return false;
    int64_t common = std::gcd(r->num, r->den);
    if (common > 1) {
        r->num /= common;
        r->den /= common;
    }
    return r->den <= finestDenominator;
}

static Rational parseFps(const char *text)
{
    for (const auto &ntsc : ntscRates)
        if (!strcmp(text, ntsc.spelling)) return ntsc.rate;
    Rational rate;
    if (!parseRational(text, &rate) || rate.num < rate.den || rate.num > highestFps * rate.den)
        refuse(std::string("--fps ") + text + ": wants 1 to 240 frames per second as N, N/D"
               " (30000/1001) or a decimal of up to 6 places");
    return rate;
}

static Rational parseSeconds(const char *text)
{
    Rational seconds;
    if (!parseRational(text, &seconds) || seconds.num * 1000 < seconds.den ||
        seconds.num > longestDemo * seconds.den)
        refuse(std::string("--until ") + text + ": wants seconds from 0.001 to " +
               std::to_string(longestDemo) + ", up to 6 decimal places");
    return seconds;
}

// Frames whose moment lies before the end (--until or the longest demo): the
// video lasts at most that long. Both fractions are small enough for 64 bits.
static long framesBefore(Rational seconds)
{
    return (long)(seconds.num * options.fps.num / (seconds.den * options.fps.den));
}

// Exact times of frame k: no rounding builds up over a long capture.
static int frameMilliseconds(long k)
{
    return (int)((int64_t)k * 1000 * options.fps.den / options.fps.num);
}

static long audioFramesAt(long k)
{
    return (long)((int64_t)k * audioRate * options.fps.den / options.fps.num);
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
        if (!strcmp(argv[i], "--no-encode")) {
            options.noEncode = true;
            continue;
        }
        if (i + 1 >= argc) usage("every option but --retro and --no-encode takes a value");
        const char *name = argv[i], *value = argv[++i];
        if      (!strcmp(name, "--out"))    options.out = value;
        else if (!strcmp(name, "--fps"))    options.fps = parseFps(value);
        else if (!strcmp(name, "--scale")) { // shorthand for --size 640Kx480K
            double k = parseNumber(value, name, 1, 8);
            if (k != (int)k) refuse("--scale must be a whole number from 1 to 8");
            options.width = 640 * k;
            options.height = 480 * k;
        }
        else if (!strcmp(name, "--size")) {
            if (!parseSize(value, &options.width, &options.height)) refuse("--size wants WxH, each side 16 to 8192");
        }
        else if (!strcmp(name, "--frames")) options.framesDir = value;
        else if (!strcmp(name, "--wav"))    options.wavPath = value;
        else if (!strcmp(name, "--until"))  options.until = parseSeconds(value);
        else if (!strcmp(name, "--data"))   options.data = value;
        else usage("unknown option");
    }
    if (options.until.num > 0 && framesBefore(options.until) < 1)
        refuse("--until is shorter than one frame at that --fps");
    if (options.noEncode) {
        if (!options.out.empty() || !options.framesDir.empty() || !options.wavPath.empty())
            usage("--no-encode writes nothing: it takes no --out, --frames or --wav");
        return;
    }
    if (options.out.empty()) usage("--out is required");
    if (endsWith(options.out, "/")) refuse("--out names a folder; it wants a file");
    // H.264 in 4:2:0 halves the colour planes, so both sides must be even.
    if (!endsWith(options.out, ".mkv") && (options.width % 2 || options.height % 2))
        refuse("--size must be even on both sides for an MP4 (a .mkv file takes any size)");
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

// The file ffmpeg writes: in --out's folder, so that the last step is a rename
// within one file system, hidden, and ending in --out's extension, from which
// ffmpeg picks the container. Creating it is also the test that we may write
// there. It gets the permissions the old file had, or a new file's.
static void makePartialFile()
{
    const std::string &out = options.out;
    size_t slash = out.rfind('/');
    std::string dir = slash == std::string::npos ? "." : out.substr(0, slash == 0 ? 1 : slash);
    std::string base = slash == std::string::npos ? out : out.substr(slash + 1);
    size_t dot = base.rfind('.');
    std::string extension = dot == std::string::npos || dot == 0 ? "" : base.substr(dot);
    std::string pattern = dir + "/." + base + ".partial-XXXXXX" + extension;
    if (pattern.size() >= sizeof partialPath) fail(out + ": cannot write: the name is too long");

    mode_t mode;
    struct stat old;
    if (stat(out.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) fail(out + ": cannot write: it is not a plain file");
        if (access(out.c_str(), W_OK) != 0) fail(out + ": cannot write: " + strerror(errno));
        mode = old.st_mode & 07777;
    }
    else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    // A signal between creating the file and noting its name would leave it.
    sigset_t stops, before;
    sigemptyset(&stops);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, sig);
    sigprocmask(SIG_BLOCK, &stops, &before);
    char name[sizeof partialPath];
    strcpy(name, pattern.c_str());
    int fd = mkstemps(name, (int)extension.size());
    int error = errno;
    if (fd >= 0) strcpy(partialPath, name);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) fail(out + ": cannot write: " + strerror(error));
    if (fchmod(fd, mode) != 0) fail(out + ": cannot write: " + strerror(errno));
    if (close(fd) != 0) fail(out + ": cannot write: " + strerror(errno));
}

// Everything that can be checked before the long work starts.
static void checkSurroundings()
{
    if (!onPath("ffmpeg"))
        fail("ffmpeg not found: install Debian's ffmpeg package");
    snprintf(interruptedLine, sizeof interruptedLine,
             "\ncubic-harmony-capture: interrupted; %s is left as it was\n", options.out.c_str());
    atexit(removeLeftovers);
    // A signal ignored when we start stays ignored: nohup, or a shell's
    // background job, asked for that.
    struct sigaction stop = {}, before;
    stop.sa_handler = interrupted;
    sigemptyset(&stop.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        if (sigaction(sig, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) sigaction(sig, &stop, nullptr);
    makePartialFile();
    if (!options.framesDir.empty()) {
        mkdir(options.framesDir.c_str(), 0755);
        std::string test = options.framesDir + "/.writable";
        FILE *f = fopen(test.c_str(), "wb");
        if (!f) fail(options.framesDir + ": cannot write frames there: " + strerror(errno));
        fclose(f);
        unlink(test.c_str());
    }
    if (!mkdtemp(workDir)) fail(std::string("cannot make a temporary folder: ") + strerror(errno));
    workDirMade = true;
}

// --- the music: rendered ahead, with the position heard at every frame ----------

static std::vector<int16_t>  soundtrack;     // interleaved stereo at audioRate
static std::vector<uint32_t> framePosition;  // player position at each frame's moment

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
    long lastFrame = framesBefore(options.until.num > 0 ? options.until : Rational{longestDemo, 1}) - 1;
    int framesPastEnd = -1;  // counts once order 38 is heard
    for (long k = 0; k <= lastFrame && framesPastEnd < 10; k++) {
        renderSoundUpTo(audioFramesAt(k));
        framePosition.push_back(playerGetPosition());
        if (framesPastEnd >= 0 || (playerGetPosition() & 0xFFFF) >= sceneTable[8].endOrder)
            framesPastEnd++;
    }
    // The last frame's sound too: the soundtrack runs to the end of every frame.
    renderSoundUpTo(audioFramesAt((long)framePosition.size()));
    if (framesPastEnd < 0 && options.until.num == 0)
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
    resetDemo();
    captureEnded = false;
    long k = 0;
    for (; k < (long)framePosition.size(); k++) {
        captureFrameTime = frameMilliseconds(k);
        runSequencer(dryTable, framePosition[k], frameClock);
        if (captureEnded) break;
    }
    return k;
}

static size_t frameBytes() { return (size_t)renderWidth * renderHeight * 4; }

// One frame as GL reads it (BGRA, bottom row first) turned into an RGB picture,
// top row first. The writer thread's alone.
static bool writeFramePng(long frame, const uint8_t *rows)
{
    static RgbImage image; // kept from frame to frame: a 2160p frame is 25 MB
    image.width = renderWidth;
    image.height = renderHeight;
    image.pixels.resize((size_t)renderWidth * renderHeight * 3);
    for (int y = 0; y < renderHeight; y++) {
        const uint8_t *from = &rows[(size_t)(renderHeight - 1 - y) * renderWidth * 4];
        uint8_t *to = &image.pixels[(size_t)y * renderWidth * 3];
        for (int x = 0; x < renderWidth; x++, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    char name[64];
    snprintf(name, sizeof name, "/frame%06ld.png", frame);
    return writePng((options.framesDir + name).c_str(), image);
}

// --- the pipeline: drawing, read-back and the pipe to ffmpeg overlap -------------
// The GL thread starts the read-back of frame k into pixel buffer k % count and
// goes on drawing; it maps frame k - 1's buffer, whose read-back has had a whole
// frame to finish, and hands the rows to the writer thread, which feeds ffmpeg
// (and the PNGs of --frames) straight from the mapped buffer. The GL thread
// waits only when the writer still holds the buffer it wants next, that is when
// ffmpeg is the slowest stage. Frames reach ffmpeg whole and in order.
static const int pixelBufferCount = 4;                // one being read into, the rest mapped for the writer
static const int pipeBytes = 1 << 20;                 // the pipe to ffmpeg
static GLuint          pixelBuffers[pixelBufferCount];
static const uint8_t  *mappedRows[pixelBufferCount];  // frame j's rows at j % count while handed over
static std::mutex      pipelineLock;                  // guards the rows, the counts and noMoreFrames
static std::condition_variable pipelineMoved;         // a frame handed over or written, or the end
static long            framesRead;                    // read-backs started (GL thread only)
static long            framesHanded;                  // frames mapped and given to the writer
static std::atomic<long> framesWritten;               // frames the writer is done with
static bool            noMoreFrames;                  // the last frame is handed over, or a failure
static std::thread     writer;
static std::string     writerError;                   // the writer's own failure, said after it is joined

// The writer thread: frames in order, each fwrite()n whole to ffmpeg. After a
// failure it only counts the frames, so the GL thread never waits on it.
static void writeFrames()
{
    for (long j = 0;; j++) {
        const uint8_t *rows;
        {
            std::unique_lock<std::mutex> hold(pipelineLock);
            pipelineMoved.wait(hold, [j] { return framesHanded > j || noMoreFrames; });
            if (framesHanded <= j) return;
            rows = mappedRows[j % pixelBufferCount];
        }
        if (!writeFailed) {
            if (fwrite(rows, 1, frameBytes(), encoderInput) != frameBytes()) writeFailed = true;
            else if (!options.framesDir.empty() && !writeFramePng(j, rows)) {
                char name[64];
                snprintf(name, sizeof name, "/frame%06ld.png", j);
                writerError = options.framesDir + name + ": cannot write";
                writeFailed = true;
            }
        }
        {
            std::lock_guard<std::mutex> hold(pipelineLock);
            framesWritten = j + 1;
        }
        pipelineMoved.notify_all();
    }
}

static void startPipeline()
{
    glGenBuffers(pixelBufferCount, pixelBuffers);
    for (GLuint buffer : pixelBuffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, (GLsizeiptr)frameBytes(), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    writer = std::thread(writeFrames);
}

static void handOver(long frame)
{
    glBindBuffer(GL_PIXEL_PACK_BUFFER, pixelBuffers[frame % pixelBufferCount]);
    const void *rows = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (!rows) fail("cannot read the frames back: GL maps no pixel buffer");
    {
        std::lock_guard<std::mutex> hold(pipelineLock);
        mappedRows[frame % pixelBufferCount] = (const uint8_t *)rows;
        framesHanded = frame + 1;
    }
    pipelineMoved.notify_all();
}

// The read-back hook, where the demo would swap. BGRA is what the software
// renderer keeps, so it reads back without conversion; ffmpeg turns GL's
// bottom-up rows the right way round.
static void readFrame()
{
    long k = framesRead++;
    GLuint buffer = pixelBuffers[k % pixelBufferCount];
    if (k >= pixelBufferCount) { // the buffer still holds frame k - count: wait till it is written
        std::unique_lock<std::mutex> hold(pipelineLock);
        pipelineMoved.wait(hold, [k] { return framesWritten > k - pixelBufferCount; });
        hold.unlock();
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glReadPixels(0, 0, renderWidth, renderHeight, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    if (k > 0) handOver(k - 1);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

// --no-encode: the frame finished as a swap would finish it, nothing read.
static void finishFrame()
{
    glFinish();
    framesRead++;
}

// Safe to call at any time from the GL thread: the writer takes what was
// handed over (or, after a failure, only counts it) and ends.
static void stopWriter()
{
    if (!writer.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(pipelineLock);
        noMoreFrames = true;
    }
    pipelineMoved.notify_all();
    writer.join();
}

// The last frame read goes over too, and the writer finishes.
static void finishPipeline()
{
    if (framesRead > 0 && !writeFailed) handOver(framesRead - 1);
    stopWriter();
    if (!writerError.empty()) fail(writerError);
}

static void startEncoder(const std::string &audioPath)
{
    std::string size = std::to_string(renderWidth) + "x" + std::to_string(renderHeight);
    std::string rate = std::to_string(options.fps.num) + "/" + std::to_string(options.fps.den);
    std::string filter = "vflip";
    std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "bgra", "-s", size, "-framerate", rate,
        "-i", "pipe:0", "-i", audioPath, "-map", "0:v", "-map", "1:a", "-vf", filter};
    std::vector<std::string> codecs;
    if (endsWith(options.out, ".mkv"))
        codecs = {"-c:v", "ffv1", "-pix_fmt", "bgr0", "-c:a", "flac"};
    else // the fastest preset keeps the capture twice as fast as the demo plays on 2 cores
        codecs = {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "18", "-pix_fmt", "yuv420p",
                  "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"};
    args.insert(args.end(), codecs.begin(), codecs.end());
    args.push_back(partialPath); // begins with '/' or '.', so never read as a protocol
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    // posix_spawnp, not fork: Mesa's threads may hold locks that a forked
    // child, allocating before exec, would wait on forever. The child reads the
    // frames from the pipe, writes its complaints to the log and holds no write
    // end of its own, or it would never see the input end. SIGPIPE, ignored
    // here, is ffmpeg's to handle as usual.
    std::string logPath = workFile("/ffmpeg.log");
    int ends[2];
    if (pipe(ends) != 0) fail(std::string("cannot start ffmpeg: ") + strerror(errno));
    // ffmpeg takes a whole frame before it encodes it; through the default
    // 64 KB pipe the writer waits in many small steps while it does. 1 MB is
    // what any user may ask for; refused, the pipe stays as it is.
    fcntl(ends[1], F_SETPIPE_SZ, pipeBytes);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    sigset_t pipeSignal, noSignals;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigemptyset(&noSignals);
    int error = posix_spawn_file_actions_init(&actions);
    if (!error) error = posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    if (!error && ends[0] != 0) error = posix_spawn_file_actions_addclose(&actions, ends[0]);
    if (!error) error = posix_spawn_file_actions_addclose(&actions, ends[1]);
    if (!error) error = posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(),
                                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!error) error = posix_spawnattr_init(&attributes);
    if (!error) error = posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    if (!error) error = posix_spawnattr_setsigmask(&attributes, &noSignals);
    if (!error) error = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t child = -1;
    if (!error) error = posix_spawnp(&child, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[0]);
    if (error) {
        close(ends[1]);
        fail(std::string("cannot start ffmpeg: ") + strerror(error));
    }
    encoderPid = child;
    encoderInput = fdopen(ends[1], "wb");
    if (!encoderInput) fail(std::string("cannot write to ffmpeg: ") + strerror(errno));
}

static std::string encoderLog()
{
    std::string text;
    if (FILE *f = fopen(workFile("/ffmpeg.log").c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, f)) text = line; // the last line says most
        fclose(f);
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    // The user knows the file by the name asked for, not by the temporary one.
    for (size_t at; partialPath[0] && (at = text.find(partialPath)) != std::string::npos;)
        text.replace(at, strlen(partialPath), options.out);
    return text.empty() ? "no message" : text;
}

// Closing the pipe tells ffmpeg the frames are over; only a clean exit of
// ffmpeg after every frame went through counts as a finished video.
static void finishEncoder()
{
    bool closeFailed = fclose(encoderInput) != 0;
    encoderInput = nullptr;
    int status = 0;
    pid_t reaped;
    while ((reaped = waitpid(encoderPid, &status, 0)) < 0 && errno == EINTR) {}
    int waitError = errno;
    encoderPid = -1;
    if (reaped < 0) fail(std::string("cannot wait for ffmpeg: ") + strerror(waitError));
    if (WIFSIGNALED(status))
        fail("ffmpeg was killed by signal " + std::to_string(WTERMSIG(status)) + ": " + encoderLog());
    if (WEXITSTATUS(status) != 0 || writeFailed || closeFailed)
        fail("ffmpeg failed: " + encoderLog());
}

// The finished video reaches the disk before it takes --out's name, so a crash
// at any moment leaves either the old file or the whole new one.
static void keepVideo()
{
    int fd = open(partialPath, O_RDONLY);
    if (fd < 0 || fsync(fd) != 0) fail(std::string(partialPath) + ": cannot finish: " + strerror(errno));
    close(fd);
    if (rename(partialPath, options.out.c_str()) != 0)
        fail(options.out + ": cannot replace: " + strerror(errno));
    partialPath[0] = '\0';
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
    // --- set-up: options, surroundings, the GL context and the two files ---------
    signal(SIGPIPE, SIG_IGN); // a dead ffmpeg shows as a failed write
    parseOptions(argc, argv);   // before any GL: mistakes cost nothing
    if (!options.noEncode) checkSurroundings();
    renderWidth = options.width;
    renderHeight = options.height;
    retroPicture = options.retro;
    openOffscreen("cubic-harmony-capture");
    char error[512];
    if (!loadBlockFontFrom((options.data + "/fontpre.tga").c_str(), error, sizeof error)) fail(error);

    // --- the music first: it decides where every scene starts --------------------
    renderMusic();
    playerFreeModule();
    long frames = countFrames();
    long audioFrames = audioFramesAt(frames);
    if (!options.noEncode) {
        std::string audioPath = workFile("/soundtrack.wav");
        if (!writeWav(audioPath.c_str(), soundtrack.data(), (size_t)audioFrames, audioRate))
            fail("cannot write the soundtrack to " + std::string(workDir));
        if (!options.wavPath.empty() &&
            !writeWav(options.wavPath.c_str(), soundtrack.data(), (size_t)audioFrames, audioRate))
            fail(options.wavPath + ": cannot write");
        startEncoder(audioPath);
        startPipeline();
    }

    // --- the pictures: the demo's sequencer frame by frame, on to ffmpeg ---------
    SceneEntry table[10];
    for (int i = 0; i < 10; i++) table[i] = {i == 9 ? endCapture : sceneTable[i].draw, sceneTable[i].endOrder};
    resetDemo();
    captureEnded = false;
    frameFinished = options.noEncode ? finishFrame : readFrame;
    auto start = std::chrono::steady_clock::now();
    for (long k = 0; k < frames && !writeFailed; k++) {
        captureFrameTime = frameMilliseconds(k);
        runSequencer(table, framePosition[k], frameClock);
        // Frames handed to ffmpeg, not frames drawn: when the pipe is what waits, it shows.
        showProgress(options.noEncode ? framesRead : framesWritten.load(), frames, start, false);
    }
    if (!options.noEncode) finishPipeline();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long done = options.noEncode ? framesRead : framesWritten.load();
    showProgress(done, frames, start, true);
    // Which renderer drew, so that a rate can be set beside others.
    std::string drawer = std::string((const char *)glGetString(GL_RENDERER)) + ", EGL " + offscreenPlatform();
    if (options.noEncode) {
        fprintf(stderr, "cubic-harmony-capture: %ld frames of %dx%d drawn in %.2f s, %.1f frames per second;"
                " nothing read back or encoded (%s)\n", done, renderWidth, renderHeight, seconds,
                done / seconds, drawer.c_str());
        return 0;
    }
    fprintf(stderr, "cubic-harmony-capture: the encoder is finishing the last frames\n");
    finishEncoder();
    keepVideo();
    fprintf(stderr, "cubic-harmony-capture: %s: %ld frames, %.2f s, drawn, read back and piped to ffmpeg"
            " at %.1f frames per second (%s)\n", options.out.c_str(), done,
            (double)done * options.fps.den / options.fps.num, done / seconds, drawer.c_str());
    return 0;
}
