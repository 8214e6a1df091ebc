// The walking figure: white shirt with "TABOO" in dark bars on the chest, skin
// head and hands, blue trousers, brown shoes. Arms and legs swing about the
// shoulders and hips by the caller's stride, and the body bobs as they spread.
#include "models.h"
#include "kit.h"
#include <GL/gl.h>
#include <cmath>

struct WalkerBox {
    float x0, y0, z0;   // one corner, figure units (16 tall, facing +z)
    float x1, y1, z1;   // the opposite corner
    float r, g, b;
};

// Recurring colours, spelt out in the tables so each row stands alone:
// white 1 1 1, skin 1 .8 .6, dark .1 .1 .1.
//
// The emblem letters sit in five cells across the chest (x -1.85..-1.25,
// -1.1..-0.4, -0.35..0.35, 0.4..1.1, 1.25..1.85), 0.01 proud of the shirt.
// Uprights are 0.2 wide and run y 9..11 (the T's stem only 10..11); cross
// bars are 0.5 long and 0.2 high. All drawn before the head.
static const WalkerBox walkerBody[] = {
    {-2,     7,     -1,     2,     13,     1,      1,    1,    1   }, // torso (shirt)
    {-1.85f, 10.9f,  1,    -1.35f, 11.1f,  1.01f,  0.1f, 0.1f, 0.1f}, // T, top bar
    {-1.7f,  10,     1,    -1.5f,  11,     1.01f,  0.1f, 0.1f, 0.1f}, // T, short stem
    {-1.1f,  9,      1,    -0.9f,  11,     1.01f,  0.1f, 0.1f, 0.1f}, // A, left upright
    {-0.6f,  9,      1,    -0.4f,  11,     1.01f,  0.1f, 0.1f, 0.1f}, // A, right upright
    {-1.0f,  10.9f,  1,    -0.5f,  11.1f,  1.01f,  0.1f, 0.1f, 0.1f}, // A, top bar
    {-1.0f,  9.9f,   1,    -0.5f,  10.1f,  1.01f,  0.1f, 0.1f, 0.1f}, // A, cross bar
    {-0.35f, 9,      1,    -0.15f, 11,     1.01f,  0.1f, 0.1f, 0.1f}, // B, left upright
    { 0.15f, 9,      1,     0.35f, 11,     1.01f,  0.1f, 0.1f, 0.1f}, // B, right upright
    {-0.25f, 10.9f,  1,     0.25f, 11.1f,  1.01f,  0.1f, 0.1f, 0.1f}, // B, top bar
    {-0.25f, 9.9f,   1,     0.25f, 10.1f,  1.01f,  0.1f, 0.1f, 0.1f}, // B, middle bar
    {-0.25f, 8.9f,   1,     0.25f, 9.1f,   1.01f,  0.1f, 0.1f, 0.1f}, // B, bottom bar
    { 0.4f,  9,      1,     0.6f,  11,     1.01f,  0.1f, 0.1f, 0.1f}, // first O, left upright
    { 0.9f,  9,      1,     1.1f,  11,     1.01f,  0.1f, 0.1f, 0.1f}, // first O, right upright
    { 0.5f,  10.9f,  1,     1.0f,  11.1f,  1.01f,  0.1f, 0.1f, 0.1f}, // first O, top bar
    { 0.5f,  8.9f,   1,     1.0f,  9.1f,   1.01f,  0.1f, 0.1f, 0.1f}, // first O, bottom bar
    { 1.25f, 9,      1,     1.45f, 11,     1.01f,  0.1f, 0.1f, 0.1f}, // second O, left upright
    { 1.65f, 9,      1,     1.85f, 11,     1.01f,  0.1f, 0.1f, 0.1f}, // second O, right upright
    { 1.3f,  10.9f,  1,     1.8f,  11.1f,  1.01f,  0.1f, 0.1f, 0.1f}, // second O, top bar
    { 1.3f,  8.9f,   1,     1.8f,  9.1f,   1.01f,  0.1f, 0.1f, 0.1f}, // second O, bottom bar
    {-1,     13.5f, -1,     1,     16,     1,      1,    0.8f, 0.6f}, // head
    {-0.5f,  14.5f,  1,    -0.3f,  15.5f,  1.01f,  0.1f, 0.1f, 0.1f}, // eye at -x
    { 0.3f,  14.5f,  1,     0.5f,  15.5f,  1.01f,  0.1f, 0.1f, 0.1f}, // eye at +x
    {-0.5f,  13,    -0.5f,  0.5f,  13.5f,  0.5f,   1,    0.8f, 0.6f}, // neck
};

struct WalkerLimb {
    float px, py, pz;       // shoulder or hip pivot
    float swing;            // +1 or -1: the two sides swing opposite ways
    WalkerBox upper, lower; // relative to the pivot, hanging down
};

// A positive swing about +x carries the lower end backwards (-z). Arm and leg
// of one side share the sign. The hips are 0.99 off the centre line so the
// legs overlap by 0.02 rather than share a face; shoes stick out towards +z.
static const WalkerLimb walkerLimbs[] = {
    {-2.5f, 12, 0, +1, {-0.5f, -3.5f, -0.5f,  0.5f, 0.5f, 0.5f,  1,    1,    1   },   // arm at -x: sleeve
                       {-0.5f, -4.5f, -0.5f,  0.5f, -3.5f, 0.5f, 1,    0.8f, 0.6f}},  //            hand
    { 2.5f, 12, 0, -1, {-0.5f, -3.5f, -0.5f,  0.5f, 0.5f, 0.5f,  1,    1,    1   },   // arm at +x: sleeve
                       {-0.5f, -4.5f, -0.5f,  0.5f, -3.5f, 0.5f, 1,    0.8f, 0.6f}},  //            hand
    {-0.99f, 6, 0, +1, {-1, -5, -1,  1,  1, 1,                   0.2f, 0.4f, 0.8f},   // leg at -x: trouser leg
                       {-1, -6, -1,  1, -5, 2,                   0.6f, 0.3f, 0   }},  //            shoe
    { 0.99f, 6, 0, -1, {-1, -5, -1,  1,  1, 1,                   0.2f, 0.4f, 0.8f},   // leg at +x: trouser leg
                       {-1, -6, -1,  1, -5, 2,                   0.6f, 0.3f, 0   }},  //            shoe
};

static void drawWalkerBox(const WalkerBox &b)
{
    drawCornerBox(b.x0, b.y0, b.z0, b.x1, b.y1, b.z1, b.r, b.g, b.b);
}

// Degrees to radians with pi taken as 3.1415927.
static const double walkerDegree = 0.01745329277777778;

// Feet centred on (x, y, z) at stride 0; 0.96 tall; heading turns it about
// the vertical, 0 facing +z.
void drawWalker(float x, float y, float z, float stride, float heading)
{
    glPushMatrix();
        glTranslatef(x, y, z);
        glScalef(0.06f, 0.06f, 0.06f);
        glRotatef(heading, 0, 1, 0);

        // The figure sinks by three times (1 - cos stride) as the legs spread,
        // so the feet stay near the ground.
        glTranslatef(0, (float)((cos(stride * walkerDegree) - 1) * 3), 0);

        for (const WalkerBox &b : walkerBody)
            drawWalkerBox(b);

        for (const WalkerLimb &limb : walkerLimbs) {
            glPushMatrix();
                glTranslatef(limb.px, limb.py, limb.pz);
                glRotatef(limb.swing * stride, 1, 0, 0);
                drawWalkerBox(limb.upper);
                drawWalkerBox(limb.lower);
            glPopMatrix();
        }
    glPopMatrix();
}
