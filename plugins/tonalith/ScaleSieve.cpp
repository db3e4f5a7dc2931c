#include "ScaleSieve.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace tonalith
{
ScaleSieve::ScaleSieve()
{
    for (auto& d : displaySlot)
        d.store (-1, std::memory_order_relaxed);
    // Built for a default rate so notes taken before the host prepares still sound sensibly.
    prepare (44100.0);
    notesChanged.store (0, std::memory_order_relaxed);
}

void ScaleSieve::prepare (double sampleRate) noexcept
{
    if (! (sampleRate > 0.0) || ! std::isfinite (sampleRate))
        sampleRate = 44100.0;
    const float twelfth = 1.0f / 12.0f;
    for (int n = 0; n < numNotes; ++n)
    {
        const float power = std::pow (2.0f, (float) n * twelfth);
        const float hz = power * 8.175799f;
        const float f = (float) ((double) hz / sampleRate);
        for (int h = 1; h <= numHarmonics; ++h)
        {
            const float v = (float) h * f;
            allHarmonics[n][h - 1] = v;
            oddHarmonics[n][h - 1] = (h & 1) != 0 ? v : 0.0f;
        }
        noteSlotOf[n] = -1;
        displaySlot[n].store (-1, std::memory_order_relaxed);
    }
    for (auto& slot : noteSlots)
        std::fill (std::begin (slot), std::end (slot), 0.0f);
    std::fill (std::begin (sieveTable), std::end (sieveTable), 0.0f);
    heldCount = 0;
    notesChanged.store (1, std::memory_order_relaxed);
}

void ScaleSieve::noteOn (int note, float harmonics) noexcept
{
    if (note < 0 || note >= numNotes)
        return;
    int slot = -1;
    for (int s = 0; s < numSlots; ++s)
        if (noteSlots[s][0] == 0.0f)
        {
            slot = s;
            break;
        }
    if (slot >= 0)
    {
        const float spread = std::fabs (harmonics - 0.5f) * 38.0f + 1.0f;
        int count = 1;
        if (spread >= (float) numHarmonics)
            count = numHarmonics;
        else if (spread >= 1.0f)
            count = (int) spread;
        const float* row = harmonics >= 0.5f ? allHarmonics[note] : oddHarmonics[note];
        std::fill (std::begin (noteSlots[slot]), std::end (noteSlots[slot]), 0.0f);
        std::copy (row, row + count, noteSlots[slot]);
        noteSlotOf[note] = slot;
        ++heldCount;
        rebuildSieveTable();
        publish (note);
    }
    if (heldCount > numSlots)
        heldCount = numSlots;
}

void ScaleSieve::noteOff (int note) noexcept
{
    if (note < 0 || note >= numNotes)
        return;
    const int s = noteSlotOf[note];
    if (s < 0)
        return;
    std::fill (std::begin (noteSlots[s]), std::end (noteSlots[s]), 0.0f);
    rebuildSieveTable();
    noteSlotOf[note] = -1;
    heldCount = std::max (0, heldCount - 1);
    publish (note);
}

void ScaleSieve::setPitchBend (int value) noexcept
{
    const int v = value - 8192;
    const float up = 1.0f / 98292.0f, down = 1.0f / 98304.0f;
    bendRatio = std::exp2 ((float) v * (v < 0 ? down : up));
}

void ScaleSieve::rebuildSieveTable() noexcept
{
    std::copy (&noteSlots[0][0], &noteSlots[0][0] + tableSize, sieveTable);
    std::sort (std::begin (sieveTable), std::end (sieveTable), std::greater<float>());
}

void ScaleSieve::publish (int note) noexcept
{
    displaySlot[note].store (noteSlotOf[note], std::memory_order_relaxed);
    notesChanged.store (1, std::memory_order_relaxed);
}
} // namespace tonalith
