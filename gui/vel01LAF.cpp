#include "vel01LAF.h"

vel01LAF::vel01LAF() = default;

void vel01LAF::setVuLevels (float inLeft, float inRight, float outLeft, float outRight)
{
    levels[0] = inLeft;
    levels[1] = inRight;
    levels[2] = outLeft;
    levels[3] = outRight;
}
