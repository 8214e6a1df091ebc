// The picture tools' context on Windows: WGL on a small window that is never
// shown, and a framebuffer object of the output size, as offscreen_egl.cpp
// makes on Linux (the same formats, the same flip on Mesa), so the size is not
// bounded by the screen's. Windows' opengl32.dll names GL 1.1 only: the
// framebuffer calls come from wglGetProcAddress. Under Wine the window is an
// unmapped X window and GL is the X server's.
#include "offscreen.h"
#include "kit.h"
#include <windows.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdio>
#include <cstdlib>

static const GLenum framebufferFlipY = 0x8BBB; // GL_FRAMEBUFFER_FLIP_Y_MESA, newer than mingw-w64's glext.h

static void failWgl(const char *what)
{
    fprintf(stderr, "%s: %s (Windows error %lu)\n", offscreenTool, what, GetLastError());
    exit(offscreenExitCode);
}

static void makeContext()
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "cubic-harmony-offscreen";
    if (!RegisterClassA(&windowClass)) failWgl("cannot register a window class");
    HWND window = CreateWindowA(windowClass.lpszClassName, "cubic-harmony", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) failWgl("cannot create a window");
    HDC device = GetDC(window);
    PIXELFORMATDESCRIPTOR wanted = {};
    wanted.nSize = sizeof wanted;
    wanted.nVersion = 1;
    wanted.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    wanted.iPixelType = PFD_TYPE_RGBA;
    wanted.cColorBits = 24;
    wanted.cDepthBits = 24;
    int format = ChoosePixelFormat(device, &wanted);
    if (format == 0 || !SetPixelFormat(device, format, &wanted)) failWgl("no pixel format for OpenGL");
    HGLRC context = wglCreateContext(device);
    if (!context || !wglMakeCurrent(device, context)) failWgl("cannot make an OpenGL context current");
}

template <typename Function> static Function glFunction(const char *name)
{
    Function function = (Function)(void *)wglGetProcAddress(name);
    if (!function) {
        fprintf(stderr, "%s: the OpenGL driver has no %s (framebuffer objects need OpenGL 3.0)\n",
                offscreenTool, name);
        exit(offscreenExitCode);
    }
    return function;
}

// The formats of offscreen_egl.cpp's first choice, the window GLUT gets on Mesa.
static void makeFramebuffer()
{
    auto genFramebuffers = glFunction<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
    auto bindFramebuffer = glFunction<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
    auto genRenderbuffers = glFunction<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
    auto bindRenderbuffer = glFunction<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    auto renderbufferStorage = glFunction<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    auto framebufferRenderbuffer = glFunction<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    auto checkFramebufferStatus = glFunction<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    checkRenderSize(largest);
    GLuint framebuffer, buffers[2];
    genFramebuffers(1, &framebuffer);
    bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    genRenderbuffers(2, buffers);
    // Mesa rasterises a framebuffer object upside down from a window; flipped,
    // it gets the window's very pixels (see offscreen_egl.cpp).
    if (hasExtension((const char *)glGetString(GL_EXTENSIONS), "GL_MESA_framebuffer_flip_y"))
        glFunction<PFNGLFRAMEBUFFERPARAMETERIPROC>("glFramebufferParameteri")(
            GL_FRAMEBUFFER, framebufferFlipY, GL_TRUE);
    bindRenderbuffer(GL_RENDERBUFFER, buffers[0]);
    renderbufferStorage(GL_RENDERBUFFER, GL_RGB8, renderWidth, renderHeight);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers[0]);
    bindRenderbuffer(GL_RENDERBUFFER, buffers[1]);
    renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32, renderWidth, renderHeight);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, buffers[1]);
    if (checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        fprintf(stderr, "%s: cannot make a %dx%d framebuffer object\n", offscreenTool, renderWidth, renderHeight);
        exit(offscreenExitCode);
    }
}

const char *openContext()
{
    makeContext();
    makeFramebuffer();
    return "wgl";
}
