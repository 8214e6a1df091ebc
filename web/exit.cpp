// The single way out, in the browser: a page cannot end its process, so every
// ending stops the music and shows a screen instead, the end screen with its
// "play again" after a key or the last scene, one sentence after a failure.
#include "shell.h"
#include "web.h"
#include <emscripten.h>
#include <cstdio>

EM_JS(void, pageProblem, (const char *sentence), { window.cubicPage.problem(UTF8ToString(sentence)); });

void stopMusicAndExit()
{
    stopMusic();
    showEndScreen();
}

void failAndExit(const char *problem)
{
    stopMusic();
    stopPage();
    char sentence[600];
    snprintf(sentence, sizeof sentence, "The demo cannot run: %s.", problem);
    pageProblem(sentence);
}
