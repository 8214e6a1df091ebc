// Placeholder until this model is built: draws nothing.
#include "models.h"

void drawHouse(float, float, float) {}
