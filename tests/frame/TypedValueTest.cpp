#include "PluginRegistry.h"
#include "TonalithAudioProcessor.h"
#include "VeltraneProcessor.h"

#include <gtest/gtest.h>

#include <cmath>

// Hosts let users type into a parameter's field: whatever text a parameter shows must read
// back as a value that shows the same text, for every parameter of every plug-in.
TEST (TypedValues, EveryParameterReadsBackItsOwnText)
{
    for (const auto& entry : veltrane::registeredPlugins())
    {
        auto processor = entry.create();
        auto* vp = dynamic_cast<veltrane::VeltraneProcessor*> (processor.get());
        ASSERT_NE (vp, nullptr) << entry.name;
        for (int i = 0; i < vp->getNumParameters(); ++i)
        {
            auto* param = vp->getParameterObject (i);
            ASSERT_NE (param, nullptr);
            // tonalith's "pitchshift" shows the labels of the tuning chosen by "just".
            for (float tuning : { 0.0f, 1.0f })
            {
                if (auto* t = dynamic_cast<TonalithAudioProcessor*> (vp))
                    t->setParameter (TonalithAudioProcessor::justParam, tuning);
                for (int k = 0; k <= 1000; ++k)
                {
                    const float p = (float) k / 1000.0f;
                    const juce::String text = param->getText (p, 1024);
                    const float back = param->getValueForText (text);
                    ASSERT_GE (back, 0.0f);
                    ASSERT_LE (back, 1.0f);
                    ASSERT_EQ (param->getText (back, 1024), text)
                        << entry.name << " " << param->getName (100) << " at " << p << " read back as " << back;
                }
            }
        }
    }
}

TEST (TypedValues, LabelsNumbersAndTextThatDoesNotParse)
{
    TonalithAudioProcessor t;
    auto* pitch = t.getParameterObject (TonalithAudioProcessor::pitchshiftParam);
    auto* inGain = t.getParameterObject (TonalithAudioProcessor::ingainParam);
    pitch->setValue (0.25f);
    inGain->setValue (0.75f);

    struct Case
    {
        veltrane::Parameter* param;
        float just;
        const char* typed;
        const char* shows;
    };
    const Case cases[] = {
        { pitch, 0.0f, "700 c", "700 c" },     { pitch, 0.0f, "700C", "700 c" },
        { pitch, 0.0f, "-1200 c", "-1200 c" }, { pitch, 1.0f, "3:2", "3:2" },
        { pitch, 1.0f, "700 c", "3:2" },                                      // a label of the other tuning, same step
        { pitch, 0.0f, "3:2", "700 c" },       { pitch, 0.0f, "7", "700 c" }, // semitones
        { pitch, 0.0f, "40", "1200 c" },       { pitch, 1.0f, "-12", "1:2" },
        { pitch, 0.0f, "fifth", "-600 c" }, // does not parse: the value stays
        { inGain, 0.0f, "3", "3.00" },         { inGain, 0.0f, " +3.5 dB ", "3.50" },
        { inGain, 0.0f, "-6.25", "-6.25" },    { inGain, 0.0f, "500", "20.00" },
        { inGain, 0.0f, "-1e30", "-20.00" }, // kept in the range
        { inGain, 0.0f, "", "10.00" },         { inGain, 0.0f, "nan", "10.00" },
        { inGain, 0.0f, "3 4", "10.00" },      { inGain, 0.0f, "loud", "10.00" },
    };
    for (const auto& c : cases)
    {
        t.setParameter (TonalithAudioProcessor::justParam, c.just);
        const float back = c.param->getValueForText (c.typed);
        EXPECT_EQ (c.param->getText (back, 1024), c.shows) << "typed \"" << c.typed << "\"";
    }
}
