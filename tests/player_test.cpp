// The music layer without a device: what it says about files it cannot play,
// and the position it publishes as the module renders.
#include "player.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

std::string writeTemp(const std::string &bytes)
{
    char path[] = "/tmp/cubic-harmony-module-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    close(fd);
    return path;
}

const int loadFlags = playerRamping | playerLooping | playerNoteReset;

} // namespace

TEST(Player, RefusesFilesItCannotPlayAndSaysWhy)
{
    EXPECT_EQ(playerLoadModule(0, "/nonexistent/zap_wave.it", 0, 0, loadFlags), 0);
    EXPECT_NE(std::string(playerError()).find("cannot open"), std::string::npos) << playerError();

    const struct { const char *what; std::string bytes; const char *says; } bad[] = {
        {"empty",        "",                                  "empty"},
        {"random bytes", std::string(5000, '\x5a'),           "not a module"},
        {"a bare magic", std::string("IMPM") + std::string(60, '\0'), "cut off"},
    };
    for (const auto &file : bad) {
        std::string path = writeTemp(file.bytes);
        EXPECT_EQ(playerLoadModule(0, path.c_str(), 0, 0, loadFlags), 0) << file.what;
        EXPECT_NE(std::string(playerError()).find(file.says), std::string::npos) << file.what << ": " << playerError();
        unlink(path.c_str());
    }
}

// The generated module, rendered offline: the row half of the position moves
// on while the order half names the first order.
TEST(Player, PublishesOrderAndRowAsItRenders)
{
    ASSERT_NE(playerLoadModule(0, BUILD_DIR "/zap_wave.it", 0, 0, loadFlags), 0) << playerError();
    EXPECT_EQ(playerGetPosition(), 0u);
    std::vector<int16_t> buffer(2 * 4410);
    uint32_t lastRow = 0;
    for (int i = 0; i < 10; i++) { // one second
        ASSERT_EQ(playerRender(buffer.data(), 4410), 4410);
        uint32_t position = playerGetPosition();
        EXPECT_EQ(position & 0xFFFF, 0u);
        EXPECT_GE(position >> 16, lastRow);
        lastRow = position >> 16;
    }
    EXPECT_GE(lastRow, 7u) << "a second of music is several rows";
    EXPECT_EQ(playerOrderCount(), 40);
    playerFreeModule();
    EXPECT_EQ(playerRender(buffer.data(), 10), 0);
    EXPECT_EQ(playerOrderCount(), 0);
}

// The same module handed over as bytes in memory, and a piece of it.
TEST(Player, LoadsFromMemory)
{
    std::ifstream in(BUILD_DIR "/zap_wave.it", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_NE(playerLoadModule(1, bytes.data(), 0, (int)bytes.size(), loadFlags), 0) << playerError();
    EXPECT_EQ(playerOrderCount(), 40);
    std::vector<int16_t> buffer(2 * 4410);
    EXPECT_EQ(playerRender(buffer.data(), 4410), 4410);
    EXPECT_EQ(playerLoadModule(1, bytes.data(), 0, (int)bytes.size() - 1, loadFlags), 0);
    EXPECT_NE(std::string(playerError()).find("cut off"), std::string::npos) << playerError();
    playerFreeModule();
}
