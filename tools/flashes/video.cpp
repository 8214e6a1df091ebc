// Any video's frames for the count: its size and rate from ffprobe, its
// pictures decoded by ffmpeg into 8-bit RGB on a pipe. Both run as children
// with the file's name as one argument, never through a shell.
#include "flashes.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// A bad input, or a video that cannot be read: one line, exit code 2.
[[noreturn]] static void refuse(const std::string &why)
{
    fprintf(stderr, "cubic-harmony-flashes: %s\n", why.c_str());
    exit(2);
}

struct Child {
    pid_t pid;
    FILE *out;        // its standard output
    char  log[64];    // its standard error, a temporary file
};

static Child startChild(const std::vector<const char *> &argv)
{
    Child child;
    strcpy(child.log, "/tmp/cubic-harmony-flashes-XXXXXX");
    int logFd = mkstemp(child.log);
    if (logFd < 0) refuse(std::string("cannot make a temporary file: ") + strerror(errno));
    int ends[2];
    if (pipe(ends) != 0) refuse(std::string("cannot start ") + argv[0] + ": " + strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, logFd, 2);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char *> args;
    for (const char *arg : argv) args.push_back((char *)arg);
    args.push_back(nullptr);
    int error = posix_spawnp(&child.pid, argv[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    close(logFd);
    if (error) {
        unlink(child.log);
        close(ends[0]);
        if (error == ENOENT) refuse(std::string(argv[0]) + " not found: install Debian's ffmpeg package");
        refuse(std::string("cannot start ") + argv[0] + ": " + strerror(error));
    }
    child.out = fdopen(ends[0], "r");
    return child;
}

// Waits for the child; "" where it ended well, else its last line of errors.
static std::string finishChild(Child *child, const char *what)
{
    fclose(child->out);
    int status = 0;
    while (waitpid(child->pid, &status, 0) < 0 && errno == EINTR) {}
    std::string last;
    if (FILE *log = fopen(child->log, "r")) {
        char line[1024];
        while (fgets(line, sizeof line, log))
            if (line[0] != '\n') last = line;
        fclose(log);
    }
    unlink(child->log);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
    return std::string(what) + (last.empty() ? " failed" : " says: " + last);
}

FrameSource openVideo(const std::string &path)
{
    if (access(path.c_str(), R_OK) != 0) refuse(path + ": " + strerror(errno));
    Child probe = startChild({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                              "stream=width,height,avg_frame_rate,r_frame_rate", "-of",
                              "default=noprint_wrappers=1", path.c_str()});
    FrameSource source = {0, 0, 0, {}};
    double average = 0, nominal = 0;
    char line[256];
    while (fgets(line, sizeof line, probe.out)) {
        long n, d;
        if (sscanf(line, "width=%d", &source.width) == 1 || sscanf(line, "height=%d", &source.height) == 1) continue;
        if (sscanf(line, "avg_frame_rate=%ld/%ld", &n, &d) == 2 && d > 0) average = (double)n / d;
        if (sscanf(line, "r_frame_rate=%ld/%ld", &n, &d) == 2 && d > 0) nominal = (double)n / d;
    }
    std::string problem = finishChild(&probe, "ffprobe");
    if (!problem.empty()) refuse(path + ": not a video ffprobe can read: " + problem);
    source.fps = average > 0 ? average : nominal;
    if (source.width <= 0 || source.height <= 0) refuse(path + ": holds no video stream");
    if (source.width < boxGrid || source.height < boxGrid || source.width > 16384 || source.height > 16384)
        refuse(path + ": a picture of " + std::to_string(source.width) + "x" + std::to_string(source.height) +
               " is too small or too large to count");
    if (!(source.fps > 0 && source.fps <= 1000)) refuse(path + ": ffprobe gives it no frame rate");
    return source;
}

void readVideo(const std::string &path, const FrameSource &source, TakeFrame take)
{
    Child decoder = startChild({"ffmpeg", "-nostdin", "-v", "error", "-i", path.c_str(), "-map", "0:v:0",
                                "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    std::vector<uint8_t> frame((size_t)source.width * source.height * 3);
    long frames = 0;
    while (fread(frame.data(), 1, frame.size(), decoder.out) == frame.size()) {
        take(frame.data());
        frames++;
    }
    std::string problem = finishChild(&decoder, "ffmpeg");
    if (!problem.empty()) refuse(path + ": cannot decode: " + problem);
    if (frames == 0) refuse(path + ": ffmpeg decodes no frame of it");
}
