#pragma once

// Level, spectrum and delay measurements of rendered signals, shared by the processor tests.

#include <vector>

namespace veltrane_test
{
/** Root mean square of x[from .. from + count). */
double rms (const std::vector<float>& x, int from, int count);

/** A steady tone measured through a 4-term Blackman-Harris window over 16384 samples. */
struct ToneReport
{
    double frequency = 0.0;  // Hz of the strongest bin, refined by its neighbours
    double spuriousDb = 0.0; // strongest component outside the tone's main lobe, relative to the tone, dB
};

/** Measures the tone in x[from .. from + 16384); components below 20 Hz are ignored. */
ToneReport analyseTone (const std::vector<float>& x, int from, double sampleRate);

/** Delay in samples of a tone burst that rises from a quieter held level and falls back to
    it: the mean of the rise and fall delays, each taken where the centred moving RMS over
    `smoothing` samples crosses half way between its held and its burst level. */
double stepDelay (const std::vector<float>& x, int inputOnset, int burstLength, int smoothing);
} // namespace veltrane_test
