// ffmpeg as a child and the files a capture writes: the video beside --out
// that takes its name only when complete, the temporary folder with the
// soundtrack and ffmpeg's log, and the clean-up that removes them at any exit,
// on a failure and on SIGINT, SIGTERM or SIGHUP.
#include "capture.h"
#include "offscreen.h"
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

static const int pipeBytes = 1 << 20;    // the pipe to ffmpeg

FILE *encoderInput;
std::atomic<bool> writeFailed;
static pid_t encoderPid = -1;            // -1 when no ffmpeg runs
static const char *failingTool = "cubic-harmony-capture"; // names the one line of a failure
static int failureExit = 1;

// The paths the clean-up removes, kept as plain arrays because it runs from a
// signal handler too. The video is written beside --out and takes its name only
// once ffmpeg has finished, so a capture that fails leaves the old file alone.
static char partialPath[4096];            // the video while ffmpeg writes it; "" once renamed
static char workDir[] = "/tmp/cubic-harmony-capture-XXXXXX"; // the soundtrack and ffmpeg's log
static bool workDirMade;
static const char *const workFiles[] = {"/soundtrack.wav", "/ffmpeg.log", "/chapters.txt"};
static char interruptedLine[4200];        // said on SIGINT, SIGTERM or SIGHUP

std::string workFile(const char *name) { return std::string(workDir) + name; }

// Everything a capture that does not finish would leave: the encoder, its
// half-written video and the temporary folder. Runs at every exit and from the
// signal handler, so it calls only async-signal-safe functions.
static void removeLeftovers()
{
    if (encoderPid > 0) {
        kill(encoderPid, SIGKILL); // its video is thrown away; reaped, it cannot write on
        while (waitpid(encoderPid, nullptr, 0) < 0 && errno == EINTR) {}
        encoderPid = -1;
    }
    if (partialPath[0]) unlink(partialPath);
    partialPath[0] = '\0';
    if (workDirMade) {
        for (const char *name : workFiles) {
            char path[sizeof workDir + 32];
            strcpy(path, workDir);
            strcat(path, name);
            unlink(path);
        }
        rmdir(workDir);
        workDirMade = false;
    }
}

static void interrupted(int sig)
{
    removeLeftovers();
    if (write(2, interruptedLine, strlen(interruptedLine)) < 0) {} // nothing more to do if it fails
    signal(sig, SIG_DFL);
    raise(sig);
}

// From the GL thread only. ffmpeg goes first, so that a writer blocked on the
// pipe sees it broken and can be joined before the process ends.
void fail(const std::string &message)
{
    fprintf(stderr, "\n%s: %s\n", failingTool, message.c_str());
    removeLeftovers();
    stopWriter();
    exit(failureExit); // removeLeftovers runs at exit too, with nothing left to do
}

void setFailure(const char *tool, int exitCode)
{
    failingTool = tool;
    failureExit = exitCode;
}

static bool onPath(const char *program)
{
    const char *path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// The file ffmpeg writes: in --out's folder, so that the last step is a rename
// within one file system, hidden, and ending in --out's extension, from which
// ffmpeg picks the container. Creating it is also the test that we may write
// there. It gets the permissions the old file had, or a new file's.
static void makePartialFile()
{
    const std::string &out = options.out;
    size_t slash = out.rfind('/');
    std::string dir = slash == std::string::npos ? "." : out.substr(0, slash == 0 ? 1 : slash);
    std::string base = slash == std::string::npos ? out : out.substr(slash + 1);
    size_t dot = base.rfind('.');
    std::string extension = dot == std::string::npos || dot == 0 ? "" : base.substr(dot);
    std::string pattern = dir + "/." + base + ".partial-XXXXXX" + extension;
    if (pattern.size() >= sizeof partialPath) fail(out + ": cannot write: the name is too long");

    mode_t mode;
    struct stat old;
    if (stat(out.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) fail(out + ": cannot write: it is not a plain file");
        if (access(out.c_str(), W_OK) != 0) fail(out + ": cannot write: " + strerror(errno));
        mode = old.st_mode & 07777;
    }
    else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    // A signal between creating the file and noting its name would leave it.
    sigset_t stops, before;
    sigemptyset(&stops);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, sig);
    sigprocmask(SIG_BLOCK, &stops, &before);
    char name[sizeof partialPath];
    strcpy(name, pattern.c_str());
    int fd = mkstemps(name, (int)extension.size());
    int error = errno;
    if (fd >= 0) strcpy(partialPath, name);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) fail(out + ": cannot write: " + strerror(error));
    if (fchmod(fd, mode) != 0) fail(out + ": cannot write: " + strerror(errno));
    if (close(fd) != 0) fail(out + ": cannot write: " + strerror(errno));
}

// Everything that can be checked before the long work starts.
void checkSurroundings()
{
    if (!onPath("ffmpeg"))
        fail("ffmpeg not found: install Debian's ffmpeg package");
    snprintf(interruptedLine, sizeof interruptedLine,
             "\ncubic-harmony-capture: interrupted; %s is left as it was\n", options.out.c_str());
    atexit(removeLeftovers);
    // A signal ignored when we start stays ignored: nohup, or a shell's
    // background job, asked for that.
    struct sigaction stop = {}, before;
    stop.sa_handler = interrupted;
    sigemptyset(&stop.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        if (sigaction(sig, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) sigaction(sig, &stop, nullptr);
    makePartialFile();
    if (!options.framesDir.empty()) {
        mkdir(options.framesDir.c_str(), 0755);
        std::string test = options.framesDir + "/.writable";
        FILE *f = fopen(test.c_str(), "wb");
        if (!f) fail(options.framesDir + ": cannot write frames there: " + strerror(errno));
        fclose(f);
        unlink(test.c_str());
    }
    if (!mkdtemp(workDir)) fail(std::string("cannot make a temporary folder: ") + strerror(errno));
    workDirMade = true;
}

// --chapters: the nine names, one a line, become chapters at the frames where
// the sequencer starts each scene, in ffmpeg's metadata format (whose = ; #
// and backslash are escaped). Scenes that --until leaves out get none.
static std::string writeChapters(const long starts[10])
{
    FILE *names = fopen(options.chaptersPath.c_str(), "r");
    if (!names) fail(options.chaptersPath + ": " + strerror(errno));
    std::string path = workFile("/chapters.txt");
    FILE *out = fopen(path.c_str(), "w");
    if (!out) fail("cannot write the chapters to " + workFile(""));
    fprintf(out, ";FFMETADATA1\n");
    char line[256];
    int scene = 0;
    while (fgets(line, sizeof line, names) && scene < 9) {
        std::string title(line, strcspn(line, "\r\n")), escaped;
        if (title.empty()) continue;
        for (char ch : title) {
            if (strchr("=;#\\", ch)) escaped += '\\';
            escaped += ch;
        }
        if (starts[scene] < starts[scene + 1])
            fprintf(out, "[CHAPTER]\nTIMEBASE=%lld/%lld\nSTART=%ld\nEND=%ld\ntitle=%s\n", (long long)options.fps.den,
                    (long long)options.fps.num, starts[scene], starts[scene + 1], escaped.c_str());
        scene++;
    }
    fclose(names);
    if (scene != 9) fail(options.chaptersPath + ": wants the names of the nine scenes, one a line");
    if (fclose(out) != 0) fail("cannot write the chapters to " + workFile(""));
    return path;
}

void startEncoder(const std::string &audioPath, const long chapterStarts[10])
{
    std::string size = std::to_string(renderWidth) + "x" + std::to_string(renderHeight);
    std::string rate = std::to_string(options.fps.num) + "/" + std::to_string(options.fps.den);
    std::string filter = "vflip";
    std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "bgra", "-s", size, "-framerate", rate,
        "-i", "pipe:0", "-i", audioPath};
    if (!options.chaptersPath.empty())
        args.insert(args.end(), {"-f", "ffmetadata", "-i", writeChapters(chapterStarts), "-map_chapters", "2"});
    args.insert(args.end(), {"-map", "0:v", "-map", "1:a", "-vf", filter});
    std::vector<std::string> codecs;
    if (endsWith(options.out, ".mkv"))
        codecs = {"-c:v", "ffv1", "-pix_fmt", "bgr0", "-c:a", "flac"};
    else // the fastest preset keeps the capture twice as fast as the demo plays on 2 cores;
         // x264's output depends on its thread count, so that is fixed, not the machine's
        codecs = {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "18", "-pix_fmt", "yuv420p", "-threads", "4",
                  "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"};
    args.insert(args.end(), codecs.begin(), codecs.end());
    args.push_back(partialPath); // begins with '/' or '.', so never read as a protocol
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    // posix_spawnp, not fork: Mesa's threads may hold locks that a forked
    // child, allocating before exec, would wait on forever. The child reads the
    // frames from the pipe, writes its complaints to the log and holds no write
    // end of its own, or it would never see the input end. SIGPIPE, ignored
    // here, is ffmpeg's to handle as usual.
    std::string logPath = workFile("/ffmpeg.log");
    int ends[2];
    if (pipe(ends) != 0) fail(std::string("cannot start ffmpeg: ") + strerror(errno));
    // ffmpeg takes a whole frame before it encodes it; through the default
    // 64 KB pipe the writer waits in many small steps while it does. 1 MB is
    // what any user may ask for; refused, the pipe stays as it is.
    fcntl(ends[1], F_SETPIPE_SZ, pipeBytes);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    sigset_t pipeSignal, noSignals;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigemptyset(&noSignals);
    int error = posix_spawn_file_actions_init(&actions);
    if (!error) error = posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    if (!error && ends[0] != 0) error = posix_spawn_file_actions_addclose(&actions, ends[0]);
    if (!error) error = posix_spawn_file_actions_addclose(&actions, ends[1]);
    if (!error) error = posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(),
                                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!error) error = posix_spawnattr_init(&attributes);
    if (!error) error = posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    if (!error) error = posix_spawnattr_setsigmask(&attributes, &noSignals);
    if (!error) error = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t child = -1;
    if (!error) error = posix_spawnp(&child, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[0]);
    if (error) {
        close(ends[1]);
        fail(std::string("cannot start ffmpeg: ") + strerror(error));
    }
    encoderPid = child;
    encoderInput = fdopen(ends[1], "wb");
    if (!encoderInput) fail(std::string("cannot write to ffmpeg: ") + strerror(errno));
}

static std::string encoderLog()
{
    std::string text;
    if (FILE *f = fopen(workFile("/ffmpeg.log").c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, f)) text = line; // the last line says most
        fclose(f);
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    // The user knows the file by the name asked for, not by the temporary one.
    for (size_t at; partialPath[0] && (at = text.find(partialPath)) != std::string::npos;)
        text.replace(at, strlen(partialPath), options.out);
    return text.empty() ? "no message" : text;
}

// Closing the pipe tells ffmpeg the frames are over; only a clean exit of
// ffmpeg after every frame went through counts as a finished video.
void finishEncoder()
{
    bool closeFailed = fclose(encoderInput) != 0;
    encoderInput = nullptr;
    int status = 0;
    pid_t reaped;
    while ((reaped = waitpid(encoderPid, &status, 0)) < 0 && errno == EINTR) {}
    int waitError = errno;
    encoderPid = -1;
    if (reaped < 0) fail(std::string("cannot wait for ffmpeg: ") + strerror(waitError));
    if (WIFSIGNALED(status))
        fail("ffmpeg was killed by signal " + std::to_string(WTERMSIG(status)) + ": " + encoderLog());
    if (WEXITSTATUS(status) != 0 || writeFailed || closeFailed)
        fail("ffmpeg failed: " + encoderLog());
}

// The finished video reaches the disk before it takes --out's name, so a crash
// at any moment leaves either the old file or the whole new one.
void keepVideo()
{
    int fd = open(partialPath, O_RDONLY);
    if (fd < 0 || fsync(fd) != 0) fail(std::string(partialPath) + ": cannot finish: " + strerror(errno));
    close(fd);
    if (rename(partialPath, options.out.c_str()) != 0)
        fail(options.out + ": cannot replace: " + strerror(errno));
    partialPath[0] = '\0';
}
