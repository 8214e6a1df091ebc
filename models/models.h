// Models: stateless objects assembled from fixed lists of boxes. Each draws its
// object at a given point with the animation angles the caller passes, and
// leaves the matrix stack as it found it. Part of the core: plain GL 1.1, the
// same on every platform.
#pragma once

void drawColorCross(float x, float y, float z);
void drawScatteredCross(float x, float y, float z, float angle); // takes 114 generator values
void drawTree(float x, float y, float z);
void drawTerracedHill(float x, float y, float z, float sx, float sy, float sz);
void drawRoadSign(float x, float y, float z);
void drawHouse(float x, float y, float z);
void drawWalker(float x, float y, float z, float stride, float heading);
void drawCar(float x, float y, float z, float wheelAngle, float heading);
