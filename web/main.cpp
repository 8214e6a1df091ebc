// Start-up in the browser: the WebGL context on the page's canvas, the block
// font the page has fetched, then either one deterministic frame (frame mode)
// or the start screen, and the demo on the browser's animation frames once a
// click or key has started the music.
#include "web.h"
#include "kit.h"
#include "shell.h"
#include "scenes.h"
#include <GL/gl.h>
#include <emscripten.h>
#include <emscripten/html5.h>
#include <cstdio>
#include <cstring>

enum PageState { waiting, starting, playing, ended };
static PageState state = waiting; // starting: music asked for, not heard yet
static double    clockStart;      // emscripten_get_now() at start-up, ms

static int pageClock()
{
    return (int)(emscripten_get_now() - clockStart);
}

// --- the page's side (index.html) ----------------------------------------------

EM_JS(int, pageNumber, (const char *name), { return window.cubicPage[UTF8ToString(name)] | 0; });
EM_JS(void, pageShow, (const char *screen), { window.cubicPage.show(UTF8ToString(screen)); });
EM_JS(void, pageFrameReady, (), { window.cubicPage.frameReady(); });
EM_JS(void, pageReportName, (int scene, const char *name), { window.cubicPage.report(scene, UTF8ToString(name)); });

// The font the page fetched, copied into buf; its length, or -1 without one.
EM_JS(int, pageFont, (uint8_t *buf, int size), {
    const font = window.cubicPage.font;
    if (!font) return -1;
    HEAPU8.set(font.subarray(0, size), buf);
    return font.length;
});

// Where WebGL cannot be had, or ?cpu=1 asks, the same frames are drawn on the
// processor into a 2D canvas; one line on the console says which path draws.
static bool drawOnCpu(const char *why)
{
    emscripten_log(EM_LOG_CONSOLE, "cubic-harmony: drawing on the processor: %s", why);
    return webGlStartOnCpu();
}

// A scene's number and its name (the table's), for the console and the tests.
static void pageReport(int scene)
{
    pageReportName(scene, scene <= lastScene ? sceneNames[scene] : "the way out");
}

// Frame mode's numbers are whole numbers when the page hands them over; their
// ranges are the desktop tools' and are checked here, where the core's own
// bounds are known. The size asked for becomes the canvas's.
static bool checkFrameRequest()
{
    char why[128];
    int scene = pageNumber("bench") >= 0 ? pageNumber("bench") : pageNumber("scene");
    if (scene > lastScene) {
        snprintf(why, sizeof why, "%s must be a whole number from %s",
                 pageNumber("bench") >= 0 ? "bench" : "scene", sceneRange());
        failAndExit(why);
        return false;
    }
    int width = pageNumber("width"), height = pageNumber("height");
    if (width < smallestSide || height < smallestSide || width > largestSide || height > largestSide) {
        snprintf(why, sizeof why, "size must be WIDTHxHEIGHT, each from %d to %d", smallestSide, largestSide);
        failAndExit(why);
        return false;
    }
    emscripten_set_canvas_element_size("#canvas", width, height);
    return true;
}

static bool openCanvas(bool keepFrame)
{
    if (pageNumber("cpu")) return drawOnCpu("asked for by ?cpu=1");
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = false;
    attributes.depth = true;
    attributes.stencil = true;                   // with it the depth buffer has 24 bits, as on the desktop, not 16
    attributes.antialias = false;                // the desktop's visual has no multisampling
    attributes.preserveDrawingBuffer = keepFrame; // frame mode: the picture stays for the screenshot
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0) return drawOnCpu("the browser gives no WebGL");
    emscripten_webgl_make_context_current(context);
    emscripten_log(EM_LOG_CONSOLE, "cubic-harmony: drawing with WebGL");
    return webGlStart();
}

static void loadFont()
{
    static uint8_t file[fontFileSize + 1]; // one byte more, so a longer file shows as longer
    int length = pageFont(file, sizeof file);
    char error[512];
    if (length < 0) failAndExit("fontpre.tga is missing beside the page");
    else if (!loadBlockFontFromBytes(file, length < (int)sizeof file ? length : sizeof file,
                                     "fontpre.tga", error, sizeof error))
        failAndExit(error);
}

// --- the demo -------------------------------------------------------------------

// The page always plays from the first scene, whose clock starts once the
// music is heard (onAnimationFrame).
static void startPlay()
{
    char error[512];
    if (startMusic("zap_wave.it", 0, false, pageClock, "", error, sizeof error)) state = starting;
    else failAndExit(error);
}

// Every play is the first: the scenes' state as at load, and the reshape's
// projection again, since the last scene leaves its own in place.
static void prepareFirstPlay()
{
    resetDemo();
    int width, height;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    onReshape(width, height);
}

// The music starts again inside the click that asked for it.
extern "C" EMSCRIPTEN_KEEPALIVE void webPlay()
{
    if (state != waiting && state != ended) return;
    prepareFirstPlay();
    startPlay();
}

extern "C" EMSCRIPTEN_KEEPALIVE void webReshape(int width, int height)
{
    onReshape(width, height);
}

// The worklet found the module unreadable after all.
extern "C" EMSCRIPTEN_KEEPALIVE void webMusicFailed()
{
    if (state == starting || state == playing) failAndExit("zap_wave.it: the player cannot read this module");
}

// The first scene's clock starts when its music is first heard, so the page's
// time of loading the worklet does not eat into the first scene. The animation
// frames wait for the display's refresh: the drawing size gets their times as
// paced ones.
static EM_BOOL onAnimationFrame(double frameTime, void *)
{
    if (state == starting && playerHeard()) {
        startSequencer(0, pageClock());
        state = playing;
        pageShow("playing");
        pageReport(currentScene);
    }
    if (state != playing) return EM_TRUE;
    frameShown(frameTime, true);
    int scene = currentScene;
    runSequencer(sceneTable, musicPosition(pageClock()), pageClock);
    if (state == playing && currentScene != scene) pageReport(currentScene);
    return EM_TRUE;
}

// As on the desktop, keys that GLUT hands to its special-key callback (arrows,
// function keys, modifiers) do nothing while the demo plays; any key starts it.
static bool isOrdinaryKey(const EmscriptenKeyboardEvent *event)
{
    static const char *const asciiKeys[] = {"Enter", "Escape", "Backspace", "Tab", "Delete"};
    int characters = 0; // code points of the key's name: one for a printing key
    for (const char *p = event->key; *p; p++)
        if (((unsigned char)*p & 0xC0) != 0x80) characters++;
    if (characters == 1) return true;
    for (const char *name : asciiKeys)
        if (!strcmp(event->key, name)) return true;
    return false;
}

// The browser's own shortcuts (Ctrl+R, Alt+Left, F5, F11, ...) keep working on
// the start screen: only a key without Ctrl, Alt or Meta that is not a function
// key starts the demo.
static bool isBrowserKey(const EmscriptenKeyboardEvent *event)
{
    if (event->ctrlKey || event->altKey || event->metaKey) return true;
    int number = 0;
    char rest = 0;
    return sscanf(event->key, "F%d%c", &number, &rest) == 1 && number >= 1 && number <= 24;
}

static EM_BOOL onKey(int, const EmscriptenKeyboardEvent *event, void *)
{
    if (event->repeat) return EM_FALSE;
    if (state == waiting) {
        // Escape and lone modifiers do not count as a gesture that may start audio.
        static const char *const notStarting[] = {"Escape", "Shift", "Control", "Alt", "Meta"};
        for (const char *name : notStarting)
            if (!strcmp(event->key, name)) return EM_FALSE;
        if (isBrowserKey(event)) return EM_FALSE;
        webPlay();
        return EM_TRUE;
    }
    if ((state == starting || state == playing) && isOrdinaryKey(event)) {
        stopMusicAndExit();
        return EM_TRUE;
    }
    return EM_FALSE;
}

static EM_BOOL onClick(int, const EmscriptenMouseEvent *, void *)
{
    if (state == waiting) webPlay();
    return EM_FALSE;
}

void stopPage()
{
    state = ended;
}

void showEndScreen()
{
    stopPage();
    pageShow("end");
}

// --- a lost WebGL context ------------------------------------------------------------

// The browser may take WebGL away (a GPU reset, a driver update, too many
// tabs). The music and the sequencer go on; once it is given back the GL
// layer builds its objects again and the next frame draws the running scene;
// not given back within a few seconds, the rasteriser draws instead.
static EM_BOOL onContextLost(int, const void *, void *)
{
    return EM_TRUE; // prevented: without that the browser never gives it back
}

static void drawFrame(int scene, int time, int fps, int plays);

// Not given back within a few seconds: the page has put a fresh canvas in the
// lost one's place (one that has had WebGL can give no 2D context).
extern "C" EMSCRIPTEN_KEEPALIVE int webDrawOnCpu()
{
    emscripten_log(EM_LOG_CONSOLE, "cubic-harmony: drawing on the processor: WebGL was lost and not given back");
    if (!webGlMoveToCpu()) return 0;
    if (pageNumber("frame") && pageNumber("bench") < 0)
        drawFrame(pageNumber("scene"), pageNumber("time"), pageNumber("fps"), pageNumber("plays"));
    return 1;
}

static EM_BOOL onContextRestored(int, const void *, void *)
{
    if (!webGlRestore()) failAndExit("WebGL came back but cannot draw");
    else if (pageNumber("frame") && pageNumber("bench") < 0)
        drawFrame(pageNumber("scene"), pageNumber("time"), pageNumber("fps"), pageNumber("plays"));
    return EM_TRUE;
}

// --- frame mode -------------------------------------------------------------------

static const int steppedOrderMs = 1000; // each order's length in a stepped play

// A play as the page makes one, from prepareFirstPlay on, on the replay's
// stepped clock (shell.h); frames before the last send nothing to WebGL.
static void steppedPlay(int scene, int time, int fps)
{
    prepareFirstPlay();
    replayDemo(scene, time, fps, steppedOrderMs, [] { webGlQuiet(false); });
}

// plays 0: exactly the frame tool's replay; the frames before the one asked
// for keep their GL state but send nothing to WebGL. plays P: P - 1 whole
// stepped plays, then one up to the moment, to hold play-again to the first.
static void drawFrame(int scene, int time, int fps, int plays)
{
    webGlQuiet(true);
    if (plays == 0) {
        replayScene(scene, time, fps, [] { webGlQuiet(false); });
    } else {
        for (int play = 1; play < plays; play++) steppedPlay(-1, 0, fps);
        steppedPlay(scene, time, fps);
    }
    pageFrameReady();
}

int main()
{
    // --- initialisation -------------------------------------------------------
    clockStart = emscripten_get_now();
    bool frameMode = pageNumber("frame");
    if (frameMode && !checkFrameRequest()) return 0;
    if (!openCanvas(frameMode)) {
        failAndExit("this browser can draw neither with WebGL nor on a 2D canvas");
        return 0;
    }
    setPictureMode(pageNumber("retro") != 0, pageNumber("sharp") != 0);
    if (frameMode) setDrawingStep(pageNumber("step")); // frame mode feeds the rule no frame times: the step stays
    emscripten_set_webglcontextlost_callback("#canvas", nullptr, EM_FALSE, onContextLost);
    emscripten_set_webglcontextrestored_callback("#canvas", nullptr, EM_FALSE, onContextRestored);
    int width, height;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    startDrawing(width, height);
    loadFont();
    if (state == ended) return 0;

    if (frameMode) {
        if (pageNumber("bench") >= 0) benchScene(pageNumber("bench"));
        else drawFrame(pageNumber("scene"), pageNumber("time"), pageNumber("fps"), pageNumber("plays"));
        return 0;
    }

    // --- main loop: the browser's animation frames ----------------------------
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, onKey);
    emscripten_set_click_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE, onClick);
    emscripten_request_animation_frame_loop(onAnimationFrame, nullptr);
    if (pageNumber("autostart")) webPlay();
    else pageShow("start");
    return 0;
}
