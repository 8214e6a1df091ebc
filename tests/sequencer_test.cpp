// The sequencer over a table of recording scenes, with the player position and
// the clock handed in: which row plays for each order, what sceneTime it gets,
// and how the demo ends.
#include "shell.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Frame { int row, sceneTime; };
std::vector<Frame> frames;   // what the recording scenes were asked to draw
int clockNow;                // ms; every read moves the clock on by one

int tickingClock() { return clockNow++; }
template <int row> void recordScene(int sceneTime) { frames.push_back({row, sceneTime}); }

// The demo's own end orders with recording scenes in place of the real ones.
SceneEntry testTable[10];

class Sequencer : public ::testing::Test {
protected:
    void SetUp() override
    {
        const SceneFunction scenes[] = {recordScene<0>, recordScene<1>, recordScene<2>, recordScene<3>,
                                        recordScene<4>, recordScene<5>, recordScene<6>, recordScene<7>,
                                        recordScene<8>, recordScene<9>};
        for (int i = 0; i < 10; i++) testTable[i] = {scenes[i], sceneTable[i].endOrder};
        frames.clear();
        startSequencer(0, 0);
        clockNow = 1000;
    }
    Frame frame(uint32_t order, uint32_t row = 0)
    {
        runSequencer(testTable, order | row << 16, tickingClock);
        return frames.back();
    }
};

} // namespace

// The clock is read again after a change, so the new scene starts near 0.
TEST_F(Sequencer, ChangesRowAtTheEndOrderItselfAndRestartsSceneTime)
{
    const struct { uint32_t order, row; int expectedRow, sceneTime; } steps[] = {
        {3, 60, 0, 1000},       // the row half of the position is never read
        {4, 0, 1, 1},           // equal to row 0's end order
        {5, 0, 1, 2},
        {0, 0xFFFF, 1, 3},      // a wrapping module never moves the table back
    };
    for (const auto &s : steps) {
        Frame f = frame(s.order, s.row);
        EXPECT_EQ(f.row, s.expectedRow) << "order " << s.order;
        EXPECT_EQ(f.sceneTime, s.sceneTime) << "order " << s.order;
    }
}

TEST_F(Sequencer, AnOrderFarAheadMovesOneRowPerFrame)
{
    for (int row = 1; row <= 9; row++) EXPECT_EQ(frame(65535).row, row);
    startSequencer(1, 0);
    for (int row : {2, 3, 4, 5, 5}) EXPECT_EQ(frame(20).row, row) << "row 5 ends at order 24";
}

// Row 9 is the way out: whatever order follows, a table whose last scene
// returns (as the tools' do) stays on it and never reads past its end.
TEST_F(Sequencer, TheLastRowIsNeverLeft)
{
    startSequencer(9, 0);
    for (uint32_t order : {38u, 65535u, 0u}) EXPECT_EQ(frame(order).row, 9) << "order " << order;
}
