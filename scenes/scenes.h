// The nine timed scenes. Each draws one complete frame from the milliseconds
// since it began (sceneTime) and presents it (presentFrame, shell.h). Part of
// the core: plain GL 1.1 and GLU, the same on every platform.
#pragma once

void drawTrailsScene(int sceneTime);    // Lissajous cube trails, fade from white
void drawTitleScene(int sceneTime);     // exploding crosses under the title
void drawHouseScene(int sceneTime);     // house with the walker circling it
void drawLatticeScene(int sceneTime);   // flight through the cross lattice
void drawRoadScene(int sceneTime);      // car swerving along the country road
void drawFountainScene(int sceneTime);  // fountain of bouncing particle cubes
void drawFireScene(int sceneTime);      // turning block of voxel fire
void drawCorridorScene(int sceneTime);  // figure striding down a torch-lit corridor
void drawAscentScene(int sceneTime);    // climb from the village into space

// --- the village walk, shared by the house scene and the ascent (scenes/house.cpp) ---
void drawVillageWalk(double t); // t: ms since the scene began

// --- fountain simulation (scenes/fountain.cpp) ---
// A ring of particles advanced in steps of 10 ms of sceneTime; every step emits
// four, so each lives 256 steps.
struct Particle {
    float x, y, z;              // position, world units (y above the floor top)
    float vx, vy, vz;           // velocity, units per step
    float angle;                // rotation of the cube, degrees
    float spin;                 // change of angle per step, degrees
    float axisX, axisY, axisZ;  // rotation axis, any length
    int   life;                 // steps left: 256 when emitted; sets size and colour
};
const int particleCount = 1024;
extern Particle particles[particleCount]; // the ring
extern int fountainNextSlot;    // record the next emission overwrites, 0..1023; 0 again only at resetDemo
extern int fountainLastStep;    // whole 10 ms steps reached at the last frame, -1 before the first
void resetParticles();          // parks every record far above the view
void stepParticles();           // one step: four emissions, then every record moves

// --- fire simulation (scenes/fire.cpp) ---
// A 40 x 40 x 40 heat field advanced in steps of 20 ms of sceneTime: fresh
// random heat enters row 0, rises and spreads sideways while it fades.
const int fireSize = 40;
extern float fireHeat[fireSize][fireSize][fireSize]; // [layer (x)][row (y, heat rises)][column (z)]
extern int fireLastStep;        // whole 20 ms steps reached at the last frame, -1 before the first
extern int fireSeed;            // seed of the source rows of the two repeated steps of a cycle
extern int fireSeedRepeats;     // steps left that reseed the generator with fireSeed
void resetFireVolume();         // every cell to 0
void stepFireVolume();          // one step: source row, then rise and spread

