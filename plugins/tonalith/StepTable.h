#pragma once

namespace tonalith
{
/** The 25 transposition steps of "pitchshift" (k = 0..24, interval k - 12 semitones) with
    their equal-tempered and just ratios and display labels. */
struct StepTable
{
    static constexpr int numSteps = 25;
    static constexpr int labelSize = 8; // bytes per label, terminator included

    StepTable();

    /** Clamps a step index (0..24) and returns the ratio of the chosen tuning. */
    float ratio (int step, bool just) const noexcept;
    /** "-1200 c" .. "1200 c" (equal-tempered) or "1:2" .. "2:1" (just). */
    const char* label (int step, bool just) const noexcept;

    float equalRatio[numSteps];
    float justRatio[numSteps];
    char equalLabel[numSteps][labelSize];
    char justLabel[numSteps][labelSize];
};

/** Step index from a normalized value by a truncated product, clamped to 0..24; values
    that are not numbers select the lowest step. */
int stepIndex (float normalized, float stepsPerUnit) noexcept;
} // namespace tonalith
