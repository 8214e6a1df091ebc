// cubic-harmony-bench: plays every scene over a stretch of scene time, frames as
// fast as they come, and prints one table of frame times, boxes and our own share.
// Built twice from this file: against the real driver, and (NULL_GL) against
// do-nothing GL stand-ins, whose frame times are our own code's alone.
#include "kit.h"
#include "player.h"
#include "scenes.h"
#include "shell.h"
#include "desktop.h"
#include <GL/freeglut.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#include <unistd.h>
#ifndef NULL_GL
#include "bench_window.h"
#endif

static const int sceneCount = sizeof sceneNames / sizeof sceneNames[0];

struct BenchOptions {
    double      seconds = 12;   // scene time per scene
    int         steps = 60;     // frames per second of scene time
    int         onlyScene = -1; // -1: all nine
    std::string data = ".";     // where fontpre.tga and zap_wave.it lie
    bool        extras = true;  // also the simulation steps and the audio
    int         width = 640, height = 480; // the output
    bool        adapt = false;  // the drawing size rule runs on the frame times, as in the demo
    int         reduce = 0;     // every scene drawn this many sizes down from the picture box, enlarged
};

struct SceneResult {
    int    frames;
    double medianMs, p99Ms, meanMs;
    double firstMs;             // the first frame: the driver builds its code for new state
    double worstMs;             // the slowest frame after the first
    int    worstTime;           // its sceneTime
    double submitMs, swapMs;    // medians: up to the swap call, and the swap itself
    double wallSeconds;         // all frames together
    int    meanBoxes, fewestBoxes, mostBoxes;
    int    mostBoxesTime;       // sceneTime of the first frame with the most boxes
    double laterFps;            // the second half's frames over their wall time
    int    sizeChanges;         // --adapt: changes of the drawing size
    PixelBox lastDrawn;         // the drawing size at the end
};

static BenchOptions options;
static long         boxesDrawn;  // glBegin calls since the last reset: each box is one run
static double       swapCalledMs; // when the running frame reached its swap; its start without a window

extern "C" void __real_glBegin(GLenum mode);

// Every box is one glBegin/glEnd run, so counting glBegin counts boxes.
extern "C" void __wrap_glBegin(GLenum mode)
{
    boxesDrawn++;
    __real_glBegin(mode);
}

static double nowMs()
{
    return std::chrono::duration<double, std::milli>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

static double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    size_t i = (size_t)(p * (values.size() - 1) + 0.5);
    return values[i];
}

// The demo's state as the sequencer hands it to a scene: the simulations
// start afresh on their first frame, after a scene that left the seed at 42.
static void resetSceneState()
{
    resetDemo();
    demoSrand(42);
}

static SceneResult runScene(int scene)
{
    SceneFunction draw = sceneTable[scene].draw;
    int frames = (int)(options.seconds * options.steps);
    std::vector<double> times(frames);
    std::vector<double> submit(frames), swap(frames);
    std::vector<int> boxes(frames);
    resetSceneState();
    // --adapt: the rule runs on across the scenes, as in the demo; only the first
    // starts at the output's own size.
    static bool first = true;
    if (first) {
        setDrawingStep(options.reduce);
        onReshape(options.width, options.height);
        first = false;
    }
    int sizeChanges = 0;
    double start = nowMs(), halfway = start;
    for (int k = 0; k < frames; k++) {
        int t = (int)((long long)k * 1000 / options.steps);
        boxesDrawn = 0;
        if (k == frames / 2) halfway = nowMs();
        if (options.adapt) {
            int step = drawingRule.step;
            frameShown(nowMs(), false);
            sizeChanges += drawingRule.step != step;
        }
        double before = nowMs();
        swapCalledMs = before;
        draw(t);
        double after = nowMs();
        times[k] = after - before;
        submit[k] = swapCalledMs - before;
        swap[k] = after - swapCalledMs;
        boxes[k] = (int)boxesDrawn;
    }

    SceneResult r = {};
    r.frames = frames;
    double end = nowMs();
    r.wallSeconds = (end - start) / 1000;
    r.laterFps = (frames - frames / 2) / ((end - halfway) / 1000);
    r.sizeChanges = sizeChanges;
    r.lastDrawn = pictureBox;
    r.medianMs = percentile(times, 0.5);
    r.p99Ms = percentile(times, 0.99);
    r.submitMs = percentile(submit, 0.5);
    r.swapMs = percentile(swap, 0.5);
    r.firstMs = times[0];
    r.fewestBoxes = boxes[0];
    long boxSum = 0;
    double timeSum = 0;
    for (int k = 0; k < frames; k++) {
        int t = (int)((long long)k * 1000 / options.steps);
        if (k > 0 && times[k] > r.worstMs) { r.worstMs = times[k]; r.worstTime = t; }
        r.fewestBoxes = std::min(r.fewestBoxes, boxes[k]);
        if (boxes[k] > r.mostBoxes) { r.mostBoxes = boxes[k]; r.mostBoxesTime = t; }
        boxSum += boxes[k];
        timeSum += times[k];
    }
    r.meanBoxes = (int)(boxSum / frames);
    r.meanMs = timeSum / frames;
    return r;
}

static void usage(const char *why)
{
    fprintf(stderr, "cubic-harmony-bench: %s\n"
                    "usage: cubic-harmony-bench [--seconds S] [--steps N] [--scene N] [--size WxH] [--adapt yes | --reduce N] [--data DIR] [--extras no]\n", why);
    exit(2);
}

static void parseOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        if (i + 1 >= argc) usage("every option takes a value");
        const char *name = argv[i], *value = argv[++i];
        if      (!strcmp(name, "--seconds")) options.seconds = atof(value);
        else if (!strcmp(name, "--steps"))   options.steps = atoi(value);
        else if (!strcmp(name, "--scene"))   options.onlyScene = atoi(value);
        else if (!strcmp(name, "--data"))    options.data = value;
        else if (!strcmp(name, "--extras"))  options.extras = strcmp(value, "no") != 0;
        else if (!strcmp(name, "--adapt"))   options.adapt = strcmp(value, "no") != 0;
        else if (!strcmp(name, "--reduce"))  options.reduce = atoi(value);
        else if (!strcmp(name, "--size")) {
            if (!parseSize(value, &options.width, &options.height)) usage("--size wants WxH");
        }
        else usage("unknown option");
    }
    if (options.seconds <= 0 || options.seconds > 100 || options.steps < 1 || options.steps > 1000)
        usage("--seconds must be 0 to 100, --steps 1 to 1000");
    if (options.seconds * options.steps < 1) usage("--seconds times --steps must make one frame at least");
    if (options.onlyScene < -1 || options.onlyScene >= sceneCount) usage("--scene must be 0 to 8");
    if (options.reduce < 0 || (options.reduce > 0 && options.adapt)) usage("--reduce wants N >= 0, and no --adapt");
}

static void loadFont()
{
    char error[512];
    if (!loadBlockFontFrom((options.data + "/fontpre.tga").c_str(), error, sizeof error)) {
        fprintf(stderr, "cubic-harmony-bench: %s\n", error);
        exit(1);
    }
}

static bool benchScene(int scene)
{
    return options.onlyScene < 0 || options.onlyScene == scene;
}

#ifdef NULL_GL

// Our own code alone: one line per scene, read by the real bench.
int main(int argc, char **argv)
{
    parseOptions(argc, argv);
    loadFont();
    for (int s = 0; s < sceneCount; s++)
        if (benchScene(s)) {
            SceneResult r = runScene(s); // from cold, as the real run
            printf("%d %.6f %.6f %.6f\n", s, r.meanMs, r.medianMs, r.worstMs);
        }
    return 0;
}

#else

static void markSwap()
{
    swapCalledMs = nowMs();
}

// Runs cubic-harmony-bench-nogl, which lies beside this program, with the same
// options; fills ownMeanMs[scene], or leaves -1 where it could not.
static void runNullGlBench(int argc, char **argv, double *ownMeanMs)
{
    for (int s = 0; s < sceneCount; s++) ownMeanMs[s] = -1;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return;
    self[n] = '\0';
    std::string command = std::string(self) + "-nogl";
    for (int i = 1; i < argc; i++) command += std::string(" '") + argv[i] + "'";
    FILE *child = popen(command.c_str(), "r");
    if (!child) return;
    int s;
    double mean, median, worst;
    while (fscanf(child, "%d %lf %lf %lf", &s, &mean, &median, &worst) == 4)
        if (s >= 0 && s < sceneCount) ownMeanMs[s] = mean;
    pclose(child);
}

static double threadCpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// The cost of single simulation steps, timed one by one from a running field.
static void timeSteps(const char *name, void (*step)(), int count, int perFrame)
{
    std::vector<double> times(count);
    for (int i = 0; i < count; i++) {
        double before = nowMs();
        step();
        times[i] = nowMs() - before;
    }
    printf("- %s step: median %.3f ms, worst %.3f ms; at most %d steps in one frame: %.2f ms\n",
           name, percentile(times, 0.5), *std::max_element(times.begin(), times.end()),
           perFrame, perFrame * percentile(times, 0.5));
}

static void benchSimulations()
{
    resetSceneState();
    resetParticles();
    for (int i = 0; i < 300; i++) stepParticles(); // a full ring in flight
    timeSteps("fountain", stepParticles, 2000, 20);
    resetSceneState();
    resetFireVolume();
    for (int i = 0; i < 100; i++) stepFireVolume();  // hot and spreading
    timeSteps("fire", stepFireVolume, 500, 5);
}

// The audio callback's work is playerRender over one device buffer (512
// frames); rendering a minute of the module offline gives its share of a core.
static void benchAudio()
{
    std::string path = options.data + "/zap_wave.it";
    if (!playerLoadModule(0, path.c_str(), 0, 0, playerRamping | playerLooping)) {
        printf("- audio: %s: %s\n", path.c_str(), playerError());
        return;
    }
    const int chunk = 512, rate = 44100, seconds = 60;
    static int16_t buffer[chunk * 2];
    double worst = 0, before = threadCpuMs();
    for (int done = 0; done < seconds * rate; done += chunk) {
        double t = threadCpuMs();
        playerRender(buffer, chunk);
        worst = std::max(worst, threadCpuMs() - t);
    }
    double cpu = threadCpuMs() - before;
    printf("- audio: %d s of the module rendered in %.0f ms of CPU: %.2f %% of one core;"
           " worst %d-frame buffer %.3f ms of its %.1f ms\n",
           seconds, cpu, cpu / (seconds * 10.0), chunk, worst, chunk * 1000.0 / rate);
    playerFreeModule();
}

static double loadAverage()
{
    double load = -1;
    FILE *f = fopen("/proc/loadavg", "r");
    if (f) {
        if (fscanf(f, "%lf", &load) != 1) load = -1;
        fclose(f);
    }
    return load;
}

int main(int argc, char **argv)
{
    // --- set-up: no vsync, so frames come as fast as the driver draws them ------
    setenv("vblank_mode", "0", 0);
    setenv("__GL_SYNC_TO_VBLANK", "0", 0);
    int glutArgc = 1;
    glutInit(&glutArgc, argv);
    parseOptions(argc, argv);
    renderWidth = options.width;
    renderHeight = options.height;
    openRenderWindow("cubic-harmony-bench");
    loadFont();
    beforeSwap = markSwap;
    double ownMeanMs[sceneCount];
    runNullGlBench(argc, argv, ownMeanMs);

    // --- the scenes against the driver ----------------------------------------
    GLint depth, stencil, alpha, samples;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    glGetIntegerv(GL_SAMPLES, &samples);
    char reduced[64] = "";
    if (options.reduce > 0) {
        PixelBox drawn = drawingBox(fitPicture(options.width, options.height), options.reduce);
        snprintf(reduced, sizeof reduced, ", the pictureBox drawn at %dx%d and enlarged", drawn.width, drawn.height);
    }
    printf("Renderer: %s, %dx%d (depth %d, stencil %d, alpha %d bits, %d samples)%s;"
           " %g s of scene time per scene at %d frames per second of it;"
           " load average %.2f at the start",
           (const char *)glGetString(GL_RENDERER), renderWidth, renderHeight, depth, stencil,
           alpha, samples, reduced, options.seconds, options.steps, loadAverage());
    fflush(stdout);
    SceneResult results[sceneCount];
    for (int s = 0; s < sceneCount; s++)
        if (benchScene(s)) results[s] = runScene(s);
    printf(", %.2f at the end.\n\n", loadAverage());

    // --- with the drawing size rule: where each scene settled -------------------
    if (options.adapt) {
        PixelBox fitted = fitPicture(options.width, options.height);
        printf("The drawing size rule running on the frame times (unpaced, 60 Hz) across the"
               " scenes in order, from the pictureBox box's own size, %dx%d:\n\n", fitted.width, fitted.height);
        printf("| scene | fps | fps, second half | drawn at the end | size changes |\n");
        printf("|---|---:|---:|---:|---:|\n");
        for (int s = 0; s < sceneCount; s++)
            if (benchScene(s))
                printf("| %d %s | %.0f | %.0f | %dx%d | %d |\n", s, sceneNames[s],
                       results[s].frames / results[s].wallSeconds, results[s].laterFps,
                       results[s].lastDrawn.width, results[s].lastDrawn.height, results[s].sizeChanges);
        printf("\n");
    }

    printf("| scene | frames | fps | median ms (to swap + swap) | p99 ms | first ms | worst later ms (at s) | boxes/frame: mean (range, most at s) | own code |\n");
    printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int s = 0; s < sceneCount; s++) {
        if (!benchScene(s)) continue;
        const SceneResult &r = results[s];
        char own[32] = "n/a";
        if (ownMeanMs[s] >= 0)
            snprintf(own, sizeof own, "%.2f %%", 100 * ownMeanMs[s] / r.meanMs);
        char boxes[64];
        if (r.fewestBoxes == r.mostBoxes)
            snprintf(boxes, sizeof boxes, "%d (always)", r.mostBoxes);
        else
            snprintf(boxes, sizeof boxes, "%d (%d-%d, %.2f)", r.meanBoxes, r.fewestBoxes,
                     r.mostBoxes, r.mostBoxesTime / 1000.0);
        printf("| %d %s | %d | %.0f | %.2f (%.2f + %.2f) | %.2f | %.2f | %.2f (%.2f) | %s | %s |\n",
               s, sceneNames[s], r.frames, r.frames / r.wallSeconds, r.medianMs, r.submitMs,
               r.swapMs, r.p99Ms, r.firstMs, r.worstMs, r.worstTime / 1000.0, boxes, own);
    }
    printf("\nfps: frames over their wall time. to swap: from the frame's start to its"
           " glutSwapBuffers call; swap: the call itself (the driver finishes the pictureBox and"
           " hands it to the X server). own code: mean frame time with GL, GLU and"
           " GLUT replaced by no-op stand-ins (cubic-harmony-bench-nogl), over the mean frame"
           " time here.\n\n");

    // --- our own work outside the drawing ---------------------------------------
    if (options.extras) {
        benchSimulations();
        benchAudio();
    }
    return 0;
}

#endif
