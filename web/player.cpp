// The music layer in the browser: the same calls as player/player.cpp, over
// libopenmpt in our AudioWorklet (music.worklet.js), whose page side is
// player.js. The worklet mixes on the audio thread; these calls only post to
// it and read the positions it has posted back, on the page's one thread.
#include "player.h"
#include "web.h"
#include <emscripten.h>

static char lastError[256] = "no error"; // what playerError answers

// Frame mode never loads player.js: every call then answers 0.
EM_JS(int, musicCall, (const char *call, int argument), {
    const music = window.cubicMusic;
    return music ? music[UTF8ToString(call)](argument) | 0 : 0;
});

EM_JS(int, musicLoadFile, (const char *name, int looping), {
    return window.cubicMusic.loadFile(UTF8ToString(name), looping);
});

EM_JS(void, musicError, (char *out, int size), {
    stringToUTF8(window.cubicMusic.error, out, size);
});

static int answer(int result)
{
    if (!result) musicError(lastError, sizeof lastError);
    return result;
}

int playerInit(int, int) { return answer(musicCall("init", 0)); }

// A file is one the page has already fetched beside itself, by that name; the
// page has no module in memory but those.
int playerLoadModule(int, const char *name, int, int, int flags)
{
    return answer(musicLoadFile(name, (flags & playerLooping) != 0));
}

int      playerPlay()            { return musicCall("play", 0); }
int      playerStop()            { return musicCall("stop", 0); }
int      playerFreeModule()      { return musicCall("free", 0); }
int      playerShutdown()        { return musicCall("shutdown", 0); }
int      playerHeard()           { return musicCall("heard", 0); }
const char *playerError()        { return lastError; }

// The page always plays from the start, does not count orders and renders
// nothing offline (its silent play has its own clock, in player.js).
int      playerSetOrder(int)     { return 0; }
int      playerOrderCount()      { return 0; }
int      playerRender(int16_t *, int) { return 0; }

// The position being heard, not the one being mixed: player.js holds back
// what the worklet reports by the output's latency.
uint32_t playerGetPosition()     { return (uint32_t)musicCall("position", 0); }
