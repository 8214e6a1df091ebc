// Placeholder until this model is built: draws nothing.
#include "models.h"

void drawWalker(float, float, float, float, float) {}
