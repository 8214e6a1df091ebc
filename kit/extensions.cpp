// Extension lists, as GLX and EGL give them: one space-separated string. Kept
// in the core, though no scene asks, because both platforms search such lists:
// the desktop for its swap interval, the tools for their EGL device.
#include "kit.h"
#include <cstring>

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
