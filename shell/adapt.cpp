// The drawing size that holds the refresh: where frames drawn at the picture
// box's own size miss the display's refresh, the scenes draw into a smaller box
// at the bottom-left corner and the present step enlarges it into the picture
// box. The rule is a pure function of frame times; each platform hands it the
// time of every frame it shows.
#include "shell.h"
#include "kit.h"
#include <cmath>
#include <cstdio>

// Linear scales of the picture box, each about two thirds of the area of the
// one before, far enough for the largest output (8192 wide); a size under
// 640 x 480 is drawn at 640 x 480 and ends the list.
static const double drawingScales[] = {1.0, 0.8, 0.64, 0.5, 0.4, 0.32, 0.25, 0.2, 0.16, 0.125, 0.1, 0.08, 0.0625};
static const int drawingScaleCount = sizeof drawingScales / sizeof drawingScales[0];

static const int    windowFrames   = 30;    // frames whose mean makes one decision
static const double missMargin     = 1.2;   // a mean over the refresh times this: one size smaller
static const double roomMargin     = 0.85;  // the next size up, estimated under the refresh times this: one size larger
static const double heldMargin     = 1.05;  // a mean under the refresh times this held it
static const int    firstProbe     = 10;    // windows held before the next size up is tried, where its
                                            // cost cannot be estimated
static const int    mostProbeDoublings = 4; // the wait doubles after each try that missed, up to 160 windows
static const double longestFrame   = 4;     // refreshes: a longer frame counts as this long, so one stall (a
                                            // hidden page, the machine busy elsewhere) cannot move the size alone
static const double helpMargin     = 0.9;   // a smaller size must save a tenth of the frame, or it is
                                            // passed over or given up
// The refresh held: 60 Hz. It is not guessed from paced frames, since a swap
// interval granted but not honoured (vblank_mode=0) would read as a fast display.
static const double refreshMs      = 1000.0 / 60;

bool        sharpPicture = false; // --sharp: the picture box's own size whatever it costs
DrawingRule drawingRule;          // the demo's running rule; its step is the size the reshape sets
static double lastFrameMs = -1;   // the platform's clock at the last frame shown, -1 before the first

void setDrawingStep(int step)
{
    drawingRule = DrawingRule{};
    drawingRule.step = step;
}

PixelBox drawingBox(PixelBox fitted, int step)
{
    if (step <= 0 || fitted.width <= 640 || fitted.height <= 480) return fitted;
    if (step >= drawingScaleCount) step = drawingScaleCount - 1;
    int width = (int)lround(fitted.width * drawingScales[step]);
    int height = (int)lround(fitted.height * drawingScales[step]);
    if (width < 640 || height < 480) return {0, 0, 640, 480};
    return {0, 0, width, height};
}

int drawingSteps(PixelBox fitted)
{
    int steps = 1;
    while (steps < drawingScaleCount) {
        PixelBox previous = drawingBox(fitted, steps - 1), box = drawingBox(fitted, steps);
        if (box.width == previous.width && box.height == previous.height) break;
        steps++;
    }
    return steps;
}

static double area(PixelBox box) { return (double)box.width * box.height; }

// Unpaced, a frame's time is what it costs, and the next size up is estimated
// by its area. Paced by a swap interval (or the browser's animation frames), a
// frame that holds the refresh takes exactly one refresh whatever it costs, so
// no room can be seen: after holding for a while the next size up is simply
// tried, and a try that misses comes back down after one window, the next try
// waiting twice as long.
//
// A smaller size pays for the enlargement: a copy, and one quad over the whole
// picture box. On a software renderer whose scenes fill the picture about once,
// as ours do, that quad costs about what a scene does, so the first smaller
// size is slower than the own size and only the smaller ones are faster
// (llvmpipe at 1920x1080: 13 ms sharp, 17 ms at 1152x864, 11 ms at 640x480).
// Unpaced, the first window at a smaller size is therefore timed: one not a
// tenth faster than the own size is passed over, both ways, for the next
// smaller one, so long as each is a tenth faster than the one before. A size
// that is not, or the smallest still no faster than the own size, sends the
// rule back to the size above it where that one was kept, else to the own
// size, with every smaller one given up for good. Once sizes are passed over
// the area says nothing of the cost, and the next size up is tried as paced
// frames try it. Paced frames come in whole refreshes, so a step can be no
// faster on the display and still lead to one that is: they are not timed so.
static int smallerStep(const DrawingRule *rule) { return rule->step == 0 ? rule->passed + 1 : rule->step + 1; }
static int largerStep(const DrawingRule *rule)  { return rule->step == rule->passed + 1 ? 0 : rule->step - 1; }

static DrawingChange moveTo(DrawingRule *rule, int step, DrawingChange change)
{
    rule->step = step;
    rule->heldWindows = 0;
    rule->frames = -windowFrames;
    return change;
}

// The first window at a size just stepped down to: kept, passed over, or given
// up. Below a size that was kept it is held to that size alone, as load may
// have moved since the own size was timed.
static DrawingChange judgeSmaller(DrawingRule *rule, double mean, double largerMs, int steps)
{
    bool beatsLarger = mean <= largerMs * helpMargin;
    if (rule->largerStep > rule->passed) {
        if (beatsLarger) return drawingKept;
        rule->lowest = rule->largerStep + 1;
        return moveTo(rule, rule->largerStep, drawingNoFaster);
    }
    if (mean <= rule->ownMs * helpMargin) return drawingKept;
    if ((rule->largerStep == 0 || beatsLarger) && rule->step + 1 < steps) {
        rule->passed = rule->step;
        rule->largerMs = mean;
        rule->largerStep = rule->step;
        return moveTo(rule, rule->step + 1, drawingSmaller);
    }
    rule->lowest = 1;
    return moveTo(rule, 0, drawingNoFaster);
}

DrawingChange feedDrawingRule(DrawingRule *rule, PixelBox fitted, double frameMs, bool paced)
{
    int steps = drawingSteps(fitted);
    if (rule->lowest > 0 && rule->lowest < steps) steps = rule->lowest;
    if (rule->step >= steps) rule->step = steps - 1;
    if (steps == 1 || frameMs <= 0) return drawingKept;
    double longest = longestFrame * refreshMs;
    if (frameMs > longest) frameMs = longest;
    if (rule->frames < 0) {   // the window after a change: the new size settles
        rule->frames++;
        return drawingKept;
    }
    rule->totalMs += frameMs;
    if (++rule->frames < windowFrames) return drawingKept;
    double mean = rule->totalMs / rule->frames;
    rule->frames = 0;
    rule->totalMs = 0;

    // A mean at the longest frame says only that frames were longer still.
    double largerMs = rule->largerMs;
    rule->largerMs = 0;
    if (largerMs > 0 && largerMs < longest) {
        DrawingChange judged = judgeSmaller(rule, mean, largerMs, steps);
        if (judged != drawingKept) return judged;
    }
    bool tried = rule->trying;
    rule->trying = false;
    if (mean > refreshMs * missMargin) {
        rule->heldWindows = 0;
        if (tried && rule->failedTries < mostProbeDoublings) rule->failedTries++;
        int next = smallerStep(rule);
        if (next >= steps) return drawingKept;
        if (rule->step == 0) rule->ownMs = mean;
        rule->largerMs = paced || tried ? 0 : mean; // back from a try: that size was timed before
        rule->largerStep = rule->step;
        return moveTo(rule, next, drawingSmaller);
    }
    if (tried) rule->failedTries = 0;
    rule->heldWindows = mean <= refreshMs * heldMargin ? rule->heldWindows + 1 : 0;
    if (rule->step == 0) return drawingKept;
    int up = largerStep(rule);
    double larger = area(drawingBox(fitted, up)) / area(drawingBox(fitted, rule->step));
    bool room = mean * larger < refreshMs * roomMargin;
    if ((paced || rule->passed > 0) && rule->heldWindows >= firstProbe << rule->failedTries) {
        room = true;
        rule->trying = true;
    }
    if (!room) return drawingKept;
    return moveTo(rule, up, drawingLarger);
}

// Called by the platform at the start of every frame it shows, before the scene
// draws: a new size takes effect through the reshape, between two frames.
void frameShown(double nowMs, bool paced)
{
    double frameMs = lastFrameMs < 0 ? -1 : nowMs - lastFrameMs;
    lastFrameMs = nowMs;
    if (retroPicture || sharpPicture) return;
    PixelBox fitted = fitPicture(outputBox.width, outputBox.height);
    DrawingChange change = feedDrawingRule(&drawingRule, fitted, frameMs, paced);
    if (change == drawingKept) return;
    onReshape(outputBox.width, outputBox.height);
    int rate = (int)lround(1000 / refreshMs);
    if (change == drawingSmaller)
        fprintf(stderr, "cubic-harmony: drawing at %dx%d (of %dx%d) to hold %d frames a second\n",
                pictureBox.width, pictureBox.height, fitted.width, fitted.height, rate);
    else if (change == drawingLarger)
        fprintf(stderr, "cubic-harmony: drawing at %dx%d (of %dx%d) again: there is room at %d frames a second\n",
                pictureBox.width, pictureBox.height, fitted.width, fitted.height, rate);
    else
        fprintf(stderr, "cubic-harmony: drawing at %dx%d (of %dx%d) again: a smaller pictureBox was no faster here\n",
                pictureBox.width, pictureBox.height, fitted.width, fitted.height);
}
