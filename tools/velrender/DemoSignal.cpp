#include "DemoSignal.h"

#include <cmath>

namespace velrender
{
juce::AudioBuffer<float> makeDemoSignal (double sampleRate, double seconds)
{
    const int n = (int) (sampleRate * seconds);
    juce::AudioBuffer<float> b (2, n);
    b.clear();
    juce::Random random (1234);
    const double twoPi = juce::MathConstants<double>::twoPi;
    double glide = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double t = i / sampleRate;
        double v = 0.0;
        // A 220 Hz tone with eight harmonics falling off as 1/k.
        for (int k = 1; k <= 8; ++k)
            v += 0.08 / k * std::sin (twoPi * 220.0 * k * t);
        // A partial gliding from 300 Hz to 3 kHz over the whole signal.
        const double f = 300.0 * std::pow (10.0, t / seconds);
        glide += twoPi * f / sampleRate;
        v += 0.1 * std::sin (glide);
        // A chord in the second half.
        if (t > seconds * 0.5)
            for (double fc : { 330.0, 415.3, 495.0 })
                v += 0.06 * std::sin (twoPi * fc * t);
        // A noise burst and clicks.
        const double noise =
            (t > seconds * 0.25 && t < seconds * 0.35) ? 0.15 * (random.nextDouble() * 2.0 - 1.0) : 0.0;
        const bool click = (i % (int) (sampleRate * 0.5)) == 0;
        b.setSample (0, i, (float) (v + noise + (click ? 0.5 : 0.0)));
        b.setSample (1, i, (float) (0.9 * v - noise + (click ? 0.5 : 0.0)));
    }
    return b;
}
} // namespace velrender
