#include "TonalithTestSupport.h"

#include <cmath>

namespace tonalith_test
{
std::vector<float> run (TonalithAudioProcessor& p, int samples, const std::function<float (int)>& source,
                        int channels, int block, juce::MidiBuffer* midi)
{
    std::vector<float> out;
    out.reserve ((size_t) samples);
    juce::AudioBuffer<float> buffer (channels, block);
    juce::MidiBuffer empty;
    int t = 0;
    while (t < samples)
    {
        const int n = std::min (block, samples - t);
        buffer.setSize (channels, n, false, false, true);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < n; ++i)
                buffer.setSample (c, i, source (t + i));
        p.processBlock (buffer, midi != nullptr && t == 0 ? *midi : empty);
        for (int i = 0; i < n; ++i)
            out.push_back (buffer.getSample (0, i));
        t += n;
    }
    return out;
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
