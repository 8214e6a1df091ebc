// The music layer: plays one tracker module through libopenmpt and SDL2 audio.
// This folder is the only place that knows either library. The rest of the demo
// sees seven calls named by their roles, plus an offline renderer for tools.
#pragma once
#include <cstdint>

// Load behaviours asked for by playerLoadModule (bit flags).
enum {
    playerRamping   = 1, // normal volume ramping
    playerLooping   = 2, // play the module forever, starting again after its end
    playerNoteReset = 4  // stop all notes when the position jumps
};

int      playerInit(int device, int rate, int flags);   // -1 = default device; non-zero on success
// From a file: name is its path, length 0 reads it whole. From memory (fromMemory
// non-zero): name points at the bytes, offset and length say which of them.
int      playerLoadModule(int fromMemory, const char *name, int offset, int length, int flags); // non-zero on success
int      playerPlay();                                   // starts the device; the result is not looked at
uint32_t playerGetPosition();                            // low 16 bits: order, high 16 bits: row
int      playerStop();
int      playerFreeModule();
int      playerShutdown();

// Moves the loaded module to the start of an order, notes stopped; the device
// may be playing (the jump is made between two audio buffers). Non-zero on success.
int      playerSetOrder(int order);
int      playerOrderCount();                             // entries in the loaded module's order list, 0 without one
const char *playerError();                               // why the last failing call failed, one line

// Offline use (tools, tests, capture): renders the next frames of the loaded module
// as interleaved 16-bit stereo at the rate given to playerInit (44100 Hz without
// playerInit). Only while the device is not playing. Returns frames rendered.
int      playerRender(int16_t *stereo, int frames);
