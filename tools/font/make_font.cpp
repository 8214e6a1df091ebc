// make-font: turns our glyph designs (assets/font/glyphs.txt) into fontpre.tga,
// the 256 x 64 colour-mapped TGA that the demo's font loader reads.
// Usage: make-font DESIGN.txt OUT.tga. A malformed design prints one line naming
// the file and line on standard error, writes nothing and exits with code 1.
#include "kit.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

static const int glyphSize   = 8;                  // cells per glyph row and column
static const int fontWidth   = 32 * glyphSize;     // picture width in pixels: 32 glyphs a row
static const int fontHeight  = 8 * glyphSize;      // picture height in pixels: 8 glyph rows
static const int headerSize  = 18;                 // TGA header, no image-ID field
static const int mapEntries  = 256;                // colour-map entries, 3 bytes (B, G, R) each
static const int firstVisible = 33;                // '!'
static const int lastVisible  = 126;               // '~'

static_assert(headerSize + 3 * mapEntries + fontWidth * fontHeight == fontFileSize,
              "the picture must have the layout the demo's font loader reads");

// Design symbols and the colour index each one stands for.
struct Symbol { char mark; unsigned char index; };
static const Symbol symbols[] = {
    {'.', 1}, // empty: no cube
    {'#', 2}, // white stroke
    {'+', 0}, // dark-blue cube placed by hand
};
static const unsigned char emptyIndex  = 1; // also the value of every undesigned glyph
static const unsigned char strokeIndex = 2;
static const unsigned char shadowIndex = 0; // the drop shadow the tool adds

static unsigned char glyphIndex[256][glyphSize][glyphSize]; // [character][row, 0 = top][column]
static int           glyphLine[256];                        // line of each "char" header, 0 = no design
static const char   *designPath;                            // for messages

// The one way out on any failure: one line on standard error, exit code 1.
static void fail(const std::string &message)
{
    std::fprintf(stderr, "make-font: %s\n", message.c_str());
    std::exit(1);
}

// A fault in the design file, at a line (counted from 1) or, with 0, in the whole file.
static void failAt(int line, const std::string &message)
{
    std::string where = designPath;
    if (line > 0)
        where += ":" + std::to_string(line);
    fail(where + ": " + message);
}

static std::string quoted(int c)
{
    return std::string("'") + static_cast<char>(c) + "'";
}

// Reads the design file into glyphIndex: every visible character exactly once,
// 8 rows of 8 known symbols each, at least one stroke.
static void readDesigns()
{
    std::ifstream in(designPath);
    if (!in)
        failAt(0, std::string("cannot open: ") + std::strerror(errno));

    std::memset(glyphIndex, emptyIndex, sizeof glyphIndex);
    int current = -1;   // character being read, -1 before the first header
    int rowsRead = 0;   // rows of the current character so far
    int lineNo = 0;
    std::string line;

    auto finishGlyph = [&]() {
        if (current < 0)
            return;
        if (rowsRead != glyphSize)
            failAt(glyphLine[current], "character " + quoted(current) + " has " +
                   std::to_string(rowsRead) + " rows, expected 8");
        bool anyStroke = false;
        for (auto &row : glyphIndex[current])
            for (unsigned char index : row)
                anyStroke = anyStroke || index >= strokeIndex;
        if (!anyStroke)
            failAt(glyphLine[current], "character " + quoted(current) + " has no stroke ('#')");
    };

    while (std::getline(in, line)) {
        lineNo++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.compare(0, 2, "//") == 0)
            continue;

        // 1. A header: "char X" starts the next design.
        if (line.compare(0, 5, "char ") == 0) {
            if (line.size() != 6 || line[5] < firstVisible || line[5] > lastVisible)
                failAt(lineNo, "expected \"char X\" with X one visible ASCII character, got \"" +
                       line + "\"");
            finishGlyph();
            current = static_cast<unsigned char>(line[5]);
            if (glyphLine[current] != 0)
                failAt(lineNo, "character " + quoted(current) + " defined twice (first at line " +
                       std::to_string(glyphLine[current]) + ")");
            glyphLine[current] = lineNo;
            rowsRead = 0;
            continue;
        }

        // 2. Otherwise a row of the current design.
        if (current < 0)
            failAt(lineNo, "row before the first \"char X\" line");
        if (rowsRead == glyphSize)
            failAt(lineNo, "character " + quoted(current) + " has more than 8 rows");
        if (line.size() != glyphSize)
            failAt(lineNo, "row has " + std::to_string(line.size()) + " symbols, expected 8");
        for (int k = 0; k < glyphSize; k++) {
            const Symbol *found = nullptr;
            for (const Symbol &s : symbols)
                if (s.mark == line[k])
                    found = &s;
            if (!found)
                failAt(lineNo, "unknown symbol '" + std::string(1, line[k]) + "' in column " +
                       std::to_string(k + 1) + " (use '.', '#' or '+')");
            glyphIndex[current][rowsRead][k] = found->index;
        }
        rowsRead++;
    }
    if (in.bad())
        failAt(0, "read error");
    finishGlyph();

    for (int c = firstVisible; c <= lastVisible; c++)
        if (glyphLine[c] == 0)
            failAt(0, "no design for character " + quoted(c));
}

// The drop shadow: an empty cell whose up-left neighbour is a stroke turns dark
// blue. It stays inside the glyph box, so it never falls on a neighbour.
static void addShadows()
{
    for (int c = firstVisible; c <= lastVisible; c++)
        for (int j = glyphSize - 1; j >= 1; j--)
            for (int k = glyphSize - 1; k >= 1; k--)
                if (glyphIndex[c][j][k] == emptyIndex && glyphIndex[c][j - 1][k - 1] == strokeIndex)
                    glyphIndex[c][j][k] = shadowIndex;
}

static void put16(unsigned char *p, int value)
{
    p[0] = value & 255;
    p[1] = (value >> 8) & 255;
}

// Lays the picture out as the font loader reads it: character c in grid column c % 32
// and grid row c / 32 from the top left, stored bottom row first.
static void writePicture(const char *outPath)
{
    static unsigned char file[fontFileSize];
    unsigned char *header = file;
    header[0] = 0;                     // no image-ID field
    header[1] = 1;                     // a colour map is present
    header[2] = 1;                     // uncompressed, colour-mapped
    put16(header + 3, 0);              // first colour-map entry
    put16(header + 5, mapEntries);     // colour-map length
    header[7] = 24;                    // bits per colour-map entry
    put16(header + 8, 0);              // x origin
    put16(header + 10, 0);             // y origin
    put16(header + 12, fontWidth);
    put16(header + 14, fontHeight);
    header[16] = 8;                    // bits per pixel: one colour index
    header[17] = 0;                    // bottom-left origin, no alpha bits

    // The colour map only serves image viewers; the demo reads the indices.
    unsigned char *map = file + headerSize;
    for (int i = 0; i < mapEntries; i++) {
        unsigned char *bgr = map + 3 * i;
        if (i == 0)      { bgr[0] = 130; bgr[1] = 0;   bgr[2] = 0;   } // dark blue
        else if (i == 1) { bgr[0] = 0;   bgr[1] = 0;   bgr[2] = 0;   } // black background
        else             { bgr[0] = 255; bgr[1] = 255; bgr[2] = 255; } // white
    }

    unsigned char *pixels = map + 3 * mapEntries;
    for (int c = 0; c < 256; c++)
        for (int j = 0; j < glyphSize; j++)
            for (int k = 0; k < glyphSize; k++) {
                int storedRow = fontHeight - 1 - glyphSize * (c / 32) - j;
                pixels[storedRow * fontWidth + glyphSize * (c % 32) + k] = glyphIndex[c][j][k];
            }

    std::FILE *out = std::fopen(outPath, "wb");
    if (!out)
        fail(std::string("cannot write ") + outPath + ": " + std::strerror(errno));
    bool ok = std::fwrite(file, 1, sizeof file, out) == sizeof file;
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) {
        std::string reason = std::strerror(errno);
        std::remove(outPath);
        fail(std::string("cannot write ") + outPath + ": " + reason);
    }
}

int main(int argc, char **argv)
{
    if (argc != 3)
        fail("usage: make-font DESIGN.txt OUT.tga");
    designPath = argv[1];
    readDesigns();
    addShadows();
    writePicture(argv[2]);
    return 0;
}
