// The swap interval on X11: GLX is asked to hold each swap until the display's
// next refresh, so on a real screen the demo draws at the refresh rate and the
// CPU rests in between. Animation is unaffected: every value follows sceneTime.
#include "desktop.h"
#include "kit.h"
#include <GL/glx.h>

typedef void (*SwapIntervalExt)(Display *display, GLXDrawable drawable, int interval);
typedef int  (*SwapIntervalMesa)(unsigned int interval);
typedef int  (*SwapIntervalSgi)(int interval);

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
