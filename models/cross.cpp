// Placeholder until this model is built: draws nothing.
#include "models.h"

void drawColorCross(float, float, float) {}
void drawScatteredCross(float, float, float, float) {}
