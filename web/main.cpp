// Start-up in the browser: the WebGL context on the page's canvas, the block
// font the page has fetched, then either one deterministic frame (frame mode)
// or the start screen, and the demo on the browser's animation frames once a
// click or key has started the music.
#include "web.h"
#include "kit.h"
#include "shell.h"
#include "player.h"
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
EM_JS(void, pageReport, (int scene), { window.cubicPage.report(scene); });

// The font the page fetched, copied into buf; its length, or -1 without one.
EM_JS(int, pageFont, (uint8_t *buf, int size), {
    const font = window.cubicPage.font;
    if (!font) return -1;
    HEAPU8.set(font.subarray(0, size), buf);
    return font.length;
});

static bool openCanvas(bool keepFrame)
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = false;
    attributes.depth = true;
    attributes.stencil = true;                   // with it the depth buffer has 24 bits, as on the desktop, not 16
    attributes.antialias = false;                // the desktop's visual has no multisampling
    attributes.preserveDrawingBuffer = keepFrame; // frame mode: the picture stays for the screenshot
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0) return false;
    emscripten_webgl_make_context_current(context);
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

static void startMusic()
{
    if (!playerInit(-1, 44100)) {
        char message[512];
        snprintf(message, sizeof message, "cannot open the audio output: %s", playerError());
        failAndExit(message);
        return;
    }
    if (!playerLoadModule(0, "zap_wave.it", 0, 0, playerRamping | playerLooping)) {
        char message[512];
        snprintf(message, sizeof message, "zap_wave.it: %s", playerError());
        failAndExit(message);
        return;
    }
    playerPlay();
    state = starting;
}

// Every play is the first: the scenes' state as at load, and the reshape's
// projection again, since the last scene leaves its own in place. The music
// starts again inside the click that asked for it.
extern "C" EMSCRIPTEN_KEEPALIVE void webPlay()
{
    if (state != waiting && state != ended) return;
    resetDemo();
    int width, height;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    onReshape(width, height);
    startMusic();
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
// time of loading the worklet does not eat into the first scene.
static EM_BOOL onAnimationFrame(double, void *)
{
    if (state == starting && playerHeard()) {
        sceneStartTime = pageClock();
        state = playing;
        pageShow("playing");
        pageReport(currentScene);
    }
    if (state != playing) return EM_TRUE;
    int scene = currentScene;
    runSequencer(sceneTable, playerGetPosition(), pageClock);
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

static EM_BOOL onKey(int, const EmscriptenKeyboardEvent *event, void *)
{
    if (event->repeat) return EM_FALSE;
    if (state == waiting) {
        // Escape and lone modifiers do not count as a gesture that may start audio.
        static const char *const notStarting[] = {"Escape", "Shift", "Control", "Alt", "Meta"};
        for (const char *name : notStarting)
            if (!strcmp(event->key, name)) return EM_FALSE;
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

// --- frame mode -------------------------------------------------------------------

// Exactly the frame tool's replay; the frames before the one asked for keep
// their GL state but send nothing to WebGL.
static void drawFrame(int scene, int time, int fps)
{
    webGlQuiet(true);
    replayScene(scene, time, fps, [] { webGlQuiet(false); });
    pageFrameReady();
}

int main()
{
    // --- initialisation -------------------------------------------------------
    clockStart = emscripten_get_now();
    bool frameMode = pageNumber("frame");
    if (!openCanvas(frameMode)) {
        failAndExit("this browser cannot draw with WebGL");
        return 0;
    }
    retroPicture = pageNumber("retro") != 0;
    int width, height;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    onReshape(width, height);
    glShadeModel(GL_FLAT);
    glEnable(GL_CULL_FACE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    loadFont();
    if (state == ended) return 0;

    if (frameMode) {
        if (pageNumber("bench") >= 0) benchScene(pageNumber("bench"));
        else drawFrame(pageNumber("scene"), pageNumber("time"), pageNumber("fps"));
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
