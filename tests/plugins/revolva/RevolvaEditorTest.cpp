#include "EditorRig.h"
#include "PanelColours.h"
#include "RevolvaAudioProcessor.h"
#include "RevolvaAudioProcessorEditor.h"
#include "SoundFileWriter.h"

#include <cmath>
#include <limits>

using revolva::LoopLayer;
using revolva::WaveSelector;

using veltrane::test::EditorRig;
using namespace revolvatest;

namespace
{
using P = RevolvaAudioProcessor;

juce::File referenceDir() { return veltrane::test::referenceDirectory ("revolva"); }

/** A mono 16-bit WAVE of a decaying 220 Hz tone. */
Bytes toneWave (int frames)
{
    Bytes data;
    for (int i = 0; i < frames; ++i)
    {
        const double v = 0.8 * std::exp (-3.0 * i / frames) * std::sin (2.0 * 3.141592653589793 * 220.0 * i / 44100.0);
        le16 (data, (std::uint32_t) (std::int16_t) std::lround (v * 32767.0) & 0xFFFFu);
    }
    return wave (1, 16, data);
}

struct RevolvaEditor : veltrane::test::EditorFixture<RevolvaAudioProcessor, RevolvaAudioProcessorEditor, 44100, 2048>
{

    /** Answers the file requests with the given path ("" for a cancelled dialog). */
    void answerWith (const std::string& path)
    {
        editor().setFileRequest ([this, path] (int layer, std::function<void (const juce::File&)> answer) {
            requested.push_back (layer);
            answer (path.empty() ? juce::File() : juce::File (path));
        });
    }

    /** Runs blocks until the background file work has reached its layer. */
    bool settleFiles()
    {
        for (int k = 0; k < 20000; ++k)
        {
            rig.processBlocks (1, 0.0f);
            if (! processor.isFileWorkPending())
                return true;
            juce::Thread::sleep (1);
        }
        return false;
    }

    /** Presses the selector at (x, downY) and drags to (x, y) as the mouse does. */
    void drag (WaveSelector& selector, int downY, int x)
    {
        auto source = juce::Desktop::getInstance().getMainMouseSource();
        const juce::Point<float> down (10.0f, (float) downY), now ((float) x, (float) downY);
        const auto time = juce::Time::getCurrentTime();
        selector.mouseDown (juce::MouseEvent (source, down, {}, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &selector, &selector,
                                              time, down, time, 1, false));
        selector.mouseDrag (juce::MouseEvent (source, now, {}, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &selector, &selector, time,
                                              down, time, 1, true));
    }

    std::vector<int> requested;
};
} // namespace

TEST_F (RevolvaEditor, ControlsAsLaidOut)
{
    EXPECT_EQ (editor().getWidth(), 474);
    EXPECT_EQ (editor().getHeight(), 414);

    struct Knob
    {
        juce::Slider* slider;
        int parameter;
        double min, max, step;
        juce::Rectangle<int> bounds;
        bool large;
    };
    std::vector<Knob> knobs = {
        { &rig.slider ("color slider"), P::colorParam, 0, 1, 0, { 6, 390, 18, 18 }, false },
        { &rig.slider ("outlevelslider"), P::outgainParam, -20, 20, 1, { 432, 6, 36, 36 }, false },
        { &rig.slider ("inlevelslider"), P::ingainParam, -20, 20, 1, { 390, 6, 36, 36 }, false },
        { &rig.slider ("stretchslider"), P::stretchParam, 1, 128, 0, { 6, 300, 72, 72 }, true },
        { &rig.slider ("attackslider"), P::attackParam, 0.01, 5, 0, { 84, 300, 72, 72 }, true },
        { &rig.slider ("releaseslider"), P::releaseParam, 0.01, 5, 0, { 162, 300, 72, 72 }, true },
        { &rig.slider ("bandsslider"), P::bandsParam, 8, 8192, 0, { 240, 300, 72, 72 }, true },
        { &rig.slider ("bpmslider"), P::bpmParam, 30, 480, 0, { 318, 300, 72, 72 }, true },
    };
    for (int l = 0; l < 4; ++l)
    {
        knobs.push_back (
            { &editor().pitchKnob (l), P::pitch1Param + l, -36, 36, 1, { 60, 54 + 60 * l, 54, 54 }, false });
        knobs.push_back (
            { &editor().levelKnob (l), P::gain1Param + l, -60, 0, 0, { 414, 54 + 60 * l, 54, 54 }, false });
    }
    for (const auto& k : knobs)
    {
        auto& s = *k.slider;
        SCOPED_TRACE (s.getName() + " " + juce::String (k.parameter));
        EXPECT_EQ (s.getBounds(), k.bounds);
        EXPECT_EQ (s.getMinimum(), k.min);
        EXPECT_EQ (s.getMaximum(), k.max);
        EXPECT_EQ (s.getInterval(), k.step);
        EXPECT_EQ (s.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
        EXPECT_EQ (s.getTextBoxPosition(), juce::Slider::NoTextBox);
        EXPECT_TRUE (s.isVisible());
        EXPECT_EQ (s.getSkewFactor(), k.large ? 0.3 : 1.0);
        if (k.large)
        {
            EXPECT_EQ (s.findColour (juce::Slider::rotarySliderFillColourId), juce::Colour (0x7f000000u));
        }

        // A user's move reaches the processor through the parameter's own conversion.
        const double target = k.min + 0.3 * (k.max - k.min);
        rig.moveSlider (s, target);
        EXPECT_NEAR (processor.getScaledParameter (k.parameter), s.getValue(), 1e-4 * (k.max - k.min));
    }
    EXPECT_EQ (editor().pitchKnob (2).getName(), "new slider");

    struct Switch
    {
        juce::ToggleButton* button;
        const char* text;
        int parameter;
        juce::Rectangle<int> bounds;
    };
    auto& e = editor();
    std::vector<Switch> switches = { { dynamic_cast<juce::ToggleButton*> (&rig.button ("bpmlock")),
                                       "bpmlock",
                                       P::bpmlockParam,
                                       { 396, 330, 72, 18 } },
                                     { &e.layerSwitch(), "layer", P::layerParam, { 396, 354, 72, 18 } } };
    for (int l = 0; l < 4; ++l)
    {
        switches.push_back ({ &e.playSwitch (l), "play", P::play1Param + l, { 9, 66 + 60 * l, 21, 21 } });
        switches.push_back ({ &e.recordSwitch (l), "record", P::record1Param + l, { 33, 66 + 60 * l, 21, 21 } });
        switches.push_back ({ &e.fileSwitch (l), "file", P::file1Param + l, { 6, 90 + 60 * l, 51, 18 } });
    }
    answerWith (""); // the file switches' dialog is cancelled
    for (const auto& s : switches)
    {
        SCOPED_TRACE (s.text + juce::String (s.parameter));
        ASSERT_NE (s.button, nullptr);
        EXPECT_EQ (s.button->getBounds(), s.bounds);
        EXPECT_EQ (s.button->getButtonText(), s.text);
        EXPECT_EQ (s.button->getName(), s.text);
        rig.click (*s.button);
        EXPECT_EQ (processor.getParameter (s.parameter), 1.0f);
        rig.click (*s.button);
        EXPECT_EQ (processor.getParameter (s.parameter), 0.0f);
    }
    for (int l = 0; l < 4; ++l)
    {
        EXPECT_EQ (e.waveSelector (l).getBounds(), juce::Rectangle<int> (120, 48 + 60 * l, 288, 60));
        EXPECT_EQ (e.waveSelector (l).getName(), "new component");
        EXPECT_EQ (e.waveSelector (l).startParameter, P::start1Param + l);
        EXPECT_EQ (e.waveSelector (l).endParameter, P::end1Param + l);
        EXPECT_EQ (e.waveSelector (l).fileposParameter, P::filepos1Param + l);
    }
}

TEST_F (RevolvaEditor, FileSwitchLoadsRefusesAndCancels)
{
    TempFile good ("tone.wav", toneWave (30000));
    TempFile bad ("noise.wav", Bytes (300, 0x55));
    rig.tick();
    EXPECT_TRUE (requested.empty()) << "opening the window asks for no file";

    // Accepted: the switch stays on, and once the layer holds the file the selector shows it.
    answerWith (good.path);
    rig.click (editor().fileSwitch (0));
    rig.tick();
    EXPECT_EQ (requested, std::vector<int> { 0 });
    EXPECT_TRUE (editor().fileSwitch (0).getToggleState());
    EXPECT_EQ (processor.getParameter (P::file1Param), 1.0f);
    ASSERT_TRUE (settleFiles());
    rig.tick();
    const auto& overview = editor().waveSelector (0).overview;
    EXPECT_GT (overview[0], 0.5f);
    EXPECT_EQ (overview[100], 0.0f) << "the file is shorter than the layer";
    for (int i = 0; i < 288; ++i)
        ASSERT_EQ (overview[(size_t) i], processor.layers[0].peaks[(size_t) i].load());
    EXPECT_EQ (processor.layers[0].waveDirty.load(), 0);

    // Refused: the switch and the parameter fall back at once, and the next tick clears
    // what the layer held (here, a recording).
    rig.click (editor().fileSwitch (0));
    rig.tick();
    ASSERT_TRUE (settleFiles());
    processor.layers[0].leftBuffer[100] = 0.3f;
    answerWith (bad.path);
    rig.click (editor().fileSwitch (0));
    rig.tick();
    EXPECT_EQ (requested, (std::vector<int> { 0, 0 }));
    EXPECT_FALSE (editor().fileSwitch (0).getToggleState());
    EXPECT_EQ (processor.getParameter (P::file1Param), 0.0f);
    EXPECT_EQ (editor().statusText(), "cannot read: " + juce::File (bad.path).getFileName())
        << "named in the status bar";
    ASSERT_TRUE (settleFiles());
    EXPECT_EQ (processor.layers[0].leftBuffer[100], 0.3f) << "a refused file leaves the layer until the next tick";
    rig.tick();
    ASSERT_TRUE (settleFiles());
    EXPECT_EQ (processor.layers[0].leftBuffer[100], 0.0f);
    EXPECT_FALSE (processor.isLayerFileOpen (0));
    EXPECT_EQ (editor().soundFileChosen (0, juce::File ("/nonexistent/tone.wav")), 0)
        << "an answer for a switch that is off changes nothing";
    rig.setHostParameter (P::file1Param, 1.0f);
    answerWith ("");
    rig.tick();
    EXPECT_EQ (editor().soundFileChosen (0, juce::File ("/nonexistent/tone.wav")), -1);

    // Cancelled: nothing loads and the switch stays on.
    answerWith ("");
    rig.click (editor().fileSwitch (1));
    rig.tick();
    EXPECT_TRUE (editor().fileSwitch (1).getToggleState());
    EXPECT_FALSE (processor.isLayerFileOpen (1));
    EXPECT_FALSE (editor().isFileRequestOpen());
}

TEST_F (RevolvaEditor, AnOpenRequestHoldsBackOtherLayersAndALateAnswerAfterSwitchingOff)
{
    TempFile good ("tone.wav", toneWave (5000));
    std::vector<std::pair<int, std::function<void (const juce::File&)>>> open;
    editor().setFileRequest ([&open] (int layer, std::function<void (const juce::File&)> answer) {
        open.emplace_back (layer, std::move (answer));
    });
    rig.click (editor().fileSwitch (2));
    rig.click (editor().fileSwitch (3));
    rig.tick (3);
    ASSERT_EQ (open.size(), 1u);
    EXPECT_EQ (open[0].first, 2);
    EXPECT_TRUE (editor().isFileRequestOpen());

    // Layer 3 was switched off while its dialog was open: the late answer loads nothing.
    rig.click (editor().fileSwitch (2));
    open[0].second (juce::File (good.path));
    ASSERT_TRUE (settleFiles());
    EXPECT_FALSE (processor.isLayerFileOpen (2));
    rig.tick();
    ASSERT_EQ (open.size(), 2u);
    EXPECT_EQ (open[1].first, 3);
    open[1].second (juce::File (good.path));
    ASSERT_TRUE (settleFiles());
    EXPECT_TRUE (processor.isLayerFileOpen (3));
}

TEST_F (RevolvaEditor, FirstTickLeavesALayerWhoseFileSwitchIsOff)
{
    processor.layers[2].leftBuffer[7] = 0.25f;
    rig.tick();
    ASSERT_TRUE (settleFiles());
    EXPECT_EQ (processor.layers[2].leftBuffer[7], 0.25f);
}

TEST_F (RevolvaEditor, MarkerDragsSetTheirParameters)
{
    struct Case
    {
        int downY, x;
        int parameter;
        float value;
    };
    const Case cases[] = {
        { 3, 144, P::end1Param + 1, 0.5f },
        { 7, 0, P::end1Param + 1, 0.0f },
        { 58, 400, P::start1Param + 1, 1.0f },
        { 52, -20, P::start1Param + 1, 0.0f },
        { 30, 72, P::filepos1Param + 1, 0.25f },
        { 8, 288, P::filepos1Param + 1, 1.0f },
        { 51, 1, P::filepos1Param + 1, 0.00347222225f },
    };
    auto& selector = editor().waveSelector (1);
    for (const auto& c : cases)
    {
        drag (selector, c.downY, c.x);
        EXPECT_EQ (processor.getParameter (c.parameter), c.value) << "press at y " << c.downY << ", drag to x " << c.x;
    }
    // The markers follow the parameters at the next tick, not the drag itself.
    drag (selector, 3, 216);
    drag (selector, 58, 72);
    EXPECT_EQ (selector.endMarker, 0.8f);
    rig.tick();
    EXPECT_EQ (selector.endMarker, 0.75f);
    EXPECT_EQ (selector.startMarker, 0.25f);
}

TEST_F (RevolvaEditor, SwitchesFollowTheProcessor)
{
    rig.tick();
    // "layer" reads "split" when MIDI channels drive the layers.
    rig.click (editor().layerSwitch());
    EXPECT_EQ (processor.getParameter (P::layerParam), 1.0f);
    rig.tick();
    EXPECT_EQ (editor().layerSwitch().getButtonText(), "split");
    EXPECT_EQ (editor().layerSwitch().getName(), "split"); // the label drawn
    EXPECT_TRUE (editor().layerSwitch().getToggleState());
    rig.setHostParameter (P::layerParam, 0.2f);
    rig.tick();
    EXPECT_EQ (editor().layerSwitch().getButtonText(), "layer");
    EXPECT_FALSE (editor().layerSwitch().getToggleState());

    // A recording that fills the layer turns its switch off.
    rig.click (editor().recordSwitch (2));
    rig.tick();
    EXPECT_TRUE (editor().recordSwitch (2).getToggleState());
    rig.processBlocks (LoopLayer::layerLength / 2048 + 2, 0.5f);
    EXPECT_EQ (processor.getParameter (P::record1Param + 2), 0.0f);
    rig.tick();
    EXPECT_FALSE (editor().recordSwitch (2).getToggleState());
    EXPECT_GT (editor().waveSelector (2).overview[287], 0.4f);

    // Host-driven play switch and tempo lock.
    rig.setHostParameter (P::play1Param + 3, 0.5f);
    rig.setHostParameter (P::bpmlockParam, 1.0f);
    rig.tick();
    EXPECT_TRUE (editor().playSwitch (3).getToggleState());
    EXPECT_TRUE (rig.button ("bpmlock").getToggleState());
}

TEST_F (RevolvaEditor, KnobsWriteAndFollowParameters)
{
    rig.tick();
    rig.moveSlider (editor().pitchKnob (0), -12.0);
    EXPECT_EQ (processor.getParameter (P::pitch1Param), 24.0f * 0.013888889f);
    rig.tick();
    EXPECT_EQ (editor().pitchKnob (0).getValue(), -12.0);
    rig.processBlocks (1);
    EXPECT_FLOAT_EQ (processor.layers[0].layerPitch, 0.5f);

    // Host values reach every knob; non-finite ones leave it where it was.
    rig.setHostParameter (P::stretchParam, 0.5f);
    rig.setHostParameter (P::gain1Param + 3, 0.5f);
    rig.setHostParameter (P::bpmParam, 0.25f);
    rig.setHostParameter (P::pitch1Param + 2, std::numeric_limits<float>::quiet_NaN());
    rig.tick();
    EXPECT_NEAR (rig.slider ("stretchslider").getValue(), 10.0, 1e-5);
    EXPECT_NEAR (editor().levelKnob (3).getValue(), -30.0, 1e-5);
    EXPECT_NEAR (rig.slider ("bpmslider").getValue(), 60.0, 1e-3);
    EXPECT_EQ (editor().pitchKnob (2).getValue(), -12.0);
}

TEST_F (RevolvaEditor, MetersAndColours)
{
    const int ids[] = { 1200, 1201, 1202, 1203, 1204 };
    const juce::uint32 atConstruction[] = { 0xff000000u, 0xffffffffu, 0xff000000u, 0xff808080u, 0xff55b4b0u };
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ (editor().findColour (ids[i]).getARGB(), atConstruction[i]) << ids[i];
        EXPECT_EQ (editor().getLookAndFeelInstance().findColour (ids[i]).getARGB(), atConstruction[i]) << ids[i];
    }
    rig.setHostParameter (P::colorParam, 0.6f);
    rig.tick();
    EXPECT_EQ (editor().findColour (1203).getARGB(), veltrane::panelColoursFor (0.6f).hub.getARGB());
    EXPECT_EQ (editor().findColour (1204).getARGB(), 0xff55b4b0u);
    rig.setHostParameter (P::colorParam, 0.0f);
    rig.tick();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ (editor().findColour (ids[i]).getARGB(), atConstruction[i]) << ids[i];

    rig.processBlocks (4, 0.5f);
    rig.tick();
    const auto& laf = editor().getLookAndFeelInstance();
    EXPECT_EQ (laf.levels[0], processor.inputPeak[0].load());
    EXPECT_EQ (laf.levels[1], processor.inputPeak[1].load());
    EXPECT_EQ (laf.levels[2], processor.outputPeak[0].load());
    EXPECT_GT (laf.levels[0], 0.0f);
}

TEST_F (RevolvaEditor, OutlandishValuesDrawSafely)
{
    veltrane::test::expectOutlandishValuesShownSafely (rig, editor().knobParameters());
    // Switches, loop points and pictures that are not finite draw too.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (float p : { nan, inf, -inf, 1.0e30f, -1.0e30f })
    {
        for (int i : { P::start1Param, P::end1Param, P::layerParam, P::play1Param })
            rig.setHostParameter (i, p);
        editor().waveSelector (0).overview[0] = p;
        editor().waveSelector (0).overview[9] = p;
        rig.tick();
        EXPECT_TRUE (rig.render().isValid());
    }
}

//==============================================================================
// Golden images. After an intended change of the drawing, regenerate with
//   VELTRANE_UPDATE_REFERENCES=1 <build>/tests/plugins/revolva/revolva_editor_tests

TEST_F (RevolvaEditor, MatchesReferenceImages)
{
    veltrane::test::expectDefaultImages (rig, "revolva", referenceDir(), 474, 414);
}

TEST_F (RevolvaEditor, MatchesReferenceImageWhenDriven)
{
    // Two recorded layers with moved loop points, switches on, knobs moved, a new colour.
    rig.setHostParameter (P::record1Param, 1.0f);
    rig.setHostParameter (P::record1Param + 2, 1.0f);
    rig.processBlocks (200, 0.6f);
    rig.setHostParameter (P::record1Param, 0.0f);
    rig.setHostParameter (P::record1Param + 2, 0.0f);
    rig.setHostParameter (P::play1Param, 1.0f);
    rig.setHostParameter (P::start1Param, 0.1f);
    rig.setHostParameter (P::end1Param, 0.6f);
    rig.setHostParameter (P::start1Param + 2, 0.9f);
    rig.setHostParameter (P::end1Param + 2, 0.3f);
    rig.setHostParameter (P::pitch1Param + 1, 0.75f);
    rig.setHostParameter (P::gain1Param + 3, 0.4f);
    rig.setHostParameter (P::stretchParam, 0.6f);
    rig.setHostParameter (P::layerParam, 1.0f);
    rig.setHostParameter (P::bpmlockParam, 1.0f);
    rig.setHostParameter (P::colorParam, 0.3f);
    rig.processBlocks (4, 0.6f);
    rig.tick();
    editor().getLookAndFeelInstance().setVuLevels (0.3f, 1.2f, 0.6f, -1.0f);
    EXPECT_TRUE (
        veltrane::test::matchesReference (rig.render (1.0f), referenceDir().getChildFile ("revolva-driven@1x.png")));
}

TEST_F (RevolvaEditor, ARestoredSessionLoadsItsFilesWithoutAskingAndNamesAMissingOne)
{
    TempFile good ("tone.wav", toneWave (5000));
    juce::MemoryBlock saved;
    {
        TempFile gone ("gone.wav", toneWave (5000));
        RevolvaAudioProcessor original;
        ASSERT_TRUE (original.loadLayerFileNow (0, juce::File (good.path)));
        ASSERT_TRUE (original.loadLayerFileNow (1, juce::File (gone.path)));
        original.setParameter (P::file1Param, 1.0f);
        original.setParameter (P::file1Param + 1, 1.0f);
        original.getStateInformation (saved);
    }
    std::vector<int> asked;
    editor().setFileRequest (
        [&asked] (int layer, std::function<void (const juce::File&)>) { asked.push_back (layer); });
    rig.tick();
    processor.setStateInformation (saved.getData(), (int) saved.getSize());
    rig.tick();
    EXPECT_TRUE (asked.empty()) << "no dialog for a file the session brings";
    EXPECT_TRUE (editor().fileSwitch (0).getToggleState());
    EXPECT_FALSE (editor().fileSwitch (1).getToggleState());
    EXPECT_EQ (editor().statusText(), "not found: gone.wav");
    ASSERT_TRUE (settleFiles());
    EXPECT_TRUE (processor.isLayerFileOpen (0));
}
