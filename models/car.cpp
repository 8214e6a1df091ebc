// Placeholder until this model is built: draws nothing.
#include "models.h"

void drawCar(float, float, float, float, float) {}
