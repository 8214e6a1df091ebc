// The score reader: assets/music/song.txt (settings, channels, order list),
// instruments.txt (synthesiser parameters) and the *.pat pattern files.
// Every error names the file and line and says what was expected there.
#include "music.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>

// ---- small text helpers ------------------------------------------------------

// A comment starts with '#' at the start of a line or after a space or tab
// (so the sharp in a note name such as F#4 is not one) and runs to the line's end.
static std::string stripComment(const std::string &line)
{
    size_t at = 0;
    while ((at = line.find('#', at)) != std::string::npos && at > 0 && line[at - 1] != ' ' && line[at - 1] != '\t') at++;
    std::string s = line.substr(0, at);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
    return s;
}

static std::vector<std::string> splitWords(const std::string &s)
{
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

static bool readFile(const std::string &path, std::string &text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

static bool parseInt(const std::string &s, int &v)
{
    if (s.empty()) return false;
    char *end = nullptr;
    long x = std::strtol(s.c_str(), &end, 10);
    if (*end) return false;
    v = (int)x;
    return true;
}

static bool parseDouble(const std::string &s, double &v)
{
    if (s.empty()) return false;
    char *end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return *end == 0;
}

static std::string where(const std::string &file, int line) { return file + ":" + std::to_string(line) + ": "; }

// "C-5" -> 60, "C#5" -> 61; -1 if not a note name.
static int parseNoteName(const std::string &s)
{
    static const char *letters = "C D EF G A B";
    if (s.size() != 3 || (s[1] != '-' && s[1] != '#') || s[2] < '0' || s[2] > '9') return -1;
    const char *p = std::strchr(letters, s[0]);
    if (!p || s[0] == ' ') return -1;
    int semitone = (int)(p - letters) + (s[1] == '#' ? 1 : 0);
    if (s[1] == '#' && (s[0] == 'E' || s[0] == 'B')) return -1;
    return (s[2] - '0') * 12 + semitone;
}

// ---- instruments.txt ---------------------------------------------------------

static bool setInstrumentKey(Instrument &ins, const std::string &key, const std::string &value, std::string &why)
{
    std::map<std::string, double *> reals = {
        {"freq", &ins.freq}, {"pulse_width", &ins.pulseWidth}, {"detune", &ins.detune}, {"sub", &ins.sub},
        {"pitch_start", &ins.pitchStart}, {"pitch_time", &ins.pitchTime}, {"attack", &ins.attack},
        {"decay", &ins.decay}, {"sustain", &ins.sustain}, {"length", &ins.length}, {"loop", &ins.loop},
        {"noise", &ins.noise}, {"noise_decay", &ins.noiseDecay}, {"noise_highpass", &ins.noiseHighpass},
        {"burst_gap", &ins.burstGap}, {"cutoff", &ins.cutoff}, {"resonance", &ins.resonance},
        {"filter_env", &ins.filterEnv}, {"filter_decay", &ins.filterDecay}, {"drive", &ins.drive},
        {"echo", &ins.echo}, {"tone", &ins.tone}, {"fm_ratio", &ins.fmRatio}, {"fm_index", &ins.fmIndex}, {"fm_decay", &ins.fmDecay}, {"echo_time", &ins.echoTime}, {"gain", &ins.gain}};
    std::map<std::string, int *> ints = {
        {"voices", &ins.voices}, {"bursts", &ins.bursts}, {"rate", &ins.rate}, {"volume", &ins.volume}, {"pan", &ins.pan}};
    if (key == "osc") {
        static const char *kinds[] = {"sine", "triangle", "saw", "square", "pulse", "supersaw", "metal", "noise"};
        if (std::find(std::begin(kinds), std::end(kinds), value) == std::end(kinds)) {
            why = "osc must be sine, triangle, saw, square, pulse, supersaw, metal or noise, not '" + value + "'";
            return false;
        }
        ins.osc = value;
    } else if (key == "filter") {
        if (value != "none" && value != "lowpass" && value != "highpass" && value != "bandpass") {
            why = "filter must be none, lowpass, highpass or bandpass, not '" + value + "'";
            return false;
        }
        ins.filter = value;
    } else if (key == "note") {
        ins.note = parseNoteName(value);
        if (ins.note < 0) { why = "note must be a note name like C-5 or F#3, not '" + value + "'"; return false; }
    } else if (key == "chord") {
        ins.chord.clear();
        std::string item;
        for (std::istringstream list(value); std::getline(list, item, ',');) {
            double v;
            if (!parseDouble(item, v)) { why = "chord must be semitones separated by commas, like 0,3,7"; return false; }
            ins.chord.push_back(v);
        }
        if (ins.chord.empty()) { why = "chord must name at least one note"; return false; }
    } else if (key == "seed") {
        int v;
        if (!parseInt(value, v)) { why = "seed must be a whole number"; return false; }
        ins.seed = (unsigned)v;
    } else if (reals.count(key)) {
        if (!parseDouble(value, *reals[key])) { why = key + " must be a number, not '" + value + "'"; return false; }
    } else if (ints.count(key)) {
        if (!parseInt(value, *ints[key])) { why = key + " must be a whole number, not '" + value + "'"; return false; }
    } else {
        why = "unknown instrument parameter '" + key + "'";
        return false;
    }
    return true;
}

static bool readInstruments(const std::string &path, Song &song, std::string &error)
{
    std::string text;
    if (!readFile(path, text)) { error = path + ": cannot be read"; return false; }
    std::istringstream in(text);
    std::string raw;
    Instrument *cur = nullptr;
    for (int line = 1; std::getline(in, raw); line++) {
        std::string s = stripComment(raw);
        if (splitWords(s).empty()) continue;
        if (s[0] == '[') {
            std::vector<std::string> w = splitWords(s.substr(1, s.find(']') == std::string::npos ? 0 : s.find(']') - 1));
            int number;
            if (s.find(']') == std::string::npos || w.size() != 2 || !parseInt(w[0], number) || number < 1 || number > 99) {
                error = where(path, line) + "expected an instrument header like '[01 kick]' (number 1..99, one-word name)";
                return false;
            }
            for (const Instrument &o : song.instruments)
                if (o.number == number) { error = where(path, line) + "instrument " + w[0] + " is defined twice"; return false; }
            song.instruments.emplace_back();
            cur = &song.instruments.back();
            cur->number = number;
            cur->name = w[1];
            cur->seed = (unsigned)number;
            continue;
        }
        size_t eq = s.find('=');
        std::vector<std::string> key = splitWords(s.substr(0, eq == std::string::npos ? 0 : eq));
        std::vector<std::string> value = splitWords(eq == std::string::npos ? "" : s.substr(eq + 1));
        if (!cur) { error = where(path, line) + "parameter before the first '[NN name]' header"; return false; }
        if (eq == std::string::npos || key.size() != 1 || value.size() != 1) {
            error = where(path, line) + "expected 'key = value'";
            return false;
        }
        std::string why;
        if (!setInstrumentKey(*cur, key[0], value[0], why)) { error = where(path, line) + why; return false; }
    }
    std::sort(song.instruments.begin(), song.instruments.end(),
              [](const Instrument &a, const Instrument &b) { return a.number < b.number; });
    for (size_t i = 0; i < song.instruments.size(); i++)
        if (song.instruments[i].number != (int)i + 1) {
            error = path + ": instruments must be numbered 01, 02, ... without gaps (missing " + std::to_string(i + 1) + ")";
            return false;
        }
    if (song.instruments.empty()) { error = path + ": no instruments"; return false; }
    return true;
}

// ---- song.txt ------------------------------------------------------------------

struct OrderLine { int number; std::string pattern; int line; };

static bool readSongFile(const std::string &path, Song &song, std::vector<OrderLine> &orders, std::string &error)
{
    std::string text;
    if (!readFile(path, text)) { error = path + ": cannot be read"; return false; }
    std::istringstream in(text);
    std::string raw;
    for (int line = 1; std::getline(in, raw); line++) {
        std::vector<std::string> w = splitWords(stripComment(raw));
        if (w.empty()) continue;
        int a = 0, b = 0;
        if (w[0] == "title" && w.size() >= 2) {
            song.title = stripComment(raw).substr(stripComment(raw).find(w[1]));
        } else if ((w[0] == "speed" || w[0] == "tempo" || w[0] == "global" || w[0] == "mix") && w.size() == 2 && parseInt(w[1], a)) {
            if (w[0] == "speed")  { if (a < 1 || a > 255) { error = where(path, line) + "speed must be 1..255"; return false; } song.speed = a; }
            if (w[0] == "tempo")  { if (a < 32 || a > 255) { error = where(path, line) + "tempo must be 32..255"; return false; } song.tempo = a; }
            if (w[0] == "global") { if (a < 0 || a > 128) { error = where(path, line) + "global must be 0..128"; return false; } song.globalVolume = a; }
            if (w[0] == "mix")    { if (a < 0 || a > 128) { error = where(path, line) + "mix must be 0..128"; return false; } song.mixVolume = a; }
        } else if (w[0] == "channel" && w.size() == 4 && parseInt(w[2], a) && parseInt(w[3], b)) {
            if (a < 0 || a > 64 || b < 0 || b > 64) { error = where(path, line) + "channel pan and volume must be 0..64"; return false; }
            if (std::find(song.channelNames.begin(), song.channelNames.end(), w[1]) != song.channelNames.end()) {
                error = where(path, line) + "channel '" + w[1] + "' is named twice";
                return false;
            }
            song.channelNames.push_back(w[1]);
            song.channelPan.push_back(a);
            song.channelVolume.push_back(b);
        } else if (w[0] == "order" && w.size() == 3 && parseInt(w[1], a)) {
            if (a != (int)orders.size()) {
                error = where(path, line) + "expected order " + std::to_string(orders.size()) + " here (orders are listed 0, 1, 2, ... in turn)";
                return false;
            }
            orders.push_back({a, w[2], line});
        } else {
            error = where(path, line) + "expected 'title TEXT', 'speed N', 'tempo N', 'global N', 'mix N', "
                    "'channel NAME PAN VOLUME' or 'order N PATTERN'";
            return false;
        }
    }
    if (song.channelNames.empty() || song.channelNames.size() > 64) { error = path + ": needs 1..64 channel lines"; return false; }
    if (orders.empty() || orders.size() > 200) { error = path + ": needs 1..200 order lines"; return false; }
    return true;
}

// ---- *.pat -----------------------------------------------------------------------

static bool parseCell(const std::string &text, Cell &cell, std::string &why)
{
    std::vector<std::string> w = splitWords(text);
    if (w.size() != 4) {
        why = "a cell is four fields 'note instrument volume effect' like 'C-5 01 64 ...' or '... .. .. ...', got '" + text + "'";
        return false;
    }
    const std::string &n = w[0], &i = w[1], &v = w[2], &e = w[3];
    if (n == "...")      cell.note = -1;
    else if (n == "===") cell.note = 255;
    else if (n == "^^^") cell.note = 254;
    else if ((cell.note = parseNoteName(n)) < 0) { why = "note '" + n + "' is not a note (C-5, F#3), '...', '===' (off) or '^^^' (cut)"; return false; }
    if (i == "..") cell.instrument = 0;
    else if (i.size() != 2 || !parseInt(i, cell.instrument) || cell.instrument < 1) { why = "instrument '" + i + "' is not two digits 01..99 or '..'"; return false; }
    if (v == "..") cell.volume = -1;
    else if (v.size() != 2 || !parseInt(v, cell.volume) || cell.volume > 64 || cell.volume < 0) { why = "volume '" + v + "' is not two digits 00..64 or '..'"; return false; }
    if (e == "...") { cell.effect = 0; cell.param = 0; }
    else {
        char *end = nullptr;
        long p = e.size() == 3 ? std::strtol(e.c_str() + 1, &end, 16) : -1;
        if (e.size() != 3 || e[0] < 'A' || e[0] > 'Z' || !end || *end || !std::isxdigit((unsigned char)e[1])) {
            why = "effect '" + e + "' is not a letter and two hex digits (A06, D04) or '...'";
            return false;
        }
        cell.effect = e[0] - 'A' + 1;
        cell.param = (int)p;
    }
    return true;
}

// Parses one pattern file's text.
static bool parsePatternText(const std::string &text, const std::string &file, const Song &song,
                              std::vector<Pattern> &out, std::string &error)
{
    std::istringstream in(text);
    std::string raw;
    Pattern *cur = nullptr;
    std::vector<int> columns;   // song channel of each column of the current pattern
    auto finish = [&](int line) {
        if (cur && cur->rows.empty()) { error = where(file, line) + "pattern '" + cur->name + "' has no rows"; return false; }
        return true;
    };
    for (int line = 1; std::getline(in, raw); line++) {
        std::string s = stripComment(raw);
        std::vector<std::string> w = splitWords(s);
        if (w.empty()) continue;
        if (w[0] == "pattern") {
            if (!finish(line)) return false;
            if (w.size() != 2) { error = where(file, line) + "expected 'pattern NAME'"; return false; }
            for (const Pattern &p : out)
                if (p.name == w[1]) { error = where(file, line) + "pattern '" + w[1] + "' is defined twice (also " + p.file + ":" + std::to_string(p.line) + ")"; return false; }
            out.emplace_back();
            cur = &out.back();
            cur->name = w[1];
            cur->file = file;
            columns.clear();
            continue;
        }
        if (!cur) { error = where(file, line) + "expected 'pattern NAME' before anything else"; return false; }
        if (w[0] == "columns") {
            if (!cur->rows.empty() || !columns.empty()) { error = where(file, line) + "'columns' must come once, before the first row"; return false; }
            for (size_t k = 1; k < w.size(); k++) {
                auto it = std::find(song.channelNames.begin(), song.channelNames.end(), w[k]);
                if (it == song.channelNames.end()) { error = where(file, line) + "'" + w[k] + "' is not a channel named in song.txt"; return false; }
                columns.push_back((int)(it - song.channelNames.begin()));
            }
            if (columns.empty()) { error = where(file, line) + "'columns' names no channel"; return false; }
            continue;
        }
        // A row: "NN | cell | cell | ..."
        if (columns.empty()) { error = where(file, line) + "expected 'columns NAME NAME ...' before the first row"; return false; }
        std::vector<std::string> parts;
        for (size_t start = 0;;) {
            size_t bar = s.find('|', start);
            parts.push_back(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
        int rowNumber = -1;
        std::vector<std::string> head = splitWords(parts[0]);
        if (head.size() != 1 || !parseInt(head[0], rowNumber)) {
            error = where(file, line) + "expected a row 'NN | cell | cell ...' starting with its row number, got '" + s + "'";
            return false;
        }
        if (rowNumber != (int)cur->rows.size()) {
            error = where(file, line) + "row " + head[0] + " found where row " + std::to_string(cur->rows.size()) + " of pattern '" + cur->name + "' belongs";
            return false;
        }
        if (parts.size() - 1 != columns.size()) {
            error = where(file, line) + "row has " + std::to_string(parts.size() - 1) + " cells, pattern '" + cur->name + "' has " + std::to_string(columns.size()) + " columns";
            return false;
        }
        std::vector<Cell> row(song.channelNames.size());
        for (size_t c = 0; c < columns.size(); c++) {
            std::string why;
            if (!parseCell(parts[c + 1], row[columns[c]], why)) {
                error = where(file, line) + "column " + std::to_string(c + 1) + " (" + song.channelNames[columns[c]] + "): " + why;
                return false;
            }
            if (row[columns[c]].instrument > (int)song.instruments.size()) {
                error = where(file, line) + "column " + std::to_string(c + 1) + " (" + song.channelNames[columns[c]] + "): instrument " +
                        std::to_string(row[columns[c]].instrument) + " is not defined in instruments.txt";
                return false;
            }
        }
        cur->rows.push_back(row);
        if (cur->rows.size() > 200) { error = where(file, line) + "a pattern has at most 200 rows"; return false; }
    }
    return finish(0);
}

// ---- the whole song ------------------------------------------------------------------

bool readSong(const std::string &dir, Song &song, std::string &error)
{
    std::vector<OrderLine> orders;
    if (!readInstruments(dir + "/instruments.txt", song, error)) return false;
    if (!readSongFile(dir + "/song.txt", song, orders, error)) return false;

    std::vector<std::string> files;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".pat") == 0) files.push_back(n);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    std::vector<Pattern> all;
    for (const std::string &f : files) {
        std::string text, path = dir + "/" + f;
        if (!readFile(path, text)) { error = path + ": cannot be read"; return false; }
        if (!parsePatternText(text, path, song, all, error)) return false;
    }

    // Patterns are numbered in the order the order list first names them.
    std::map<std::string, int> index;
    for (const OrderLine &o : orders) {
        auto found = std::find_if(all.begin(), all.end(), [&](const Pattern &p) { return p.name == o.pattern; });
        if (found == all.end()) {
            error = where(dir + "/song.txt", o.line) + "order " + std::to_string(o.number) + " names pattern '" + o.pattern + "', which no .pat file defines";
            return false;
        }
        if (!index.count(o.pattern)) { index[o.pattern] = (int)song.patterns.size(); song.patterns.push_back(*found); }
        song.orders.push_back(index[o.pattern]);
    }
    for (const Pattern &p : all)
        if (!index.count(p.name)) {
            error = where(p.file, p.line) + "pattern '" + p.name + "' is not used by any order in song.txt";
            return false;
        }
    return true;
}
