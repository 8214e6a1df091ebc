// The picture tools' context on Linux: EGL with no window. Needs libEGL and
// GL only, no X server, no GLUT, no GLX. A GPU's own EGL device is used where
// the driver lists one (EGL_EXT_platform_device: NVIDIA's driver, Mesa on a
// machine with a render node); otherwise, and always on a machine with no GPU,
// Mesa's surfaceless platform, which draws with llvmpipe on the processor.
// Either way the frame lands in a framebuffer object shaped like the window
// GLUT gives the demo on Mesa (measured under Xvfb: 8 bits a colour, no alpha,
// a 32-bit depth buffer, no stencil, one sample). The depth matters: with 24
// bits, one pixel of the whole demo captured at 2 frames per second came out
// otherwise.
#include "offscreen.h"
#include "kit.h"
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char *platformName = "";  // "device" or "surfaceless", once the display is open

// --- the display and the context ---------------------------------------------------

static void failOffscreen(const char *what)
{
    fprintf(stderr, "%s: %s (EGL error 0x%x)\n", offscreenTool, what, eglGetError());
    exit(offscreenExitCode);
}

// Llvmpipe is listed as a device too (EGL_MESA_device_software), but it is
// passed over: the surfaceless platform gives the same renderer, and that is
// the path the golden frames were checked on.
static EGLDisplay openGpuDevice(const char *clientExtensions)
{
    if (!hasExtension(clientExtensions, "EGL_EXT_platform_device") ||
        !hasExtension(clientExtensions, "EGL_EXT_device_enumeration"))
        return EGL_NO_DISPLAY;
    auto queryDevices = (PFNEGLQUERYDEVICESEXTPROC)eglGetProcAddress("eglQueryDevicesEXT");
    auto queryDeviceString = (PFNEGLQUERYDEVICESTRINGEXTPROC)eglGetProcAddress("eglQueryDeviceStringEXT");
    auto getPlatformDisplay = (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!queryDevices || !queryDeviceString || !getPlatformDisplay || !queryDevices(16, devices, &count))
        return EGL_NO_DISPLAY;
    for (int i = 0; i < count; i++) {
        if (hasExtension(queryDeviceString(devices[i], EGL_EXTENSIONS), "EGL_MESA_device_software")) continue;
        EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    }
    return EGL_NO_DISPLAY;
}

static EGLDisplay openDisplay()
{
    const char *clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!clientExtensions) failOffscreen("EGL has no client extensions, so no display without a window system");
    EGLDisplay display = openGpuDevice(clientExtensions);
    if (display != EGL_NO_DISPLAY) {
        platformName = "device";
        return display;
    }
    auto getPlatformDisplay = (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless") || !getPlatformDisplay)
        failOffscreen("EGL offers neither a GPU device nor Mesa's surfaceless platform (install libegl-mesa0)");
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        failOffscreen("cannot open Mesa's surfaceless EGL display");
    platformName = "surfaceless";
    return display;
}

// A compatibility context (the scenes draw in immediate mode) with no surface.
static void makeContext(EGLDisplay display)
{
    if (!hasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context"))
        failOffscreen("the EGL display cannot make a context current without a surface");
    static const EGLint wanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglBindAPI(EGL_OPENGL_API)) failOffscreen("EGL offers no desktop OpenGL");
    if (!eglChooseConfig(display, wanted, &config, 1, &count) || count < 1)
        failOffscreen("EGL has no configuration for desktop OpenGL");
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) failOffscreen("cannot create an OpenGL context");
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
        failOffscreen("cannot make the OpenGL context current");
}

static bool hasGlExtension(const char *name)
{
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (int i = 0; i < count; i++)
        if (!strcmp((const char *)glGetStringi(GL_EXTENSIONS, i), name)) return true;
    return false;
}

// The window's own formats first. GL does not promise a 32-bit depth
// renderbuffer (nor RGB8 colour), so a driver without them gets the formats it
// must have; its pictures may then differ from its window's in a pixel or so.
static const struct { GLenum colour, depth, depthAttachment; } bufferFormats[] = {
    {GL_RGB8,  GL_DEPTH_COMPONENT32, GL_DEPTH_ATTACHMENT},          // the window GLUT gets on Mesa
    {GL_RGBA8, GL_DEPTH24_STENCIL8,  GL_DEPTH_STENCIL_ATTACHMENT},  // what every GL 3.0 driver offers
};

// Bound once for good: the scenes draw into it and the tools read from it (its
// colour attachment is the draw and the read buffer, as the back buffer is a
// window's).
static void makeFramebuffer()
{
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    checkRenderSize(largest);
    GLuint framebuffer, buffers[2];
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(2, buffers);
    // Mesa keeps a window's rows top first and so rasterises it upside down
    // from a framebuffer object; where two edges meet on a pixel centre the
    // other one wins. Flipped the same way, the object gets the window's very
    // pixels (reading back is unchanged: GL still gives the bottom row first).
    if (hasGlExtension("GL_MESA_framebuffer_flip_y"))
        glFramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
    for (const auto &formats : bufferFormats) {
        glBindRenderbuffer(GL_RENDERBUFFER, buffers[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, formats.colour, renderWidth, renderHeight);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers[0]);
        glBindRenderbuffer(GL_RENDERBUFFER, buffers[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, formats.depth, renderWidth, renderHeight);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, formats.depthAttachment, GL_RENDERBUFFER, buffers[1]);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, formats.depthAttachment, GL_RENDERBUFFER, 0);
    }
    fprintf(stderr, "%s: cannot make a %dx%d framebuffer object\n", offscreenTool, renderWidth, renderHeight);
    exit(offscreenExitCode);
}

const char *openContext()
{
    EGLDisplay display = openDisplay();
    makeContext(display);
    makeFramebuffer();
    return platformName;
}
