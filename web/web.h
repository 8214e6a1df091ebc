// The browser platform: the GL 1.1 layer over WebGL, the music over chiptune3
// (player.h's calls), and the page's side of start-up, the end screen and the
// frame mode. It defines the calls the shell's shared part asks of a platform
// (shell.h): swapPicture in gl.cpp, stopMusicAndExit and failAndExit in exit.cpp.
#pragma once

// GL layer (gl.cpp).
bool webGlStart();         // the program and the vertex buffer, on the current WebGL context
bool webGlRestore();       // the same again on a context given back after a loss, with the state kept here
void webGlFlush();         // draws what is batched; called before every real state change
void webGlQuiet(bool quiet); // true: frames keep their GL state but draw nothing
void webGlFinish();        // returns once WebGL has drawn everything it was given
extern int webGlDrawCalls; // draw calls since the frame counters were last reset
extern int webGlVertices;  // triangle vertices since then
extern int webGlErrors;    // misuse ignored: stack overflow or underflow, other primitives

// The browser's music layer, beside the calls of player.h.
int playerHeard();             // non-zero once the music is coming out of the speakers

// The page (main.cpp, exit.cpp, bench.cpp).
void stopPage();            // no more frames; keys and clicks do nothing
void showEndScreen();       // stopPage, then the end screen with "play again"
void benchScene(int scene); // times 12 s of one scene, reports on the console
