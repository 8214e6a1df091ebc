// The font loader and glyph drawing, on font pictures written by the tests:
// where each character is read from, what each colour index becomes, and how
// every kind of broken file is refused before anything is decoded.
#include "gl_capture.h"
#include "kit.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A font picture in the layout the loader expects: 18-byte header, 256 colour
// map entries of 24 bits, then 64 stored rows of 256 indices, bottom row first.
struct FontPicture {
    uint8_t upright[64][256]; // [row from the top][column]

    FontPicture() { memset(upright, 1, sizeof upright); }

    void setCell(int c, int row, int column, uint8_t index)
    {
        upright[8 * (c / 32) + row][8 * (c % 32) + column] = index;
    }

    std::vector<uint8_t> bytes() const
    {
        std::vector<uint8_t> file(18, 0);
        file[1] = 1;             // colour map present
        file[2] = 1;             // uncompressed, colour-mapped
        file[5] = 0; file[6] = 1; // 256 map entries
        file[7] = 24;            // of 24 bits
        file[12] = 0; file[13] = 1; // width 256
        file[14] = 64;           // height 64
        file[16] = 8;            // 8 bits per pixel
        file.resize(786, 0x40);  // the colour map is never looked at
        for (int stored = 0; stored < 64; stored++)
            file.insert(file.end(), upright[63 - stored], upright[63 - stored] + 256);
        return file;
    }
};

std::string writeTemp(const std::vector<uint8_t> &bytes)
{
    char path[] = "/tmp/cubic-harmony-font-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    close(fd);
    return path;
}

bool load(const std::vector<uint8_t> &bytes, std::string *message = nullptr)
{
    std::string path = writeTemp(bytes);
    char error[512] = "";
    bool ok = loadBlockFontFrom(path.c_str(), error, sizeof error);
    if (message) *message = error;
    if (!ok) {
        EXPECT_NE(std::string(error).find(path), std::string::npos) << "the message names the file";
    }
    unlink(path.c_str());
    return ok;
}

int solidCells(int c)
{
    int n = 0;
    for (int j = 0; j < 8; j++)
        for (int k = 0; k < 8; k++) n += glyphCells[c][j][k].solid;
    return n;
}

} // namespace

// Every character gets one marked cell at a place of its own, so a mix-up of
// rows, columns or characters shows.
TEST(FontLoader, ReadsEachCharacterFromItsOwnBoxOfTheUprightPicture)
{
    FontPicture picture;
    for (int c = 0; c < 256; c++) picture.setCell(c, c % 8, (c / 8) % 8, 2);
    ASSERT_TRUE(load(picture.bytes()));
    for (int c = 0; c < 256; c++) {
        ASSERT_EQ(solidCells(c), 1) << "character " << c;
        EXPECT_TRUE(glyphCells[c][c % 8][(c / 8) % 8].solid) << "character " << c;
    }
}

TEST(FontLoader, CharacterZeroIsTopLeftAndCharacter255BottomRight)
{
    FontPicture picture;
    picture.upright[0][0] = 0;       // top-left pixel of the picture
    picture.upright[63][255] = 200;  // bottom-right pixel
    ASSERT_TRUE(load(picture.bytes()));
    const GlyphCell &first = glyphCells[0][0][0], &last = glyphCells[255][7][7];
    EXPECT_EQ(first.solid, 1);
    EXPECT_EQ(first.red, 0); EXPECT_EQ(first.green, 0); EXPECT_EQ(first.blue, 130);
    EXPECT_EQ(last.solid, 1);
    EXPECT_EQ(last.red, 255); EXPECT_EQ(last.green, 255); EXPECT_EQ(last.blue, 255);
    EXPECT_EQ(solidCells(0), 1);
    EXPECT_EQ(solidCells(255), 1);
    EXPECT_EQ(solidCells('A'), 0);
}

TEST(FontLoader, ColourIndicesBecomeDarkBlueEmptyOrWhite)
{
    FontPicture picture;
    picture.setCell('A', 0, 0, 0);
    picture.setCell('A', 0, 1, 1);
    picture.setCell('A', 0, 2, 2);
    picture.setCell('A', 0, 3, 255);
    ASSERT_TRUE(load(picture.bytes()));
    const GlyphCell *row = glyphCells['A'][0];
    EXPECT_EQ(row[0].blue, 130);  EXPECT_EQ(row[0].solid, 1);
    EXPECT_EQ(row[1].solid, 0);   EXPECT_EQ(row[1].blue, 0);
    EXPECT_EQ(row[2].red, 255);   EXPECT_EQ(row[2].solid, 1);
    EXPECT_EQ(row[3].green, 255); EXPECT_EQ(row[3].solid, 1);
}

TEST(FontLoader, RefusesBrokenFilesAndKeepsTheStoreUntouched)
{
    FontPicture picture;
    picture.setCell('Q', 3, 3, 2);
    std::vector<uint8_t> good = picture.bytes();
    ASSERT_TRUE(load(good));

    auto withByte = [&](size_t at, uint8_t value) { auto b = good; b[at] = value; return b; };
    const struct { const char *what; std::vector<uint8_t> bytes; const char *says; } broken[] = {
        {"empty",                  {},                                                   "too short"},
        {"inside the header",      std::vector<uint8_t>(good.begin(), good.begin() + 10), "too short"},
        {"without pixels",         std::vector<uint8_t>(good.begin(), good.begin() + 786), "too short"},
        {"one byte short",         std::vector<uint8_t>(good.begin(), good.end() - 1),   "too short"},
        {"with an image-ID field", withByte(0, 5),                                       "image-ID"},
        {"true-colour",            withByte(2, 2),                                       "colour-mapped"},
        {"run-length compressed",  withByte(2, 9),                                       "colour-mapped"},
        {"128 pixels wide",        withByte(13, 0),                                      "256 x 64"},
        {"with 16-bit map entries",withByte(7, 16),                                      "colour map"},
        {"with 16 bits per pixel", withByte(16, 16),                                     "8 bits"},
    };
    for (const auto &file : broken) {
        std::string message;
        EXPECT_FALSE(load(file.bytes, &message)) << file.what;
        EXPECT_NE(message.find(file.says), std::string::npos) << file.what << ": " << message;
        EXPECT_EQ(solidCells('Q'), 1) << file.what << " must not touch the store";
    }
}

TEST(FontLoader, RefusesAMissingFileAndADirectory)
{
    char error[512];
    EXPECT_FALSE(loadBlockFontFrom("/nonexistent/fontpre.tga", error, sizeof error));
    EXPECT_NE(std::string(error).find("cannot open"), std::string::npos) << error;
    char dir[] = "/tmp/cubic-harmony-dir-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    EXPECT_FALSE(loadBlockFontFrom(dir, error, sizeof error));
    EXPECT_NE(std::string(error).find(dir), std::string::npos) << error;
    rmdir(dir);
}

TEST(Glyph, DrawsOneCubePerSolidCellTopRowFirstInTheCellsColour)
{
    FontPicture picture;
    picture.setCell('B', 0, 0, 2); // top-left, white
    picture.setCell('B', 7, 7, 0); // bottom-right, dark blue
    ASSERT_TRUE(load(picture.bytes()));
    auto runs = captureDraw([] { drawGlyph(10, 0, 0, 0.5f, 0.5f, 0.5f, 'B' + 256); });
    ASSERT_EQ(runs.size(), 2u);
    Bounds first = boundsOf({runs[0]}), second = boundsOf({runs[1]});
    // At size 0.5 a character covers 2 x 2 units and each cell a quarter unit.
    EXPECT_NEAR(first.minX, 9, 1e-5);    EXPECT_NEAR(first.maxX, 9.25, 1e-5);
    EXPECT_NEAR(first.maxY, 1, 1e-5);    EXPECT_NEAR(first.minY, 0.75, 1e-5);
    EXPECT_NEAR(first.maxZ, 0.125, 1e-5);
    EXPECT_NEAR(second.maxX, 11, 1e-5);  EXPECT_NEAR(second.minY, -1, 1e-5);
    const CapturedVertex &top = runs[0].vertices[8]; // the +Y side: colour as given
    EXPECT_FLOAT_EQ(top.r, 255 / 256.0f);
    const CapturedVertex &blueTop = runs[1].vertices[8];
    EXPECT_FLOAT_EQ(blueTop.r, 0);
    EXPECT_FLOAT_EQ(blueTop.b, 130 / 256.0f);

    EXPECT_TRUE(captureDraw([] { drawGlyph(0, 0, 0, 1, 1, 1, ' '); }).empty());
    EXPECT_EQ(captureDraw([] { drawGlyph(0, 0, 0, 1, 1, 1, 'B' - 256); }).size(), 2u);
}
