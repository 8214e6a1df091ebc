// The desktop on Linux and the other POSIX systems: SIGINT and SIGTERM end the
// demo through the single way out. Nothing else needs doing at start-up: the
// lines go to the terminal the program was started from, which it already has.
#include "desktop.h"
#include <csignal>

void startSystem() {}

// Only sets a flag: the next display or idle callback does the exiting, outside
// the signal handler.
static void onSignal(int)
{
    quitRequested = 1;
}

// The handler is good for one signal: should start-up be stuck where no
// callback runs, a second one ends the process as usual.
void catchSignals()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
