// The soundtrack: facts about the zap_wave.it that the build compiled from
// assets/music, heard through the player layer (libopenmpt) as the demo hears it,
// and read from the file's own sample data; and the make-module tool itself run
// on copies of the score with one line broken.
#include <gtest/gtest.h>

#include "player.h"

#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char *modulePath = BUILD_DIR "/zap_wave.it";
const char *toolPath   = BUILD_DIR "/make-module";
const char *scorePath  = SOURCE_DIR "/assets/music";

const int    rate          = 44100;  // frames per second of playerRender without playerInit
const int    chunkFrames   = 256;    // frames per render call: order changes are timed to 5.8 ms
const int    exitOrder     = 38;     // the scene table's last end order: the demo exits here
const int    lastSceneFrom = 32;     // the ascent scene plays orders 32 to 37
const double chunkSeconds  = (double)chunkFrames / rate;

double toDb(double x) { return 20.0 * std::log10(std::max(x, 1e-12)); }

// ---- the module as the player renders it -----------------------------------------

struct Rendering {
    std::vector<float>  mono;          // (left + right) / 2, full scale = 1
    std::vector<int>    orderSeen;     // order after each chunk
    std::vector<double> orderStart;    // seconds at which each order was first seen
    int                 peak = 0;      // largest absolute 16-bit sample value, either side
    double              sumLeft = 0, sumRight = 0;
    long                frames = 0;
    double              wrapSeconds = -1; // when the order fell back to 0 after the last order
};

// Renders from the start until the module wraps back to order 0 (or 200 s pass),
// the same way the demo's audio callback pulls it: playerRender, then playerGetPosition.
const Rendering &rendering()
{
    static Rendering r;
    static bool done = false;
    if (done) return r;
    done = true;
    if (!playerLoadModule(0, modulePath, 0, 0, playerRamping | playerLooping | playerNoteReset)) {
        ADD_FAILURE() << "playerLoadModule(" << modulePath << ") failed: " << playerError();
        return r;
    }
    std::vector<int16_t> chunk(2 * chunkFrames);
    int last = 0;
    r.orderStart.assign(1, 0.0);
    while (r.frames < 200L * rate) {
        int got = playerRender(chunk.data(), chunkFrames);
        if (got <= 0) break;
        for (int i = 0; i < got; i++) {
            int left = chunk[2 * i], right = chunk[2 * i + 1];
            r.peak = std::max({r.peak, std::abs(left), std::abs(right)});
            r.sumLeft += left / 32768.0;
            r.sumRight += right / 32768.0;
            r.mono.push_back((left + right) / 65536.0f);
        }
        r.frames += got;
        int order = (int)(playerGetPosition() & 0xFFFF);
        r.orderSeen.push_back(order);
        // The order becomes visible after the chunk that crosses into it; the start is
        // placed in the middle of that chunk, so it is right within half a chunk.
        double now = r.frames / (double)rate - chunkSeconds / 2;
        if (order < last) { r.wrapSeconds = now; break; }
        while ((int)r.orderStart.size() <= order) r.orderStart.push_back(now);
        last = order;
    }
    playerFreeModule();
    return r;
}

double rmsBetween(const Rendering &r, double from, double to)
{
    long a = std::max(0L, (long)(from * rate)), b = std::min((long)r.mono.size(), (long)(to * rate));
    if (b <= a) return 0;
    double sum = 0;
    for (long i = a; i < b; i++) sum += (double)r.mono[i] * r.mono[i];
    return std::sqrt(sum / (b - a));
}

double orderLength(const Rendering &r, int order) { return r.orderStart[order + 1] - r.orderStart[order]; }

// ---- the file's own sample data --------------------------------------------------

using Bytes = std::vector<unsigned char>;

Bytes readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le(const Bytes &b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; i--) v = v << 8 | b.at(at + i);
    return v;
}

struct FileSample {
    std::string          name;
    int                  flags = 0;
    uint32_t             loopBegin = 0, loopEnd = 0;
    std::vector<int16_t> frames;
};

std::vector<FileSample> samplesOf(const Bytes &file)
{
    std::vector<FileSample> out;
    int ordNum = le(file, 0x20, 2), insNum = le(file, 0x22, 2), smpNum = le(file, 0x24, 2);
    for (int i = 0; i < smpNum; i++) {
        size_t h = le(file, 0xC0 + ordNum + 4 * insNum + 4 * i, 4);
        FileSample s;
        s.name = std::string((const char *)&file.at(h + 0x14), strnlen((const char *)&file.at(h + 0x14), 26));
        s.flags = file.at(h + 0x12);
        uint32_t length = le(file, h + 0x30, 4), data = le(file, h + 0x48, 4);
        s.loopBegin = le(file, h + 0x34, 4);
        s.loopEnd = le(file, h + 0x38, 4);
        for (uint32_t f = 0; f < length; f++) s.frames.push_back((int16_t)le(file, data + 2 * f, 2));
        out.push_back(s);
    }
    return out;
}

// ---- running make-module ----------------------------------------------------------

struct ToolRun {
    int         status = -1;
    std::string errors;
};

ToolRun runTool(const std::string &dir, const std::string &out)
{
    std::string errFile = out + ".stderr";
    std::string command = std::string(toolPath) + " --dir '" + dir + "' --out '" + out + "' >/dev/null 2>'" + errFile + "'";
    int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    Bytes e = readFile(errFile);
    run.errors.assign(e.begin(), e.end());
    return run;
}

// A fresh copy of the score in a temporary folder, to be broken one line at a time.
std::string copyScore(const std::string &tag)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("music_test_" + tag + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto &e : fs::directory_iterator(scorePath)) fs::copy_file(e.path(), dir / e.path().filename());
    return dir.string();
}

// Replaces the first line of `file` that `wanted` picks with `change(line)`; returns
// its line number (0 if none was picked).
int editLine(const std::string &file, const std::function<bool(const std::string &)> &wanted,
             const std::function<std::string(const std::string &)> &change)
{
    Bytes b = readFile(file);
    std::istringstream in(std::string(b.begin(), b.end()));
    std::ostringstream out;
    int number = 0, found = 0;
    for (std::string line; std::getline(in, line);) {
        number++;
        if (!found && wanted(line)) { line = change(line); found = number; }
        out << line << "\n";
    }
    std::ofstream(file, std::ios::binary) << out.str();
    return found;
}

// Picks a pattern row by its number: "01 | ..." (any spacing before the bar).
std::function<bool(const std::string &)> row(int number)
{
    return [number](const std::string &line) {
        std::istringstream in(line);
        std::string first, bar;
        in >> first >> bar;
        return bar == "|" && first.size() == 2 && std::isdigit((unsigned char)first[0]) && std::stoi(first) == number;
    };
}

std::function<bool(const std::string &)> startsWith(const std::string &word)
{
    return [word](const std::string &line) { return line.compare(0, word.size(), word) == 0; };
}

std::string firstPatternFile()
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(scorePath))
        if (e.path().extension() == ".pat") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names.empty() ? "" : names.front();
}

// ================================================================================
// Timing: the scenes follow the orders, so the orders must keep time.
// ================================================================================

TEST(MusicTiming, OrdersZeroTo37AllLastTheSameLengthBetween3_3And4_5Seconds)
{
    const Rendering &r = rendering();
    ASSERT_GT((int)r.orderStart.size(), exitOrder) << "order " << exitOrder << " was never reached";
    double first = orderLength(r, 0);
    for (int o = 0; o < exitOrder; o++) {
        EXPECT_GE(orderLength(r, o), 3.3) << "order " << o;
        EXPECT_LE(orderLength(r, o), 4.5) << "order " << o;
        EXPECT_NEAR(orderLength(r, o), first, chunkSeconds * 1.01) << "order " << o << " differs from order 0";
    }
}

TEST(MusicTiming, Order38StartsWhen38EqualOrdersHavePlayed)
{
    const Rendering &r = rendering();
    ASSERT_GT((int)r.orderStart.size(), exitOrder);
    double orderSeconds = r.orderStart[1] - r.orderStart[0];
    // About 146 s for 3.84 s orders; the demo exits at this moment.
    EXPECT_NEAR(r.orderStart[exitOrder], exitOrder * orderSeconds, chunkSeconds);
    EXPECT_GT(r.orderStart[exitOrder], 38 * 3.3);
    EXPECT_LT(r.orderStart[exitOrder], 38 * 4.5);
    std::printf("order 38 starts at %.3f s; orders last %.3f s\n", r.orderStart[exitOrder], orderSeconds);
}

TEST(MusicTiming, LastSceneOrders32To37LastLongerThanItsFade)
{
    const Rendering &r = rendering();
    ASSERT_GT((int)r.orderStart.size(), exitOrder);
    EXPECT_GT(r.orderStart[exitOrder] - r.orderStart[lastSceneFrom], 19.0);
}

TEST(MusicTiming, PlaysEveryOrderInTurnThenLoopsBackToOrderZero)
{
    const Rendering &r = rendering();
    int previous = 0;
    for (size_t i = 0; i + 1 < r.orderSeen.size(); i++) {
        ASSERT_TRUE(r.orderSeen[i] == previous || r.orderSeen[i] == previous + 1)
            << "order " << r.orderSeen[i] << " followed order " << previous;
        previous = r.orderSeen[i];
    }
    EXPECT_GT(previous, exitOrder) << "the song ended before passing order 38";
    EXPECT_GT(r.wrapSeconds, r.orderStart[exitOrder]) << "never wrapped back to order 0";
    EXPECT_EQ(r.orderSeen.back(), 0);
}

// ================================================================================
// Sound: what a listener would notice.
// ================================================================================

TEST(MusicSound, NeverClipsAndHasNoDcOffset)
{
    const Rendering &r = rendering();
    ASSERT_GT(r.frames, 0);
    EXPECT_LT(r.peak, 32767 * 0.95) << "peak " << toDb(r.peak / 32768.0) << " dBFS";
    EXPECT_LT(std::fabs(r.sumLeft / r.frames), 0.002);
    EXPECT_LT(std::fabs(r.sumRight / r.frames), 0.002);
    std::printf("peak %.1f dBFS, mean %.5f / %.5f\n", toDb(r.peak / 32768.0), r.sumLeft / r.frames, r.sumRight / r.frames);
}

TEST(MusicSound, ScenesWithTheFullBeatAreAsLoudAsOrdinaryTrackedMusic)
{
    // Issue 3's arrangement: the beat runs through the title, house, flight, road,
    // fire and corridor scenes (orders 4 to 19 and 24 to 31).
    const Rendering &r = rendering();
    ASSERT_GT((int)r.orderStart.size(), exitOrder);
    for (int scene : {1, 2, 3, 4, 6, 7}) {
        double db = toDb(rmsBetween(r, r.orderStart[4 * scene], r.orderStart[4 * scene + 4]));
        EXPECT_GE(db, -20.0) << "scene " << scene;
        EXPECT_LE(db, -10.0) << "scene " << scene;
        std::printf("scene %d (orders %d-%d): RMS %.1f dBFS\n", scene, 4 * scene, 4 * scene + 3, db);
    }
}

TEST(MusicSound, TheFountainBreakdownDropsBelowTheScenesAroundIt)
{
    const Rendering &r = rendering();
    ASSERT_GT((int)r.orderStart.size(), exitOrder);
    double road = rmsBetween(r, r.orderStart[16], r.orderStart[20]);
    double breakdown = rmsBetween(r, r.orderStart[20], r.orderStart[23]);
    double fire = rmsBetween(r, r.orderStart[24], r.orderStart[28]);
    EXPECT_LT(toDb(breakdown), toDb(road) - 3.0);
    EXPECT_LT(toDb(breakdown), toDb(fire) - 3.0);
    EXPECT_GT(toDb(breakdown), -35.0) << "the breakdown is still music, not silence";
}

TEST(MusicSound, NoHalfSecondOfSilenceBeforeTheFinalFade)
{
    const Rendering &r = rendering();
    ASSERT_GT((int)r.orderStart.size(), exitOrder);
    const double window = 0.05, threshold = std::pow(10.0, -60.0 / 20.0);
    int quietWindows = 0;
    for (double t = 0; t + window <= r.orderStart[exitOrder - 1]; t += window) {
        quietWindows = rmsBetween(r, t, t + window) < threshold ? quietWindows + 1 : 0;
        ASSERT_LT(quietWindows * window, 0.5 - 1e-9) << "silence ending at " << t + window << " s";
    }
}

TEST(MusicSound, TheLastSceneLiftsThenDiesAwayByTheEndOfOrder37)
{
    const Rendering &r = rendering();
    ASSERT_GT((int)r.orderStart.size(), exitOrder);
    double end = r.orderStart[exitOrder];
    double lift = toDb(rmsBetween(r, r.orderStart[lastSceneFrom], r.orderStart[lastSceneFrom + 2]));
    double lastSecond = toDb(rmsBetween(r, end - 1.0, end));
    EXPECT_GT(lift, -20.0) << "orders 32-33 should carry a last lift";
    EXPECT_LT(lastSecond, -50.0) << "the music should have died away in the last second before order 38";
    // and the fade is gradual: each of the last four orders is quieter than the one before
    for (int o = exitOrder - 4; o < exitOrder; o++)
        EXPECT_LT(rmsBetween(r, r.orderStart[o], r.orderStart[o + 1]), rmsBetween(r, r.orderStart[o - 1], r.orderStart[o]))
            << "order " << o;
    std::printf("orders 32-33: RMS %.1f dBFS; last second before order 38: RMS %.1f dBFS\n", lift, lastSecond);
}

// ================================================================================
// The file: samples, size and a second loader.
// ================================================================================

TEST(MusicFile, IsSmallAndHoldsOnlyShortSynthesisedSamples)
{
    Bytes file = readFile(modulePath);
    ASSERT_GT(file.size(), 192u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "IMPM");
    EXPECT_LT(file.size(), 400u * 1024) << "a few hundred kilobytes at most";
    std::vector<FileSample> samples = samplesOf(file);
    EXPECT_GE(samples.size(), 7u) << "kick, snare or clap, hat, bass, lead, pad or stab, one more colour";
    for (const FileSample &s : samples) EXPECT_LT(s.frames.size(), 44100u * 1.5) << s.name << " is longer than 1.5 s of frames";
}

TEST(MusicFile, EverySampleStartsAtZeroWithoutAClick)
{
    for (const FileSample &s : samplesOf(readFile(modulePath))) {
        ASSERT_GT(s.frames.size(), 16u) << s.name;
        EXPECT_TRUE(s.flags & 0x02) << s.name << " is not 16-bit";
        EXPECT_LE(std::abs(s.frames[0]), 64) << s.name << " starts with a step";
        // The level rises no faster than a straight line from 0 to full scale over
        // 16 frames (0.4 to 1 ms): a fade-in, not a jump.
        for (int i = 1; i < 16; i++)
            EXPECT_LE(std::abs(s.frames[i]), 32767 * i / 16) << s.name << " frame " << i;
        // One-shots end at zero too, so a sample that plays to its end never clicks.
        if (!(s.flags & 0x10)) {
            EXPECT_LE(std::abs(s.frames.back()), 64) << s.name << " ends with a step";
        }
    }
}

TEST(MusicFile, SustainedSamplesLoopWithoutAStepAtTheSeam)
{
    int looped = 0;
    for (const FileSample &s : samplesOf(readFile(modulePath))) {
        if (!(s.flags & 0x10)) continue;
        looped++;
        ASSERT_LT(s.loopBegin, s.loopEnd) << s.name;
        ASSERT_LE(s.loopEnd, s.frames.size()) << s.name;
        EXPECT_GE(s.loopEnd - s.loopBegin, 256u) << s.name << " loops over too short a stretch";
        // The jump from the loop's last frame back to its first is no bigger than
        // the steps the waveform takes inside the loop anyway.
        int largestStep = 0;
        for (uint32_t i = s.loopBegin + 1; i < s.loopEnd; i++)
            largestStep = std::max(largestStep, std::abs(s.frames[i] - s.frames[i - 1]));
        EXPECT_LE(std::abs(s.frames[s.loopBegin] - s.frames[s.loopEnd - 1]), largestStep) << s.name;
    }
    EXPECT_GE(looped, 3) << "bass, lead and pad sustain through loops";
}

// ================================================================================
// The tool: the score compiles the same way every time, and a broken line is named.
// ================================================================================

TEST(MakeModule, RebuildsTheSameFileFromTheScore)
{
    std::string dir = copyScore("good");
    ToolRun run = runTool(dir, dir + "/out.it");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(readFile(dir + "/out.it"), readFile(modulePath));
    std::filesystem::remove_all(dir);
}

TEST(MakeModule, RejectsAMisspelledNoteNamingFileAndLine)
{
    std::string dir = copyScore("note");
    std::string pat = firstPatternFile();
    ASSERT_FALSE(pat.empty());
    // row 00 of the first pattern: its first cell's note becomes "H-5"
    int line = editLine(dir + "/" + pat, row(0), [](const std::string &l) {
        std::string s = l;
        size_t bar = s.find('|');
        s.replace(bar + 2, 3, "H-5");
        return s;
    });
    ASSERT_GT(line, 0);
    ToolRun run = runTool(dir, dir + "/out.it");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(pat + ":" + std::to_string(line) + ":"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("note 'H-5' is not a note"), std::string::npos) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.it"));
    std::filesystem::remove_all(dir);
}

TEST(MakeModule, RejectsARowWithACellMissing)
{
    std::string dir = copyScore("cells");
    std::string pat = firstPatternFile();
    int line = editLine(dir + "/" + pat, row(1), [](const std::string &l) { return l.substr(0, l.rfind('|')); });
    ASSERT_GT(line, 0);
    ToolRun run = runTool(dir, dir + "/out.it");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(pat + ":" + std::to_string(line) + ": row has"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("cells"), std::string::npos) << run.errors;
    std::filesystem::remove_all(dir);
}

TEST(MakeModule, RejectsAnOrderNamingAMissingPattern)
{
    std::string dir = copyScore("order");
    int line = editLine(dir + "/song.txt", startsWith("order"), [](const std::string &l) {
        std::istringstream in(l);
        std::string word, number;
        in >> word >> number;
        return word + " " + number + " no_such_pattern";
    });
    ASSERT_GT(line, 0);
    ToolRun run = runTool(dir, dir + "/out.it");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("song.txt:" + std::to_string(line) + ":"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("no_such_pattern"), std::string::npos) << run.errors;
    std::filesystem::remove_all(dir);
}

TEST(MakeModule, RejectsAnUnknownInstrumentParameter)
{
    std::string dir = copyScore("param");
    int line = editLine(dir + "/instruments.txt", startsWith("decay"), [](const std::string &) { return std::string("decya = 0.2"); });
    ASSERT_GT(line, 0);
    ToolRun run = runTool(dir, dir + "/out.it");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("instruments.txt:" + std::to_string(line) + ": unknown instrument parameter 'decya'"), std::string::npos)
        << run.errors;
    std::filesystem::remove_all(dir);
}

} // namespace
