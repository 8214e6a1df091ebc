// The swap interval on Windows: WGL is asked to hold each swap until the
// display's next refresh, as GLX is on X11. Wine passes the request on to the
// X server's GLX.
#include "desktop.h"
#include "kit.h"
#include <windows.h>
#include <GL/gl.h>

typedef BOOL (WINAPI *SwapIntervalExt)(int interval);
typedef const char *(WINAPI *ExtensionsStringExt)();

// Needs the current context, so it runs once the window (or the game mode
// screen) exists. The extension is named in the WGL list, which older drivers
// give only in GL's own.
const char *requestSwapInterval()
{
    if (!wglGetCurrentContext()) return nullptr;
    auto wglExtensions = (ExtensionsStringExt)(void *)wglGetProcAddress("wglGetExtensionsStringEXT");
    if (!hasExtension(wglExtensions ? wglExtensions() : nullptr, "WGL_EXT_swap_control") &&
        !hasExtension((const char *)glGetString(GL_EXTENSIONS), "WGL_EXT_swap_control"))
        return nullptr;
    auto setInterval = (SwapIntervalExt)(void *)wglGetProcAddress("wglSwapIntervalEXT");
    return setInterval && setInterval(1) ? "WGL_EXT_swap_control" : nullptr;
}
