// The font: what a reader of the demo's texts would notice in the fontpre.tga
// the build made from our glyph designs, and make-font run on designs written
// here, one fault at a time.
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <sys/wait.h>

namespace {

std::string bytesOf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string font = bytesOf(BUILD_DIR "/fontpre.tga");

// Colour index of character c's cell [row from the top][column], the way the
// loader reads it: grid column c % 32, grid row c / 32 of the upright picture,
// whose pixels are stored bottom row first after the 786-byte header and map.
int cell(const std::string &file, int c, int j, int k)
{
    return (unsigned char)file.at(786 + (63 - 8 * (c / 32) - j) * 256 + 8 * (c % 32) + k);
}

bool visible(int c) { return c >= 33 && c <= 126; }

} // namespace

// Index 0 is a dark-blue edge, 1 empty, 2 and up white; the colour map says so
// for image viewers.
TEST(FontFile, IsAnUncompressedColourMapped256x64Picture)
{
    ASSERT_EQ(font.size(), 786u + 256 * 64);
    EXPECT_EQ(font.substr(0, 18), std::string("\0\1\1\0\0\0\1\x18\0\0\0\0\0\1\x40\0\x08\0", 18));
    EXPECT_EQ(font.substr(18, 6), std::string("\x82\0\0\0\0\0", 6)) << "dark blue (0, 0, 130), then black";
    EXPECT_EQ(font.substr(24, 762), std::string(762, '\xff'));
}

// Letters abut at size 0.5, so the last column never holds white; lowercase
// bodies start on row 2, capitals and digits on row 0, and all share a baseline.
TEST(FontFile, GlyphsAreDistinctEdgedAndSitOnOneBaseline)
{
    ASSERT_EQ(font.size(), 786u + 256 * 64);
    std::vector<std::string> seen;
    for (int c = 0; c < 256; c++) {
        std::string glyph;
        int white = 0, edge = 0, top = -1, bottom = -1;
        for (int j = 0; j < 8; j++)
            for (int k = 0; k < 8; k++) {
                int index = cell(font, c, j, k);
                glyph += (char)index;
                white += index >= 2;
                edge += index == 0;
                if (index >= 2) { top = top < 0 ? j : top; bottom = j; }
                if (k == 7) { EXPECT_LT(index, 2) << "character " << c << " row " << j; }
            }
        if (!visible(c)) {
            EXPECT_EQ(glyph, std::string(64, '\1')) << "code " << c << " is empty";
            continue;
        }
        EXPECT_GT(white, 0) << "character " << c;
        EXPECT_GT(edge, 0) << "character " << c;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), glyph), 0) << "character " << c << " looks like another";
        seen.push_back(glyph);
        bool upper = isupper(c) || isdigit(c);
        if (!upper && !islower(c)) continue;
        EXPECT_EQ(bottom, std::string("gjpqy").find((char)c) != std::string::npos ? 7 : 6) << (char)c;
        if (upper) { EXPECT_EQ(top, 0) << (char)c; }
        if (std::string("acemnorsuvwxz").find((char)c) != std::string::npos) { EXPECT_EQ(top, 2) << (char)c; }
    }
}

// ---- make-font -------------------------------------------------------------------

namespace {

// A valid design: every visible character, a pattern of its own in all three
// symbols with a stroke in every row. Line numbers count from 1.
std::vector<std::string> validDesign()
{
    std::vector<std::string> lines{"// test design"};
    for (int c = 33; c <= 126; c++) {
        lines.push_back(std::string("char ") + (char)c);
        for (int j = 0; j < 8; j++) {
            std::string row;
            for (int k = 0; k < 8; k++) row += "#+.."[(c * 7 + j * 13 + k * 5 + j * k) % 4];
            row[j] = '#';
            lines.push_back(row);
        }
    }
    return lines;
}

int headerLine(int c) { return 2 + (c - 33) * 9; }

struct ToolRun { int code; std::string errors; bool wrote; };

ToolRun makeFont(const std::vector<std::string> &lines, const std::string &dir)
{
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::ofstream design(dir + "/design.txt");
    for (const std::string &line : lines) design << line << "\n";
    design.close();
    std::string command = BUILD_DIR "/tools/font/make-font " + dir + "/design.txt " + dir + "/out.tga 2> " + dir + "/errors.txt";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, bytesOf(dir + "/errors.txt"), std::filesystem::exists(dir + "/out.tga")};
}

struct DesignFault {
    const char *what;
    void (*spoil)(std::vector<std::string> &lines);
    int line;             // named in the message; 0 for none
    const char *says;
};

const DesignFault designFaults[] = {
    {"RowOfTheWrongWidth", [](auto &l) { l[headerLine('B') + 2] = "##.##.."; }, headerLine('B') + 3, "7 symbols"},
    {"UnknownSymbol", [](auto &l) { l[headerLine('q') + 4][4] = 'x'; }, headerLine('q') + 5, "unknown symbol 'x'"},
    {"CharacterDefinedTwice", [](auto &l) { l[headerLine('Z') - 1] = "char Y"; }, headerLine('Z'), "defined twice"},
    {"TooFewRows", [](auto &l) { l.erase(l.begin() + headerLine('m') + 7); }, headerLine('m'), "7 rows, expected 8"},
    {"TooManyRows", [](auto &l) { l.insert(l.begin() + headerLine('5') + 8, "..##...."); }, headerLine('5') + 9, "more than 8 rows"},
    {"AVisibleCharacterLeftOut", [](auto &l) { l.resize(headerLine('~') - 1); }, 0, "no design for character '~'"},
};

class MakeFont : public ::testing::TestWithParam<DesignFault> {};

} // namespace

// Each design lands in its grid box, '#' as index 2, '+' as 0, '.' as 1, and an
// empty cell below and right of a stroke becomes the dark-blue shadow.
TEST(MakeFontDesign, PlacesEachDesignInItsBoxWithItsShadow)
{
    std::vector<std::string> lines = validDesign();
    ToolRun run = makeFont(lines, BUILD_DIR "/font-test/good");
    ASSERT_EQ(run.code, 0) << run.errors;
    std::string out = bytesOf(BUILD_DIR "/font-test/good/out.tga");
    ASSERT_EQ(out.size(), font.size());
    for (int c = 33; c <= 126; c++)
        for (int j = 0; j < 8; j++)
            for (int k = 0; k < 8; k++) {
                char symbol = lines[headerLine(c) + j][k];
                int expected = symbol == '#' ? 2 : symbol == '+' ? 0 : 1;
                if (symbol == '.' && j > 0 && k > 0 && lines[headerLine(c) + j - 1][k - 1] == '#') expected = 0;
                ASSERT_EQ(cell(out, c, j, k), expected) << "character " << c << " row " << j << " column " << k;
            }
}

// A malformed design fails with code 1, writes nothing, and says why in one
// line that names the design file and the line at fault.
TEST_P(MakeFont, RefusesAFaultyDesignInOneLine)
{
    const DesignFault &f = GetParam();
    std::vector<std::string> lines = validDesign();
    f.spoil(lines);
    ToolRun run = makeFont(lines, BUILD_DIR "/font-test/" + std::string(f.what));
    EXPECT_EQ(run.code, 1);
    EXPECT_FALSE(run.wrote);
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    std::string where = "design.txt" + (f.line ? ":" + std::to_string(f.line) + ":" : std::string());
    EXPECT_NE(run.errors.find(where), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find(f.says), std::string::npos) << run.errors;
}
INSTANTIATE_TEST_SUITE_P(Tools, MakeFont, ::testing::ValuesIn(designFaults),
                         [](const auto &info) { return std::string(info.param.what); });
