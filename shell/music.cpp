// The music's start and its way out, the same for every platform that plays it
// through player.h (the desktop's SDL2 and libopenmpt, the page's libopenmpt in an audio worklet):
// each platform gives only where the module lies and how the process ends.
// Without an output (the desktop's --silent) the module is still read, so a
// broken one is refused, and timed: the main thread renders it as the clock
// goes and throws the sound away, so the scenes change where the music would.
#include "shell.h"
#include "player.h"
#include <cstdio>

static const int musicRate = 44100;    // frames per second asked of the output, and of the silent render
static bool silentMusic;               // no output: the position comes from musicPosition's render
static int  silentStartMs;             // the clock when the silent module began
static int64_t silentFrames;           // frames rendered since then

// Row N starts where row N - 1 ends. The fountain and the fire set themselves
// up on their first frame, so starting at their row starts them fresh.
static void moveToScene(int scene)
{
    if (scene == 0) return;
    uint32_t order = sceneTable[scene - 1].endOrder;
    if (!playerSetOrder((int)order))
        fprintf(stderr, "cubic-harmony: zap_wave.it has no order %u: the music starts from its beginning\n", order);
}

bool startMusic(const char *module, int scene, bool silent, int (*readClock)(), const char *noDeviceHint,
                char *error, int errorSize)
{
    silentMusic = silent;
    if (!silent && !playerInit(-1, musicRate)) {
        snprintf(error, errorSize, "cannot open the audio device: %s%s", playerError(), noDeviceHint);
        return false;
    }
    if (!playerLoadModule(0, module, 0, 0, playerRamping | playerLooping)) {
        snprintf(error, errorSize, "%s: %s", module, playerError());
        return false;
    }
    // A module that never reaches the last scene's end loops, and the running
    // scene goes on until a key is pressed. A player that cannot count says 0.
    int orders = playerOrderCount();
    uint32_t lastOrder = sceneTable[lastScene].endOrder;
    if (orders > 0 && (uint32_t)orders <= lastOrder)
        fprintf(stderr, "cubic-harmony: zap_wave.it has %d orders and never reaches order %u: "
                "the demo will play until a key is pressed\n", orders, lastOrder);
    moveToScene(scene);
    playerPlay();
    silentStartMs = readClock();
    silentFrames = 0;
    startSequencer(scene, silentStartMs);
    return true;
}

uint32_t musicPosition(int clockMs)
{
    if (!silentMusic) return playerGetPosition();
    static int16_t discarded[2 * 1024];
    int64_t due = (int64_t)(clockMs - silentStartMs) * musicRate / 1000;
    while (silentFrames < due) {
        int frames = due - silentFrames < 1024 ? (int)(due - silentFrames) : 1024;
        if (playerRender(discarded, frames) <= 0) break;
        silentFrames += frames;
    }
    return playerGetPosition();
}

void stopMusic()
{
    playerStop();
    playerFreeModule();
    playerShutdown();
}
