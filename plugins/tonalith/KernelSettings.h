#pragma once

namespace tonalith
{
class ScaleSieve;

/** The working values one frame hands to its kernels (all read on the audio thread). */
struct KernelSettings
{
    int fftSize = 512;                 // N, samples
    int hop = 64;                      // samples between frames
    float inverseHop = 1.0f / 64;      // 1/hop
    float pi = 0.0f;                   // the engine's single-precision pi
    float twoPi = 0.0f;                // the engine's single-precision 2 pi
    float ratio = 1.0f;                // frequency factor applied to every partial
    float threshold = 1.0e-6f;         // partial gate, linear magnitude
    float outputGain = 1.0f;           // linear output factor
    const ScaleSieve* sieve = nullptr; // the sieve when its switch is on for this frame
};
} // namespace tonalith
