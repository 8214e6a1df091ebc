// The music layer: libopenmpt decodes the module, SDL2 plays it on the default
// output device. The audio callback runs on SDL's audio thread and is the only
// code that touches the module while the device plays; it publishes the order
// and row it has reached so the main thread never calls into libopenmpt.
#include "player.h"
#include <SDL.h>
#include <libopenmpt/libopenmpt.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

static const int bufferFrames = 512;   // 11.6 ms at 44100 Hz: picture and sound stay close

static SDL_AudioDeviceID     playerDevice;        // 0 while no device is open
static int                   playerRate = 44100;  // frames per second of the output
static openmpt_module       *playerModule;        // the one loaded module, or null
static std::atomic<uint32_t> playerPosition{0};   // order | row << 16, written by the audio thread
static char                  playerMessage[512];  // why the last failing call failed

static void setError(const char *format, const char *detail)
{
    snprintf(playerMessage, sizeof playerMessage, format, detail);
}

const char *playerError()
{
    return playerMessage;
}

static void publishPosition()
{
    uint32_t order = (uint32_t)openmpt_module_get_current_order(playerModule) & 0xFFFF;
    uint32_t row   = (uint32_t)openmpt_module_get_current_row(playerModule) & 0xFFFF;
    playerPosition.store(order | row << 16, std::memory_order_release);
}

int playerRender(int16_t *stereo, int frames)
{
    if (!playerModule) return 0;
    int done = (int)openmpt_module_read_interleaved_stereo(playerModule, playerRate, frames, stereo);
    publishPosition();
    return done;
}

// Audio thread. Fills the whole buffer, silence where the module has nothing.
static void fillAudio(void *, Uint8 *stream, int bytes)
{
    int16_t *out = (int16_t *)stream;
    int frames = bytes / (int)(2 * sizeof(int16_t));
    int done = playerRender(out, frames);
    if (done < frames)
        memset(out + 2 * done, 0, (size_t)(frames - done) * 2 * sizeof(int16_t));
}

int playerInit(int device, int rate, int)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        setError("%s", SDL_GetError());
        return 0;
    }
    SDL_AudioSpec want = {}, have = {};
    want.freq     = rate;
    want.format   = AUDIO_S16SYS;
    want.channels = 2;
    want.samples  = bufferFrames;
    want.callback = fillAudio;
    const char *name = device < 0 ? nullptr : SDL_GetAudioDeviceName(device, 0);
    playerDevice = SDL_OpenAudioDevice(name, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (playerDevice == 0) {
        setError("%s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    playerRate = have.freq;
    return 1;
}

static void logNothing(const char *, void *) {}

int playerLoadModule(int fromMemory, const char *name, int offset, int length, int flags)
{
    if (fromMemory) {
        setError("%s", "loading from memory is not supported");
        return 0;
    }
    FILE *f = fopen(name, "rb");
    if (!f) {
        setError("cannot open: %s", strerror(errno));
        return 0;
    }
    std::vector<char> data;
    char chunk[65536];
    size_t got;
    fseek(f, offset, SEEK_SET);
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + got);
    bool readFailed = ferror(f);
    fclose(f);
    if (readFailed) {
        setError("cannot read: %s", strerror(errno));
        return 0;
    }
    if (length > 0 && (size_t)length < data.size())
        data.resize((size_t)length);
    if (data.empty()) {
        setError("%s", "the file is empty");
        return 0;
    }
    int error = 0;
    openmpt_module *module = openmpt_module_create_from_memory2(
        data.data(), data.size(), logNothing, nullptr, nullptr, nullptr, &error, nullptr, nullptr);
    if (!module) {
        setError("%s", "not a module the player can read");
        return 0;
    }
    openmpt_module_set_repeat_count(module, (flags & playerLooping) ? -1 : 0);
    // libopenmpt ramps volume by default; -1 keeps its default, 0 would switch it off.
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                    (flags & playerRamping) ? -1 : 0);
    // Notes stop on position jumps by themselves: the demo never seeks.
    if (playerDevice) SDL_LockAudioDevice(playerDevice);
    if (playerModule) openmpt_module_destroy(playerModule);
    playerModule = module;
    playerPosition.store(0);
    if (playerDevice) SDL_UnlockAudioDevice(playerDevice);
    return 1;
}

int playerPlay()
{
    if (!playerDevice || !playerModule) return 0;
    SDL_PauseAudioDevice(playerDevice, 0);
    return 1;
}

uint32_t playerGetPosition()
{
    return playerPosition.load(std::memory_order_acquire);
}

int playerStop()
{
    if (playerDevice) SDL_PauseAudioDevice(playerDevice, 1);
    return 1;
}

int playerFreeModule()
{
    if (playerDevice) SDL_LockAudioDevice(playerDevice);
    if (playerModule) openmpt_module_destroy(playerModule);
    playerModule = nullptr;
    if (playerDevice) SDL_UnlockAudioDevice(playerDevice);
    return 1;
}

int playerShutdown()
{
    if (playerDevice) {
        SDL_CloseAudioDevice(playerDevice);
        playerDevice = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    return 1;
}
