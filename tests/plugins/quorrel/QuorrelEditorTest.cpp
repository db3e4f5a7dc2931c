#include "EditorRig.h"
#include "PanelColours.h"
#include "QuorrelAudioProcessor.h"
#include "QuorrelAudioProcessorEditor.h"

#include <cmath>
#include <limits>
#include <map>

using veltrane::test::EditorRig;

namespace
{
using P = QuorrelAudioProcessor;

juce::File referenceDir() { return veltrane::test::referenceDirectory ("quorrel"); }

/** Counts host notifications per parameter index. */
struct HostSpy : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        ++changes[index];
        lastValue[index] = value;
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    std::map<int, int> changes;
    std::map<int, float> lastValue;
};

struct QuorrelEditor : veltrane::test::EditorFixture<QuorrelAudioProcessor, QuorrelAudioProcessorEditor>
{
};

bool regionDiffers (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area)
{
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return true;
    return false;
}
} // namespace

TEST_F (QuorrelEditor, ControlsAsLaidOut)
{
    EXPECT_EQ (editor().getWidth(), 474);
    EXPECT_EQ (editor().getHeight(), 198);

    struct Knob
    {
        const char* name;
        int parameter;
        double min, max, step;
        juce::Rectangle<int> bounds;
    };
    const Knob knobs[] = {
        { "bandsslider", P::bandsParam, 8, 8192, 0, { 6, 48, 84, 84 } },
        { "bandshiftslider", P::bandshiftParam, -50, 50, 1, { 100, 48, 84, 84 } },
        { "phaseshiftslider", P::phaseshiftParam, -3.14, 3.14, 0, { 195, 48, 84, 84 } },
        { "phasenullslider", P::phasenullParam, 0, 100, 0, { 289, 48, 84, 84 } },
        { "phasenoiseslider", P::phasenoiseParam, 0, 100, 0, { 384, 48, 84, 84 } },
        { "color slider", P::colorParam, 0, 1, 0, { 6, 174, 18, 18 } },
        { "outlevelslider", P::outgainParam, -20, 20, 1, { 432, 6, 36, 36 } },
        { "inlevelslider", P::ingainParam, -20, 20, 1, { 390, 6, 36, 36 } },
    };
    for (const auto& k : knobs)
    {
        auto& s = rig.slider (k.name);
        EXPECT_EQ (s.getBounds(), k.bounds) << k.name;
        EXPECT_EQ (s.getMinimum(), k.min) << k.name;
        EXPECT_EQ (s.getMaximum(), k.max) << k.name;
        EXPECT_EQ (s.getInterval(), k.step) << k.name;
        EXPECT_EQ (s.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag) << k.name;
        EXPECT_EQ (s.getTextBoxPosition(), juce::Slider::NoTextBox) << k.name;
        EXPECT_TRUE (s.isVisible()) << k.name;

        // A user's move reaches the processor as the scaled value.
        const double target = k.min + 0.3 * (k.max - k.min);
        rig.moveSlider (s, target);
        EXPECT_NEAR (processor.getScaledParameter (k.parameter), s.getValue(), 1e-3 * (k.max - k.min)) << k.name;
    }
    EXPECT_NEAR (rig.slider ("bandsslider").getSkewFactor(), 0.3, 1e-12);
    EXPECT_EQ (rig.slider ("bandsslider").findColour (juce::Slider::rotarySliderFillColourId),
               juce::Colour (0x7f000000u));

    for (auto [name, bounds] : { std::pair { "scramble", juce::Rectangle<int> (6, 150, 96, 18) },
                                 std::pair { "phasereset", juce::Rectangle<int> (112, 150, 96, 18) } })
    {
        auto& b = rig.button (name);
        EXPECT_EQ (b.getBounds(), bounds);
        EXPECT_EQ (b.getButtonText(), name);
        EXPECT_NE (dynamic_cast<juce::ToggleButton*> (&b), nullptr);
    }
}

TEST_F (QuorrelEditor, KnobsStepAndShowTheirValues)
{
    // "bandshift" moves in whole percents; "bands" is continuous.
    rig.moveSlider (rig.slider ("bandshiftslider"), 12.4);
    EXPECT_FLOAT_EQ (processor.getScaledParameter (P::bandshiftParam), 12.0f);
    rig.moveSlider (rig.slider ("bandsslider"), 724.08);
    EXPECT_NEAR (processor.getScaledParameter (P::bandsParam), 724.08f, 0.01f);
}

TEST_F (QuorrelEditor, TimerFollowsTheHostWithoutWritingBack)
{
    HostSpy spy;
    processor.addListener (&spy);
    setHostScaled (P::bandshiftParam, -25.0f);
    setHostScaled (P::phasenullParam, 40.0f);
    rig.tick();
    rig.pumpMessages();
    EXPECT_DOUBLE_EQ (rig.slider ("bandshiftslider").getValue(), -25.0);
    EXPECT_NEAR (rig.slider ("phasenullslider").getValue(), 40.0, 1e-4);
    // Silent updates: the knobs do not write the values back to the host.
    EXPECT_EQ (spy.changes.count (P::bandshiftParam), 0u);
    EXPECT_EQ (spy.changes.count (P::phasenullParam), 0u);
    processor.removeListener (&spy);
}

TEST_F (QuorrelEditor, HostChangeOfInputGainMovesAndRepaintsTheKnob)
{
    rig.tick();
    const auto before = rig.render();
    HostSpy spy;
    processor.addListener (&spy);

    setHostScaled (P::ingainParam, 10.0f);
    rig.tick();
    EXPECT_DOUBLE_EQ (rig.slider ("inlevelslider").getValue(), 10.0);
    const auto after = rig.render();
    EXPECT_TRUE (regionDiffers (before, after, { 390, 6, 36, 36 }));

    // The level knobs notify asynchronously: the value comes back to the processor
    // (and its host) unchanged.
    rig.pumpMessages();
    ASSERT_EQ (spy.changes.count (P::ingainParam), 1u);
    EXPECT_NEAR (spy.lastValue[P::ingainParam], 0.75f, 1e-6f);
    EXPECT_NEAR (processor.getScaledParameter (P::ingainParam), 10.0f, 1e-5f);
    processor.removeListener (&spy);
}

TEST_F (QuorrelEditor, MetersFollowTheEnginePeaks)
{
    rig.processBlocks (8, 0.5f);
    rig.tick();
    const auto& laf = editor().getLookAndFeelInstance();
    EXPECT_EQ (laf.levels[0], processor.inputPeak[0].load());
    EXPECT_EQ (laf.levels[1], processor.inputPeak[1].load());
    EXPECT_EQ (laf.levels[2], processor.outputPeak[0].load());
    EXPECT_EQ (laf.levels[3], processor.outputPeak[1].load());
    EXPECT_GT (laf.levels[0], 0.0f);
}

TEST_F (QuorrelEditor, PhaseResetFallsBackAfterTheProcessorsReset)
{
    rig.tick();
    auto& button = rig.button ("phasereset");
    rig.click (button);
    EXPECT_TRUE (button.getToggleState());
    EXPECT_EQ (processor.getScaledParameter (P::phaseresetParam), 1.0f);

    rig.tick();
    EXPECT_TRUE (button.getToggleState()) << "still on until the processor ends the reset";
    rig.processBlocks (2);
    rig.tick();
    EXPECT_FALSE (button.getToggleState());
    EXPECT_EQ (processor.getScaledParameter (P::phaseresetParam), 0.0f);
}

TEST_F (QuorrelEditor, ScrambleSwitchWritesAndFollows)
{
    rig.tick();
    auto& button = rig.button ("scramble");
    rig.click (button);
    EXPECT_EQ (processor.getScaledParameter (P::scrambleParam), 1.0f);
    rig.click (button);
    EXPECT_EQ (processor.getScaledParameter (P::scrambleParam), 0.0f);

    setHostScaled (P::scrambleParam, 1.0f);
    rig.tick();
    EXPECT_TRUE (button.getToggleState());
}

TEST_F (QuorrelEditor, RecoloursFromTheColourParameter)
{
    const int ids[] = { 1200, 1201, 1202, 1203, 1204 };
    std::map<int, juce::uint32> atConstruction;
    for (int id : ids)
        atConstruction[id] = editor().findColour (id).getARGB();
    EXPECT_EQ (atConstruction[1204], juce::Colour (220, 200, 102).getARGB());

    setHostScaled (P::colorParam, 1.0f);
    rig.tick();
    EXPECT_DOUBLE_EQ (rig.slider ("color slider").getValue(), 1.0);
    const auto expected = veltrane::panelColoursFor (1.0f);
    auto& laf = editor().getLookAndFeelInstance();
    for (auto [id, colour] :
         { std::pair { 1200, expected.main }, std::pair { 1201, expected.face }, std::pair { 1203, expected.hub } })
    {
        EXPECT_EQ (editor().findColour (id).getARGB(), colour.getARGB()) << id;
        EXPECT_EQ (laf.findColour (id).getARGB(), colour.getARGB()) << id;
    }

    // Back at 0 the construction colours return; text and accent never change.
    setHostScaled (P::colorParam, 0.0f);
    rig.tick();
    for (int id : ids)
        EXPECT_EQ (editor().findColour (id).getARGB(), atConstruction[id]) << id;
}

TEST_F (QuorrelEditor, OutlandishParameterValuesAreShownSafely)
{
    // A restored state can hold any float.
    veltrane::test::expectOutlandishValuesShownSafely (rig, editor().knobParameters());
}

//==============================================================================
// Golden images. After an intended change of the drawing, regenerate with
//   VELTRANE_UPDATE_REFERENCES=1 <build>/tests/plugins/quorrel/quorrel_editor_tests
// which also refreshes the screenshot in docs/.

TEST_F (QuorrelEditor, MatchesReferenceImages)
{
    veltrane::test::expectDefaultImages (rig, "quorrel", referenceDir(), 474, 198);
}

TEST_F (QuorrelEditor, MatchesReferenceImageWhenDriven)
{
    // Moved knobs, live meters (one channel over full scale), a switch on, a new colour.
    setHostScaled (P::bandsParam, 2000.0f);
    setHostScaled (P::bandshiftParam, 20.0f);
    setHostScaled (P::phaseshiftParam, -1.5f);
    setHostScaled (P::phasenullParam, 75.0f);
    setHostScaled (P::phasenoiseParam, 5.0f);
    setHostScaled (P::ingainParam, 6.0f);
    setHostScaled (P::scrambleParam, 1.0f);
    setHostScaled (P::colorParam, 0.3f);
    rig.processBlocks (12, 0.7f);
    rig.tick();
    editor().getLookAndFeelInstance().setVuLevels (0.3f, 1.2f, 0.6f, -1.0f);
    EXPECT_TRUE (
        veltrane::test::matchesReference (rig.render (1.0f), referenceDir().getChildFile ("quorrel-driven@1x.png")));
}

TEST_F (QuorrelEditor, DrawsSharpAtHigherScales)
{
    // A vector redraw at 2x carries detail that a scaled-up 1x bitmap cannot.
    rig.tick();
    const auto one = rig.render (1.0f);
    const auto two = rig.render (2.0f);
    const auto blown = one.rescaled (two.getWidth(), two.getHeight(), juce::Graphics::lowResamplingQuality);
    const auto d = veltrane::test::compareImages (two, blown, 24);
    EXPECT_GT (d.pixelsOverTolerance, two.getWidth() * two.getHeight() / 100);

    const auto oneAndHalf = rig.render (1.5f);
    EXPECT_EQ (oneAndHalf.getWidth(), 711);
    EXPECT_EQ (oneAndHalf.getHeight(), 297);
    // Same layout: the title band's dark colour at the same editor position in every scale.
    for (const auto* image : { &one, &oneAndHalf, &two })
    {
        const float s = (float) image->getWidth() / 474.0f;
        EXPECT_EQ (veltrane::test::pixelAt (*image, 200, 7, s).getARGB(), juce::Colours::black.getARGB());
    }
}
