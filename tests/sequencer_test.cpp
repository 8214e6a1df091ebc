// The sequencer over a table of recording scenes, with the player position and
// the clock handed in: when rows change, what sceneTime each frame gets, and
// how the demo ends.
#include "gl_capture.h"
#include "shell.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Frame { int row, sceneTime; };
std::vector<Frame> frames;   // what the recording scenes were asked to draw
int clockNow;                // ms; every read moves the clock on by one

int tickingClock() { return clockNow++; }

template <int row> void recordScene(int sceneTime) { frames.push_back({row, sceneTime}); }
void endScene(int) { frames.push_back({9, -1}); }

// The demo's own end orders with recording scenes in place of the real ones.
SceneEntry testTable[10];

class Sequencer : public ::testing::Test {
protected:
    void SetUp() override
    {
        const SceneFunction scenes[] = {recordScene<0>, recordScene<1>, recordScene<2>, recordScene<3>,
                                        recordScene<4>, recordScene<5>, recordScene<6>, recordScene<7>,
                                        recordScene<8>, endScene};
        for (int i = 0; i < 10; i++) testTable[i] = {scenes[i], sceneTable[i].endOrder};
        frames.clear();
        currentScene = 0;
        sceneStartTime = 0;
        clockNow = 1000;
    }
    void frame(uint32_t order, uint32_t row = 0) { runSequencer(testTable, order | row << 16, tickingClock); }
};

} // namespace

TEST_F(Sequencer, PlaysEachSceneForFourOrdersAndTheLastForSix)
{
    for (uint32_t order = 0; order < 38; order++) {
        frame(order);
        EXPECT_EQ(frames.back().row, order < 32 ? (int)order / 4 : 8) << "order " << order;
    }
    frame(38);
    EXPECT_EQ(frames.back().row, 9) << "order 38 ends the demo without drawing";
}

TEST_F(Sequencer, ChangesRowExactlyAtTheEndOrderAndRestartsSceneTime)
{
    sceneStartTime = 0;
    frame(3);
    EXPECT_EQ(frames.back().row, 0);
    EXPECT_EQ(frames.back().sceneTime, 1000);
    frame(4); // equal to row 0's end order
    EXPECT_EQ(frames.back().row, 1);
    EXPECT_EQ(sceneStartTime, 1001);
    EXPECT_EQ(frames.back().sceneTime, 1) << "the clock is read again after the change";
    frame(5);
    EXPECT_EQ(frames.back().row, 1);
    EXPECT_EQ(frames.back().sceneTime, 2);
}

TEST_F(Sequencer, OrdersFarAheadMoveOneRowPerFrame)
{
    currentScene = 1;
    for (int expected = 2; expected <= 5; expected++) {
        frame(20);
        EXPECT_EQ(frames.back().row, expected);
        EXPECT_LE(frames.back().sceneTime, 1);
    }
    frame(20);
    EXPECT_EQ(frames.back().row, 5) << "row 5 ends at 24, after order 20";
}

TEST_F(Sequencer, AnOrderOf65535WalksThroughEveryRowAndEndsInTheNinthFrame)
{
    for (int i = 1; i <= 9; i++) frame(65535);
    ASSERT_EQ(frames.size(), 9u);
    for (int i = 0; i < 8; i++) EXPECT_EQ(frames[i].row, i + 1);
    EXPECT_EQ(frames[8].row, 9);
}

TEST_F(Sequencer, ReadsOnlyTheOrderHalfOfThePosition)
{
    frame(3, 60);
    frame(0, 0xFFFF);
    EXPECT_EQ(frames.back().row, 0);
}

// A module that loops before the last scene's end: the table never goes back
// and the running scene just goes on.
TEST_F(Sequencer, AWrappingModuleKeepsTheRunningSceneGoing)
{
    currentScene = 2;
    sceneStartTime = 500;
    frame(11);
    frame(0);
    frame(1);
    EXPECT_EQ(frames.back().row, 2);
    EXPECT_EQ(frames.back().sceneTime, 1002 - 500);
}

// The way out runs in a child started afresh: a forked copy of a process with
// a live GL context cannot run the driver's exit handlers safely.
TEST(SceneTable, EndsWithTheWayOut)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EQ(sceneTable[9].draw, stopMusicAndExitScene);
    ensureGlContext();
    EXPECT_EXIT(stopMusicAndExitScene(123), ::testing::ExitedWithCode(0), "");
}
