#include "SignalAnalysis.h"

#include "RealFft.h"

#include <algorithm>
#include <cmath>

namespace veltrane_test
{
double rms (const std::vector<float>& x, int from, int count)
{
    double sum = 0.0;
    for (int i = from; i < from + count; ++i)
        sum += (double) x[(size_t) i] * (double) x[(size_t) i];
    return std::sqrt (sum / count);
}

ToneReport analyseTone (const std::vector<float>& x, int from, double sampleRate)
{
    constexpr int log2N = 14, n = 1 << log2N;
    veltrane::RealFft fft;
    float* frame = veltrane::RealFft::allocateAligned (n);
    std::vector<float> spectrum (n);
    for (int i = 0; i < n; ++i)
    {
        // Side lobes at -92 dB: far below anything the tests compare.
        const double t = 2.0 * M_PI * i / n;
        const double w = 0.35875 - 0.48829 * std::cos (t) + 0.14128 * std::cos (2 * t) - 0.01168 * std::cos (3 * t);
        frame[i] = (float) (x[(size_t) (from + i)] * w);
    }
    fft.forward (frame, spectrum.data(), log2N);
    veltrane::RealFft::freeAligned (frame);

    std::vector<double> power (n / 2 + 1);
    for (int k = 0; k <= n / 2; ++k)
    {
        const double re = spectrum[(size_t) k], im = (k == 0 || k == n / 2) ? 0.0 : spectrum[(size_t) (n - k)];
        power[(size_t) k] = re * re + im * im;
    }
    const int lowest = (int) std::ceil (20.0 * n / sampleRate);
    int peak = lowest;
    for (int k = lowest; k <= n / 2; ++k)
        if (power[(size_t) k] > power[(size_t) peak])
            peak = k;
    // The window's main lobe is four bins wide on each side; leave a bin of margin.
    double spurious = 0.0;
    for (int k = lowest; k <= n / 2; ++k)
        if (std::abs (k - peak) > 5)
            spurious = std::max (spurious, power[(size_t) k]);

    ToneReport r;
    double offset = 0.0;
    if (peak > 0 && peak < n / 2)
    {
        // Parabolic refinement on log power.
        const double a = std::log (power[(size_t) peak - 1] + 1e-300), b = std::log (power[(size_t) peak] + 1e-300),
                     c = std::log (power[(size_t) peak + 1] + 1e-300);
        offset = 0.5 * (a - c) / (a - 2.0 * b + c);
    }
    r.frequency = (peak + offset) * sampleRate / n;
    r.spuriousDb = 10.0 * std::log10 (std::max (spurious, 1e-300) / std::max (power[(size_t) peak], 1e-300));
    return r;
}

namespace
{
/** Centred moving RMS over `smoothing` samples, so a steady tone's envelope is flat and
    its edges are symmetric. */
std::vector<double> envelope (const std::vector<float>& x, int smoothing)
{
    const int n = (int) x.size();
    std::vector<double> squares (x.size() + 1, 0.0);
    for (int i = 0; i < n; ++i)
        squares[(size_t) i + 1] = squares[(size_t) i] + (double) x[(size_t) i] * x[(size_t) i];
    std::vector<double> env (x.size(), 0.0);
    const int half = smoothing / 2;
    for (int i = 0; i < n; ++i)
    {
        const int a = std::max (0, i - half), b = std::min (n, i + half);
        env[(size_t) i] = b > a ? std::sqrt ((squares[(size_t) b] - squares[(size_t) a]) / (b - a)) : 0.0;
    }
    return env;
}

double mean (const std::vector<double>& v, int from, int to)
{
    double sum = 0.0;
    for (int i = from; i < to; ++i)
        sum += v[(size_t) i];
    return sum / (to - from);
}

/** Position (interpolated) where env first crosses level after `from`; -1 when it never does. */
double crossing (const std::vector<double>& env, int from, double level)
{
    for (size_t i = (size_t) from; i + 1 < env.size(); ++i)
        if ((env[i] - level) * (env[i + 1] - level) <= 0.0 && env[i] != env[i + 1])
            return (double) i + (level - env[i]) / (env[i + 1] - env[i]);
    return -1.0;
}
} // namespace

double stepDelay (const std::vector<float>& x, int inputOnset, int burstLength, int smoothing)
{
    // Levels from the second half of the held stretch before the burst and of the burst itself,
    // where the output has settled whatever its latency.
    const auto env = envelope (x, smoothing);
    const int end = inputOnset + burstLength;
    const double held = mean (env, inputOnset - burstLength / 2, inputOnset - smoothing);
    const double burst = mean (env, inputOnset + burstLength / 2, end);
    const double level = 0.5 * (held + burst);
    const double rise = crossing (env, inputOnset, level);
    const double fall = crossing (env, end, level);
    if (rise < 0.0 || fall < 0.0)
        return -1.0;
    return 0.5 * ((rise - inputOnset) + (fall - end));
}
} // namespace veltrane_test
