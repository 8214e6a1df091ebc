// The suite's own fast-module writer (demo_run.cpp) as a program, for the
// browser test: fast-module OUT.it ORDERS SPEED TEMPO writes ORDERS one-row
// orders, each speed x 2.5 / tempo seconds long, and prints the millisecond at
// which each row of the scene table ends when that module plays.
#include "demo_run.h"
#include "shell.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: fast-module OUT.it ORDERS SPEED TEMPO\n");
        return 2;
    }
    int orders = std::atoi(argv[2]), speed = std::atoi(argv[3]), tempo = std::atoi(argv[4]);
    makeFastModule(argv[1], orders, speed, tempo);
    for (const SceneEntry &row : sceneTable)
        if (row.endOrder < (uint32_t)orders) std::printf("%d ", (int)(row.endOrder * speed * 2500 / tempo));
    std::printf("\n");
    return testing::Test::HasFailure() ? 1 : 0;
}
