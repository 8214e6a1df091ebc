// The browser's GL 1.1 + GLU subset over WebGL. It records, it does not draw:
// every vertex is transformed on the CPU into clip space as it is given and
// appended to one buffer, which goes to WebGL in one draw call when GL state
// really changes (or the buffer is full), so a frame costs a handful of calls.
//
// Supported: glBegin(GL_QUADS)/glEnd, glColor3f, glVertex3f; glMatrixMode,
// glLoadIdentity, glPushMatrix, glPopMatrix, glTranslatef, glScalef, glRotatef
// (projection and modelview stacks); gluLookAt, gluPerspective; glShadeModel
// (always flat); glEnable/glDisable of GL_DEPTH_TEST, GL_SCISSOR_TEST,
// GL_BLEND, GL_CULL_FACE; glBlendFunc, glScissor, glViewport, glClearColor,
// glClear. For the present step's enlargement: one texture (whatever name it
// is given), nearest or linear filtering as glTexParameteri asks, always
// clamped to the edge, the replace mode whatever is asked, made (and made again
// at a new size) by glTexImage2D and filled by glCopyTexSubImage2D; GL_TEXTURE_2D, glTexCoord2f,
// glVertex2i, glOrtho; one level of glPushAttrib/glPopAttrib, which saves all
// the state the layer keeps. Not supported: other primitives, lighting, fog,
// alpha from the caller (every colour has alpha 1, as glColor3f gives).
// Differences from GL: a quad takes the colour current at its last vertex for
// all four corners (GL's flat shading picks that vertex too); colours are kept
// as 8 bits; quads are cut at the near plane and back faces dropped here, not
// by WebGL; stack overflow and underflow, and glBegin of anything but quads,
// are ignored instead of going to glGetError.
// Where WebGL cannot be had, the same batches and state go to the rasteriser
// (raster.cpp) instead, and no WebGL call is made at all.
#include "web.h"
#include "shell.h"
#include <GLES2/gl2.h>
#include <webgl/webgl1.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

// GL 1.1 names that the ES header does not give.
enum { glQuads = 0x0007, glModelview = 0x1700, glProjection = 0x1701 };

struct Matrix { float m[16]; };             // column-major, as GL keeps it
typedef ClipVertex Vertex;                  // clip-space position, colour as 8-bit, texture position

static const int stackDepth = 32;           // per matrix stack; GL promises 32 and 2
static const int maxVertices = 6 * 16384;   // two triangles per quad; full means flush

// What glPushAttrib saves and glPopAttrib puts back.
struct GlAttributes {
    int      mode;                          // 0 modelview, 1 projection
    uint8_t  color[4];
    unsigned enabled;
    bool     textured;                      // GL_TEXTURE_2D
    GLenum   blend[2];
    GLint    scissor[4], viewport[4];
    float    clearColor[4];
};

struct GlLayer {
    Matrix  stacks[2][stackDepth];          // [0] modelview, [1] projection
    int     depth[2];                       // index of the top of each stack
    int     mode;                           // 0 modelview, 1 projection
    bool    mvpValid;                       // mvp is projection x modelview of the tops
    Matrix  mvp;
    uint8_t color[4];                       // current colour, clamped and rounded to 8 bits
    bool    inQuads;                        // between glBegin(GL_QUADS) and glEnd
    int     corner;                         // vertices of the quad given so far, 0..3
    Vertex  quad[4];
    int     count;                          // vertices waiting in the buffer
    unsigned enabled;                       // bits of the four capabilities below
    bool    quiet;                          // state is kept, nothing is drawn
    bool    cpu;                            // the rasteriser draws; WebGL is not used
    GLenum  blend[2];                       // the last glBlendFunc, for leaving quiet
    GLint   scissor[4], viewport[4];        // the last boxes, likewise
    float   clearColor[4];
    bool    textured;                       // GL_TEXTURE_2D: quads show the texture, not their colour
    float   texCoord[2];                    // the last glTexCoord2f
    GLsizei textureWidth, textureHeight;    // of the one texture; 0 before glTexImage2D
    GLint   filter[2];                      // its GL_TEXTURE_MIN_FILTER and GL_TEXTURE_MAG_FILTER
    GlAttributes saved;                     // by glPushAttrib
    bool    pushed;
    GLuint  program, buffer, texture;
    GLint   texturedUniform;
};
static GlLayer gl;
static Vertex vertices[maxVertices];        // the batch, reused every frame

int webGlDrawCalls = 0; // draw calls so far; the bench resets it every frame
int webGlVertices  = 0; // triangle vertices drawn so far

static const GLenum capabilities[] = {GL_DEPTH_TEST, GL_SCISSOR_TEST, GL_BLEND, GL_CULL_FACE};

static const unsigned cullBit = 1u << 3; // GL_CULL_FACE's, above

static unsigned capabilityBit(GLenum cap)
{
    for (unsigned i = 0; i < sizeof capabilities / sizeof capabilities[0]; i++)
        if (capabilities[i] == cap) return 1u << i;
    return 0;
}

// --- matrices ------------------------------------------------------------------

static const Matrix identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

static Matrix &top() { return gl.stacks[gl.mode][gl.depth[gl.mode]]; }

static Matrix multiply(const Matrix &a, const Matrix &b)
{
    Matrix p;
    for (int col = 0; col < 4; col++)
        for (int row = 0; row < 4; row++) {
            float s = 0;
            for (int k = 0; k < 4; k++) s += a.m[k * 4 + row] * b.m[col * 4 + k];
            p.m[col * 4 + row] = s;
        }
    return p;
}

static void multiplyTop(const Matrix &b)
{
    top() = multiply(top(), b);
    gl.mvpValid = false;
}

extern "C" void glMatrixMode(GLenum mode)   { gl.mode = mode == glProjection ? 1 : 0; }
extern "C" void glOrtho(double left, double right, double bottom, double top_, double zNear, double zFar)
{
    Matrix o = {{(float)(2 / (right - left)), 0, 0, 0,
                 0, (float)(2 / (top_ - bottom)), 0, 0,
                 0, 0, (float)(-2 / (zFar - zNear)), 0,
                 (float)(-(right + left) / (right - left)), (float)(-(top_ + bottom) / (top_ - bottom)),
                 (float)(-(zFar + zNear) / (zFar - zNear)), 1}};
    multiplyTop(o);
}
extern "C" void glLoadIdentity()            { top() = identity; gl.mvpValid = false; }

extern "C" void glPushMatrix()
{
    if (gl.depth[gl.mode] + 1 >= stackDepth) return;
    gl.depth[gl.mode]++;
    top() = gl.stacks[gl.mode][gl.depth[gl.mode] - 1];
}

extern "C" void glPopMatrix()
{
    if (gl.depth[gl.mode] == 0) return;
    gl.depth[gl.mode]--;
    gl.mvpValid = false;
}

extern "C" void glTranslatef(float x, float y, float z)
{
    Matrix t = identity;
    t.m[12] = x; t.m[13] = y; t.m[14] = z;
    multiplyTop(t);
}

extern "C" void glScalef(float x, float y, float z)
{
    Matrix s = identity;
    s.m[0] = x; s.m[5] = y; s.m[10] = z;
    multiplyTop(s);
}

// A zero axis leaves the matrix alone, as desktop GL does.
extern "C" void glRotatef(float angle, float x, float y, float z)
{
    float length = sqrtf(x * x + y * y + z * z);
    if (length <= 1.0e-4f) return;
    x /= length; y /= length; z /= length;
    float radians = (float)(angle * M_PI / 180.0);
    float s = sinf(radians), c = cosf(radians), k = 1 - c;
    Matrix r = {{x * x * k + c,     y * x * k + z * s, x * z * k - y * s, 0,
                 x * y * k - z * s, y * y * k + c,     y * z * k + x * s, 0,
                 x * z * k + y * s, y * z * k - x * s, z * z * k + c,     0,
                 0, 0, 0, 1}};
    multiplyTop(r);
}

extern "C" void gluPerspective(double fovy, double aspect, double zNear, double zFar)
{
    double half = fovy / 2 * M_PI / 180;
    double cotangent = cos(half) / sin(half), deltaZ = zFar - zNear;
    Matrix p = {{(float)(cotangent / aspect), 0, 0, 0,
                 0, (float)cotangent, 0, 0,
                 0, 0, (float)(-(zFar + zNear) / deltaZ), -1,
                 0, 0, (float)(-2 * zNear * zFar / deltaZ), 0}};
    multiplyTop(p);
}

static void normalize(float v[3])
{
    float length = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0) return;
    v[0] /= length; v[1] /= length; v[2] /= length;
}

static void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

extern "C" void gluLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY,
                          double centerZ, double upX, double upY, double upZ)
{
    float forward[3] = {(float)(centerX - eyeX), (float)(centerY - eyeY), (float)(centerZ - eyeZ)};
    float up[3] = {(float)upX, (float)upY, (float)upZ}, side[3];
    normalize(forward);
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);
    Matrix view = {{side[0], up[0], -forward[0], 0,
                    side[1], up[1], -forward[1], 0,
                    side[2], up[2], -forward[2], 0,
                    0, 0, 0, 1}};
    multiplyTop(view);
    glTranslatef((float)-eyeX, (float)-eyeY, (float)-eyeZ);
}

// --- vertices ------------------------------------------------------------------

static float clamp01(float c) { return c < 0 ? 0 : c > 1 ? 1 : c; }

// Colours are clamped as they are stored: the kit has already applied the
// face factor, so over-bright colours saturate on the bright faces only. They
// are kept as the 8 bits the framebuffer holds, which makes the upload smaller.
extern "C" void glColor3f(float r, float g, float b)
{
    gl.color[0] = (uint8_t)lroundf(clamp01(r) * 255);
    gl.color[1] = (uint8_t)lroundf(clamp01(g) * 255);
    gl.color[2] = (uint8_t)lroundf(clamp01(b) * 255);
}

extern "C" void glShadeModel(GLenum) {}

extern "C" void glBegin(GLenum mode)
{
    if (mode != glQuads) return;
    gl.inQuads = true;
    gl.corner = 0;
}

extern "C" void glEnd() { gl.inQuads = false; }

// Back faces are dropped here rather than by WebGL, halving what goes to it.
// Every vertex is in front of the eye by now (w > 0), so the winding seen on
// screen is the sign of the area after the divide, as GL decides it.
static bool facesAway(const Vertex &a, const Vertex &b, const Vertex &c)
{
    float ax = a.x / a.w, ay = a.y / a.w, bx = b.x / b.w, by = b.y / b.w, cx = c.x / c.w, cy = c.y / c.w;
    return (bx - ax) * (cy - ay) - (cx - ax) * (by - ay) <= 0;
}

static void emitTriangle(const Vertex &a, const Vertex &b, const Vertex &c)
{
    if ((gl.enabled & cullBit) && facesAway(a, b, c)) return;
    if (gl.count + 3 > maxVertices) webGlFlush();
    for (const Vertex *v : {&a, &b, &c}) {
        Vertex &out = vertices[gl.count++];
        out = *v;
        memcpy(out.rgba, gl.color, sizeof out.rgba);
    }
}

// Where a quad crosses the near plane (z = -w in clip space) it is cut there
// on the CPU, so WebGL never sees a vertex behind the eye: the software
// rasteriser under headless Chromium decides facing before it clips, and would
// drop walls that run past the camera. The cut keeps the corners' order, so
// the winding, and so the culling, stay as GL's own clipping gives them.
static void emitQuad(const Vertex quad[4])
{
    int inside = 0;
    for (int i = 0; i < 4; i++) inside += quad[i].z + quad[i].w >= 0;
    if (inside == 0) return;
    if (inside == 4) {
        emitTriangle(quad[0], quad[1], quad[2]);
        emitTriangle(quad[0], quad[2], quad[3]);
        return;
    }
    Vertex kept[5];
    int count = 0;
    for (int i = 0; i < 4; i++) {
        const Vertex &a = quad[i], &b = quad[(i + 1) % 4];
        float da = a.z + a.w, db = b.z + b.w;
        if (da >= 0) kept[count++] = a;
        if ((da >= 0) != (db >= 0)) {
            float f = da / (da - db);
            kept[count++] = {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y),
                             a.z + f * (b.z - a.z), a.w + f * (b.w - a.w), {0, 0, 0, 0},
                             a.u + f * (b.u - a.u), a.v + f * (b.v - a.v)};
        }
    }
    for (int i = 2; i < count; i++) emitTriangle(kept[0], kept[i - 1], kept[i]);
}

extern "C" void glVertex3f(float x, float y, float z)
{
    if (!gl.inQuads) return;
    if (!gl.mvpValid) {
        gl.mvp = multiply(gl.stacks[1][gl.depth[1]], gl.stacks[0][gl.depth[0]]);
        gl.mvpValid = true;
    }
    const float *m = gl.mvp.m;
    Vertex &v = gl.quad[gl.corner];
    v.x = m[0] * x + m[4] * y + m[8]  * z + m[12];
    v.y = m[1] * x + m[5] * y + m[9]  * z + m[13];
    v.z = m[2] * x + m[6] * y + m[10] * z + m[14];
    v.w = m[3] * x + m[7] * y + m[11] * z + m[15];
    v.u = gl.texCoord[0];
    v.v = gl.texCoord[1];
    if (++gl.corner < 4) return;
    gl.corner = 0;
    emitQuad(gl.quad);
}
extern "C" void glTexCoord2f(float u, float v) { gl.texCoord[0] = u; gl.texCoord[1] = v; }
extern "C" void glVertex2i(GLint x, GLint y) { glVertex3f((float)x, (float)y, 0); }

// --- the real WebGL calls --------------------------------------------------------

static const char *vertexShader =
    "attribute vec4 position; attribute vec3 color; attribute vec2 texturePosition;\n"
    "varying vec3 faceColor; varying vec2 uv;\n"
    "void main() { gl_Position = position; faceColor = color; uv = texturePosition; }\n";
static const char *fragmentShader =
    "precision highp float; varying vec3 faceColor; varying vec2 uv;\n"
    "uniform sampler2D picture; uniform bool textured;\n"
    "void main() { gl_FragColor = textured ? vec4(texture2D(picture, uv).rgb, 1.0) : vec4(faceColor, 1.0); }\n";

static GLuint compile(GLenum type, const char *source)
{
    GLuint shader = emscripten_glCreateShader(type);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    return shader;
}

// The program and the vertex buffer, made on the current context: at start and
// again when a lost context is given back, all its objects gone.
static bool makeObjects()
{
    gl.program = emscripten_glCreateProgram();
    emscripten_glAttachShader(gl.program, compile(GL_VERTEX_SHADER, vertexShader));
    emscripten_glAttachShader(gl.program, compile(GL_FRAGMENT_SHADER, fragmentShader));
    emscripten_glBindAttribLocation(gl.program, 0, "position");
    emscripten_glBindAttribLocation(gl.program, 1, "color");
    emscripten_glBindAttribLocation(gl.program, 2, "texturePosition");
    emscripten_glLinkProgram(gl.program);
    GLint linked = 0;
    emscripten_glGetProgramiv(gl.program, GL_LINK_STATUS, &linked);
    if (!linked) return false;
    emscripten_glUseProgram(gl.program);
    gl.texturedUniform = emscripten_glGetUniformLocation(gl.program, "textured");
    emscripten_glGenBuffers(1, &gl.buffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, gl.buffer);
    emscripten_glEnableVertexAttribArray(0);
    emscripten_glEnableVertexAttribArray(1);
    emscripten_glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), (void *)0);
    emscripten_glEnableVertexAttribArray(2);
    emscripten_glVertexAttribPointer(1, 3, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), (void *)(4 * sizeof(float)));
    emscripten_glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), (void *)(4 * sizeof(float) + 4));
    return true;
}

static void resetLayer()
{
    gl = GlLayer{};
    gl.stacks[0][0] = gl.stacks[1][0] = identity;
    gl.color[0] = gl.color[1] = gl.color[2] = gl.color[3] = 255;
    gl.blend[0] = GL_ONE; gl.blend[1] = GL_ZERO; // GL's defaults; the boxes come from onReshape
    gl.filter[0] = gl.filter[1] = GL_NEAREST;
}

bool webGlStart()
{
    resetLayer();
    return makeObjects();
}

bool webGlOnCpu() { return gl.cpu; }

// The layer's state is the whole of GL's state, so the rasteriser can take
// over at any moment: only the texture's storage is made again, empty, as a
// context given back would have it.
bool webGlMoveToCpu()
{
    gl.cpu = true;
    gl.count = 0;
    if (!rasterStart()) return false;
    if (gl.textureWidth > 0) rasterTextureSize(gl.textureWidth, gl.textureHeight);
    return true;
}

bool webGlStartOnCpu()
{
    resetLayer();
    return webGlMoveToCpu();
}

static void applyState();
static void makeTexture();

// No WebGL call is made while frames are quiet or the rasteriser draws.
static bool toWebGl() { return !gl.quiet && !gl.cpu; }

static DrawState drawState()
{
    const GlLayer &g = gl;
    return {(g.enabled & capabilityBit(GL_DEPTH_TEST)) != 0, (g.enabled & capabilityBit(GL_SCISSOR_TEST)) != 0,
            (g.enabled & capabilityBit(GL_BLEND)) != 0, g.textured, g.filter[1] == GL_LINEAR,
            g.blend[0], g.blend[1], {g.scissor[0], g.scissor[1], g.scissor[2], g.scissor[3]},
            {g.viewport[0], g.viewport[1], g.viewport[2], g.viewport[3]},
            {g.clearColor[0], g.clearColor[1], g.clearColor[2], g.clearColor[3]}};
}

// A context given back has GL's defaults: the objects are made again and the
// state the scenes last set is handed to it; matrices and colour live here.
bool webGlRestore()
{
    if (gl.cpu) return true; // the rasteriser took over while WebGL was away
    gl.count = 0;
    if (!makeObjects()) return false;
    gl.texture = 0;      // gone with the context: made again at the size it had
    makeTexture();
    if (!gl.quiet) applyState();
    return true;
}

void webGlFlush()
{
    if (gl.count == 0) return;
    if (gl.quiet) { gl.count = 0; return; }
    if (gl.cpu) rasterTriangles(vertices, gl.count, drawState());
    else {
        emscripten_glBufferData(GL_ARRAY_BUFFER, gl.count * sizeof(Vertex), vertices, GL_STREAM_DRAW);
        emscripten_glUniform1i(gl.texturedUniform, gl.textured);
        emscripten_glDrawArrays(GL_TRIANGLES, 0, gl.count);
    }
    webGlDrawCalls++;
    webGlVertices += gl.count;
    gl.count = 0;
}

// Waits for WebGL to finish what it was given, by reading one pixel back.
void webGlFinish()
{
    if (gl.cpu) return; // the rasteriser is done when it returns
    unsigned char pixel[4];
    emscripten_glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}

// A capability that does not change needs no flush: scenes set their state
// every frame, mostly to what it already is.
static void setCapability(GLenum cap, bool on)
{
    if (cap == GL_TEXTURE_2D) { // the layer's own switch: WebGL has no such capability
        if (gl.textured != on) webGlFlush();
        gl.textured = on;
        return;
    }
    unsigned bit = capabilityBit(cap);
    if (!bit || ((gl.enabled & bit) != 0) == on) return;
    webGlFlush();
    gl.enabled ^= bit;
    if (!toWebGl()) return;
    if (on) emscripten_glEnable(cap);
    else    emscripten_glDisable(cap);
}

// Quiet frames run the scene code, and so its simulations, and the layer's own
// work without drawing:
// frame mode replays up to the moment asked for and only shows the last one.
// Leaving quiet hands WebGL the state the skipped frames left behind.
void webGlQuiet(bool quiet)
{
    if (gl.quiet == quiet) return;
    webGlFlush();
    gl.quiet = quiet;
    if (!quiet) applyState();
}

// WebGL is handed the state the layer keeps: after quiet frames, after
// glPopAttrib and on a context given back.
static void applyState()
{
    if (gl.cpu) return; // it reads the layer's state at every batch
    for (unsigned i = 0; i < sizeof capabilities / sizeof capabilities[0]; i++) {
        if (gl.enabled & 1u << i) emscripten_glEnable(capabilities[i]);
        else                      emscripten_glDisable(capabilities[i]);
    }
    emscripten_glBlendFunc(gl.blend[0], gl.blend[1]);
    emscripten_glScissor(gl.scissor[0], gl.scissor[1], gl.scissor[2], gl.scissor[3]);
    emscripten_glViewport(gl.viewport[0], gl.viewport[1], gl.viewport[2], gl.viewport[3]);
    emscripten_glClearColor(gl.clearColor[0], gl.clearColor[1], gl.clearColor[2], gl.clearColor[3]);
}

// The present step saves everything before it enlarges the picture, and puts
// it back after; one level is all it needs.
extern "C" void glPushAttrib(GLbitfield)
{
    if (gl.pushed) return;
    gl.pushed = true;
    gl.saved = {gl.mode, {gl.color[0], gl.color[1], gl.color[2], gl.color[3]}, gl.enabled, gl.textured,
                {gl.blend[0], gl.blend[1]}, {gl.scissor[0], gl.scissor[1], gl.scissor[2], gl.scissor[3]},
                {gl.viewport[0], gl.viewport[1], gl.viewport[2], gl.viewport[3]},
                {gl.clearColor[0], gl.clearColor[1], gl.clearColor[2], gl.clearColor[3]}};
}

extern "C" void glPopAttrib()
{
    if (!gl.pushed) return;
    webGlFlush();
    gl.pushed = false;
    const GlAttributes &a = gl.saved;
    gl.mode = a.mode;
    memcpy(gl.color, a.color, sizeof gl.color);
    gl.enabled = a.enabled;
    gl.textured = a.textured;
    memcpy(gl.blend, a.blend, sizeof gl.blend);
    memcpy(gl.scissor, a.scissor, sizeof gl.scissor);
    memcpy(gl.viewport, a.viewport, sizeof gl.viewport);
    memcpy(gl.clearColor, a.clearColor, sizeof gl.clearColor);
    if (!gl.quiet) applyState();
}

// --- the one texture: the present step's copy of the picture drawn at the corner --

// Made once; a new size gives the same texture new storage.
static void makeTexture()
{
    if (gl.textureWidth == 0) return;
    if (gl.cpu) { rasterTextureSize(gl.textureWidth, gl.textureHeight); return; }
    if (gl.texture == 0) emscripten_glGenTextures(1, &gl.texture);
    emscripten_glBindTexture(GL_TEXTURE_2D, gl.texture);
    emscripten_glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, gl.textureWidth, gl.textureHeight, 0, GL_RGB,
                            GL_UNSIGNED_BYTE, nullptr);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, gl.filter[0]);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, gl.filter[1]);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

extern "C" void glGenTextures(GLsizei count, GLuint *names)
{
    for (GLsizei i = 0; i < count; i++) names[i] = 1;
}
extern "C" void glBindTexture(GLenum, GLuint) {}

// Only the filters: nearest for retro's square pixels, linear for a reduced
// drawing size. Neither takes mipmaps, which the texture does not have.
extern "C" void glTexParameteri(GLenum, GLenum name, GLint value)
{
    int which = name == GL_TEXTURE_MIN_FILTER ? 0 : name == GL_TEXTURE_MAG_FILTER ? 1 : -1;
    if (which < 0 || (value != GL_NEAREST && value != GL_LINEAR) || gl.filter[which] == value) return;
    webGlFlush();
    gl.filter[which] = value;
    if (gl.texture != 0 && !gl.cpu) emscripten_glTexParameteri(GL_TEXTURE_2D, name, value);
}
extern "C" void glTexEnvi(GLenum, GLenum, GLint) {}

// Only the size is kept: the texture is made to it, RGB, as WebGL wants the
// format of the pixels and of the texture to agree.
extern "C" void glTexImage2D(GLenum, GLint, GLint, GLsizei width, GLsizei height, GLint, GLenum, GLenum,
                             const void *)
{
    gl.textureWidth = width;
    gl.textureHeight = height;
    makeTexture();
}

extern "C" void glCopyTexSubImage2D(GLenum, GLint, GLint xOffset, GLint yOffset, GLint x, GLint y,
                                    GLsizei width, GLsizei height)
{
    webGlFlush();
    if (gl.quiet) return;
    if (gl.cpu) rasterCopyToTexture(xOffset, yOffset, x, y, width, height);
    else emscripten_glCopyTexSubImage2D(GL_TEXTURE_2D, 0, xOffset, yOffset, x, y, width, height);
}

extern "C" void glEnable(GLenum cap)  { setCapability(cap, true); }
extern "C" void glDisable(GLenum cap) { setCapability(cap, false); }

extern "C" void glBlendFunc(GLenum source, GLenum destination)
{
    webGlFlush();
    gl.blend[0] = source; gl.blend[1] = destination;
    if (toWebGl()) emscripten_glBlendFunc(source, destination);
}

extern "C" void glScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    webGlFlush();
    gl.scissor[0] = x; gl.scissor[1] = y; gl.scissor[2] = width; gl.scissor[3] = height;
    if (toWebGl()) emscripten_glScissor(x, y, width, height);
}

extern "C" void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    webGlFlush();
    gl.viewport[0] = x; gl.viewport[1] = y; gl.viewport[2] = width; gl.viewport[3] = height;
    if (gl.cpu) rasterFollowCanvas(); // the page sets the viewport after it resizes the canvas
    if (toWebGl()) emscripten_glViewport(x, y, width, height);
}

// Only glClear reads the clear colour, and it flushes first.
extern "C" void glClearColor(float r, float g, float b, float a)
{
    gl.clearColor[0] = r; gl.clearColor[1] = g; gl.clearColor[2] = b; gl.clearColor[3] = a;
    if (toWebGl()) emscripten_glClearColor(r, g, b, a);
}

extern "C" void glClear(GLbitfield mask)
{
    webGlFlush();
    if (gl.quiet) return;
    if (gl.cpu) rasterClear(mask, drawState());
    else emscripten_glClear(mask);
}

// The browser shows the canvas once the frame's callback returns: what is
// batched must be drawn by then.
void swapPicture()
{
    webGlFlush();
    if (gl.cpu && !gl.quiet) rasterShow();
}
