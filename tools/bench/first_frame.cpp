// Start-up probe, preloaded into the demo by scripts/bench: at the first buffer
// swap it prints the milliseconds since BENCH_START_NS (CLOCK_REALTIME, set by
// the script just before it starts the demo) and ends the process.
#include <GL/glx.h>
#include <dlfcn.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

static double realtimeMs()
{
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// freeglut reaches the swap through the dynamic linker, so this one is found
// first; the real swap still runs, so the frame is on screen when timed.
extern "C" void glXSwapBuffers(Display *display, GLXDrawable drawable)
{
    typedef void (*SwapFunction)(Display *, GLXDrawable);
    static SwapFunction realSwap = (SwapFunction)dlsym(RTLD_NEXT, "glXSwapBuffers");
    realSwap(display, drawable);
    const char *start = getenv("BENCH_START_NS");
    if (start) {
        double ms = realtimeMs() - atof(start) * 1e-6;
        fprintf(stderr, "first frame on screen %.1f ms after the process started\n", ms);
    }
    fflush(stderr);
    _exit(0);
}
