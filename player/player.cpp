// The music layer: libopenmpt decodes the module, SDL2 plays it on the default
// output device. The audio callback runs on SDL's audio thread and is the only
// code that touches the module while the device plays. It stamps each position
// it mixes with the moment that position's first sample is due at the device,
// and the main thread hands the sequencer only positions whose moment has come:
// the position being heard, never the one being mixed.
#include "player.h"
#include "files.h"
#include <SDL.h>
#include <libopenmpt/libopenmpt.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

static const int bufferFrames = 512;   // 11.6 ms at 44100 Hz: picture and sound stay close
static const int stepFrames   = 64;    // the callback mixes in steps this long (1.5 ms) to see where rows begin
static const int ringSize     = 64;    // position changes on their way to the device; a few are ever pending

static SDL_AudioDeviceID     playerDevice;        // 0 while no device is open
static int                   playerRate = 44100;  // frames per second of the output
static int                   queuedFrames;        // SDL's own device buffer, ahead of the buffer being mixed
static openmpt_module       *playerModule;        // the one loaded module, or null
static std::atomic<uint32_t> playerPosition{0};   // order | row << 16 as last mixed
static char                  playerMessage[512];  // why the last failing call failed
static int                   playerOrders;        // entries in the loaded module's order list

// The ring of stamped positions. Only the audio thread writes entries and
// ringWritten (the count of entries ever written); only the main thread reads
// them, in playerGetPosition. Every field is an atomic, so an entry the writer
// laps while it is being read is only dropped, never torn into a wrong pair.
static std::atomic<uint32_t> ringPosition[ringSize]; // order | row << 16
static std::atomic<int64_t>  ringDue[ringSize];      // steady-clock ns at which its first sample is due
static std::atomic<uint32_t> ringWritten{0};
static uint32_t              ringFirst;              // main thread: entries before this one are void (a load or a jump)
static uint32_t              heardPosition = 0;      // main thread: the position last released
static uint32_t              lastStamped   = ~0u;    // audio thread (main thread with the device locked): the newest entry's position

static int64_t steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

static void setError(const char *format, const char *detail)
{
    snprintf(playerMessage, sizeof playerMessage, format, detail);
}

const char *playerError()
{
    return playerMessage;
}

static uint32_t mixedPosition()
{
    uint32_t order = (uint32_t)openmpt_module_get_current_order(playerModule) & 0xFFFF;
    uint32_t row   = (uint32_t)openmpt_module_get_current_row(playerModule) & 0xFFFF;
    return order | row << 16;
}

int playerRender(int16_t *stereo, int frames)
{
    if (!playerModule) return 0;
    int done = (int)openmpt_module_read_interleaved_stereo(playerModule, playerRate, frames, stereo);
    playerPosition.store(mixedPosition(), std::memory_order_release);
    return done;
}

uint32_t releasedPosition(const PositionStamp *stamps, int count, int64_t now, uint32_t before)
{
    for (int i = count - 1; i >= 0; i--)
        if (stamps[i].due <= now) return stamps[i].position;
    return before;
}

// Audio thread. Fills the whole buffer, silence where the module has nothing.
// SDL2 reports no latency, so what is counted is SDL's own device buffer: what
// is mixed now is taken to be heard once one buffer of the size SDL obtained
// (queuedFrames) has played ahead of it. That is the least a driver that plays
// whole buffers holds; a sound server may hold less (through PulseAudio the cut
// then trails the sound by about 8 ms, where counting nothing leads it by 3) or
// a sound card more, which no SDL2 call tells. A row begins somewhere in the step
// after which libopenmpt first reports it, so its stamp is the start of that
// step: at most one step (1.5 ms) early.
static void fillAudio(void *, Uint8 *stream, int bytes)
{
    int64_t now = steadyNow();
    int16_t *out = (int16_t *)stream;
    int frames = bytes / (int)(2 * sizeof(int16_t));
    for (int at = 0; at < frames; at += stepFrames) {
        int step = frames - at < stepFrames ? frames - at : stepFrames;
        int done = playerModule ? (int)openmpt_module_read_interleaved_stereo(playerModule, playerRate, step, out + 2 * at) : 0;
        if (done < step)
            memset(out + 2 * (at + done), 0, (size_t)(step - done) * 2 * sizeof(int16_t));
        if (!playerModule) continue;
        uint32_t position = mixedPosition();
        playerPosition.store(position, std::memory_order_release);
        if (position == lastStamped) continue;
        lastStamped = position;
        uint32_t n = ringWritten.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release); // the count before this entry is seen before its slot
        ringPosition[n % ringSize].store(position, std::memory_order_relaxed);
        ringDue[n % ringSize].store(now + (int64_t)(queuedFrames + at) * 1000000000 / playerRate,
                                    std::memory_order_relaxed);
        ringWritten.store(n + 1, std::memory_order_release);
    }
}

// With the device locked: what was stamped so far no longer counts, and the
// position given is the one heard until the callback stamps another.
static void restartRing(uint32_t position)
{
    ringFirst     = ringWritten.load(std::memory_order_acquire);
    heardPosition = position;
    lastStamped   = position;
}

int playerInit(int device, int rate)
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
    playerRate   = have.freq;
    queuedFrames = have.samples;
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
        if (!(flags & 1)) continue;  // no data
        uint64_t frames = le32(sample + 0x30), pointer = le32(sample + 0x48);
        if (flags & 8) {
            // Compressed: blocks of 0x8000 bytes' worth of frames per channel, each
            // a 16-bit byte count and that many bytes.
            uint64_t perBlock = flags & 2 ? 0x4000 : 0x8000;
            for (int channel = 0; channel < (flags & 4 ? 2 : 1); channel++)
                for (uint64_t done = 0; done < frames; done += perBlock) {
                    if (pointer + 2 > size) return "the file is cut off inside the sample data";
                    pointer += 2 + le16(data + pointer);
                }
            if (pointer > size) return "the file is cut off inside the sample data";
            continue;
        }
        uint64_t bytes = frames * (flags & 2 ? 2 : 1) * (flags & 4 ? 2 : 1);
        if (pointer + bytes > size) return "the file is cut off inside the sample data";
    }
    for (size_t i = 0; i < patterns; i++, table += 4) {
        uint64_t at = le32(table);
        if (at == 0) continue;  // an empty pattern, stored as no data at all
        if (at + 8 > size || at + 8 + le16(data + at) > size) return "the file is cut off inside a pattern";
    }
    return nullptr;
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
        // One byte past the largest module tells a file that is too large.
        if (const char *problem = readPlainFile(name, offset, largestModule + 1, data)) {
            setError("%s", problem);
            return 0;
        }
        if (data.size() > largestModule) {
            setError("%s", "the file is too large for a module");
            return 0;
        }
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
    // libopenmpt's own reason, code and message, goes into the one line; its
    // log stays quiet so nothing else reaches standard error.
    int error = 0;
    const char *reason = nullptr;
    openmpt_module *module = openmpt_module_create_from_memory2(
        data.data(), data.size(), logNothing, nullptr, nullptr, nullptr, &error, &reason, nullptr);
    if (!module) {
        snprintf(playerMessage, sizeof playerMessage, "libopenmpt: error %d: %s", error,
                 reason && *reason ? reason : openmpt_error_string(error));
        openmpt_free_string(reason);
        return 0;
    }
    openmpt_free_string(reason);
    openmpt_module_set_repeat_count(module, (flags & playerLooping) ? -1 : 0);
    // libopenmpt ramps volume by default; -1 keeps its default, 0 would switch it off.
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                    (flags & playerRamping) ? -1 : 0);
    // libopenmpt dithers its 16-bit output with noise seeded anew at each load.
    if (flags & playerExact) openmpt_module_ctl_set_integer(module, "dither", 0);
    if (playerDevice) SDL_LockAudioDevice(playerDevice);
    if (playerModule) openmpt_module_destroy(playerModule);
    playerModule = module;
    playerOrders = openmpt_module_get_num_orders(module);
    playerPosition.store(0);
    restartRing(0);
    if (playerDevice) SDL_UnlockAudioDevice(playerDevice);
    return 1;
}

// The audio thread owns the module while the device plays, so the jump is made
// with the device locked, between two of its buffers. libopenmpt stops every
// channel's note when it seeks. While the device plays, what it queued before
// the jump is still heard first, and the callback stamps the new position;
// otherwise nothing is on its way and the new position holds at once.
int playerSetOrder(int order)
{
    if (!playerModule || order < 0 || order >= playerOrders) return 0;
    if (playerDevice) SDL_LockAudioDevice(playerDevice);
    openmpt_module_set_position_order_row(playerModule, order, 0);
    playerPosition.store(mixedPosition(), std::memory_order_release);
    if (!playerDevice || SDL_GetAudioDeviceStatus(playerDevice) != SDL_AUDIO_PLAYING)
        restartRing(mixedPosition());
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

// Main thread. Without a device the position is the one last rendered
// (tools render offline); with one, the newest stamp whose moment has come.
uint32_t playerGetPosition()
{
    if (!playerDevice) return playerPosition.load(std::memory_order_acquire);
    PositionStamp stamps[ringSize];
    uint32_t written = ringWritten.load(std::memory_order_acquire);
    uint32_t first = written - ringFirst > (uint32_t)ringSize ? written - ringSize : ringFirst;
    int count = 0;
    for (uint32_t n = first; n != written; n++)
        stamps[count++] = {ringPosition[n % ringSize].load(std::memory_order_relaxed),
                           ringDue[n % ringSize].load(std::memory_order_relaxed)};
    // Entry n is sound only while the writer has not begun entry n + ringSize, in
    // the same slot; those it has begun since are the oldest copied: dropped.
    std::atomic_thread_fence(std::memory_order_acquire);
    uint32_t begun = ringWritten.load(std::memory_order_relaxed) + 1;
    int skip = 0;
    while (skip < count && begun - (first + skip) > (uint32_t)ringSize) skip++;
    heardPosition = releasedPosition(stamps + skip, count - skip, steadyNow(), heardPosition);
    return heardPosition;
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
