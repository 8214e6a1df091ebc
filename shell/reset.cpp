// The demo's state as a fresh process has it: the sequencer at its first row,
// the generator at its first seed and both simulations unstarted. Play-again,
// the frame tools, the bench and the tests start every run from here.
#include "shell.h"
#include "kit.h"
#include "scenes.h"

void resetDemo()
{
    currentScene     = 0;
    sceneStartTime   = 0;
    fountainNextSlot = 0;
    fountainLastStep = -1;  // the ring is parked again on the fountain's next frame
    fireLastStep     = -1;  // the field is cooled again on the fire's next frame
    fireSeed         = 10;
    fireSeedRepeats  = 0;
    demoSrand(1);
}
