// Frames allocate nothing: every scene is played through the sequencer for a
// few hundred frames over do-nothing GL stand-ins, so no driver allocates on
// its own account, while every heap allocation is counted. A program of its
// own: the counting hooks would otherwise see every other test's allocations.
#include "kit.h"
#include "scenes.h"
#include "shell.h"
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

static bool counting;      // inside the window being checked
static long allocations;   // heap allocations seen while counting
static long boxesDrawn;    // glBegin calls while counting: proof the frames drew

// The program links with malloc, calloc, realloc and glBegin wrapped, which
// reaches every call from our own objects; operator new is replaced outright,
// so containers count wherever they live.
extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *old, size_t size);
void  __real_glBegin(GLenum mode);

void *__wrap_malloc(size_t size) { allocations += counting; return __real_malloc(size); }
void *__wrap_calloc(size_t count, size_t size) { allocations += counting; return __real_calloc(count, size); }
void *__wrap_realloc(void *old, size_t size) { allocations += counting; return __real_realloc(old, size); }
void __wrap_glBegin(GLenum mode) { boxesDrawn += counting; __real_glBegin(mode); }
}

// These are the allocator: new takes from malloc, so delete gives back to free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void *operator new(size_t size)
{
    if (counting) allocations++;
    void *p = __real_malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void *operator new[](size_t size) { return operator new(size); }
void operator delete(void *p) noexcept { free(p); }
void operator delete[](void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }
void operator delete[](void *p, size_t) noexcept { free(p); }

static int fakeNow; // ms: the clock the sequencer reads
static int fakeClock() { return fakeNow; }

void *volatile keptPointer; // where the probe's allocations go, so none is optimised away

// Without this the scene check could never fail: the hooks must see a
// container, a plain new and a malloc made while counting, and nothing after.
TEST(Allocation, TheHooksSeeAllocationsInsideTheWindowOnly)
{
    allocations = 0;
    counting = true;
    std::vector<int> *numbers = new std::vector<int>(100);
    keptPointer = numbers;
    keptPointer = malloc(64);
    counting = false;
    EXPECT_EQ(allocations, 3);
    free(keptPointer);
    delete numbers;
    std::string outside(1000, 'x');
    EXPECT_EQ(allocations, 3);
}

// Each scene from its first frame across its whole length (15 s at 50 ms a
// frame, so the simulations catch up several steps a frame), with the font
// loaded so the text draws its cubes.
TEST(Allocation, NoSceneAllocatesInAnyFrame)
{
    char error[512];
    ASSERT_TRUE(loadBlockFontFrom(BUILD_DIR "/fontpre.tga", error, sizeof error)) << error;
    const int frames = 300, frameLength = 50;
    for (int row = 0; row < 9; row++) {
        startSequencer(row, 0);
        uint32_t order = sceneTable[row].endOrder - 1; // the row's last order: it keeps running
        allocations = 0;
        boxesDrawn = 0;
        counting = true;
        for (int k = 0; k < frames; k++) {
            fakeNow = k * frameLength;
            runSequencer(sceneTable, order, fakeClock);
        }
        counting = false;
        EXPECT_EQ(currentScene, row);
        EXPECT_EQ(allocations, 0) << "scene row " << row;
        EXPECT_GT(boxesDrawn, frames) << "scene row " << row << " drew next to nothing";
    }
}
