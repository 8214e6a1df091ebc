// The do-nothing platform: stand-ins for every GL and GLU entry point the core
// calls, and for the calls it asks of a platform (shell.h). Linked in place
// of the real libraries, they leave only our own work in a frame: the bench
// times what is left, and the allocation test runs frames with no driver
// underneath that could allocate on its own account. A new platform starts
// from this list.
#include "shell.h"
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdlib>

void swapPicture() {}
void stopMusicAndExit() { exit(0); }
void failAndExit(const char *) { exit(1); }

extern "C" {
// Each call still costs a real call: the stand-ins live in their own file, so
// the compiler cannot drop them from the drawing code.
void glBegin(GLenum) {}
void glEnd() {}
void glShadeModel(GLenum) {}
void glColor3f(GLfloat, GLfloat, GLfloat) {}
void glVertex3f(GLfloat, GLfloat, GLfloat) {}
void glPushMatrix() {}
void glPopMatrix() {}
void glLoadIdentity() {}
void glMatrixMode(GLenum) {}
void glTranslatef(GLfloat, GLfloat, GLfloat) {}
void glScalef(GLfloat, GLfloat, GLfloat) {}
void glRotatef(GLfloat, GLfloat, GLfloat, GLfloat) {}
void glScissor(GLint, GLint, GLsizei, GLsizei) {}
void glViewport(GLint, GLint, GLsizei, GLsizei) {}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {}
void glClear(GLbitfield) {}
void glEnable(GLenum) {}
void glDisable(GLenum) {}
void glBlendFunc(GLenum, GLenum) {}

void gluLookAt(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble,
               GLdouble, GLdouble, GLdouble) {}
void gluPerspective(GLdouble, GLdouble, GLdouble, GLdouble) {}

// The present step's retro enlargement.
void glPushAttrib(GLbitfield) {}
void glPopAttrib() {}
void glGenTextures(GLsizei, GLuint *textures) { *textures = 1; }
void glBindTexture(GLenum, GLuint) {}
void glTexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const GLvoid *) {}
void glTexParameteri(GLenum, GLenum, GLint) {}
void glTexEnvi(GLenum, GLenum, GLint) {}
void glCopyTexSubImage2D(GLenum, GLint, GLint, GLint, GLint, GLint, GLsizei, GLsizei) {}
void glOrtho(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) {}
void glTexCoord2f(GLfloat, GLfloat) {}
void glVertex2i(GLint, GLint) {}
}
