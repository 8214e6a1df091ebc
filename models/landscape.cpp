// Placeholder until this model is built: draws nothing.
#include "models.h"

void drawTree(float, float, float) {}
void drawTerracedHill(float, float, float, float, float, float) {}
void drawRoadSign(float, float, float) {}
