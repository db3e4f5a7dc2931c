#include "EditorRig.h"
#include "PanelEditor.h"
#include "VeltraneProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
using veltrane::Conversion;

const veltrane::ParameterInfo panelTable[] = {
    { "depth", Conversion::linear, 100.0f, 0.0f, 0.01f, 0.0f, 100.0f, 50.0f, 0.5f, 0.5f },
    { "level", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "toggle", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "color", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
};
const veltrane::PluginIdentity panelIdentity { "++panel", "panel", false, false };

struct Editor;

/** The smallest processor with a panel: four parameters, no audio. */
struct Processor : veltrane::VeltraneProcessor
{
    Processor()
        : VeltraneProcessor (panelIdentity, panelTable, 4)
    {
    }
    void prepareToPlay (double, int) override {}
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override {}
    using juce::AudioProcessor::processBlock;
    juce::AudioProcessorEditor* createEditor() override;
};

/** A window with one control of each kind, declared once each. */
struct Editor : veltrane::PanelEditor
{
    explicit Editor (Processor& p)
        : veltrane::PanelEditor (p)
    {
        addKnob (depth, "depthslider", 0, 0.0, 100.0, 0.0, { 10, 10, 72, 72 });
        addKnob (level, "levelslider", 1, -20.0, 20.0, 1.0, { 90, 10, 36, 36 }, 1.0, Follow::meter);
        addKnob (color, "color slider", 3, 0.0, 1.0, 0.0, { 10, 100, 18, 18 });
        setColourKnob (color);
        addSwitch (toggle, "toggle", 2, { 90, 60, 72, 18 });
        setSize (200, 130);
        installPanel ({ juce::Colours::black, juce::Colours::white, juce::Colours::black, juce::Colours::grey,
                        juce::Colours::orange });
    }
    void switchShown (Switch&, bool on) override { shownSwitch.push_back (on); }
    void tick() override { ++ticks; }

    Knob depth, level, color;
    Switch toggle;
    std::vector<bool> shownSwitch;
    int ticks = 0;
};

juce::AudioProcessorEditor* Processor::createEditor() { return new Editor (*this); }

/** Records what a host hears of one parameter. */
struct HostEar : juce::AudioProcessorParameter::Listener
{
    void parameterValueChanged (int, float v) override { events.push_back ("value " + juce::String (v, 3)); }
    void parameterGestureChanged (int, bool starting) override { events.push_back (starting ? "begin" : "end"); }
    std::vector<juce::String> events;
};
} // namespace

TEST (PanelEditor, UserGesturesReachTheHostBetweenBeginAndEnd)
{
    Processor p;
    veltrane::test::EditorRig rig (p);
    auto& editor = dynamic_cast<Editor&> (rig.editor());
    rig.tick();

    HostEar depthEar, toggleEar;
    p.getParameterObject (0)->addListener (&depthEar);
    p.getParameterObject (2)->addListener (&toggleEar);

    rig.dragSlider (editor.depth.slider, 40);
    ASSERT_GE (depthEar.events.size(), 3u);
    EXPECT_EQ (depthEar.events.front(), "begin");
    EXPECT_EQ (depthEar.events.back(), "end");
    for (size_t i = 1; i + 1 < depthEar.events.size(); ++i)
        EXPECT_TRUE (depthEar.events[i].startsWith ("value")) << depthEar.events[i];
    EXPECT_NE (p.getParameter (0), 0.5f);
    EXPECT_FLOAT_EQ (p.getScaledParameter (0), (float) editor.depth.slider.getValue());

    rig.click (editor.toggle.button);
    EXPECT_EQ (toggleEar.events, (std::vector<juce::String> { "begin", "value 1.000", "end" }));
    EXPECT_EQ (p.getParameter (2), 1.0f);

    p.getParameterObject (0)->removeListener (&depthEar);
    p.getParameterObject (2)->removeListener (&toggleEar);
}

TEST (PanelEditor, TicksShowWhatChangedAndNothingThatIsNotFinite)
{
    Processor p;
    veltrane::test::EditorRig rig (p);
    auto& editor = dynamic_cast<Editor&> (rig.editor());
    rig.tick();
    EXPECT_EQ (editor.depth.slider.getValue(), 50.0);
    EXPECT_EQ (editor.shownSwitch, std::vector<bool> { false });
    EXPECT_EQ (editor.ticks, 1);

    rig.setHostParameter (0, 0.25f);
    rig.setHostParameter (2, 1.0f);
    rig.setHostParameter (3, 0.5f);
    rig.tick();
    EXPECT_EQ (editor.depth.slider.getValue(), 25.0);
    EXPECT_TRUE (editor.toggle.button.getToggleState());
    EXPECT_EQ (editor.shownSwitch, (std::vector<bool> { false, true }));
    EXPECT_EQ (editor.color.slider.getValue(), 0.5);
    EXPECT_NE (editor.getLookAndFeelInstance().findColour (vel01LAF::mainColourId), juce::Colours::black);
    rig.tick();
    EXPECT_EQ (editor.shownSwitch.size(), 2u); // unchanged values are not shown again

    // A damaged state: every knob stays where it was and the window draws the same.
    const auto before = rig.render();
    for (int i : { 0, 1, 3 })
        for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity() })
        {
            rig.setHostParameter (i, bad);
            rig.tick();
        }
    EXPECT_EQ (editor.depth.slider.getValue(), 25.0);
    EXPECT_EQ (editor.level.slider.getValue(), 0.0);
    EXPECT_EQ (editor.color.slider.getValue(), 0.5);
    EXPECT_EQ (veltrane::test::compareImages (before, rig.render(), 0).pixelsOverTolerance, 0);
}
