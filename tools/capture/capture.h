// The capture's parts and what they share: the options (options.cpp), ffmpeg
// and the files it writes (encoder.cpp), the pipeline from GL to ffmpeg
// (pipeline.cpp), the demo's frames over the music (frames.cpp) and the
// capture itself (capture.cpp). The flash counter draws through the same
// frames and pipeline, and takes the frames itself.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

const int audioRate   = 44100;   // the player's rate without a device
const int longestDemo = 900;     // seconds; a module that never ends stops here

// A positive fraction in lowest terms: frames per second, or seconds.
struct Rational {
    int64_t num = 0, den = 1;
};

struct CaptureOptions {
    std::string out;            // the video file; .mkv means lossless
    Rational    fps = {60, 1};  // frame k stands at k * fps.den / fps.num seconds
    int         width = 640, height = 480; // the video's frame
    bool        retro = false;  // drawn at 640 x 480, enlarged by a whole factor
    std::string framesDir;      // also every frame as a PNG, when set
    std::string wavPath;        // also the soundtrack, when set
    Rational    until;          // seconds; stop there instead of at the end (0: not set)
    std::string data = ".";     // where fontpre.tga and zap_wave.it lie
    bool        noEncode = false; // only draw, and say how fast: the drawing's own pace
    std::string chaptersPath;   // names of the nine scenes, one a line: a chapter each in the video
};

// options.cpp: the command line, and the exact moment of every frame.
extern CaptureOptions options;
void parseOptions(int argc, char **argv);
long framesBefore(Rational seconds);
int  frameMilliseconds(long k);
long audioFramesAt(long k);
bool endsWith(const std::string &s, const char *suffix);

// encoder.cpp: ffmpeg as a child, the video beside --out, the temporary folder,
// and the clean-up at any exit. fail() is for the GL thread only.
extern FILE *encoderInput;              // ffmpeg's standard input
extern std::atomic<bool> writeFailed;   // a frame did not reach ffmpeg or its PNG; set by the writer
[[noreturn]] void fail(const std::string &message);
// The program that fails and its exit code: cubic-harmony-capture's and 1 unless another tool says.
void setFailure(const char *tool, int exitCode);
void checkSurroundings();
std::string workFile(const char *name);
// chapterStarts: the first frame of each of the nine scenes, then the end.
void startEncoder(const std::string &audioPath, const long chapterStarts[10]);
void finishEncoder();
void keepVideo();

// pipeline.cpp: drawing, read-back and the pipe to ffmpeg, overlapping.
extern long framesRead;                 // read-backs started (GL thread only)
extern std::atomic<long> framesWritten; // frames the writer is done with
// Where the writer thread takes each frame (GL's rows: BGRA, bottom row first);
// false stops the capture. Null: to ffmpeg, and to the PNGs of --frames.
extern bool (*takeFrame)(long frame, const uint8_t *rows);
void startPipeline();
void readFrame();
void finishFrame();
void stopWriter();
void finishPipeline();

// frames.cpp: the music rendered ahead, the scenes' first frames, the drawing.
extern std::vector<int16_t> soundtrack; // interleaved stereo at audioRate, up to the last frame's end
extern long sceneStarts[10];            // the first frame of each scene, then the frame count
void renderMusic();                     // options.data's module, frame by frame up to the end or --until
long countFrames();                     // frames in the capture; fills sceneStarts
void drawDemo(long frames, void (*eachFrame)()); // every frame, through frameFinished; stops where a write failed
