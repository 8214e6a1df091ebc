// The soundtrack: the zap_wave.it the build compiled from assets/music, heard
// through the player layer as the demo hears it and read from its own sample
// data; the position handed to the sequencer; and make-module run on copies of
// the score with one line broken.
#include "demo_run.h"
#include "player.h"
#include <gtest/gtest.h>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <sys/wait.h>

namespace {

const char *modulePath = BUILD_DIR "/zap_wave.it";
const int rate = 44100;          // frames per second of playerRender without playerInit
const int chunkFrames = 256;     // frames per render call: order changes are timed to 5.8 ms
const double chunkSeconds = (double)chunkFrames / rate;

double toDb(double x) { return 20.0 * std::log10(std::max(x, 1e-12)); }

struct Rendering {
    std::vector<float> mono;          // (left + right) / 2, full scale = 1
    std::vector<double> orderStart;   // seconds at which each order was first heard
    int peak = 0;                     // largest 16-bit sample value, either side
    double sum[2] = {0, 0};           // of each side, full scale = 1
    bool inTurn = true;               // every order followed the one before or itself
    double wrapSeconds = -1;          // when the order fell back to 0 after the last
};

// Renders from the start until the module wraps back to order 0, the way the
// demo's audio callback pulls it: playerRender, then playerGetPosition.
const Rendering &rendering()
{
    static Rendering r;
    if (!r.orderStart.empty()) return r;
    r.orderStart.push_back(0);
    if (!playerLoadModule(0, modulePath, 0, 0, playerRamping | playerLooping)) {
        ADD_FAILURE() << playerError();
        return r;
    }
    std::vector<int16_t> chunk(2 * chunkFrames);
    for (int last = 0, got; r.mono.size() < 200u * rate && (got = playerRender(chunk.data(), chunkFrames)) > 0;) {
        for (int i = 0; i < 2 * got; i++) {
            r.peak = std::max(r.peak, std::abs((int)chunk[i]));
            r.sum[i % 2] += chunk[i] / 32768.0;
            if (i % 2) r.mono.push_back((chunk[i - 1] + chunk[i]) / 65536.0f);
        }
        // Seen after the chunk that crosses into it: placed in that chunk's middle.
        int order = (int)(playerGetPosition() & 0xFFFF);
        double now = r.mono.size() / (double)rate - chunkSeconds / 2;
        if (order < last) { r.wrapSeconds = now; break; }
        r.inTurn = r.inTurn && order <= last + 1;
        while ((int)r.orderStart.size() <= order) r.orderStart.push_back(now);
        last = order;
    }
    playerFreeModule();
    return r;
}

double rmsBetween(double from, double to)
{
    const Rendering &r = rendering();
    long a = std::max(0L, (long)(from * rate)), b = std::min((long)r.mono.size(), (long)(to * rate));
    double sum = 0;
    for (long i = a; i < b; i++) sum += (double)r.mono[i] * r.mono[i];
    return b > a ? std::sqrt(sum / (b - a)) : 0;
}

// Loudness of orders [from, to) in dBFS.
double ordersDb(int from, int to) { return toDb(rmsBetween(rendering().orderStart[from], rendering().orderStart[to])); }

class Music : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GT(rendering().orderStart.size(), 39u) << "order 38 was never reached"; }
};

} // namespace

// 32 rows at speed 6 and tempo 125 make 3.84 s orders: the demo ends at order 38,
// 145.92 s in, and the song goes on to order 39 and back to the start.
TEST_F(Music, EveryOrderKeepsTimeAndOrder38StartsAt146Seconds)
{
    const Rendering &r = rendering();
    for (int o = 0; o < 38; o++)
        EXPECT_NEAR(r.orderStart[o + 1] - r.orderStart[o], 3.84, chunkSeconds * 1.01) << "order " << o;
    EXPECT_NEAR(r.orderStart[38], 145.92, chunkSeconds);
    EXPECT_TRUE(r.inTurn);
    EXPECT_GT(r.wrapSeconds, r.orderStart[39]) << "never wrapped back to order 0";
}

// Never clipped, no DC offset. The beat runs through the title, house, flight,
// road, fire and corridor scenes; the fountain's breakdown drops below its
// neighbours without falling silent.
TEST_F(Music, TheScenesAreAsLoudAsTrackedMusicAndTheBreakdownQuieter)
{
    const Rendering &r = rendering();
    EXPECT_LT(r.peak, 32767 * 0.95) << "peak " << toDb(r.peak / 32768.0) << " dBFS";
    for (double side : r.sum) EXPECT_LT(std::fabs(side / r.mono.size()), 0.002);
    for (int scene : {1, 2, 3, 4, 6, 7}) {
        EXPECT_GE(ordersDb(4 * scene, 4 * scene + 4), -20.0) << "scene " << scene;
        EXPECT_LE(ordersDb(4 * scene, 4 * scene + 4), -10.0) << "scene " << scene;
    }
    double breakdown = ordersDb(20, 23);
    EXPECT_LT(breakdown, ordersDb(16, 20) - 3.0);
    EXPECT_LT(breakdown, ordersDb(24, 28) - 3.0);
    EXPECT_GT(breakdown, -35.0) << "the breakdown is still music";
}

TEST_F(Music, NoHalfSecondOfSilenceBeforeTheFinalFade)
{
    const double window = 0.05, threshold = std::pow(10.0, -60.0 / 20.0);
    int quiet = 0;
    for (double t = 0; t + window <= rendering().orderStart[37]; t += window) {
        quiet = rmsBetween(t, t + window) < threshold ? quiet + 1 : 0;
        ASSERT_LT(quiet * window, 0.5 - 1e-9) << "silence ending at " << t + window << " s";
    }
}

// Orders 32-33 lift, then each of the last four orders is quieter than the one
// before, and the last second before order 38 is all but silent.
TEST_F(Music, TheLastSceneLiftsThenDiesAwayByOrder38)
{
    EXPECT_GT(ordersDb(32, 34), -20.0);
    for (int o = 34; o < 38; o++) EXPECT_LT(ordersDb(o, o + 1), ordersDb(o - 1, o)) << "order " << o;
    EXPECT_LT(toDb(rmsBetween(rendering().orderStart[38] - 1, rendering().orderStart[38])), -50.0);
}

// ---- the file's own samples ------------------------------------------------------

struct FileSample {
    std::string name;
    int flags, convert; // convert 0x04: compressed as deltas of deltas (IT 2.15)
    uint32_t loopBegin, loopEnd;
    std::vector<int16_t> frames;
};

static std::vector<FileSample> samplesOf(const std::string &file)
{
    auto le = [&](size_t at, int bytes) {
        uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; i--) v = v << 8 | (unsigned char)file.at(at + i);
        return v;
    };
    std::vector<FileSample> out;
    for (uint32_t i = 0, n = le(0x24, 2); i < n; i++) { // frames read only where stored raw
        size_t h = le(0xC0 + le(0x20, 2) + 4 * le(0x22, 2) + 4 * i, 4);
        FileSample s{std::string(file.c_str() + h + 0x14, strnlen(file.c_str() + h + 0x14, 26)), file.at(h + 0x12), file.at(h + 0x2E),
                     le(h + 0x34, 4), le(h + 0x38, 4), {}};
        for (uint32_t f = 0, data = le(h + 0x48, 4); !(s.flags & 0x08) && f < le(h + 0x30, 4); f++) s.frames.push_back((int16_t)le(data + 2 * f, 2));
        out.push_back(s);
    }
    return out;
}

// The module as make-module --raw writes it: the same samples, stored uncompressed.
static const std::string &rawModule()
{
    static const Scratch dir;
    static std::string bytes;
    if (bytes.empty()) {
        std::string command = BUILD_DIR "/make-module --dir " SOURCE_DIR "/assets/music --out " + dir + "/raw.it --raw > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        bytes = readFile(dir + "/raw.it");
    }
    return bytes;
}

// The build's module holds its samples compressed, both variants in use, and is a
// quarter smaller than the raw one, yet libopenmpt decodes the same values:
// music-wav, which does not dither, renders both to the same bytes.
TEST(MusicFile, IsStoredCompressedAndSoundsAsTheRawSamplesDo)
{
    const Scratch dir;
    std::string compressed = readFile(modulePath), raw = rawModule();
    ASSERT_GT(raw.size(), 192u);
    writeFile(dir + "/raw.it", raw);
    int deltasOfDeltas = 0, samples = 0;
    for (const FileSample &s : samplesOf(compressed)) {
        EXPECT_TRUE(s.flags & 0x08) << s.name << " is not compressed";
        deltasOfDeltas += (s.convert & 0x04) != 0;
        samples++;
    }
    EXPECT_GT(deltasOfDeltas, 0) << "no sample compressed as IT 2.15 does";
    EXPECT_LT(deltasOfDeltas, samples) << "no sample compressed as IT 2.14 does";
    for (const FileSample &s : samplesOf(raw)) EXPECT_FALSE(s.flags & 0x08) << s.name << " is compressed";
    EXPECT_LT(compressed.size(), raw.size() * 0.75) << compressed.size() << " bytes against " << raw.size();
    std::cout << "zap_wave.it: " << compressed.size() << " bytes compressed, " << raw.size() << " raw\n";

    for (const char *which : {"compressed", "raw"}) {
        std::string in = which == std::string("raw") ? dir + "/raw.it" : modulePath;
        std::string command = BUILD_DIR "/music-wav --in " + in + " --out " + dir + "/" + which + ".wav > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    std::string compressedWav = readFile(dir + "/compressed.wav"), rawWav = readFile(dir + "/raw.wav");
    EXPECT_GT(rawWav.size(), 44100u * 4 * 140) << "less than 140 s rendered";
    EXPECT_TRUE(compressedWav == rawWav) << "the compressed module renders other samples";
}

// Short synthesised sounds in a file of a few hundred kilobytes. Each starts
// from zero with a fade-in no steeper than 16 frames from 0 to full scale; a
// one-shot ends at zero; a loop joins without a step larger than the waveform's own.
TEST(MusicFile, HoldsShortSamplesThatNeverClick)
{
    std::string file = readFile(modulePath);
    ASSERT_GT(file.size(), 192u);
    EXPECT_EQ(file.substr(0, 4), "IMPM");
    EXPECT_LT(file.size(), 400u * 1024);
    std::vector<FileSample> samples = samplesOf(rawModule());
    EXPECT_GE(samples.size(), 7u);
    int looped = 0;
    for (const FileSample &s : samples) {
        ASSERT_GT(s.frames.size(), 16u) << s.name;
        EXPECT_LT(s.frames.size(), 44100u * 1.5) << s.name;
        EXPECT_TRUE(s.flags & 0x02) << s.name << " is not 16-bit";
        for (int i = 0; i < 16; i++) EXPECT_LE(std::abs(s.frames[i]), std::max(64, 32767 * i / 16)) << s.name << " frame " << i;
        if (!(s.flags & 0x10)) {
            EXPECT_LE(std::abs(s.frames.back()), 64) << s.name << " ends with a step";
            continue;
        }
        looped++;
        ASSERT_LT(s.loopBegin + 256, s.loopEnd) << s.name;
        ASSERT_LE(s.loopEnd, s.frames.size()) << s.name;
        int largestStep = 0;
        for (uint32_t i = s.loopBegin + 1; i < s.loopEnd; i++)
            largestStep = std::max(largestStep, std::abs(s.frames[i] - s.frames[i - 1]));
        EXPECT_LE(std::abs(s.frames[s.loopBegin] - s.frames[s.loopEnd - 1]), largestStep) << s.name;
    }
    EXPECT_GE(looped, 3) << "bass, lead and pad sustain through loops";
}

// ---- make-module on the score ----------------------------------------------------

namespace {

struct ScoreEdit {
    const char *what, *file;
    const char *line;          // in the first line starting with this,
    const char *from, *to;     // the first "from" becomes "to"; "" cuts the last cell
    const char *says;
};

class MakeModule : public ::testing::TestWithParam<ScoreEdit> {};

} // namespace

// A broken line stops the tool with code 1, no output, and FILE:LINE: why.
TEST_P(MakeModule, NamesTheFileAndLineOfABrokenScore)
{
    const ScoreEdit &e = GetParam();
    const Scratch dir;
    std::string file = e.file;
    std::filesystem::copy(SOURCE_DIR "/assets/music", dir.c_str());
    std::ifstream in(dir + "/" + file);
    std::ostringstream edited;
    int number = 0, found = 0;
    for (std::string line; std::getline(in, line);) {
        number++;
        if (!found && line.rfind(e.line, 0) == 0) {
            found = number;
            line = *e.from ? line.replace(line.find(e.from), strlen(e.from), e.to) : line.substr(0, line.rfind('|'));
        }
        edited << line << "\n";
    }
    ASSERT_GT(found, 0) << "no line starts with '" << e.line << "'";
    std::ofstream(dir + "/" + file) << edited.str();
    int status = std::system(("cd " + dir + " && " BUILD_DIR "/make-module --dir . --out out.it > /dev/null 2> errors.txt").c_str());
    std::string errors = readFile(dir + "/errors.txt");
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_NE(errors.find(file + ":" + std::to_string(found) + ":"), std::string::npos) << errors;
    EXPECT_NE(errors.find(e.says), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.it"));
}

const ScoreEdit scoreEdits[] = {
    {"MisspelledNote", "00-intro.pat", "00 ", "A-4", "H-5", "note 'H-5' is not a note"},
    {"CellMissing", "00-intro.pat", "01 ", "", "", "row has"},
    {"OrderOfAMissingPattern", "song.txt", "order", "intro_1", "no_such_pattern", "no_such_pattern"},
    {"UnknownInstrumentParameter", "instruments.txt", "decay", "decay", "decya", "unknown instrument parameter 'decya'"},
};
INSTANTIATE_TEST_SUITE_P(Tools, MakeModule, ::testing::ValuesIn(scoreEdits),
                         [](const auto &info) { return std::string(info.param.what); });

// ---- the position handed to the sequencer ---------------------------------------

// The clock rule with the clock handed in: the newest stamp whose moment has
// come, and before that the position already released.
TEST(HeardPosition, IsTheNewestStampDueByNow)
{
    const PositionStamp stamps[] = {{4, 1000}, {5, 2000}, {5 | 1 << 16, 2500}, {6, 4000}};
    const struct { int count; int64_t now; uint32_t heard; } cases[] = {
        {0, 9999, 77},              // nothing stamped: what was heard before
        {4, 999, 77},               // all still on their way
        {4, 1000, 4},               // due at this very moment
        {4, 2499, 5},               // between two stamps: the older one
        {4, 3999, 5 | 1 << 16},
        {4, 100000, 6},             // long past: the newest
        {2, 100000, 5},             // only what the audio thread has written counts
    };
    for (const auto &c : cases)
        EXPECT_EQ(releasedPosition(stamps, c.count, c.now, 77), c.heard) << c.count << " stamps at " << c.now;
}

// Through a device (SDL's dummy driver plays in real time): a jump made before
// play holds at once, then the orders come in turn as they are heard.
TEST(HeardPosition, ThroughADeviceStartsAtTheJumpAndMovesOnInTurn)
{
    const Scratch dir; // SDL_AUDIODRIVER=dummy, as ctest runs every test
    makeFastModule(dir + "/fast.it", 6, 6, 250); // one-row orders of 60 ms
    ASSERT_NE(playerInit(-1, 44100), 0) << playerError();
    ASSERT_NE(playerLoadModule(0, (dir + "/fast.it").c_str(), 0, 0, playerRamping), 0) << playerError();
    EXPECT_EQ(playerGetPosition(), 0u);
    ASSERT_NE(playerSetOrder(2), 0);
    EXPECT_EQ(playerGetPosition(), 2u) << "nothing is on its way before play";
    playerPlay();
    std::vector<uint32_t> heard = {2};
    for (int waited = 0; waited < 5000 && heard.back() < 5; waited++) {
        uint32_t order = playerGetPosition() & 0xFFFF;
        if (order != heard.back()) heard.push_back(order);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    playerStop();
    playerFreeModule();
    playerShutdown();
    EXPECT_EQ(heard.back(), 5u) << "the last order was never heard";
    for (size_t i = 1; i < heard.size(); i++) EXPECT_GT(heard[i], heard[i - 1]) << "heard out of turn";
}
