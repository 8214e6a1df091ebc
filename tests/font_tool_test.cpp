// The font asset: facts about the fontpre.tga that the build made from our glyph
// designs (layout, colours, shapes a reader would notice), and the make-font
// tool itself run on small design files written here, good and malformed.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char *fontPath = BUILD_DIR "/fontpre.tga";
const char *toolPath = BUILD_DIR "/tools/font/make-font";
const int headerAndMapSize = 786;   // 18-byte header, 256 colour-map entries of 3 bytes
const int pictureFileSize = 17170;  // header and map, then 256 x 64 one-byte pixels

using Bytes = std::vector<unsigned char>;

Bytes readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int read16(const Bytes &file, int offset)
{
    return file[offset] | (file[offset + 1] << 8);
}

// One character as colour indices, [row, 0 = top][column, 0 = left], taken from
// the picture the way the font loader reads it: character c in grid column c % 32 and
// grid row c / 32 of the upright picture, whose pixels are stored bottom row first.
struct Glyph {
    unsigned char index[8][8];
    bool operator==(const Glyph &other) const
    {
        return std::equal(&index[0][0], &index[0][0] + 64, &other.index[0][0]);
    }
};

Glyph glyphOf(const Bytes &file, int c)
{
    Glyph g;
    for (int j = 0; j < 8; j++)
        for (int k = 0; k < 8; k++)
            g.index[j][k] = file[headerAndMapSize + (63 - 8 * (c / 32) - j) * 256 + 8 * (c % 32) + k];
    return g;
}

bool isWhite(unsigned char index) { return index >= 2; }

int countCells(const Glyph &g, bool (*test)(unsigned char))
{
    int n = 0;
    for (auto &row : g.index)
        for (unsigned char index : row)
            n += test(index);
    return n;
}

// First and last glyph row holding a white stroke, -1 when there is none.
int topWhiteRow(const Glyph &g)
{
    for (int j = 0; j < 8; j++)
        for (int k = 0; k < 8; k++)
            if (isWhite(g.index[j][k]))
                return j;
    return -1;
}

int bottomWhiteRow(const Glyph &g)
{
    for (int j = 7; j >= 0; j--)
        for (int k = 0; k < 8; k++)
            if (isWhite(g.index[j][k]))
                return j;
    return -1;
}

std::string describe(int c)
{
    return "character " + std::to_string(c) + " '" + std::string(1, static_cast<char>(c)) + "'";
}

class FontFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() { font = readFile(fontPath); }
    void SetUp() override
    {
        ASSERT_EQ(font.size(), static_cast<size_t>(pictureFileSize))
            << fontPath << " is missing or has the wrong size";
    }
    static Bytes font;
};
Bytes FontFile::font;

// ---------------------------------------------------------------------------
// The file: what loadBlockFont and image viewers rely on

TEST_F(FontFile, IsExactly17170Bytes)
{
    EXPECT_EQ(font.size(), 786u + 16384u);
}

TEST_F(FontFile, HeaderDescribesAnUncompressedColourMapped256x64Picture)
{
    EXPECT_EQ(font[0], 0) << "no image-ID field";
    EXPECT_EQ(font[1], 1) << "colour map type";
    EXPECT_EQ(font[2], 1) << "image type: uncompressed, colour-mapped";
    EXPECT_EQ(read16(font, 3), 0) << "first colour-map entry";
    EXPECT_EQ(read16(font, 5), 256) << "colour-map entries";
    EXPECT_EQ(font[7], 24) << "bits per colour-map entry";
    EXPECT_EQ(read16(font, 8), 0) << "x origin";
    EXPECT_EQ(read16(font, 10), 0) << "y origin";
    EXPECT_EQ(read16(font, 12), 256) << "width";
    EXPECT_EQ(read16(font, 14), 64) << "height";
    EXPECT_EQ(font[16], 8) << "bits per pixel";
    EXPECT_EQ(font[17] & 0x20, 0) << "origin must be bottom-left (first stored row = bottom)";
    EXPECT_EQ(font[17] & 0x10, 0) << "pixels must run left to right";
    EXPECT_EQ(font[17] & 0x0f, 0) << "no alpha bits";
}

TEST_F(FontFile, ColourMapShowsDarkBlueEdgesWhiteStrokesOnBlack)
{
    auto entry = [&](int i) {
        const unsigned char *bgr = &font[18 + 3 * i];
        return std::vector<int>{bgr[2], bgr[1], bgr[0]}; // as R, G, B
    };
    EXPECT_EQ(entry(0), (std::vector<int>{0, 0, 130}));
    EXPECT_EQ(entry(1), (std::vector<int>{0, 0, 0}));
    for (int i = 2; i < 256; i++)
        EXPECT_EQ(entry(i), (std::vector<int>{255, 255, 255})) << "colour-map entry " << i;
}

// ---------------------------------------------------------------------------
// The glyphs: what a reader of the demo's texts would notice

TEST_F(FontFile, EveryVisibleCharacterHasWhiteStrokesAndADarkBlueEdge)
{
    for (int c = 33; c <= 126; c++) {
        Glyph g = glyphOf(font, c);
        EXPECT_GT(countCells(g, isWhite), 0) << describe(c) << " has no white stroke";
        EXPECT_GT(countCells(g, [](unsigned char i) { return i == 0; }), 0)
            << describe(c) << " has no dark-blue cell";
    }
}

TEST_F(FontFile, VisibleCharactersAllDiffer)
{
    for (int a = 33; a <= 126; a++)
        for (int b = a + 1; b <= 126; b++)
            EXPECT_FALSE(glyphOf(font, a) == glyphOf(font, b))
                << describe(a) << " looks the same as " << describe(b);
}

TEST_F(FontFile, SpaceAndAllOtherCodesAreEmpty)
{
    for (int c = 0; c < 256; c++) {
        if (c >= 33 && c <= 126)
            continue;
        Glyph g = glyphOf(font, c);
        EXPECT_EQ(countCells(g, [](unsigned char i) { return i != 1; }), 0)
            << "code " << c << " should be all index 1 (empty)";
    }
}

// Glyphs of size 0.5 placed 2 units apart abut: the last column must carry no
// white, or neighbouring letters would run together.
TEST_F(FontFile, RightmostColumnNeverHoldsWhite)
{
    for (int c = 33; c <= 126; c++) {
        Glyph g = glyphOf(font, c);
        for (int j = 0; j < 8; j++)
            EXPECT_FALSE(isWhite(g.index[j][7])) << describe(c) << " row " << j;
    }
}

TEST_F(FontFile, LettersAndDigitsShareOneBaseline)
{
    const std::string descenders = "gjpqy";
    const std::string xHeight = "acemnorsuvwxz";
    for (int c = 33; c <= 126; c++) {
        bool upper = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        bool lower = c >= 'a' && c <= 'z';
        if (!upper && !lower)
            continue;
        Glyph g = glyphOf(font, c);
        bool descends = descenders.find(static_cast<char>(c)) != std::string::npos;
        EXPECT_EQ(bottomWhiteRow(g), descends ? 7 : 6) << describe(c) << ": lowest stroke row";
        if (upper) {
            EXPECT_EQ(topWhiteRow(g), 0) << describe(c) << ": capitals and digits are 7 rows tall";
        }
        if (xHeight.find(static_cast<char>(c)) != std::string::npos) {
            EXPECT_EQ(topWhiteRow(g), 2) << describe(c) << ": lowercase bodies start on row 2";
        }
    }
}

// ---------------------------------------------------------------------------
// The tool, run as a subprocess on design files written here

struct ToolRun {
    int exitCode;
    std::string errorText;
    bool wroteOutput;
};

class FontTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::path(BUILD_DIR) / "font_tool_test" / info->name();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }

    // A complete, valid design: character c gets a pattern that depends on c
    // (so all differ), uses all three symbols and has strokes in every row.
    static std::vector<std::string> validDesign()
    {
        std::vector<std::string> lines{"// test design"};
        for (int c = 33; c <= 126; c++) {
            lines.push_back(std::string("char ") + static_cast<char>(c));
            for (int j = 0; j < 8; j++) {
                std::string row;
                for (int k = 0; k < 8; k++) {
                    int v = (c * 7 + j * 13 + k * 5 + j * k) % 4;
                    row += v == 0 ? '#' : v == 1 ? '+' : '.';
                }
                row[j] = '#';
                lines.push_back(row);
            }
        }
        return lines;
    }

    // Line number (from 1) of the header of character c in validDesign().
    static int headerLine(int c) { return 2 + (c - 33) * 9; }

    ToolRun runTool(const std::vector<std::string> &lines)
    {
        std::filesystem::path design = dir / "design.txt";
        std::filesystem::path out = dir / "out.tga";
        std::filesystem::path err = dir / "stderr.txt";
        std::ofstream(design) << join(lines);
        std::string command = std::string("'") + toolPath + "' '" + design.string() + "' '" +
                              out.string() + "' 2>'" + err.string() + "'";
        int status = std::system(command.c_str());
        std::ifstream errIn(err);
        std::string errorText((std::istreambuf_iterator<char>(errIn)), std::istreambuf_iterator<char>());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, errorText, std::filesystem::exists(out)};
    }

    // A malformed design must fail with code 1, write nothing, and say why in
    // one line that names the design file and the line at fault.
    void expectFailure(const std::vector<std::string> &lines, int line, const std::string &reason)
    {
        ToolRun run = runTool(lines);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_FALSE(run.wroteOutput);
        ASSERT_FALSE(run.errorText.empty());
        EXPECT_EQ(run.errorText.find('\n'), run.errorText.size() - 1)
            << "expected exactly one line, got: " << run.errorText;
        std::string where = "design.txt";
        if (line > 0)
            where += ":" + std::to_string(line) + ":";
        EXPECT_NE(run.errorText.find(where), std::string::npos) << run.errorText;
        EXPECT_NE(run.errorText.find(reason), std::string::npos) << run.errorText;
    }

    static std::string join(const std::vector<std::string> &lines)
    {
        std::string text;
        for (const std::string &line : lines)
            text += line + "\n";
        return text;
    }

    std::filesystem::path dir;
};

TEST_F(FontTool, PlacesEachDesignInItsGridBoxWithSymbolsAsIndices)
{
    std::vector<std::string> lines = validDesign();
    ToolRun run = runTool(lines);
    ASSERT_EQ(run.exitCode, 0) << run.errorText;
    Bytes out = readFile((dir / "out.tga").string());
    ASSERT_EQ(out.size(), static_cast<size_t>(pictureFileSize));

    for (int c = 33; c <= 126; c++) {
        Glyph g = glyphOf(out, c);
        for (int j = 0; j < 8; j++)
            for (int k = 0; k < 8; k++) {
                char symbol = lines[headerLine(c) + j][k]; // the row after the header is lines[headerLine]
                int expected = symbol == '#' ? 2 : symbol == '+' ? 0 : 1;
                // The drop shadow: an empty cell below and right of a stroke turns dark blue.
                if (symbol == '.' && j > 0 && k > 0 && lines[headerLine(c) + j - 1][k - 1] == '#')
                    expected = 0;
                ASSERT_EQ(g.index[j][k], expected) << describe(c) << " row " << j << " column " << k;
            }
    }
    for (int c : {0, 32, 127, 255})
        EXPECT_EQ(countCells(glyphOf(out, c), [](unsigned char i) { return i != 1; }), 0) << "code " << c;
}

TEST_F(FontTool, RejectsARowOfTheWrongWidth)
{
    std::vector<std::string> lines = validDesign();
    int line = headerLine('B') + 3;
    lines[line - 1] = "##.##..";
    expectFailure(lines, line, "7 symbols");
}

TEST_F(FontTool, RejectsAnUnknownSymbol)
{
    std::vector<std::string> lines = validDesign();
    int line = headerLine('q') + 5;
    lines[line - 1][4] = 'x';
    expectFailure(lines, line, "unknown symbol 'x'");
}

TEST_F(FontTool, RejectsACharacterDefinedTwice)
{
    std::vector<std::string> lines = validDesign();
    int line = headerLine('Z');
    lines[line - 1] = "char Y";
    expectFailure(lines, line, "defined twice");
}

TEST_F(FontTool, RejectsADesignWithTooFewRows)
{
    std::vector<std::string> lines = validDesign();
    lines.erase(lines.begin() + headerLine('m') + 7); // the last row of 'm'
    expectFailure(lines, headerLine('m'), "7 rows, expected 8");
}

TEST_F(FontTool, RejectsADesignWithTooManyRows)
{
    std::vector<std::string> lines = validDesign();
    int line = headerLine('5') + 9;
    lines.insert(lines.begin() + line - 1, "..##....");
    expectFailure(lines, line, "more than 8 rows");
}

TEST_F(FontTool, RejectsADesignThatLeavesOutAVisibleCharacter)
{
    std::vector<std::string> lines = validDesign();
    lines.erase(lines.begin() + headerLine('~') - 1, lines.end()); // '~' is the last design
    expectFailure(lines, 0, "no design for character '~'");
}

} // namespace
