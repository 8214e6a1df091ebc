// The demo's own generator: a 32-bit linear congruential generator. Scenes reseed
// it every frame and their layouts depend on this exact sequence.
#include "kit.h"

static uint32_t demoSeed = 1; // changed only by demoSrand and demoRand

int demoRand()
{
    demoSeed = demoSeed * 214013u + 2531011u; // wraps modulo 2^32
    return (int)((demoSeed >> 16) & 32767);
}

void demoSrand(uint32_t seed)
{
    demoSeed = seed;
}
