// The real demo against what users' machines hand it: broken or odd files, no
// sound device, no display. Each ends it before its first frame with one line
// that says what is wrong.
#include "demo_run.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string withByte(std::string bytes, size_t at, char value)
{
    bytes[at] = value;
    return bytes;
}

std::string randomBytes()
{
    std::string bytes(50000, '\0');
    srand(7);
    for (char &c : bytes) c = (char)rand();
    return bytes;
}

enum Kind { bytes, missing, directory, fifo, loop, unreadable };

struct BadFile {
    const char *what, *file;
    Kind kind;
    std::string content;
    const char *says;     // within the one line "cubic-harmony: FILE: ..."
};

const std::string font = readFile(BUILD_DIR "/fontpre.tga"), module = readFile(BUILD_DIR "/zap_wave.it");

const BadFile badFiles[] = {
    {"FontMissing",           "fontpre.tga", missing,    "", "cannot open"},
    {"FontEmpty",             "fontpre.tga", bytes,      "", "too short"},
    {"FontCutInItsHeader",    "fontpre.tga", bytes,      font.substr(0, 10), "too short"},
    {"FontOneByteShort",      "fontpre.tga", bytes,      font.substr(0, font.size() - 1), "too short"},
    {"FontTrueColour",        "fontpre.tga", bytes,      withByte(font, 2, 2), "colour-mapped"},
    {"FontCompressed",        "fontpre.tga", bytes,      withByte(font, 2, 9), "colour-mapped"},
    {"Font512Wide",           "fontpre.tga", bytes,      withByte(font, 13, 2), "256 x 64"},
    {"Font32High",            "fontpre.tga", bytes,      withByte(font, 14, 32), "256 x 64"},
    {"FontWithAnImageId",     "fontpre.tga", bytes,      withByte(font, 0, 12), "image-ID"},
    {"FontADirectory",        "fontpre.tga", directory,  "", "directory"},
    {"FontAPipe",             "fontpre.tga", fifo,       "", "not a regular file"},
    {"FontALoopingLink",      "fontpre.tga", loop,       "", "cannot open"},
    {"FontUnreadable",        "fontpre.tga", unreadable, font, "cannot"},
    {"ModuleMissing",         "zap_wave.it", missing,    "", "cannot open"},
    {"ModuleEmpty",           "zap_wave.it", bytes,      "", "empty"},
    {"ModuleCutInItsHeader",  "zap_wave.it", bytes,      module.substr(0, 100), "cut off"},
    {"ModuleCutInItsTables",  "zap_wave.it", bytes,      module.substr(0, 200), "cut off"},
    {"ModuleCutInASample",    "zap_wave.it", bytes,      module.substr(0, module.size() / 2), "cut off"},
    {"ModuleOneByteShort",    "zap_wave.it", bytes,      module.substr(0, module.size() - 1), "cut off"},
    {"ModuleRandomBytes",     "zap_wave.it", bytes,      randomBytes(), "libopenmpt: error "},
    {"ModuleTheFontRenamed",  "zap_wave.it", bytes,      font, "libopenmpt: error "},
    {"ModuleADirectory",      "zap_wave.it", directory,  "", "directory"},
    {"ModuleAPipe",           "zap_wave.it", fifo,       "", "not a regular file"},
    {"ModuleUnreadable",      "zap_wave.it", unreadable, module, "cannot"},
};

class BadFiles : public ::testing::TestWithParam<BadFile> {};

} // namespace

TEST_P(BadFiles, GiveOneLineNamingTheFileAndCodeOne)
{
    const BadFile &c = GetParam();
    bool isFont = std::string(c.file) == "fontpre.tga";
    Demo demo({{}, {}, "", !isFont, isFont});
    std::string path = demo.dir + "/" + c.file;
    switch (c.kind) {
    case bytes:      writeFile(path, c.content); break;
    case missing:    break;
    case directory:  mkdir(path.c_str(), 0755); break;
    case fifo:       mkfifo(path.c_str(), 0644); break;
    case loop:       EXPECT_EQ(symlink(c.file, path.c_str()), 0); break;
    case unreadable: // root reads any file, but no one reads page 0 of a process
        if (geteuid() == 0) EXPECT_EQ(symlink("/proc/self/mem", path.c_str()), 0);
        else writeFile(path, c.content), chmod(path.c_str(), 0);
        break;
    }
    demo.start();
    EXPECT_EQ(demo.waitForExit(10000), 1) << demo.errors();
    std::vector<std::string> lines = demo.errorLines();
    ASSERT_EQ(lines.size(), 1u) << demo.errors();
    EXPECT_EQ(lines[0].rfind("cubic-harmony: " + std::string(c.file) + ": ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.says), std::string::npos) << lines[0];
}
INSTANTIATE_TEST_SUITE_P(Demo, BadFiles, ::testing::ValuesIn(badFiles),
                         [](const auto &info) { return std::string(info.param.what); });

struct MissingDevice {
    const char *what;
    std::vector<std::string> args, env;
    bool module;          // zap_wave.it beside it
    int code;
    const char *says;     // somewhere on standard error
};

class MissingDevices : public ::testing::TestWithParam<MissingDevice> {};

// SDL's own choice of driver finds no device on a machine without sound, and
// the line points to --silent, which opens none but still reads the module;
// freeglut reports a display it cannot open and exits.
TEST_P(MissingDevices, EndTheDemoWithOneClearLine)
{
    const MissingDevice &c = GetParam();
    Demo demo({c.args, c.env, "", true, c.module});
    demo.start();
    int code = demo.waitForExit(10000);
    if (code == -1 && c.env[0] == "SDL_AUDIODRIVER") GTEST_SKIP() << "this machine has a sound device";
    EXPECT_EQ(code, c.code) << demo.errors();
    EXPECT_NE(demo.errors().find(c.says), std::string::npos) << demo.errors();
    EXPECT_LE(demo.errorLines().size(), 1u) << demo.errors();
}

const MissingDevice missingDevices[] = {
    {"SdlsDefaultAudio", {}, {"SDL_AUDIODRIVER"}, true, 1, "(--silent plays the demo without sound)\n"},
    {"AnUnknownAudioDriver", {}, {"SDL_AUDIODRIVER=no-such-driver"}, true, 1,
     "cubic-harmony: cannot open the audio device: "},
    {"SilentStillReadsTheModule", {"--silent"}, {"SDL_AUDIODRIVER=no-such-driver"}, false, 1,
     "cubic-harmony: zap_wave.it: cannot open"},
    {"NoDisplay", {}, {"DISPLAY=:65000"}, true, 1, "failed to open display"},
};
INSTANTIATE_TEST_SUITE_P(Demo, MissingDevices, ::testing::ValuesIn(missingDevices),
                         [](const auto &info) { return std::string(info.param.what); });
