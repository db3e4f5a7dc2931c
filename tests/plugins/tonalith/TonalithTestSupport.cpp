#include "TonalithTestSupport.h"

#include "ProcessorRig.h"

#include <cmath>

namespace tonalith_test
{
std::vector<float> run (TonalithAudioProcessor& p, int samples, const std::function<float (int)>& source, int channels,
                        int block, juce::MidiBuffer* midi)
{
    veltrane_test::ProcessorRig rig (p, channels, block, 48000.0, false);
    if (midi != nullptr)
        rig.midi = *midi;
    return rig.run (samples, veltrane_test::mono ([&source] (std::int64_t t) { return source ((int) t); }));
}

void runFirstFrame (TonalithAudioProcessor& p)
{
    run (p, 256, [] (int) { return 0.0f; });
}

double zeroCrossingFrequency (const std::vector<float>& x, int from, double sampleRate)
{
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = (size_t) from + 1; i < x.size(); ++i)
        if (x[i - 1] < 0.0f && x[i] >= 0.0f)
        {
            const double t = (double) (i - 1) + (double) -x[i - 1] / ((double) x[i] - (double) x[i - 1]);
            if (first < 0.0)
                first = t;
            last = t;
            ++crossings;
        }
    if (crossings < 2)
        return 0.0;
    return (double) (crossings - 1) / (last - first) * sampleRate;
}

void setBin (std::vector<float>& spectrum, int n, int k, float m, float theta)
{
    spectrum[(size_t) k] = m * std::cos (theta);
    if (k > 0 && k < n / 2)
        spectrum[(size_t) (n - k)] = -m * std::sin (theta);
}
} // namespace tonalith_test
