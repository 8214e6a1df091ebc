// The scene sequencer: it ties the pictures to the music by moving through the
// scene table as the module's order number passes each row's end order. The
// audio stream is the master clock; each platform's display callback runs it.
#include "shell.h"
#include "scenes.h"
#include <cstdint>

static void stopMusicAndExitScene(int); // the way out, as a row of the table

const SceneEntry sceneTable[sceneRows] = {
    {drawTrailsScene,       4}, // orders  0- 3: Lissajous cube trails, fade from white
    {drawTitleScene,        8}, // orders  4- 7: exploding crosses under the title
    {drawHouseScene,       12}, // orders  8-11: house and walker
    {drawLatticeScene,     16}, // orders 12-15: flight through the cross lattice
    {drawRoadScene,        20}, // orders 16-19: car on the country road
    {drawFountainScene,    24}, // orders 20-23: particle fountain
    {drawFireScene,        28}, // orders 24-27: voxel fire
    {drawCorridorScene,    32}, // orders 28-31: torch-lit corridor
    {drawAscentScene,      38}, // orders 32-37: the climb into space, fade to black
    {stopMusicAndExitScene, UINT32_MAX}, // order 38: the way out; no order reaches its end, so the table ends here
};

const char *const sceneNames[lastScene + 1] = {
    "trails", "title", "house", "lattice", "road", "fountain", "fire", "corridor", "ascent",
};

int currentScene   = 0; // index of the running row
int sceneStartTime = 0; // clock ms at which the running row began

void startSequencer(int scene, int clockMs)
{
    currentScene   = scene;
    sceneStartTime = clockMs;
}

// The table never moves backwards: if the module wraps before a row's end order,
// that scene simply goes on. An order far ahead moves one row per frame.
// The clock is read again after a change, so a new scene starts at 0 or a
// millisecond or two.
void runSequencer(const SceneEntry *table, uint32_t position, int (*readClock)())
{
    uint32_t order = position & 0xFFFF; // the high half is the row, not used
    if (order >= table[currentScene].endOrder) {
        currentScene++;
        sceneStartTime = readClock();
    }
    int sceneTime = readClock() - sceneStartTime;
    table[currentScene].draw(sceneTime);
}

static void stopMusicAndExitScene(int)
{
    stopMusicAndExit();
}
