// The present step: what happens to a finished frame between the scene's last
// call and the platform's swap, the same on every platform. Sharp, the bars
// around the picture are cleared black; retro, the 640 x 480 picture drawn at
// the bottom-left corner is enlarged by a whole factor, nearest-neighbour, into
// the middle of the output.
#include "shell.h"
#include "kit.h"
#include <GL/gl.h>

static GLuint retroTexture;     // 1024 x 512, the 640 x 480 picture copied into its corner
static const int retroTextureWidth = 1024, retroTextureHeight = 512; // powers of two, as GL 1.1 wants

int retroFactor(int outputWidth, int outputHeight)
{
    int k = outputWidth / 640 < outputHeight / 480 ? outputWidth / 640 : outputHeight / 480;
    return k < 1 ? 1 : k;
}

// The scenes leave GL in whatever state their frame needs next time round, so
// every piece touched here is saved and put back: attributes (viewport, enables,
// scissor, clear colour, texture binding, current colour) and both matrices.
static void enlargeRetroPicture()
{
    int k = retroFactor(output.width, output.height);
    int x0 = (output.width - 640 * k) / 2, y0 = (output.height - 480 * k) / 2;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    if (retroTexture == 0) {
        glGenTextures(1, &retroTexture);
        glBindTexture(GL_TEXTURE_2D, retroTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, retroTextureWidth, retroTextureHeight, 0,
                     GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    glBindTexture(GL_TEXTURE_2D, retroTexture);
    glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 640, 480);

    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glViewport(0, 0, output.width, output.height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
        glLoadIdentity();
        glOrtho(0, output.width, 0, output.height, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
            glLoadIdentity();
            float u = 640.0f / retroTextureWidth, v = 480.0f / retroTextureHeight;
            glBegin(GL_QUADS);
                glTexCoord2f(0, 0); glVertex2i(x0, y0);
                glTexCoord2f(u, 0); glVertex2i(x0 + 640 * k, y0);
                glTexCoord2f(u, v); glVertex2i(x0 + 640 * k, y0 + 480 * k);
                glTexCoord2f(0, v); glVertex2i(x0, y0 + 480 * k);
            glEnd();
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();   // the matrix mode too: it is part of the transform bits
}

// At an output of exactly 640 x 480 there is nothing to do either way, and
// no GL call is made.
void presentPicture()
{
    if (pictureFillsOutput()) return;
    if (retroPicture && picture.x == 0 && picture.y == 0 && picture.width == 640 && picture.height == 480)
        enlargeRetroPicture();
    else clearBars();
}

void presentFrame()
{
    presentPicture();
    swapPicture();
}
