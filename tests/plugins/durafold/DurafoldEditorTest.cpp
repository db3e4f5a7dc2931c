#include "DurafoldAudioProcessor.h"
#include "DurafoldAudioProcessorEditor.h"
#include "EditorRig.h"

#include <cmath>

using veltrane::test::EditorRig;

namespace
{
using P = DurafoldAudioProcessor;

juce::File referenceDir() { return veltrane::test::referenceDirectory ("durafold"); }

struct DurafoldEditor : veltrane::test::EditorFixture<DurafoldAudioProcessor, DurafoldAudioProcessorEditor>
{
};
} // namespace

TEST_F (DurafoldEditor, ControlsAsLaidOut)
{
    EXPECT_EQ (editor().getWidth(), 474);
    EXPECT_EQ (editor().getHeight(), 186);
    const struct
    {
        const char* name;
        juce::Rectangle<int> bounds;
        double min, max;
    } knobs[] = {
        { "stretchslider", { 6, 48, 72, 72 }, 1, 100 },        { "rateslider", { 84, 48, 72, 72 }, 0.25, 4 },
        { "voicesslider", { 162, 48, 72, 72 }, 2, 8 },         { "bandsslider", { 240, 48, 72, 72 }, 8, 8192 },
        { "grainsizeslider", { 318, 48, 72, 72 }, 0.3, 3.16 }, { "shimmerslider", { 396, 48, 72, 72 }, 0, 100 },
        { "color slider", { 6, 162, 18, 18 }, 0, 1 },          { "outlevelslider", { 432, 6, 36, 36 }, -20, 20 },
        { "inlevelslider", { 390, 6, 36, 36 }, -20, 20 },      { "mixslider", { 342, 6, 36, 36 }, 0, 100 }
    };
    for (const auto& k : knobs)
    {
        SCOPED_TRACE (k.name);
        auto& s = rig.slider (k.name);
        EXPECT_EQ (s.getBounds(), k.bounds);
        EXPECT_EQ (s.getMinimum(), k.min);
        EXPECT_EQ (s.getMaximum(), k.max);
        EXPECT_EQ (s.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
    }
    EXPECT_EQ (rig.button ("granular").getBounds(), juce::Rectangle<int> (6, 138, 96, 18));
    EXPECT_EQ (rig.button ("tempolock").getBounds(), juce::Rectangle<int> (108, 138, 96, 18));
}

TEST_F (DurafoldEditor, FollowsTheHostWithinOneTick)
{
    rig.tick();
    EXPECT_EQ (rig.slider ("voicesslider").getValue(), 5.0);
    EXPECT_FLOAT_EQ ((float) rig.slider ("mixslider").getValue(), 50.0f);

    // Automating the mode to 0.7 renames and switches the button and dims the grain knobs.
    rig.setHostParameter (P::grainorpvocParam, 0.7f);
    rig.setHostParameter (P::tempolockParam, 1.0f);
    rig.tick();
    auto& mode = rig.button ("pvoc");
    EXPECT_TRUE (mode.getToggleState());
    EXPECT_EQ (mode.getButtonText(), juce::String ("pvoc"));
    EXPECT_EQ (rig.slider ("bandsslider").getAlpha(), 1.0f);
    EXPECT_NEAR (rig.slider ("grainsizeslider").getAlpha(), 0.5f, 0.01f);
    EXPECT_NEAR (rig.slider ("shimmerslider").getAlpha(), 0.5f, 0.01f);
    EXPECT_TRUE (rig.button ("tempolock").getToggleState());

    rig.setHostParameter (P::grainorpvocParam, 0.2f);
    rig.tick();
    EXPECT_FALSE (rig.button ("granular").getToggleState());
    EXPECT_NEAR (rig.slider ("bandsslider").getAlpha(), 0.5f, 0.01f);
    EXPECT_EQ (rig.slider ("shimmerslider").getAlpha(), 1.0f);

    // A value equal to the one shown leaves a knob the user has moved alone.
    auto& stretch = rig.slider ("stretchslider");
    stretch.setValue (42.0, juce::dontSendNotification);
    rig.tick();
    EXPECT_EQ (stretch.getValue(), 42.0);
}

TEST_F (DurafoldEditor, GesturesWriteParameters)
{
    rig.tick();
    const struct
    {
        const char* name;
        double value;
        int index;
        float normalized;
    } moves[] = {
        { "voicesslider", 6.0, P::voicesParam, 2.0f / 3.0f }, { "stretchslider", 10.0, P::stretchParam, 0.5f },
        { "bandsslider", 2048.0, P::bandsParam, 0.8f },       { "mixslider", 30.0, P::wetdryParam, 0.3f },
        { "inlevelslider", 10.0, P::ingainParam, 0.75f },     { "color slider", 0.25, P::colorParam, 0.25f }
    };
    for (const auto& m : moves)
    {
        SCOPED_TRACE (m.name);
        rig.moveSlider (rig.slider (m.name), m.value);
        EXPECT_NEAR (processor.getParameter (m.index), m.normalized, 2e-5f);
    }
    rig.click (rig.button ("granular"));
    EXPECT_EQ (processor.getParameter (P::grainorpvocParam), 1.0f);
    rig.click (rig.button ("tempolock"));
    EXPECT_EQ (processor.getParameter (P::tempolockParam), 1.0f);
}

TEST_F (DurafoldEditor, RecoloursFromTheColourParameter)
{
    rig.tick();
    EXPECT_EQ (editor().findColour (vel01LAF::hubColourId), juce::Colour (0xff808080u));
    EXPECT_EQ (editor().findColour (vel01LAF::accentColourId), juce::Colour (0xffe15d44u));
    rig.setHostParameter (P::colorParam, 1.0f);
    rig.tick();
    const auto hub = editor().findColour (vel01LAF::hubColourId);
    EXPECT_NEAR (hub.getSaturation(), 0.5f, 0.01f);
    EXPECT_NEAR (hub.getBrightness(), 0.5f, 0.01f);
    EXPECT_GT (hub.getRed(), hub.getGreen()); // hue 1 is red
    EXPECT_NEAR (editor().findColour (vel01LAF::mainColourId).getBrightness(), 0.5f, 0.01f);
    EXPECT_EQ (editor().getLookAndFeelInstance().findColour (vel01LAF::hubColourId), hub);
}

TEST_F (DurafoldEditor, LevelKnobsCarryTheMeters)
{
    rig.processBlocks (4, 0.5f);
    rig.tick();
    const auto& levels = editor().getLookAndFeelInstance().levels;
    EXPECT_GT (levels[0], 0.2f);
    EXPECT_GT (levels[2], 0.0f);
    const auto image = rig.render();
    EXPECT_EQ (image.getWidth(), 474);
}

//==============================================================================
// Golden images. After an intended change of the drawing, regenerate with
//   VELTRANE_UPDATE_REFERENCES=1 <build>/tests/plugins/durafold/durafold_editor_tests
// which also refreshes the screenshot in docs/.

TEST_F (DurafoldEditor, MatchesReferenceImages)
{
    veltrane::test::expectDefaultImages (rig, "durafold", referenceDir(), 474, 186);
}

TEST_F (DurafoldEditor, OutlandishParameterValuesAreShownSafely)
{
    // A restored state can hold any float; the level knobs keep their place too.
    veltrane::test::expectOutlandishValuesShownSafely (rig, editor().knobParameters());
}

TEST_F (DurafoldEditor, MatchesReferenceImageWhenDriven)
{
    // Phase-vocoder mode (renamed switch, grain knobs dimmed), tempo lock on, moved knobs,
    // live meters (one channel over full scale) and a new colour.
    const struct
    {
        int index;
        float scaled;
    } settings[] = { { P::grainorpvocParam, 1.0f }, { P::tempolockParam, 1.0f }, { P::stretchParam, 25.0f },
                     { P::rateParam, 2.0f },        { P::voicesParam, 7.0f },    { P::bandsParam, 2048.0f },
                     { P::wetdryParam, 80.0f },     { P::ingainParam, 6.0f },    { P::colorParam, 0.3f } };
    for (const auto& s : settings)
        rig.setHostParameter (s.index, processor.normalizedFromScaled (s.index, s.scaled));
    rig.processBlocks (12, 0.7f);
    rig.tick();
    editor().getLookAndFeelInstance().setVuLevels (0.3f, 1.2f, 0.6f, -1.0f);
    EXPECT_EQ (rig.button ("pvoc").getToggleState(), true);
    EXPECT_TRUE (
        veltrane::test::matchesReference (rig.render (1.0f), referenceDir().getChildFile ("durafold-driven@1x.png")));
}
