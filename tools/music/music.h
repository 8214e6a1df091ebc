// The module tool's parts: the synthesiser that turns instrument parameters into
// 16-bit samples, the score reader for assets/music, and the Impulse Tracker writer.
// make_module.cpp strings them together; see docs/music.md for the notation.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// ---- Synthesiser (synth.cpp) -------------------------------------------------

// One instrument of instruments.txt, as the synthesiser's parameters.
struct Instrument {
    int         number = 0;           // 1..99, the score's instrument column
    std::string name;                 // short name, also the IT sample name
    std::string osc = "sine";         // sine triangle saw square pulse supersaw metal noise
    int         note = 60;            // score note at which the sample plays unshifted (60 = C-5)
    double      freq = 0;             // oscillator Hz; 0 = the pitch of `note` (C-5 = 261.63 Hz)
    double      pulseWidth = 0.5;     // pulse: duty cycle 0..1
    int         voices = 1;           // supersaw: number of saws
    double      detune = 0;           // supersaw: spread in cents between outermost saws
    double      sub = 0;              // level of a sine one octave below
    double      tone = 1;             // level of the oscillator itself (0 = noise only)
    std::vector<double> chord = {0};  // semitones of the notes sounding together (a stab)
    double      fmRatio = 0;          // sine only: modulator frequency / carrier frequency, 0 = no FM
    double      fmIndex = 0;          // modulation depth in radians at the start
    double      fmDecay = 0;          // seconds for the depth to fall by 1/e; 0 = constant
    double      pitchStart = 0;       // pitch sweep: semitones above freq at the start
    double      pitchTime = 0;        // pitch sweep: seconds for the sweep to fall by 1/e
    double      attack = 0.002;       // seconds from 0 to full level
    double      decay = 0.1;          // seconds for the level to fall by 1/e toward sustain
    double      sustain = 0;          // level 0..1 held in the loop
    double      length = 0.5;         // seconds of sample
    double      loop = 0;             // seconds of loop at the end of the sample; 0 = one-shot
    double      noise = 0;            // level of white noise mixed in
    double      noiseDecay = 0;       // seconds for the noise to fall by 1/e; 0 = same as decay
    double      noiseHighpass = 0;    // Hz, highpass on the noise part only; 0 = none
    int         bursts = 1;           // clap: number of noise bursts
    double      burstGap = 0.01;      // clap: seconds between bursts
    std::string filter = "none";      // none lowpass highpass bandpass
    double      cutoff = 20000;       // filter cutoff in Hz
    double      resonance = 0;        // 0..1 (Q from 0.7 to about 10)
    double      filterEnv = 0;        // Hz added to the cutoff at the start
    double      filterDecay = 0.1;    // seconds for the added cutoff to fall by 1/e
    double      drive = 0;            // tanh saturation, 0 = clean
    double      echo = 0;             // level of a short built-in echo (chorus/space), 0 = none
    double      echoTime = 0.0;       // seconds of that echo
    int         rate = 44100;         // sample frames per second
    double      gain = 0.9;           // peak level after normalisation, 0..1
    int         volume = 64;          // IT default volume 0..64
    int         pan = -1;             // IT default pan 0..64, -1 = channel pan
    unsigned    seed = 1;             // noise generator seed
};

// A finished sample, ready for the IT writer.
struct Sample {
    std::string          name;
    std::vector<int16_t> frames;      // mono 16-bit PCM
    uint32_t             loopBegin = 0;
    uint32_t             loopEnd = 0; // exclusive; 0 = no loop
    uint32_t             c5Speed = 44100;
    int                  volume = 64;
    int                  pan = -1;
};

Sample synthesise(const Instrument &ins);

// ---- Score reader (score.cpp) ------------------------------------------------

struct Cell {
    int note = -1;        // -1 none, 0..119 note, 254 cut, 255 off
    int instrument = 0;   // 0 none, 1..99
    int volume = -1;      // -1 none, 0..64
    int effect = 0;       // 0 none, 1..26 (A..Z)
    int param = 0;        // 0..255
};

struct Pattern {
    std::string                    name;
    std::vector<std::vector<Cell>> rows;   // rows[row][channel], all song channels
    std::string                    file;
    int                            line = 0;
};

struct Song {
    std::string              title = "Zap Wave";
    int                      speed = 6;
    int                      tempo = 125;
    int                      globalVolume = 128;
    int                      mixVolume = 48;
    std::vector<std::string> channelNames;
    std::vector<int>         channelPan;     // 0..64
    std::vector<int>         channelVolume;  // 0..64
    std::vector<Instrument>  instruments;    // sorted by number, numbers 1..n
    std::vector<Pattern>     patterns;       // in the order first named by the order list
    std::vector<int>         orders;         // pattern index per order
};

// Reads instruments.txt, song.txt (settings and order list) and every *.pat file of
// `dir`. On any error it fills `error` with "file:line: what is wrong" and returns false.
bool readSong(const std::string &dir, Song &song, std::string &error);

// ---- Impulse Tracker writer (itwrite.cpp) ------------------------------------

// compressed: each sample in IT 2.14 or 2.15 compressed form, whichever is smaller
// (the build's module); otherwise raw, which the tests compare it with.
std::vector<uint8_t> writeImpulseTracker(const Song &song, const std::vector<Sample> &samples, bool compressed);
