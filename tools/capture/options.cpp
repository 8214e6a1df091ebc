// The capture's command line, read before any GL so that mistakes cost
// nothing, and the exact moment of every frame: rates are fractions, so no
// rounding builds up over a long capture.
#include "capture.h"
#include "kit.h"
#include <cstdlib>
#include <cstring>
#include <numeric>

static const int highestFps  = 240;     // frames per second
static const int64_t finestDenominator = 1000000; // keeps frame k's audio frame, k * 44100 * D, in 64 bits

// What a user types for the NTSC rates is a rounding of them; every other
// decimal is read as exactly the fraction it spells.
static const struct { const char *spelling; Rational rate; } ntscRates[] = {
    {"23.976", {24000, 1001}},
    {"29.97",  {30000, 1001}},
    {"59.94",  {60000, 1001}},
};

CaptureOptions options;

static const char usageText[] =
    "usage: cubic-harmony-capture --out FILE [--fps RATE] [--size WxH | --scale K] [--retro]"
    " [--frames DIR] [--wav FILE] [--until SECONDS] [--data DIR] [--chapters NAMES]\n"
    "       cubic-harmony-capture --no-encode [--fps RATE] [--size WxH | --scale K] [--retro]"
    " [--until SECONDS] [--data DIR]\n"
    "  --no-encode only draws the frames and says how fast, to set beside a capture\n"
    "  RATE is frames per second, 1 to 240: a whole number (25), a fraction (30000/1001) or a\n"
    "  decimal read exactly (12.5 is 25/2); 23.976, 29.97 and 59.94 mean the NTSC rates\n"
    "  24000/1001, 30000/1001 and 60000/1001\n";

// A bad value: one line naming the option and what it takes.
static void refuse(const std::string &why)
{
    fprintf(stderr, "cubic-harmony-capture: %s\n", why.c_str());
    exit(2);
}

// A command line of the wrong shape: the line, then how it should look.
static void usage(const char *why)
{
    fprintf(stderr, "cubic-harmony-capture: %s\n%s", why, usageText);
    exit(2);
}

static double parseNumber(const char *text, const char *name, double low, double high)
{
    char *end;
    double value = strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !(value >= low && value <= high)) {
        char why[160];
        snprintf(why, sizeof why, "%s must be a number from %g to %g", name, low, high);
        refuse(why);
    }
    return value;
}

// Up to 9 decimal digits, so that the fraction's parts never overflow.
static bool readDigits(const char *&p, int maxDigits, int64_t *value, int *count)
{
    *value = 0;
    *count = 0;
    while (*p >= '0' && *p <= '9') {
        if (++*count > maxDigits) return false;
        *value = *value * 10 + (*p++ - '0');
    }
    return *count > 0;
}

// "N", "N.F" (the exact fraction, up to 6 places) or "N/D"; nothing else, no
// signs, spaces or exponents.
static bool parseRational(const char *text, Rational *r)
{
    const char *p = text;
    int64_t whole, part;
    int digits;
    if (!readDigits(p, 9, &whole, &digits)) return false;
    r->num = whole;
    r->den = 1;
    if (*p == '.') {
        if (!readDigits(++p, 6, &part, &digits)) return false;
        while (digits--) r->den *= 10;
        r->num = whole * r->den + part;
    }
    else if (*p == '/') {
        if (!readDigits(++p, 9, &r->den, &digits) || r->den == 0) return false;
    }
    if (*p != '\0') return false;
    int64_t common = std::gcd(r->num, r->den);
    if (common > 1) {
        r->num /= common;
        r->den /= common;
    }
    return r->den <= finestDenominator;
}

static Rational parseFps(const char *text)
{
    for (const auto &ntsc : ntscRates)
        if (!strcmp(text, ntsc.spelling)) return ntsc.rate;
    Rational rate;
    if (!parseRational(text, &rate) || rate.num < rate.den || rate.num > highestFps * rate.den)
        refuse(std::string("--fps ") + text + ": wants 1 to 240 frames per second as N, N/D"
               " (30000/1001) or a decimal of up to 6 places");
    return rate;
}

static Rational parseSeconds(const char *text)
{
    Rational seconds;
    if (!parseRational(text, &seconds) || seconds.num * 1000 < seconds.den ||
        seconds.num > longestDemo * seconds.den)
        refuse(std::string("--until ") + text + ": wants seconds from 0.001 to " +
               std::to_string(longestDemo) + ", up to 6 decimal places");
    return seconds;
}

// Frames whose moment lies before the end (--until or the longest demo): the
// video lasts at most that long. Both fractions are small enough for 64 bits.
long framesBefore(Rational seconds)
{
    return (long)(seconds.num * options.fps.num / (seconds.den * options.fps.den));
}

// Exact times of frame k: no rounding builds up over a long capture.
int frameMilliseconds(long k)
{
    return (int)((int64_t)k * 1000 * options.fps.den / options.fps.num);
}

long audioFramesAt(long k)
{
    return (long)((int64_t)k * audioRate * options.fps.den / options.fps.num);
}

bool endsWith(const std::string &s, const char *suffix)
{
    size_t n = strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

void parseOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--retro")) {
            options.retro = true;
            continue;
        }
        if (!strcmp(argv[i], "--no-encode")) {
            options.noEncode = true;
            continue;
        }
        if (i + 1 >= argc) usage("every option but --retro and --no-encode takes a value");
        const char *name = argv[i], *value = argv[++i];
        if      (!strcmp(name, "--out"))    options.out = value;
        else if (!strcmp(name, "--fps"))    options.fps = parseFps(value);
        else if (!strcmp(name, "--scale")) { // shorthand for --size 640Kx480K
            double k = parseNumber(value, name, 1, 8);
            if (k != (int)k) refuse("--scale must be a whole number from 1 to 8");
            options.width = 640 * k;
            options.height = 480 * k;
        }
        else if (!strcmp(name, "--size")) {
            if (!parseSize(value, &options.width, &options.height)) refuse(std::string("--size wants ") + sizeWanted());
        }
        else if (!strcmp(name, "--frames")) options.framesDir = value;
        else if (!strcmp(name, "--wav"))    options.wavPath = value;
        else if (!strcmp(name, "--until"))  options.until = parseSeconds(value);
        else if (!strcmp(name, "--data"))   options.data = value;
        else if (!strcmp(name, "--chapters")) options.chaptersPath = value;
        else usage("unknown option");
    }
    if (options.until.num > 0 && framesBefore(options.until) < 1)
        refuse("--until is shorter than one frame at that --fps");
    if (options.noEncode) {
        if (!options.out.empty() || !options.framesDir.empty() || !options.wavPath.empty())
            usage("--no-encode writes nothing: it takes no --out, --frames or --wav");
        return;
    }
    if (options.out.empty()) usage("--out is required");
    if (endsWith(options.out, "/")) refuse("--out names a folder; it wants a file");
    // H.264 in 4:2:0 halves the colour planes, so both sides must be even.
    if (!endsWith(options.out, ".mkv") && (options.width % 2 || options.height % 2))
        refuse("--size must be even on both sides for an MP4 (a .mkv file takes any size)");
}
