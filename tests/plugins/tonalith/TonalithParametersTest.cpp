#include "TonalithTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tonalith_test;

TEST (TonalithParameters, TableAsHostsSeeIt)
{
    TonalithAudioProcessor p;
    const char* names[] = { "pitchshift", "octave",  "bands", "threshold", "cents",   "harmonics",
                            "unknown",    "unknown", "just",  "ingain",    "outgain", "color" };
    const float initial[] = { 0.5f, 0.5f, 0.5f, 0.0f, 0.5f, 1.0f, 0.0f, 0.0f, 1.0f, 0.5f, 0.5f, 0.0f };
    const float normDefault[] = { 0.5f, 0.5f, 0.6f, 0.0f, 0.5f, 1.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.0f };
    const float minimum[] = { -12, -3, 8, -120, -100, -20, 0, 0, 0, -20, -20, 0 };
    const float maximum[] = { 12, 3, 8192, 0, 100, 20, 1, 1, 1, 20, 20, 1 };
    const float scaledDefault[] = { 0, 0, 512, -120, 0, 20, 0, 0, 0, 0, 0, 0 };
    ASSERT_EQ (p.getNumParameters(), 12);
    EXPECT_EQ (p.getName(), "++tonalith");
    EXPECT_TRUE (p.acceptsMidi());
    for (int i = 0; i < 12; ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (p.getParameterName (i), names[i]);
        EXPECT_EQ (p.getParameter (i), initial[i]);
        EXPECT_EQ (p.getParameterDefaultValue (i), normDefault[i]);
        EXPECT_EQ (p.getParameterMin (i), minimum[i]);
        EXPECT_EQ (p.getParameterMax (i), maximum[i]);
        EXPECT_EQ (p.getParameterDefault (i), scaledDefault[i]);
    }
    EXPECT_EQ (p.getParameterName (12), "unknown");
    EXPECT_EQ (p.getParameter (12), 0.0f);
    p.setParameter (12, 0.7f);
    EXPECT_EQ (p.getParameter (12), 0.0f);
    p.setParameter (3, 1.5f); // stored unclamped
    EXPECT_EQ (p.getParameter (3), 1.5f);
}

TEST (TonalithParameters, ConversionsUseFloatReciprocals)
{
    TonalithAudioProcessor p;
    struct Case
    {
        int index;
        float scaled;
        float normalized;
    };
    const Case cases[] = {
        { 0, 7.0f, 19.0f * (1.0f / 24.0f) },
        { 1, -1.0f, 2.0f * (1.0f / 6.0f) },
        { 2, 2048.0f, 8.0f * 0.1f },
        { 3, -60.0f, 60.0f * (1.0f / 120.0f) },
        { 4, 25.0f, 125.0f * 0.005f },
        { 5, -20.0f, 0.0f },
        { 9, 6.0f, 26.0f * 0.025f },
        { 10, -6.0f, 14.0f * 0.025f },
        { 6, 0.75f, 0.75f },
        { 11, 0.3f, 0.3f },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.index);
        p.setScaledParameter (c.index, c.scaled);
        EXPECT_EQ (p.getParameter (c.index), c.normalized);
        EXPECT_NEAR (p.getScaledParameter (c.index), c.scaled, 1e-4f * std::max (1.0f, std::fabs (c.scaled)));
    }
    // 1/24 as a float is slightly above 1/24, which keeps step k/24 inside step k.
    EXPECT_GT ((double) (1.0f / 24.0f), 1.0 / 24.0);
}

TEST (TonalithParameters, StepSelectionRatiosAndLabels)
{
    TonalithAudioProcessor p;
    const char* just[] = { "1:2",   "8:15", "5:9",   "3:5", "5:8",   "2:3",  "32:45", "3:4", "4:5",
                           "5:6",   "8:9",  "15:16", "1:1", "16:15", "9:8",  "6:5",   "5:4", "4:3",
                           "45:32", "3:2",  "8:5",   "5:3", "9:5",   "15:8", "2:1" };
    for (int tuning = 0; tuning < 2; ++tuning)
    {
        p.setParameter (TonalithAudioProcessor::justParam, (float) tuning);
        for (int s = -12; s <= 12; ++s)
        {
            SCOPED_TRACE (testing::Message() << "tuning " << tuning << " step " << s);
            const int k = s + 12;
            p.setScaledParameter (TonalithAudioProcessor::pitchshiftParam, (float) s);
            runFirstFrame (p);
            const float expected = tuning == 1 ? p.steps.justRatio[k] : (float) std::pow (2.0, s / 12.0);
            EXPECT_EQ (p.pitchRatio, expected);
            const juce::String label = tuning == 1 ? juce::String (just[k]) : juce::String (100 * s) + " c";
            EXPECT_EQ (p.getParameterText (0), label);
        }
    }
    // The steps below unison mirror those above it.
    for (int k = 0; k < 12; ++k)
        EXPECT_FLOAT_EQ (p.steps.justRatio[k] * p.steps.justRatio[24 - k], 1.0f) << k;
    // Out-of-range values clamp to the outer steps, in the kernel and in the text.
    p.setParameter (TonalithAudioProcessor::justParam, 0.0f);
    for (float v : { -3.0f, std::nanf ("") })
    {
        p.setParameter (0, v);
        EXPECT_EQ (p.getParameterText (0), "-1200 c");
    }
    p.setParameter (0, 7.0f);
    EXPECT_EQ (p.getParameterText (0), "1200 c");
    runFirstFrame (p);
    EXPECT_EQ (p.pitchRatio, 2.0f);
}

TEST (TonalithParameters, TextsOfOtherParametersHaveTwoDecimals)
{
    TonalithAudioProcessor p;
    EXPECT_EQ (p.getParameterText (2), "256.00");
    EXPECT_EQ (p.getParameterText (3), "-120.00");
    EXPECT_EQ (p.getParameterText (8), "1.00");
    p.setParameter (4, 0.625f);
    EXPECT_EQ (p.getParameterText (4), "25.00");
}

TEST (TonalithParameters, OctaveAndCentsGiveExactRatios)
{
    struct Case
    {
        float octave;
        float cents;
        double ratio;
    };
    const Case cases[] = { { -1, 0, 0.5 },
                           { -3, 0, 0.125 },
                           { 3, 0, 8.0 },
                           { 0, 100, std::pow (2.0, 1.0 / 12.0) },
                           { 1, -100, 2.0 * std::pow (2.0, -1.0 / 12.0) } };
    for (const auto& c : cases)
    {
        TonalithAudioProcessor p;
        p.setParameter (TonalithAudioProcessor::justParam, 0.0f);
        p.setScaledParameter (TonalithAudioProcessor::octaveParam, c.octave);
        p.setScaledParameter (TonalithAudioProcessor::centsParam, c.cents);
        runFirstFrame (p);
        EXPECT_NEAR (p.pitchRatio, c.ratio, c.ratio * 1e-6) << c.octave << " " << c.cents;
    }
}

TEST (TonalithParameters, StateKeepsOneUnknownAttributeWithTheLaterValue)
{
    TonalithAudioProcessor a;
    a.setParameter (TonalithAudioProcessor::outputModeParam, 0.0f);
    a.setParameter (TonalithAudioProcessor::sieveParam, 1.0f);
    a.setParameter (TonalithAudioProcessor::bandsParam, 0.7f);
    juce::MemoryBlock state;
    a.getStateInformation (state);
    auto xml = juce::AudioProcessor::getXmlFromBinary (state.getData(), (int) state.getSize());
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "tonalith");
    EXPECT_EQ (xml->getNumAttributes(), 2 + 11);
    EXPECT_EQ (xml->getAttributeName (2 + 6), "unknown");
    EXPECT_EQ (xml->getAttributeName (2 + 7), "just");

    TonalithAudioProcessor b;
    b.setStateInformation (state.getData(), (int) state.getSize());
    EXPECT_EQ (b.getParameter (TonalithAudioProcessor::outputModeParam), 1.0f);
    EXPECT_EQ (b.getParameter (TonalithAudioProcessor::sieveParam), 1.0f);
    EXPECT_EQ (b.getParameter (TonalithAudioProcessor::bandsParam), 0.7f);
    EXPECT_EQ (b.getParameter (TonalithAudioProcessor::justParam), 1.0f);
}
