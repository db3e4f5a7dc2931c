#include "SignalAnalysis.h"
#include "TonalithTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace tonalith_test;

// A tone at any level up to full scale comes out at a level proportional to it, without
// added distortion: loud partials belong to the loudest magnitude band.
TEST (TonalithLevel, OutputFollowsTheInputLevelUpToFullScale)
{
    const double rate = 48000.0;
    const double levelsDb[] = { -40.0, -30.0, -20.0, -12.0, -6.0, -3.0, -1.0, 0.0 };
    for (int mode = 0; mode < 2; ++mode)
    {
        double gains[8] {}, spurious[8] {};
        for (int k = 0; k < 8; ++k)
        {
            const double db = levelsDb[k];
            TonalithAudioProcessor p;
            p.prepareToPlay (rate, 512);
            p.setParameter (TonalithAudioProcessor::outputModeParam, (float) mode);
            p.setScaledParameter (TonalithAudioProcessor::pitchshiftParam, 7.0f);
            const float amplitude = (float) std::pow (10.0, db / 20.0);
            const auto y = run (p, 3 * (int) rate,
                                [&] (int t) { return amplitude * (float) std::sin (2.0 * M_PI * 440.0 * t / rate); });
            const double gainDb =
                20.0 * std::log10 (veltrane_test::rms (y, (int) rate, (int) rate) / (amplitude / std::sqrt (2.0)));
            const auto tone = veltrane_test::analyseTone (y, (int) rate, rate);
            gains[k] = gainDb;
            spurious[k] = tone.spuriousDb;
            const std::string name =
                std::string (mode == 0 ? "fft" : "sinebank") + "_" + std::to_string ((int) db) + "dBFS";
            RecordProperty (name + "_gain_dB", std::to_string (gainDb));
            RecordProperty (name + "_spurious_dB", std::to_string (tone.spuriousDb));
            std::printf ("%-8s %6.1f dBFS: gain %7.3f dB, spurious %6.1f dB, %.2f Hz\n", mode == 0 ? "fft" : "sinebank",
                         db, gainDb, tone.spuriousDb, tone.frequency);
            SCOPED_TRACE (testing::Message() << (mode == 0 ? "fft" : "sine bank") << " at " << db << " dBFS");
            EXPECT_NEAR (tone.frequency, 660.0, 2.0);
        }
        // -20 dBFS is the reference: every level within 0.5 dB of its gain, and full scale
        // no more distorted than it plus 3 dB.
        for (int k = 0; k < 8; ++k)
            EXPECT_NEAR (gains[k], gains[2], 0.5)
                << (mode == 0 ? "fft" : "sine bank") << " at " << levelsDb[k] << " dBFS";
        EXPECT_LE (spurious[7], spurious[2] + 3.0) << (mode == 0 ? "fft" : "sine bank");
    }
}
