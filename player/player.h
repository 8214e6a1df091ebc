// The music layer: plays one tracker module through libopenmpt and SDL2 audio.
// This folder is the only place that knows either library. The demo plays with
// seven calls (init, load, play, position, stop, free, shutdown); start-up also
// jumps to an order and counts them, every failing call explains itself in
// playerError, and tools render offline with playerRender.
#pragma once
#include <cstdint>

// Load behaviours asked for by playerLoadModule (bit flags).
enum {
    playerRamping = 1, // libopenmpt's volume ramping; without it, none (the page's worklet always ramps)
    playerLooping = 2, // play the module forever, starting again after its end
    playerExact   = 4  // no dither: every render gives the same samples (offline tools)
};

int      playerInit(int device, int rate);               // -1 = default device; non-zero on success
// From a file: name is its path, length 0 reads it whole. From memory (fromMemory
// non-zero): name points at the bytes, offset and length say which of them.
int      playerLoadModule(int fromMemory, const char *name, int offset, int length, int flags); // non-zero on success
int      playerPlay();                                   // starts the device; the result is not looked at
// Low 16 bits: order, high 16 bits: row. With a device open, the position being
// heard: each position is released once its first sample is due at the device.
// Without one, the position playerRender reached.
uint32_t playerGetPosition();
int      playerStop();
int      playerFreeModule();
int      playerShutdown();

// Moves the loaded module to the start of an order, notes stopped; the device
// may be playing (the jump is made between two audio buffers). Non-zero on
// success. The page always plays from the start and answers 0.
int      playerSetOrder(int order);
int      playerOrderCount();                             // entries in the loaded module's order list, 0 without one (the page: always 0)
const char *playerError();                               // why the last failing call failed, one line

// Offline use (tools, tests, capture): renders the next frames of the loaded module
// as interleaved 16-bit stereo at the rate given to playerInit (44100 Hz without
// playerInit). Only while the device is not playing. Returns frames rendered.
int      playerRender(int16_t *stereo, int frames);

// The rule playerGetPosition applies, with the clock handed in: of the stamps,
// oldest first, the position of the newest one due by now, or before if none is.
struct PositionStamp {
    uint32_t position; // order | row << 16
    int64_t  due;      // steady-clock ns at which its first sample reaches the device
};
uint32_t releasedPosition(const PositionStamp *stamps, int count, int64_t now, uint32_t before);
