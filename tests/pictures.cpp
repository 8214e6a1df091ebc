// Test support: pictures from a GL context of the test's own and from the frame tool.
#include "pictures.h"
#include "shell.h"
#include "offscreen.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <unistd.h>

void ensureGlContext()
{
    static bool ready = false;
    if (ready) return;
    renderWidth = 1200;
    renderHeight = 720;
    openOffscreen("cubic-harmony-tests");
    startDrawing(640, 480);
    ready = true;
}

bool renderFrameFile(const std::string &path, int scene, int time, int fps, const std::string &options)
{
    std::string command = std::string("cd " BUILD_DIR " && ./cubic-harmony-frame") +
        " --scene " + std::to_string(scene) + " --time " + std::to_string(time) +
        " --fps " + std::to_string(fps) + " --out " + path + " " + options;
    int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    return status == 0;
}

RgbImage renderFrame(int scene, int time, int fps, const std::string &options)
{
    char path[] = "/tmp/cubic-harmony-frame-XXXXXX.png";
    int fd = mkstemps(path, 4);
    EXPECT_GE(fd, 0);
    close(fd);
    RgbImage image;
    EXPECT_TRUE(renderFrameFile(path, scene, time, fps, options) && readPng(path, image)) << path;
    unlink(path);
    return image;
}

Pixel pixelAt(const RgbImage &image, int x, int y)
{
    const uint8_t *p = &image.pixels[((size_t)y * image.width + x) * 3];
    return {p[0], p[1], p[2]};
}

bool isBlack(Pixel p) { return p.r == 0 && p.g == 0 && p.b == 0; }

long firePixels(const RgbImage &image)
{
    long orange = 0;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            Pixel p = pixelAt(image, x, y);
            orange += p.r > 100 && p.r > 2 * p.g && p.r > 2 * p.b;
        }
    return orange;
}
