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
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static const int bufferFrames = 512;   // 11.6 ms at 44100 Hz: picture and sound stay close

static SDL_AudioDeviceID     playerDevice;        // 0 while no device is open
static int                   playerRate = 44100;  // frames per second of the output
static openmpt_module       *playerModule;        // the one loaded module, or null
static std::atomic<uint32_t> playerPosition{0};   // order | row << 16, written by the audio thread
static char                  playerMessage[512];  // why the last failing call failed
static int                   playerOrders;        // entries in the loaded module's order list

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

static const size_t largestModule = 64 << 20; // bytes; far above any tracker module, far below memory

static uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
static uint16_t le16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }

// libopenmpt plays a cut-off IT file without a word, with silence where the
// missing patterns and samples were. Every block the header points at must
// therefore lie inside the file. Other formats are left to libopenmpt.
static const char *itProblem(const uint8_t *data, size_t size)
{
    if (size < 4 || memcmp(data, "IMPM", 4) != 0) return nullptr;
    if (size < 0xC0) return "the file is cut off inside its header";
    size_t orders = le16(data + 0x20), instruments = le16(data + 0x22);
    size_t samples = le16(data + 0x24), patterns = le16(data + 0x26);
    size_t tables = 0xC0 + orders + 4 * (instruments + samples + patterns);
    if (tables > size) return "the file is cut off inside its tables";
    const uint8_t *table = data + 0xC0 + orders;
    if (le16(data + 0x2E) & 1) {  // a song message
        uint64_t at = le32(data + 0x38), length = le16(data + 0x36);
        if (at + length > size) return "the file is cut off inside its song message";
    }
    for (size_t i = 0; i < instruments; i++, table += 4)
        if ((uint64_t)le32(table) + 554 > size) return "the file is cut off inside an instrument";
    for (size_t i = 0; i < samples; i++, table += 4) {
        uint64_t at = le32(table);
        if (at + 80 > size) return "the file is cut off inside a sample header";
        const uint8_t *sample = data + at;
        uint8_t flags = sample[0x12];
        if (!(flags & 1) || (flags & 8)) continue;  // no data, or compressed: its length is not known here
        uint64_t bytes = (uint64_t)le32(sample + 0x30) * (flags & 2 ? 2 : 1) * (flags & 4 ? 2 : 1);
        if (le32(sample + 0x48) + bytes > size) return "the file is cut off inside the sample data";
    }
    for (size_t i = 0; i < patterns; i++, table += 4) {
        uint64_t at = le32(table);
        if (at == 0) continue;  // an empty pattern, stored as no data at all
        if (at + 8 > size || at + 8 + le16(data + at) > size) return "the file is cut off inside a pattern";
    }
    return nullptr;
}

// Reads the whole file, which must be a plain file: a pipe or a device could
// block or never end.
static bool readModuleFile(const char *name, int offset, std::vector<uint8_t> &data)
{
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setError("cannot open: %s", strerror(errno));
        return false;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        setError("%s", S_ISDIR(info.st_mode) ? "is a directory" : "is not a regular file");
        close(fd);
        return false;
    }
    if ((size_t)info.st_size > largestModule + (size_t)offset) {
        setError("%s", "the file is too large for a module");
        close(fd);
        return false;
    }
    FILE *f = fdopen(fd, "rb");
    if (!f) {
        setError("cannot read: %s", strerror(errno));
        close(fd);
        return false;
    }
    uint8_t chunk[65536];
    size_t got;
    fseek(f, offset, SEEK_SET);
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + got);
    bool readFailed = ferror(f);
    fclose(f);
    if (readFailed) {
        setError("cannot read: %s", strerror(errno));
        return false;
    }
    return true;
}

// From memory, name points at the module's bytes and length is their count.
int playerLoadModule(int fromMemory, const char *name, int offset, int length, int flags)
{
    std::vector<uint8_t> data;
    if (fromMemory) {
        if (!name || offset < 0 || length < 0) {
            setError("%s", "no module in memory");
            return 0;
        }
        data.assign((const uint8_t *)name + offset, (const uint8_t *)name + offset + length);
    } else {
        if (!readModuleFile(name, offset, data)) return 0;
        if (length > 0 && (size_t)length < data.size())
            data.resize((size_t)length);
    }
    if (data.empty()) {
        setError("%s", "the file is empty");
        return 0;
    }
    if (const char *problem = itProblem(data.data(), data.size())) {
        setError("%s", problem);
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
    // Notes stop on position jumps by themselves (libopenmpt resets the channels
    // when playerSetOrder seeks).
    if (playerDevice) SDL_LockAudioDevice(playerDevice);
    if (playerModule) openmpt_module_destroy(playerModule);
    playerModule = module;
    playerOrders = openmpt_module_get_num_orders(module);
    playerPosition.store(0);
    if (playerDevice) SDL_UnlockAudioDevice(playerDevice);
    return 1;
}

// The audio thread owns the module while the device plays, so the jump is made
// with the device locked, between two of its buffers.
int playerSetOrder(int order)
{
    if (!playerModule || order < 0 || order >= playerOrders) return 0;
    if (playerDevice) SDL_LockAudioDevice(playerDevice);
    openmpt_module_set_position_order_row(playerModule, order, 0);
    publishPosition();
    if (playerDevice) SDL_UnlockAudioDevice(playerDevice);
    return 1;
}

int playerOrderCount()
{
    return playerModule ? playerOrders : 0;
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
