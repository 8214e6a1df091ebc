// Frames from GL to ffmpeg, and to the PNGs of --frames.
#include "capture.h"
#include "png_image.h"
#include "offscreen.h"
#include "shell.h"
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <condition_variable>
#include <mutex>
#include <thread>

static size_t frameBytes() { return (size_t)renderWidth * renderHeight * 4; }

// One frame as GL reads it (BGRA, bottom row first) turned into an RGB picture,
// top row first. The writer thread's alone.
static bool writeFramePng(long frame, const uint8_t *rows)
{
    static RgbImage image; // kept from frame to frame: a 2160p frame is 25 MB
    image.width = renderWidth;
    image.height = renderHeight;
    image.pixels.resize((size_t)renderWidth * renderHeight * 3);
    for (int y = 0; y < renderHeight; y++) {
        const uint8_t *from = &rows[(size_t)(renderHeight - 1 - y) * renderWidth * 4];
        uint8_t *to = &image.pixels[(size_t)y * renderWidth * 3];
        for (int x = 0; x < renderWidth; x++, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    char name[64];
    snprintf(name, sizeof name, "/frame%06ld.png", frame);
    return writePng((options.framesDir + name).c_str(), image);
}

// --- drawing, read-back and the pipe to ffmpeg overlap ----------------------------
// The GL thread starts the read-back of frame k into pixel buffer k % count and
// goes on drawing; it maps frame k - 1's buffer, whose read-back has had a whole
// frame to finish, and hands the rows to the writer thread, which feeds ffmpeg
// (and the PNGs of --frames) straight from the mapped buffer. The GL thread
// waits only when the writer still holds the buffer it wants next, that is when
// ffmpeg is the slowest stage. Frames reach ffmpeg whole and in order.
static const int pixelBufferCount = 4;                // one being read into, the rest mapped for the writer
static GLuint          pixelBuffers[pixelBufferCount];
static const uint8_t  *mappedRows[pixelBufferCount];  // frame j's rows at j % count while handed over
static std::mutex      pipelineLock;                  // guards the rows, the counts and noMoreFrames
static std::condition_variable pipelineMoved;         // a frame handed over or written, or the end
long                   framesRead;                    // read-backs started (GL thread only)
static long            framesHanded;                  // frames mapped and given to the writer
std::atomic<long>      framesWritten;                 // frames the writer is done with
static bool            noMoreFrames;                  // the last frame is handed over, or a failure
static std::thread     writer;
bool (*takeFrame)(long frame, const uint8_t *rows);  // null: ffmpeg's
static std::string     writerError;                   // the writer's own failure, said after it is joined

// The writer thread: frames in order, each fwrite()n whole to ffmpeg. After a
// failure it only counts the frames, so the GL thread never waits on it.
static void writeFrames()
{
    for (long j = 0;; j++) {
        const uint8_t *rows;
        {
            std::unique_lock<std::mutex> hold(pipelineLock);
            pipelineMoved.wait(hold, [j] { return framesHanded > j || noMoreFrames; });
            if (framesHanded <= j) return;
            rows = mappedRows[j % pixelBufferCount];
        }
        if (!writeFailed && takeFrame) {
            if (!takeFrame(j, rows)) writeFailed = true;
        }
        else if (!writeFailed) {
            if (fwrite(rows, 1, frameBytes(), encoderInput) != frameBytes()) writeFailed = true;
            else if (!options.framesDir.empty() && !writeFramePng(j, rows)) {
                char name[64];
                snprintf(name, sizeof name, "/frame%06ld.png", j);
                writerError = options.framesDir + name + ": cannot write";
                writeFailed = true;
            }
        }
        {
            std::lock_guard<std::mutex> hold(pipelineLock);
            framesWritten = j + 1;
        }
        pipelineMoved.notify_all();
    }
}

void startPipeline()
{
    glGenBuffers(pixelBufferCount, pixelBuffers);
    for (GLuint buffer : pixelBuffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, (GLsizeiptr)frameBytes(), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    writer = std::thread(writeFrames);
}

static void handOver(long frame)
{
    glBindBuffer(GL_PIXEL_PACK_BUFFER, pixelBuffers[frame % pixelBufferCount]);
    const void *rows = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (!rows) fail("cannot read the frames back: GL maps no pixel buffer");
    {
        std::lock_guard<std::mutex> hold(pipelineLock);
        mappedRows[frame % pixelBufferCount] = (const uint8_t *)rows;
        framesHanded = frame + 1;
    }
    pipelineMoved.notify_all();
}

// The read-back hook, where the demo would swap. BGRA is what the software
// renderer keeps, so it reads back without conversion; ffmpeg turns GL's
// bottom-up rows the right way round.
void readFrame()
{
    long k = framesRead++;
    GLuint buffer = pixelBuffers[k % pixelBufferCount];
    if (k >= pixelBufferCount) { // the buffer still holds frame k - count: wait till it is written
        std::unique_lock<std::mutex> hold(pipelineLock);
        pipelineMoved.wait(hold, [k] { return framesWritten > k - pixelBufferCount; });
        hold.unlock();
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glReadPixels(0, 0, renderWidth, renderHeight, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    if (k > 0) handOver(k - 1);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

// --no-encode: the frame finished as a swap would finish it, nothing read.
void finishFrame()
{
    glFinish();
    framesRead++;
}

// Safe to call at any time from the GL thread: the writer takes what was
// handed over (or, after a failure, only counts it) and ends.
void stopWriter()
{
    if (!writer.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(pipelineLock);
        noMoreFrames = true;
    }
    pipelineMoved.notify_all();
    writer.join();
}

// The last frame read goes over too, and the writer finishes.
void finishPipeline()
{
    if (framesRead > 0 && !writeFailed) handOver(framesRead - 1);
    stopWriter();
    if (!writerError.empty()) fail(writerError);
}
