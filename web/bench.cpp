// The browser's frame bench (index.html?bench=N): one scene from sceneTime 0
// for 12 s in steps of 1/60 s, as the desktop bench plays it, once quiet (our
// scene code and the GL layer alone) and once drawn, waiting at the end for
// WebGL to finish: frames overlap as they do on the page, where the browser
// draws one frame while the next is being recorded.
#include "web.h"
#include "shell.h"
#include "scenes.h"
#include <emscripten.h>
#include <cstdio>

static const int benchFrames = 720; // 12 s at 60 frames a second

EM_JS(void, pageBenchDone, (const char *line), {
    console.log(UTF8ToString(line));
    document.title = 'ready';
});

// The simulations start fresh, as when the scene is first reached.
static double playScene(SceneFunction draw, bool drawn, int *mostCalls)
{
    resetDemo();
    webGlQuiet(!drawn);
    double start = emscripten_get_now();
    for (int k = 0; k < benchFrames; k++) {
        webGlDrawCalls = 0;
        draw(k * 1000 / 60);
        if (webGlDrawCalls > *mostCalls) *mostCalls = webGlDrawCalls;
    }
    if (drawn) webGlFinish();
    webGlQuiet(false);
    return (emscripten_get_now() - start) / benchFrames;
}

void benchScene(int scene)
{
    SceneFunction draw = sceneTable[scene].draw;
    int mostCalls = 0, quietCalls = 0;
    int vertices = webGlVertices;
    double ownMs = playScene(draw, false, &quietCalls);
    long long fragments = rasterFragments;
    double frameMs = playScene(draw, true, &mostCalls);
    vertices = (webGlVertices - vertices) / benchFrames;
    char line[320], pixels[64] = "";
    if (webGlOnCpu())
        snprintf(pixels, sizeof pixels, ", %lld pixels of triangles", (rasterFragments - fragments) / benchFrames);
    snprintf(line, sizeof line,
             "bench scene %d on %s: %.2f ms a frame (%.0f fps), own code %.3f ms (%.1f %%), "
             "at most %d draw calls a frame, %d vertices%s a frame on average",
             scene, webGlOnCpu() ? "the processor" : "WebGL", frameMs, 1000 / frameMs, ownMs, 100 * ownMs / frameMs,
             mostCalls, vertices, pixels);
    pageBenchDone(line);
}
