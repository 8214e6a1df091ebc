// The nine timed scenes. Each draws one complete frame from the milliseconds
// since it began (sceneTime), buffer swap included.
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

// --- fountain simulation (scenes/fountain.cpp) ---
void resetParticles();
void stepParticles();

// --- fire simulation (scenes/fire.cpp) ---
void resetFireVolume();
void stepFireVolume();

// --- corridor models (scenes/corridor.cpp) ---
void drawBouncingBox(float x, float y, float z, float angle);
void drawTorch(float x, float y, float z, float t);
