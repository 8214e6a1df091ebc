// The suite's own fast-module writer (demo_run.cpp) as a program, for the
// browser test: fast-module OUT.it ORDERS SPEED TEMPO writes ORDERS one-row
// orders, each speed x 2.5 / tempo seconds long.
#include "demo_run.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: fast-module OUT.it ORDERS SPEED TEMPO\n");
        return 2;
    }
    makeFastModule(argv[1], std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    return testing::Test::HasFailure() ? 1 : 0;
}
