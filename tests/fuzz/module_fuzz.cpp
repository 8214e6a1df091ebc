// Fuzz target: any bytes handed to the music layer as a module, played for a
// moment when they are accepted, then released, as the demo does.
#include "player.h"
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20) return 0;
    static int16_t stereo[2 * 1024];
    const int flags = playerRamping | playerLooping;
    if (playerLoadModule(1, (const char *)data, 0, (int)size, flags)) {
        if (playerOrderCount() < 0) __builtin_trap();
        for (int block = 0; block < 8; block++) playerRender(stereo, 1024);
        uint32_t position = playerGetPosition();
        if ((position & 0xFFFF) > 0xFFFF) __builtin_trap();
        playerFreeModule();
    } else if (strlen(playerError()) == 0 || strchr(playerError(), '\n')) {
        __builtin_trap(); // a refusal always says why, in one line
    }
    return 0;
}
