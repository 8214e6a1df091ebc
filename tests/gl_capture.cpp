// Test support: the GL context, the recorder of calls into GL, and the frame
// tool. The recorder works by wrapping glBegin, glEnd, glColor3f and glVertex3f
// at link time: everything the demo's code draws passes through it.
#include "gl_capture.h"
#include "kit.h"
#include "shell.h"
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" {
void __real_glBegin(GLenum mode);
void __real_glEnd();
void __real_glColor3f(GLfloat r, GLfloat g, GLfloat b);
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
}

static bool recording;                        // inside captureDraw
static std::vector<CapturedRun> *recordedRuns;
static float recordMatrix[16];                // modelview at the last glBegin
static float recordColor[3];

extern "C" void __wrap_glBegin(GLenum mode)
{
    if (recording) {
        glGetFloatv(GL_MODELVIEW_MATRIX, recordMatrix);
        recordedRuns->push_back({mode, {}});
    }
    __real_glBegin(mode);
}

extern "C" void __wrap_glEnd() { __real_glEnd(); }

extern "C" void __wrap_glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    recordColor[0] = r; recordColor[1] = g; recordColor[2] = b;
    __real_glColor3f(r, g, b);
}

extern "C" void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (recording && !recordedRuns->empty()) {
        const float *m = recordMatrix; // column-major
        CapturedVertex v;
        v.x = x; v.y = y; v.z = z;
        v.wx = m[0] * x + m[4] * y + m[8] * z + m[12];
        v.wy = m[1] * x + m[5] * y + m[9] * z + m[13];
        v.wz = m[2] * x + m[6] * y + m[10] * z + m[14];
        v.r = recordColor[0]; v.g = recordColor[1]; v.b = recordColor[2];
        recordedRuns->back().vertices.push_back(v);
    }
    __real_glVertex3f(x, y, z);
}

void ensureGlContext()
{
    static bool ready = false;
    if (ready) return;
    int argc = 1;
    char name[] = "cubic-harmony-tests";
    char *argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 480);
    glutCreateWindow("cubic-harmony-tests");
    glShadeModel(GL_FLAT);
    glEnable(GL_CULL_FACE);
    onReshape(640, 480);
    glMatrixMode(GL_MODELVIEW);
    ready = true;
}

std::vector<CapturedRun> captureDraw(const std::function<void()> &draw)
{
    ensureGlContext();
    std::vector<CapturedRun> runs;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    recordedRuns = &runs;
    recording = true;
    draw();
    recording = false;
    recordedRuns = nullptr;
    return runs;
}

bool sameRuns(const std::vector<CapturedRun> &a, const std::vector<CapturedRun> &b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i].mode != b[i].mode || a[i].vertices.size() != b[i].vertices.size() ||
            memcmp(a[i].vertices.data(), b[i].vertices.data(), a[i].vertices.size() * sizeof(CapturedVertex)) != 0)
            return false;
    return true;
}

RgbImage renderFrame(int scene, int time, int fps, const std::string &options)
{
    char path[] = "/tmp/cubic-harmony-frame-XXXXXX.png";
    int fd = mkstemps(path, 4);
    EXPECT_GE(fd, 0);
    close(fd);
    std::string command = std::string("cd " BUILD_DIR " && ./cubic-harmony-frame") +
        " --scene " + std::to_string(scene) + " --time " + std::to_string(time) +
        " --fps " + std::to_string(fps) + " --out " + path + " " + options;
    int status = std::system(command.c_str());
    RgbImage image;
    EXPECT_EQ(status, 0) << command;
    EXPECT_TRUE(readPng(path, image)) << command;
    unlink(path);
    return image;
}

Pixel pixelAt(const RgbImage &image, int x, int y)
{
    const uint8_t *p = &image.pixels[((size_t)y * image.width + x) * 3];
    return {p[0], p[1], p[2]};
}
