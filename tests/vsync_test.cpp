// The swap-interval request reads GLX's extension list, and the tools' EGL set-up
// EGL's, where one name can be the start of another: only whole names may count.
#include "shell.h"
#include "kit.h"
#include <gtest/gtest.h>

TEST(SwapInterval, ExtensionNamesMatchWholeWordsOnly)
{
    const char *mesaOnly = "GLX_ARB_multisample GLX_EXT_swap_control_tear GLX_MESA_swap_control";
    EXPECT_FALSE(hasExtension(mesaOnly, "GLX_EXT_swap_control"));   // only as a prefix of _tear
    EXPECT_TRUE(hasExtension(mesaOnly, "GLX_MESA_swap_control"));   // last in the list
    EXPECT_TRUE(hasExtension(mesaOnly, "GLX_ARB_multisample"));     // first in the list
    EXPECT_FALSE(hasExtension("XGLX_SGI_swap_control ", "GLX_SGI_swap_control"));
    EXPECT_TRUE(hasExtension("GLX_EXT_swap_control_tear GLX_EXT_swap_control ", "GLX_EXT_swap_control"));
    EXPECT_FALSE(hasExtension("", "GLX_EXT_swap_control"));
    EXPECT_FALSE(hasExtension(nullptr, "GLX_EXT_swap_control"));
}
