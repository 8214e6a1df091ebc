// The present step: what happens to a finished frame between the scene's last
// call and the platform's swap, the same on every platform. Where the picture
// was drawn where it is shown, the bars around it are cleared black; where it
// was drawn at the bottom-left corner (retro's 640 x 480, or a reduced drawing
// size) it is enlarged into the place it is shown: retro by a whole factor,
// nearest-neighbour, into the middle of the output; a reduced size into the
// picture box, filtered linearly.
#include "shell.h"
#include "kit.h"
#include <GL/gl.h>
#include <GL/glext.h>   // GL 1.2's edge clamp, which a GL 1.1 gl.h (Windows') does not name

static GLuint pictureTexture;                      // the picture copied from the corner
static int    textureWidth, textureHeight;         // powers of two, as GL 1.1 wants: 1024 x 512 for 640 x 480

int retroFactor(int outputWidth, int outputHeight)
{
    int k = outputWidth / 640 < outputHeight / 480 ? outputWidth / 640 : outputHeight / 480;
    return k < 1 ? 1 : k;
}

// Retro, 640 x 480 times the whole factor in the middle (an output too small
// for it is drawn sharp); otherwise the picture box.
static PixelBox shownBox()
{
    if (drawsRetro(outputBox.width, outputBox.height)) {
        int k = retroFactor(outputBox.width, outputBox.height);
        return {(outputBox.width - 640 * k) / 2, (outputBox.height - 480 * k) / 2, 640 * k, 480 * k};
    }
    return fitPicture(outputBox.width, outputBox.height);
}

static int powerOfTwoFrom(int n)
{
    int p = 1;
    while (p < n) p *= 2;
    return p;
}

// One texel more than the picture each way: the linear filter reads one beyond
// the last column and row, which get copies of them.
static void ensureTexture(int width, int height)
{
    if (pictureTexture == 0) glGenTextures(1, &pictureTexture);
    glBindTexture(GL_TEXTURE_2D, pictureTexture);
    if (textureWidth > width && textureHeight > height) return;
    textureWidth = powerOfTwoFrom(width + 1);
    textureHeight = powerOfTwoFrom(height + 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, textureWidth, textureHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
}

// The scenes leave GL in whatever state their frame needs next time round, so
// every piece touched here is saved and put back: attributes (viewport, enables,
// scissor, clear colour, texture binding, current colour) and both matrices.
static void enlargePicture(PixelBox shown, bool smooth)
{
    int w = pictureBox.width, h = pictureBox.height;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    ensureTexture(w, h);
    GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (smooth) { // the first column and row must not blend with the far side (GL 1.2's edge clamp)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    // Copied from the buffer being drawn, which is also the one GL reads by
    // default: the back buffer of a window, the colour attachment of the
    // tools' framebuffer object (which has no GL_BACK to name).
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, w, h);
    if (smooth) {
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, w, 0, w - 1, 0, 1, h);     // the last column again
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, h, 0, h - 1, w, 1);     // the top row again
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, w, h, w - 1, h - 1, 1, 1); // and its corner
    }

    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glViewport(0, 0, outputBox.width, outputBox.height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
        glLoadIdentity();
        glOrtho(0, outputBox.width, 0, outputBox.height, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
            glLoadIdentity();
            float u = (float)w / textureWidth, v = (float)h / textureHeight;
            int x0 = shown.x, y0 = shown.y, x1 = shown.x + shown.width, y1 = shown.y + shown.height;
            glBegin(GL_QUADS);
                glTexCoord2f(0, 0); glVertex2i(x0, y0);
                glTexCoord2f(u, 0); glVertex2i(x1, y0);
                glTexCoord2f(u, v); glVertex2i(x1, y1);
                glTexCoord2f(0, v); glVertex2i(x0, y1);
            glEnd();
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();   // the matrix mode too: it is part of the transform bits
}

// At an output of exactly 640 x 480 there is nothing to do either way, and
// no GL call is made.
static void presentPicture()
{
    if (pictureFillsOutput()) return;
    PixelBox shown = shownBox();
    if (pictureBox.x == shown.x && pictureBox.y == shown.y && pictureBox.width == shown.width &&
        pictureBox.height == shown.height)
        clearBars();
    else
        enlargePicture(shown, !retroPicture);
}

void presentFrame()
{
    presentPicture();
    swapPicture();
}
