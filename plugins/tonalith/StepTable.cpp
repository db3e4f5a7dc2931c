#include "StepTable.h"

#include <cmath>
#include <cstdio>

namespace tonalith
{
namespace
{
// Just intervals from the octave below to the octave above; the lower half mirrors the upper.
const int justFractions[StepTable::numSteps][2] = {
    { 1, 2 },   { 8, 15 }, { 5, 9 },   { 3, 5 }, { 5, 8 },   { 2, 3 },  { 32, 45 }, { 3, 4 }, { 4, 5 },
    { 5, 6 },   { 8, 9 },  { 15, 16 }, { 1, 1 }, { 16, 15 }, { 9, 8 },  { 6, 5 },   { 5, 4 }, { 4, 3 },
    { 45, 32 }, { 3, 2 },  { 8, 5 },   { 5, 3 }, { 9, 5 },   { 15, 8 }, { 2, 1 },
};

int clampStep (int step) noexcept
{
    return step < 0 ? 0 : (step >= StepTable::numSteps ? StepTable::numSteps - 1 : step);
}
} // namespace

StepTable::StepTable()
{
    for (int k = 0; k < numSteps; ++k)
    {
        equalRatio[k] = (float) std::pow (2.0, (double) (k - 12) / 12.0);
        std::snprintf (equalLabel[k], labelSize, "%d c", 100 * k - 1200);
        const int num = justFractions[k][0], den = justFractions[k][1];
        justRatio[k] = (float) num / (float) den;
        std::snprintf (justLabel[k], labelSize, "%d:%d", num, den);
    }
}

float StepTable::ratio (int step, bool just) const noexcept
{
    step = clampStep (step);
    return just ? justRatio[step] : equalRatio[step];
}

const char* StepTable::label (int step, bool just) const noexcept
{
    step = clampStep (step);
    return just ? justLabel[step] : equalLabel[step];
}

int stepIndex (float normalized, float stepsPerUnit) noexcept
{
    const float x = stepsPerUnit * normalized;
    if (! (x >= 0.0f))
        return 0;
    if (x >= (float) (StepTable::numSteps - 1))
        return StepTable::numSteps - 1;
    return (int) x;
}
} // namespace tonalith
