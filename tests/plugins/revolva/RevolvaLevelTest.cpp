#include "RevolvaTestRig.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace revolvatest;
using P = RevolvaAudioProcessor;

// A layer holding a tone at any level up to full scale plays at a level proportional to
// it, without added distortion: loud bins take part in the transfer like any other.
TEST (RevolvaLevel, LayerOutputFollowsItsLevelUpToFullScale)
{
    const double levelsDb[] = { -40.0, -30.0, -20.0, -12.0, -6.0, -3.0, -1.0, 0.0 };
    double gains[8] {}, spurious[8] {};
    for (int k = 0; k < 8; ++k)
    {
        Rig r (2, 512);
        r.p->setScaledParameter (P::stretchParam, 2.0f);
        r.p->setParameter (P::attackParam, 0.0f);
        r.block (512);
        const float amplitude = (float) std::pow (10.0, levelsDb[k] / 20.0);
        for (int i = 0; i < LoopLayer::layerLength; ++i)
            r.p->layers[0].leftBuffer[i] = r.p->layers[0].rightBuffer[i] =
                amplitude * (float) std::sin (2.0 * M_PI * 330.0 * i / testRate);
        r.p->setParameter (P::play1Param, 1.0f);
        std::vector<float> y;
        for (int b = 0; b < 3 * (int) testRate / 512; ++b)
        {
            r.block (512);
            for (int i = 0; i < 512; ++i)
                y.push_back (r.buffer.getSample (0, i));
        }
        gains[k] =
            20.0 * std::log10 (veltrane_test::rms (y, (int) testRate, (int) testRate) / (amplitude / std::sqrt (2.0)));
        const auto tone = veltrane_test::analyseTone (y, (int) testRate, testRate);
        spurious[k] = tone.spuriousDb;
        std::printf ("revolva %6.1f dBFS: gain %7.3f dB, spurious %6.1f dB, %.2f Hz\n", levelsDb[k], gains[k],
                     spurious[k], tone.frequency);
        RecordProperty (std::to_string ((int) levelsDb[k]) + "dBFS_gain_dB", std::to_string (gains[k]));
        RecordProperty (std::to_string ((int) levelsDb[k]) + "dBFS_spurious_dB", std::to_string (spurious[k]));
        EXPECT_NEAR (tone.frequency, 330.0, 1.0) << levelsDb[k] << " dBFS";
    }
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR (gains[k], gains[2], 0.5) << levelsDb[k] << " dBFS";
    EXPECT_LE (spurious[7], spurious[2] + 3.0);
}
