#include "SineOscillators.h"
#include "UlpDistance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

namespace
{
using veltrane::sineOscillatorGroup;
using veltrane::sineTableLength;
using veltrane_test::ulpDistance;

/** 0 stands for the width the loader chose, then each width this build runs here. */
std::vector<int> widths()
{
    std::vector<int> w { 0 };
    std::vector<float> dummy (sineOscillatorGroup, 0.0f), scratch (veltrane::sineOscillatorScratch), out (1);
    for (int lanes : { 1, 4, 8, 16 })
    {
        const veltrane::SineOscillatorSpans spans { dummy.data(), dummy.data(), dummy.data(), dummy.data(),
                                                    dummy.data() };
        if (veltrane::runSineOscillatorsAt (lanes, spans, 0, dummy.data(), 0.0f, scratch.data(), out.data(), 1, 1.0f))
            w.push_back (lanes);
        else
            std::cout << "sine oscillators: " << lanes << " lanes not run here\n";
    }
    return w;
}

/** A bank: the table as the resynthesis builds it, and oscillator state padded to groups. */
struct Bank
{
    explicit Bank (int oscillators)
        : count ((oscillators + sineOscillatorGroup - 1) / sineOscillatorGroup * sineOscillatorGroup),
          position ((size_t) count),
          increment ((size_t) count),
          amplitude ((size_t) count),
          incrementStep ((size_t) count),
          amplitudeStep ((size_t) count),
          table (sineTableLength),
          scratch (veltrane::sineOscillatorScratch)
    {
        for (int k = 0; k < sineTableLength; ++k)
            table[(size_t) k] = (float) std::sin ((double) ((float) k * step));
    }

    void run (int lanes, float* output, int hop, float scale)
    {
        const veltrane::SineOscillatorSpans spans { position.data(), increment.data(), amplitude.data(),
                                                    incrementStep.data(), amplitudeStep.data() };
        if (lanes == 0)
            veltrane::runSineOscillators (spans, count, table.data(), step, scratch.data(), output, hop, scale);
        else
            ASSERT_TRUE (veltrane::runSineOscillatorsAt (lanes, spans, count, table.data(), step, scratch.data(),
                                                         output, hop, scale));
    }

    const float step = 8.0f * std::atan (1.0f) * (1.0f / 16384.0f);
    int count;
    std::vector<float> position, increment, amplitude, incrementStep, amplitudeStep, table, scratch;
};
} // namespace

TEST (SineOscillators, EveryTableEntryWithinTheBoundAtEveryWidth)
{
    // One sounding oscillator among silent ones, one sample: the sum is its sine. Every entry is
    // checked (the positions sit inside each entry, so truncation is checked too); the plain
    // path and four lanes read the table, so they give it exactly.
    Bank bank (sineOscillatorGroup);
    for (int lanes : widths())
    {
        SCOPED_TRACE (lanes);
        std::int64_t worst = 0;
        for (int k = 0; k < sineTableLength; ++k)
        {
            const int slot = k % sineOscillatorGroup;
            std::fill (bank.amplitude.begin(), bank.amplitude.end(), 0.0f);
            bank.amplitude[(size_t) slot] = 1.0f;
            bank.position[(size_t) slot] = (float) k + 0.75f;
            float out = 0.0f;
            bank.run (lanes, &out, 1, 1.0f);
            const std::int64_t d = ulpDistance (out, bank.table[(size_t) k]);
            ASSERT_LE (d, veltrane::sineOscillatorUlps) << "entry " << k;
            if (lanes == 1 || lanes == 4)
            {
                ASSERT_EQ (d, 0) << "entry " << k;
            }
            worst = std::max (worst, d);
        }
        std::cout << "sine oscillators, " << lanes << " lanes: at most " << worst << " ulp from the table\n";
    }
}

TEST (SineOscillators, GlidingBankMatchesTheOneAtATimeLoop)
{
    // Random states over a hop of several summing blocks: the sums match the one-at-a-time loop
    // within the rounding of another summation order and the sines' bound, and the states advance
    // by exactly the same additions at every width.
    const int oscillators = 200, hop = 600;
    std::mt19937 rng (11);
    std::uniform_real_distribution<float> u (0.0f, 1.0f);
    Bank start (oscillators);
    for (int i = 0; i < oscillators; ++i)
    {
        start.position[(size_t) i] = u (rng) * 16384.0f;
        start.increment[(size_t) i] = (float) i * 20.0f + u (rng) * 10.0f;
        start.incrementStep[(size_t) i] = (u (rng) - 0.5f) * 0.05f;
        start.amplitude[(size_t) i] = u (rng) * 0.1f;
        start.amplitudeStep[(size_t) i] = (u (rng) - 0.5f) * 1e-4f;
    }

    std::vector<float> expected ((size_t) hop, 0.0f);
    std::vector<float> endPosition ((size_t) oscillators), endIncrement ((size_t) oscillators),
        endAmplitude ((size_t) oscillators);
    for (int i = 0; i < oscillators; ++i)
    {
        float p = start.position[(size_t) i], k = start.increment[(size_t) i], a = start.amplitude[(size_t) i];
        for (int j = 0; j < hop; ++j)
        {
            expected[(size_t) j] += a * start.table[(size_t) ((int) p & (sineTableLength - 1))] * 0.7f;
            p += k;
            k += start.incrementStep[(size_t) i];
            a += start.amplitudeStep[(size_t) i];
        }
        endPosition[(size_t) i] = p;
        endIncrement[(size_t) i] = k;
        endAmplitude[(size_t) i] = a;
    }
    // Per sample 200 terms of at most 0.07, each off by at most one sine ulp, summed in another
    // order: about 1e-7 apart in practice. A wrong sine or a lost oscillator is 1e-3 or more.
    const float tolerance = 2e-6f;

    for (int lanes : widths())
    {
        SCOPED_TRACE (lanes);
        Bank bank = start;
        std::vector<float> out ((size_t) hop, 0.25f); // added to, not overwritten
        bank.run (lanes, out.data(), hop, 0.7f);
        for (int j = 0; j < hop; ++j)
            ASSERT_NEAR (out[(size_t) j] - 0.25f, expected[(size_t) j], tolerance) << j;
        for (int i = 0; i < oscillators; ++i)
        {
            ASSERT_EQ (bank.position[(size_t) i], endPosition[(size_t) i]) << i;
            ASSERT_EQ (bank.increment[(size_t) i], endIncrement[(size_t) i]) << i;
            ASSERT_EQ (bank.amplitude[(size_t) i], endAmplitude[(size_t) i]) << i;
        }
        for (int i = oscillators; i < bank.count; ++i)
            ASSERT_EQ (bank.position[(size_t) i], 0.0f); // the silent padding stays put
    }
}

TEST (SineOscillators, PositionsOutsideIntReadEntryZero)
{
    // Restored or runaway states: not a number, infinite and beyond int's range read sin 0; a
    // large position within range reads its entry.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float positions[] = { nan, inf, -inf, 3e9f, -3e9f, 1e9f };
    Bank bank (sineOscillatorGroup);
    for (int lanes : widths())
        for (float position : positions)
        {
            SCOPED_TRACE (::testing::Message() << lanes << " lanes, position " << position);
            std::fill (bank.amplitude.begin(), bank.amplitude.end(), 0.0f);
            std::fill (bank.position.begin(), bank.position.end(), 0.0f);
            bank.amplitude[3] = 1.0f;
            bank.position[3] = position;
            float out = 0.0f;
            bank.run (lanes, &out, 1, 1.0f);
            const float entry = position == 1e9f ? bank.table[(size_t) ((int) 1e9f & (sineTableLength - 1))] : 0.0f;
            EXPECT_LE (ulpDistance (out, entry), veltrane::sineOscillatorUlps);
        }
}
