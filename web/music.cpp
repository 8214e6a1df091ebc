// The page's music engine, libopenmpt.wasm: libopenmpt as scripts/web-libopenmpt
// builds it, behind the few calls music-engine.js makes, in the audio worklet
// and for the silent clock. One module at a time, played as the desktop's player
// layer plays it (libopenmpt's own ramping and interpolation) without dither.
#include <libopenmpt/libopenmpt.h>
#include <cstdint>
#include <cstdlib>

static openmpt_module *musicModule; // the loaded module, or null

static void logNothing(const char *, void *) {}

extern "C" {

// Room for the module's bytes, filled by the caller before musicLoad.
void *musicAlloc(int bytes) { return std::malloc((size_t)bytes); }
void  musicRelease(void *at) { std::free(at); }

void musicFree()
{
    if (musicModule) openmpt_module_destroy(musicModule);
    musicModule = nullptr;
}

// Non-zero when libopenmpt reads the module. looping: from its end back to its start, forever.
int musicLoad(const uint8_t *bytes, int length, int looping)
{
    musicFree();
    musicModule = openmpt_module_create_from_memory2(bytes, (size_t)length, logNothing, nullptr,
                                                     nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!musicModule) return 0;
    openmpt_module_set_repeat_count(musicModule, looping ? -1 : 0);
    // libopenmpt dithers its 16-bit output with noise seeded anew at each load.
    openmpt_module_ctl_set_integer(musicModule, "dither", 0);
    return 1;
}

// Interleaved 16-bit stereo; the frames rendered, 0 at the end of a module that does not loop.
int musicRender(int16_t *stereo, int frames, int rate)
{
    return musicModule ? (int)openmpt_module_read_interleaved_stereo(musicModule, rate, (size_t)frames, stereo) : 0;
}

// Order | row << 16, as libopenmpt has mixed so far.
uint32_t musicPosition()
{
    if (!musicModule) return 0;
    uint32_t order = (uint32_t)openmpt_module_get_current_order(musicModule) & 0xFFFF;
    uint32_t row   = (uint32_t)openmpt_module_get_current_row(musicModule) & 0xFFFF;
    return order | row << 16;
}

// The second at which an order starts; the module is left there.
double musicOrderStart(int order)
{
    return musicModule ? openmpt_module_set_position_order_row(musicModule, order, 0) : 0;
}

} // extern "C"
