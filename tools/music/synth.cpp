// The module tool's synthesiser: one instrument's parameters in, one 16-bit sample out.
// Signal path: oscillator (with pitch sweep and sub octave) under the amplitude envelope,
// plus noise under its own envelope, through one filter, drive, echo and a DC blocker;
// then normalised, given a crossfaded loop if it sustains, or faded out at its end.
#include "music.h"

#include <algorithm>
#include <cmath>

static const double pi = 3.14159265358979323846;

// Frequency of a score note: 60 (C-5) is middle C, 69 is 440 Hz.
static double noteHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// PolyBLEP correction for a step at phase 0 of a waveform advancing dt per frame.
static double polyBlep(double t, double dt)
{
    if (t < dt)       { t /= dt;            return t + t - t * t - 1.0; }
    if (t > 1.0 - dt) { t = (t - 1.0) / dt; return t * t + t + t + 1.0; }
    return 0.0;
}

static double sawAt(double phase, double dt)  { return 2.0 * phase - 1.0 - polyBlep(phase, dt); }

static double pulseAt(double phase, double dt, double width)
{
    double v = phase < width ? 1.0 : -1.0;
    v += polyBlep(phase, dt);
    v -= polyBlep(std::fmod(phase + 1.0 - width, 1.0), dt);
    return v;
}

// The demo's own small generator (same recurrence as demoRand), here for noise.
struct NoiseSource {
    uint32_t state;
    double next() { state = state * 214013u + 2531011u; return ((state >> 8) & 0xFFFF) / 32767.5 - 1.0; }
};

enum Wave { sineWave, triangleWave, sawWave, squareWave, pulseWave, noiseWave, silentWave };
enum FilterKind { lowpass, highpass, bandpass };

// The oscillator's waveform, read once: supersaw voices are saws, metal ones squares.
static Wave waveOf(const std::string &osc)
{
    if (osc == "sine")                       return sineWave;
    if (osc == "triangle")                   return triangleWave;
    if (osc == "saw" || osc == "supersaw")   return sawWave;
    if (osc == "square" || osc == "metal")   return squareWave;
    if (osc == "pulse")                      return pulseWave;
    if (osc == "noise")                      return noiseWave;
    return silentWave;
}

static FilterKind filterOf(const std::string &type)
{
    return type == "highpass" ? highpass : type == "bandpass" ? bandpass : lowpass;
}

// RBJ biquad, coefficients recomputed as the cutoff moves.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    void set(FilterKind type, double hz, double q, double rate)
    {
        hz = std::clamp(hz, 10.0, rate * 0.45);
        double w = 2 * pi * hz / rate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
        double n0, n1, n2;
        if (type == highpass)      { n0 = (1 + c) / 2; n1 = -(1 + c); n2 = (1 + c) / 2; }
        else if (type == bandpass) { n0 = alpha;       n1 = 0;        n2 = -alpha; }
        else                       { n0 = (1 - c) / 2; n1 = 1 - c;    n2 = (1 - c) / 2; }
        double d0 = 1 + alpha;
        b0 = n0 / d0; b1 = n1 / d0; b2 = n2 / d0; a1 = -2 * c / d0; a2 = (1 - alpha) / d0;
    }
    double run(double x)
    {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1; x1 = x; y2 = y1; y1 = y;
        return y;
    }
};

// Smooth 0..1 rise over `time` seconds (raised cosine), so no sample starts with a step.
static double rise(double t, double time)
{
    if (time <= 0 || t >= time) return 1.0;
    if (t <= 0) return 0.0;
    return 0.5 - 0.5 * std::cos(pi * t / time);
}

// The pitch a sound plays at, and its loop. A sustained periodic sound is tuned
// to a whole number of frames per cycle, so its loop holds whole cycles and the
// seam is exact; c5Speed makes up the cents.
struct Tuning { double target, freq; int loopFrames; bool periodic; };

static Tuning tune(const Instrument &ins, int total)
{
    Tuning tuning;
    tuning.target   = ins.freq > 0 ? ins.freq : noteHz(ins.note);
    tuning.periodic = (ins.osc == "sine" || ins.osc == "triangle" || ins.osc == "saw" ||
                       ins.osc == "square" || ins.osc == "pulse") &&
                      ins.chord.size() == 1 && ins.chord[0] == 0 && ins.noise == 0 &&
                      ins.fmRatio == std::floor(ins.fmRatio);
    tuning.freq = tuning.target;
    const double rate = ins.rate;
    int loopFrames = ins.loop > 0 ? std::max(2, (int)std::lround(ins.loop * rate)) : 0;
    if (loopFrames > 0 && tuning.periodic) {
        int period  = std::max(2, (int)std::lround(rate / tuning.target));
        tuning.freq = rate / period;
        loopFrames  = std::max(1, (int)std::lround((double)loopFrames / period)) * period;
    }
    tuning.loopFrames = std::min(loopFrames, total / 2);
    return tuning;
}

// Voices: every chord note times every supersaw saw (or the six metal squares),
// each with its frequency ratio to the tuned pitch and its own phase.
struct Voices { std::vector<double> ratio, phase, fmPhase; };

static Voices makeVoices(const Instrument &ins, NoiseSource &noise)
{
    Voices v;
    for (double semitones : ins.chord) {
        double base = std::pow(2.0, semitones / 12.0);
        if (ins.osc == "supersaw") {
            int count = std::max(1, ins.voices);
            for (int i = 0; i < count; i++) {
                double cents = count == 1 ? 0.0 : ins.detune * ((double)i / (count - 1) - 0.5);
                v.ratio.push_back(base * std::pow(2.0, cents / 1200.0));
                v.phase.push_back((noise.next() + 1.0) / 2.0);
            }
        } else if (ins.osc == "metal") {
            for (double r : {1.0, 1.4828, 1.8009, 2.5468, 2.6357, 3.8959}) { v.ratio.push_back(base * r); v.phase.push_back(0); }
        } else {
            v.ratio.push_back(base);
            v.phase.push_back(ins.chord.size() > 1 ? (noise.next() + 1.0) / 2.0 : 0.0);
        }
    }
    v.fmPhase.assign(v.ratio.size(), 0.0);
    return v;
}

// The sum of the voices at time t, pitch f (dt = f / rate), FM on sine voices;
// every voice's phase moves on one frame.
static double oscillator(const Instrument &ins, Wave wave, Voices &v, NoiseSource &noise, double t, double dt)
{
    double osc = 0;
    double fmDepth = ins.fmIndex * (ins.fmDecay > 0 ? std::exp(-t / ins.fmDecay) : 1.0);
    for (size_t i = 0; i < v.ratio.size(); i++) {
        double vdt = dt * v.ratio[i], p = v.phase[i];
        switch (wave) {
        case sineWave:     osc += std::sin(2 * pi * p + (ins.fmRatio > 0 ? fmDepth * std::sin(2 * pi * v.fmPhase[i]) : 0.0)); break;
        case triangleWave: osc += 1.0 - 4.0 * std::fabs(p - 0.5); break;
        case sawWave:      osc += sawAt(p, vdt); break;
        case squareWave:   osc += pulseAt(p, vdt, 0.5); break;
        case pulseWave:    osc += pulseAt(p, vdt, ins.pulseWidth); break;
        case noiseWave:    osc += noise.next(); break;
        case silentWave:   break;
        }
        v.phase[i]   = std::fmod(p + vdt, 1.0);
        v.fmPhase[i] = std::fmod(v.fmPhase[i] + vdt * ins.fmRatio, 1.0);
    }
    return osc;
}

// Smooth attack, exponential decay toward sustain.
static double amplitude(const Instrument &ins, double t)
{
    return rise(t, ins.attack) * (ins.sustain + (1.0 - ins.sustain) * std::exp(-std::max(0.0, t - ins.attack) / std::max(1e-4, ins.decay)));
}

// The noise's envelope, in one or more bursts (a clap is a few quick bursts and a tail).
static double noiseEnvelope(const Instrument &ins, double t, double noiseDecay)
{
    double nenv = 0;
    int bursts = std::max(1, ins.bursts);
    for (int b = 0; b < bursts; b++) {
        double tb = t - b * ins.burstGap;
        if (tb < 0) break;
        double d = b == bursts - 1 ? noiseDecay : ins.burstGap / 3.0;
        nenv = std::max(nenv, rise(tb, std::min(ins.attack, 0.0015)) * std::exp(-tb / d));
    }
    return nenv;
}

// Frame by frame: oscillator and sub octave under the amplitude envelope, plus
// noise, through the filter (its cutoff on its own decaying envelope) and drive.
static std::vector<double> voiceSignal(const Instrument &ins, const Tuning &tuning, int total)
{
    const double rate = ins.rate;
    NoiseSource noise{ins.seed * 2654435761u + 12345u};
    Voices voices = makeVoices(ins, noise);
    const Wave wave = waveOf(ins.osc);
    const double voiceScale = 1.0 / std::sqrt((double)voices.ratio.size());
    Biquad filter, noiseFilter;
    const FilterKind filterKind = filterOf(ins.filter);
    const double q = 0.707 + 9.0 * std::clamp(ins.resonance, 0.0, 1.0);
    if (ins.noiseHighpass > 0) noiseFilter.set(highpass, ins.noiseHighpass, 0.707, rate);
    double subPhase = 0;
    const double noiseDecay = ins.noiseDecay > 0 ? ins.noiseDecay : ins.decay;

    std::vector<double> out(total);
    for (int i = 0; i < total; i++) {
        double t  = i / rate;
        double f  = tuning.freq * std::pow(2.0, ins.pitchStart * (ins.pitchTime > 0 ? std::exp(-t / ins.pitchTime) : 0.0) / 12.0);
        double dt = f / rate;
        double osc = oscillator(ins, wave, voices, noise, t, dt) * (voiceScale * ins.tone);
        if (ins.sub > 0) { osc += ins.sub * std::sin(2 * pi * subPhase); subPhase = std::fmod(subPhase + dt / 2, 1.0); }
        double x = osc * amplitude(ins, t);
        if (ins.noise > 0) {
            double nenv = noiseEnvelope(ins, t, noiseDecay);
            double n = noise.next();
            if (ins.noiseHighpass > 0) n = noiseFilter.run(n);
            x += ins.noise * n * nenv;
        }
        if (ins.filter != "none") {
            if ((i & 15) == 0) filter.set(filterKind, ins.cutoff + ins.filterEnv * std::exp(-t / std::max(1e-4, ins.filterDecay)), q, rate);
            x = filter.run(x);
        }
        if (ins.drive > 0) x = std::tanh(ins.drive * x) / std::tanh(ins.drive);
        out[i] = x;
    }
    return out;
}

// Echo, then a DC blocker at about 10 Hz.
static void echoAndBlockDc(const Instrument &ins, std::vector<double> &out)
{
    const double rate = ins.rate;
    int total = (int)out.size();
    if (ins.echo > 0 && ins.echoTime > 0) {
        int d = std::max(1, (int)std::lround(ins.echoTime * rate));
        for (int i = total - 1; i >= d; i--) out[i] += ins.echo * out[i - d];
    }
    double r = 1.0 - 2 * pi * 10.0 / rate, px = 0, py = 0;
    for (double &v : out) { double y = v - px + r * py; px = v; py = y; v = y; }
}

// Loop: the last loopFrames frames repeat; the stretch before the loop end is
// crossfaded with the stretch before the loop start, so the seam joins smoothly.
static void makeLoop(std::vector<double> &out, int loopFrames, bool periodic, Sample &s)
{
    int le = (int)out.size(), ls = le - loopFrames;
    int fade = std::min(loopFrames / 2, ls);
    for (int i = 0; i < fade; i++) {
        double w = (i + 1.0) / fade;                        // reaches 1 at the last frame
        double a = std::sqrt(1.0 - w), b = std::sqrt(w);    // equal power: the parts are mostly unrelated
        if (periodic) { a = 1.0 - w; b = w; } // same phase: plain linear blend
        out[le - fade + i] = out[le - fade + i] * a + out[ls - fade + i] * b;
    }
    s.loopBegin = ls;
    s.loopEnd   = le;
}

// One-shot: the last quarter (at most 0.1 s) fades smoothly to zero, so a tail
// that is cut by the sample's end dies away instead of stopping on a step.
static void fadeOut(std::vector<double> &out, double rate)
{
    int total = (int)out.size();
    int fade = std::min(total / 4, (int)(0.1 * rate));
    for (int i = 0; i < fade; i++) out[total - 1 - i] *= rise(i, fade);
}

// Normalised to the asked peak and quantised.
static std::vector<int16_t> quantise(const std::vector<double> &out, double gain)
{
    double peak = 1e-9;
    for (double v : out) peak = std::max(peak, std::fabs(v));
    double scale = gain * 32767.0 / peak;
    std::vector<int16_t> frames(out.size());
    for (size_t i = 0; i < out.size(); i++) frames[i] = (int16_t)std::lround(std::clamp(out[i] * scale, -32767.0, 32767.0));
    return frames;
}

Sample synthesise(const Instrument &ins)
{
    const double rate = ins.rate; // frames per second, as a double for every formula below
    const int total = std::max(16, (int)std::lround(ins.length * rate));
    Tuning tuning = tune(ins, total);
    std::vector<double> out = voiceSignal(ins, tuning, total);
    echoAndBlockDc(ins, out);
    Sample s;
    s.name = ins.name;
    if (tuning.loopFrames > 0) makeLoop(out, tuning.loopFrames, tuning.periodic, s);
    else fadeOut(out, rate);
    s.frames = quantise(out, ins.gain);
    // Note `ins.note` plays the sample at the pitch asked for: C5Speed is the frame rate
    // for C-5, shifted by the note distance and by the tuning correction above.
    s.c5Speed = (uint32_t)std::lround(rate * std::pow(2.0, (60 - ins.note) / 12.0) * (tuning.target / tuning.freq));
    s.volume  = ins.volume;
    s.pan     = ins.pan;
    return s;
}
