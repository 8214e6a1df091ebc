// make-font on designs written here, one fault at a time: a malformed design
// is refused in one line that names the line at fault. (What the fonts it makes
// look like, the golden frames show.)
#include "demo_run.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <sys/wait.h>

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

ToolRun makeFont(const std::vector<std::string> &lines)
{
    const Scratch dir;
    std::string design;
    for (const std::string &line : lines) design += line + "\n";
    writeFile(dir + "/design.txt", design);
    std::string command = BUILD_DIR "/tools/font/make-font " + dir + "/design.txt " + dir + "/out.tga 2> " + dir + "/errors.txt";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir + "/errors.txt"), std::filesystem::exists(dir + "/out.tga")};
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

// A malformed design fails with code 1, writes nothing, and says why in one
// line that names the design file and the line at fault.
TEST_P(MakeFont, RefusesAFaultyDesignInOneLine)
{
    const DesignFault &f = GetParam();
    std::vector<std::string> lines = validDesign();
    f.spoil(lines);
    ToolRun run = makeFont(lines);
    EXPECT_EQ(run.code, 1);
    EXPECT_FALSE(run.wrote);
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    std::string where = "design.txt" + (f.line ? ":" + std::to_string(f.line) + ":" : std::string());
    EXPECT_NE(run.errors.find(where), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find(f.says), std::string::npos) << run.errors;
}
INSTANTIATE_TEST_SUITE_P(Tools, MakeFont, ::testing::ValuesIn(designFaults),
                         [](const auto &info) { return std::string(info.param.what); });
