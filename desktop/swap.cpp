// The desktop's swap: the finished frame, past the present step, goes to the
// screen through GLUT. The swap interval asks GLX to hold each swap until the
// display's next refresh, so on a real screen the demo draws at the refresh
// rate and the CPU rests in between. Animation is unaffected: every value
// follows sceneTime.
#include "desktop.h"
#include "shell.h"
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <cstring>

void (*beforeSwap)() = nullptr; // the tools' read-back hook: sees exactly what is swapped

void swapPicture()
{
    if (beforeSwap) beforeSwap();
    glutSwapBuffers();
}

typedef void (*SwapIntervalExt)(Display *display, GLXDrawable drawable, int interval);
typedef int  (*SwapIntervalMesa)(unsigned int interval);
typedef int  (*SwapIntervalSgi)(int interval);

// Whole names only: "GLX_EXT_swap_control_tear" must not pass for "GLX_EXT_swap_control".
bool hasExtension(const char *list, const char *name)
{
    if (!list) return false;
    size_t length = strlen(name);
    for (const char *p = list; (p = strstr(p, name)) != nullptr; p += length) {
        bool startsWord = p == list || p[-1] == ' ';
        bool endsWord = p[length] == ' ' || p[length] == '\0';
        if (startsWord && endsWord) return true;
    }
    return false;
}

static void (*procAddress(const char *name))()
{
    return glXGetProcAddressARB((const GLubyte *)name);
}

// Needs the current context, so it runs once the window (or the game mode
// screen) exists. Where the driver offers none of the three, nothing changes
// and frames come as fast as the platform draws them.
const char *requestSwapInterval()
{
    Display *display = glXGetCurrentDisplay();
    GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable) return nullptr;
    const char *extensions = glXQueryExtensionsString(display, DefaultScreen(display));

    if (hasExtension(extensions, "GLX_EXT_swap_control")) {
        SwapIntervalExt setInterval = (SwapIntervalExt)procAddress("glXSwapIntervalEXT");
        if (setInterval) {
            setInterval(display, drawable, 1);
            return "GLX_EXT_swap_control";
        }
    }
    if (hasExtension(extensions, "GLX_MESA_swap_control")) {
        SwapIntervalMesa setInterval = (SwapIntervalMesa)procAddress("glXSwapIntervalMESA");
        if (setInterval && setInterval(1) == 0) return "GLX_MESA_swap_control";
    }
    if (hasExtension(extensions, "GLX_SGI_swap_control")) {
        SwapIntervalSgi setInterval = (SwapIntervalSgi)procAddress("glXSwapIntervalSGI");
        if (setInterval && setInterval(1) == 0) return "GLX_SGI_swap_control";
    }
    return nullptr;
}
