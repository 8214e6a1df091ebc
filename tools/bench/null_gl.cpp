// Do-nothing stand-ins for every GL, GLU and GLUT entry point the drawing code
// calls. Linked in place of the real libraries, they leave only our own work in
// a frame: the bench times what is left, and the allocation test runs frames
// with no driver underneath that could allocate on its own account.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/freeglut.h>

extern "C" {
// Each call still costs a real call: the stand-ins live in their own file, so
// the compiler cannot drop them from the drawing code.
void glBegin(GLenum) {}
void glEnd() {}
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

void glutSwapBuffers() {}
int  glutGet(GLenum) { return 0; }
int  glutGameModeGet(GLenum) { return 0; }
void glutLeaveGameMode() {}
}
