#include "EditorRig.h"
#include "PanelColours.h"
#include "TonalithAudioProcessor.h"
#include "TonalithAudioProcessorEditor.h"

#include <algorithm>
#include <cmath>
#include <limits>

using veltrane::test::EditorRig;

namespace
{
using P = TonalithAudioProcessor;
using E = TonalithAudioProcessorEditor;

juce::File referenceDir() { return veltrane::test::referenceDirectory ("tonalith"); }

struct TonalithEditor : veltrane::test::EditorFixture<TonalithAudioProcessor, E>
{
};
} // namespace

TEST_F (TonalithEditor, ControlsAsLaidOut)
{
    EXPECT_EQ (editor().getWidth(), 474);
    EXPECT_EQ (editor().getHeight(), 214);
    struct Knob
    {
        const char* name;
        double min, max, step;
        juce::Rectangle<int> bounds;
    };
    const Knob knobs[] = {
        { "partialgateslider", -120, 0, 0, { 240, 48, 72, 72 } },
        { "pitchslider", -12, 12, 1, { 6, 48, 72, 72 } },
        { "centsslider", -100, 100, 1, { 84, 48, 72, 72 } },
        { "octaveslider", -3, 3, 1, { 162, 48, 72, 72 } },
        { "bandsslider", 8, 8192, 0, { 318, 48, 72, 72 } },
        { "harmonicsslider", -20, 20, 1, { 396, 48, 72, 72 } },
        { "color slider", 0, 1, 0, { 6, 190, 18, 18 } },
        { "outlevelslider", -20, 20, 1, { 432, 6, 36, 36 } },
        { "inlevelslider", -20, 20, 1, { 390, 6, 36, 36 } },
    };
    for (const auto& k : knobs)
    {
        SCOPED_TRACE (k.name);
        auto& s = rig.slider (k.name);
        EXPECT_EQ (s.getBounds(), k.bounds);
        EXPECT_EQ (s.getMinimum(), k.min);
        EXPECT_EQ (s.getMaximum(), k.max);
        EXPECT_EQ (s.getInterval(), k.step);
        EXPECT_EQ (s.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
    }
    EXPECT_NEAR (rig.slider ("harmonicsslider").getAlpha(), 0.5f, 0.01f); // stored in 8 bits
    EXPECT_EQ (rig.slider ("pitchslider").findColour (juce::Slider::rotarySliderFillColourId),
               juce::Colour (0x7f000000u));
    EXPECT_EQ (rig.button ("fftout").getBounds(), juce::Rectangle<int> (84, 168, 72, 18));

    // 37 keys in one row: naturals 24 pixels high, sharps 21.
    for (int k = 0; k < 37; ++k)
    {
        auto& key = rig.button (E::keyName (k));
        EXPECT_EQ (key.getBounds(), juce::Rectangle<int> (15 + 12 * k, 138, 12, E::isSharpKey (k) ? 21 : 24)) << k;
    }
    EXPECT_EQ (E::keyName (0), "c1but");
    EXPECT_EQ (E::keyName (1), "cs1but");
    EXPECT_EQ (E::keyName (24), "c3but");
    EXPECT_EQ (E::keyName (36), "c4but");
    EXPECT_EQ (rig.button ("c4but").getButtonText(), "c1");
    EXPECT_EQ (rig.button ("d2but").getButtonText(), "new toggle button");
}

TEST_F (TonalithEditor, KnobsWriteTheConvertedValue)
{
    rig.tick();
    struct Case
    {
        const char* name;
        int parameter;
        double value;
        float normalized;
    };
    const Case cases[] = {
        { "octaveslider", P::octaveParam, -1.0, 2.0f * (1.0f / 6.0f) },
        { "pitchslider", P::pitchshiftParam, 7.0, 19.0f * (1.0f / 24.0f) },
        { "partialgateslider", P::thresholdParam, -60.0, 60.0f * (1.0f / 120.0f) },
        { "bandsslider", P::bandsParam, 2048.0, 0.8f },
        { "inlevelslider", P::ingainParam, 6.0, 26.0f * 0.025f },
        { "color slider", P::colorParam, 0.25, 0.25f },
    };
    for (const auto& c : cases)
    {
        rig.moveSlider (rig.slider (c.name), c.value);
        EXPECT_EQ (processor.getParameter (c.parameter), c.normalized) << c.name;
    }
    rig.tick();
    EXPECT_EQ (rig.slider ("octaveslider").getValue(), -1.0);
    rig.processBlocks (2);
    EXPECT_EQ (processor.pitchRatio, 0.5f * processor.steps.justRatio[19]);
}

TEST_F (TonalithEditor, SwitchesRenameThemselvesAndFollowTheHost)
{
    rig.tick();
    auto& fft = rig.button ("fftout");
    rig.click (fft);
    EXPECT_EQ (processor.getParameter (P::outputModeParam), 1.0f);
    rig.tick();
    EXPECT_EQ (fft.getName(), "sinebankout");
    EXPECT_TRUE (fft.getToggleState());

    // "just" is 1 at construction; the host turns it off.
    auto& tuning = rig.button ("just");
    EXPECT_TRUE (tuning.getToggleState());
    rig.setHostParameter (P::justParam, 0.0f);
    rig.tick();
    EXPECT_EQ (tuning.getName(), "12tet");
    EXPECT_FALSE (tuning.getToggleState());
    EXPECT_EQ (processor.getParameter (P::justParam), 0.0f); // the timer does not write back
    EXPECT_EQ (editor().getLookAndFeelInstance().pitchText, "0 c");

    auto& sieve = rig.button ("sieve");
    rig.click (sieve);
    EXPECT_EQ (processor.getParameter (P::sieveParam), 1.0f);
    rig.tick();
    EXPECT_EQ (rig.slider ("harmonicsslider").getAlpha(), 1.0f);
    rig.setHostParameter (P::sieveParam, 0.0f);
    rig.tick();
    EXPECT_NEAR (rig.slider ("harmonicsslider").getAlpha(), 0.5f, 0.01f); // stored in 8 bits
    EXPECT_FALSE (sieve.getToggleState());
}

TEST_F (TonalithEditor, KeysAndMidiShareTheNoteTable)
{
    rig.tick();
    // A MIDI note-on for 60 lights "c3but"; a note outside the keyboard lights nothing.
    juce::MidiBuffer midi;
    midi.addEvent (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 90), 0);
    midi.addEvent (juce::MidiMessage::noteOn (1, 90, (juce::uint8) 90), 0);
    juce::AudioBuffer<float> buffer (2, 256);
    buffer.clear();
    processor.processBlock (buffer, midi);
    rig.tick();
    EXPECT_TRUE (rig.button ("c3but").getToggleState());
    EXPECT_EQ (processor.sieve.heldCount, 2);
    int lit = 0;
    for (int k = 0; k < 37; ++k)
        lit += rig.button (E::keyName (k)).getToggleState() ? 1 : 0;
    EXPECT_EQ (lit, 1);

    // Clicking it off releases the note once the audio thread has taken the key.
    rig.click (rig.button ("c3but"));
    rig.processBlocks (1);
    EXPECT_EQ (processor.noteSlotForDisplay (60), -1);
    rig.click (rig.button ("a1but"));
    rig.processBlocks (1);
    rig.tick();
    EXPECT_NE (processor.noteSlotForDisplay (45), -1);
    EXPECT_TRUE (rig.button ("a1but").getToggleState());
    EXPECT_FALSE (rig.button ("c3but").getToggleState());
}

TEST_F (TonalithEditor, RecoloursFromTheColourParameter)
{
    rig.tick();
    auto& laf = editor().getLookAndFeelInstance();
    EXPECT_EQ (laf.findColour (1200), juce::Colours::black);
    EXPECT_EQ (laf.findColour (1201), juce::Colours::white);
    EXPECT_EQ (laf.findColour (1203).getARGB(), juce::Colour::fromHSV (0.0f, 0.0f, 0.5f, 1.0f).getARGB());
    rig.setHostParameter (P::colorParam, 0.6f);
    rig.tick();
    const auto expected = veltrane::panelColoursFor (0.6f);
    EXPECT_EQ (laf.findColour (1200), expected.main);
    EXPECT_EQ (editor().findColour (1201), expected.face);
    EXPECT_EQ (laf.findColour (1203), expected.hub);
    EXPECT_EQ (laf.findColour (1202), juce::Colour (0xff000000u));
    EXPECT_EQ (laf.findColour (1204), juce::Colour (0xffdfcfbeu));
    EXPECT_EQ (rig.slider ("color slider").getValue(), (double) 0.6f);
}

TEST_F (TonalithEditor, OutlandishParameterValuesAreShownSafely)
{
    // A restored state can hold any float: knobs stay where they were and the window draws
    // the same; audio running meanwhile changes nothing of that. "pitchshift" is left out:
    // its knob shows the parameter's own text, which names the lowest step for NaN.
    auto knobs = editor().knobParameters();
    knobs.erase (std::remove (knobs.begin(), knobs.end(), (int) P::pitchshiftParam), knobs.end());
    veltrane::test::expectOutlandishValuesShownSafely (rig, knobs);
    rig.processBlocks (4);
    rig.tick();
    EXPECT_TRUE (rig.render().isValid());
}

TEST_F (TonalithEditor, MatchesReferenceImages)
{
    veltrane::test::expectDefaultImages (rig, "tonalith", referenceDir(), 474, 214, { 1.0f });

    setHostScaled (P::pitchshiftParam, 7.0f);
    setHostScaled (P::octaveParam, -1.0f);
    setHostScaled (P::bandsParam, 2048.0f);
    rig.setHostParameter (P::outputModeParam, 1.0f);
    rig.setHostParameter (P::sieveParam, 1.0f);
    rig.setHostParameter (P::colorParam, 0.3f);
    processor.noteOn (48);
    processor.noteOn (55);
    rig.processBlocks (12, 0.7f);
    rig.tick();
    EXPECT_TRUE (
        veltrane::test::matchesReference (rig.render (1.0f), referenceDir().getChildFile ("tonalith-driven@1x.png")));
    EXPECT_TRUE (
        veltrane::test::matchesReference (rig.render (2.0f), referenceDir().getChildFile ("tonalith-driven@2x.png")));
}
