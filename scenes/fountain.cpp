// Sixth scene: small spinning cubes spray from a nozzle above a square floor,
// fall, bounce with half their speed and fade from warm white to blue as they
// shrink, over blue bands; the camera circles the spray.
#include "scenes.h"
#include "kit.h"
#include "shell.h"
#include <GL/glu.h>

Particle particles[particleCount]; // the ring; each step overwrites the four oldest records
int      fountainNextSlot = 0;     // record the next emission overwrites, 0..1023; never reset
int      fountainLastStep = -1;    // whole 10 ms steps reached at the last frame, -1 before the first

static const int stepLength = 10;        // ms of sceneTime per simulation step
static const int maxStepsPerFrame = 20;  // a slow frame drops the steps beyond these
static const int emitPerStep = 4;        // particles born per step: each lives 1024 / 4 = 256 steps
static const int emitLife = 256;         // life of a new particle, in steps
static const double gravity = 0.0007;    // units per step per step
static const double bounceFactor = -0.5; // a bounce reverses the fall at half the speed

// A spread value from one generator draw: (0..100 - 50) * scale.
static float centred(double scale)
{
    return (float)((demoRand() % 101 - 50) * scale);
}

static void emitParticle(Particle &p)
{
    p.x = 0;
    p.y = 2.5f;     // the nozzle, above the floor top
    p.z = 0;
    // One draw per field, in this order: the spray pattern depends on it.
    p.vx = centred(0.0004);
    p.vy = (float)(demoRand() % 101 * 0.0002); // always upwards or zero
    p.vz = centred(0.0004);
    p.axisX = centred(0.0002);
    p.axisY = centred(0.0002);
    p.axisZ = centred(0.0002);
    p.angle = (float)(demoRand() % 100 * 3.6);
    p.spin = centred(0.072);
    p.life = emitLife;
}

void resetParticles()
{
    // Parked far above the view: the eye is 6.7 units from the origin and the
    // far plane 300 away, so these are never seen while they wait.
    for (Particle &p : particles)
        p = {0, 9999, 0, 0, -14, 0, 0, 0, 1, 0, 0, emitLife};
}

void stepParticles()
{
    for (int i = 0; i < emitPerStep; i++) {
        emitParticle(particles[fountainNextSlot]);
        fountainNextSlot++;
        if (fountainNextSlot == particleCount) fountainNextSlot -= particleCount;
    }

    // Every record moves, the four just born included; parked ones fall harmlessly.
    for (Particle &p : particles) {
        p.vy = (float)(p.vy - gravity);
        p.angle = p.angle + p.spin;
        // Only the height is tested, so particles that left the floor sideways
        // bounce in mid-air beside it.
        if (p.y < 0) {
            p.vy = (float)(p.vy * bounceFactor);
            p.y = -p.y;
            p.spin = centred(0.072);
        }
        p.x = p.x + p.vx;
        p.y = p.y + p.vy;
        p.z = p.z + p.vz;
        p.life--;
    }
}

static Rgb floorColor(int n)
{
    return {(float)(0.15 + 0.027 * n), (float)(0.65 + 0.018 * n), (float)(0.35 + 0.008 * n)};
}

static Rgb fountainBand(int n)
{
    return {(float)(0.3 + 0.015 * n), (float)(0.4 + 0.02 * n), (float)(0.8 + 0.01 * n)};
}

void drawFountainScene(int sceneTime)
{
    // 1. The first frame parks the whole ring and starts counting steps at 0.
    if (fountainLastStep == -1) {
        resetParticles();
        fountainLastStep = 0;
    }

    // 2. Catch up in fixed steps of sceneTime, so the frame rate changes only
    // smoothness. A slow frame performs at most 20 and drops the rest.
    int steps = sceneTime / stepLength;
    int owed = steps - fountainLastStep;
    for (int i = 0; i < owed && i < maxStepsPerFrame; i++)
        stepParticles();
    fountainLastStep = steps;

    // 3. Bands from blue to pale blue; each band's copy of the floor is drawn
    // right after its clear under the same scissor box, so the floor is shaded
    // band by band. The floor goes down before this frame's camera is set, so it
    // uses the last frame's camera and lags the particles by one frame.
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_SCISSOR_TEST);
    for (int n = 0; n < 20; n++) {
        Rgb c = fountainBand(n), f = floorColor(n);
        scissorScreen(0, 456 - 24 * n, 640, 24);
        glClearColor(c.r, c.g, c.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawCornerBox(-4, -0.1f, -4, 4, 0, 4, f.r, f.g, f.b);
    }

    // 4. Camera circling the spray, one turn in 12 s.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 3, 6, 0, 0, 0, 0, 1, 0);
    glRotatef((float)(sceneTime * 0.03), 0, 1, 0);
    glDisable(GL_SCISSOR_TEST);

    // 5. Particles shrink and turn from warm white to blue as their life runs
    // out. Parked records are drawn too, far out of view; the depth test hides
    // the ones that fell under the floor.
    for (const Particle &p : particles) {
        double life = p.life;
        float size = (float)(0.001 * life);
        drawRotatedCube(p.x, p.y, p.z, size, size, size, p.angle, p.axisX, p.axisY, p.axisZ,
                        (float)(life / 256), (float)(0.3 + life / 512), (float)(1 - life / 512));
    }

    presentFrame();
}
