#pragma once

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <initializer_list>
#include <memory>
#include <vector>

namespace veltrane::test
{
/** Runs a plug-in's editor without a host or a display: creates it from its processor,
    drives it as a host and a user would (parameter changes, audio blocks, timer ticks,
    clicks, knob moves) and renders it to images. The editor's own timer is stopped, so
    it advances only through tick(). */
class EditorRig
{
public:
    explicit EditorRig (juce::AudioProcessor& processor, double sampleRate = 44100.0, int blockSize = 512);
    ~EditorRig();

    juce::AudioProcessorEditor& editor() { return *ed; }
    juce::AudioProcessor& processor() { return proc; }

    /** The editor's descendant with this component name, or null. */
    juce::Component* find (const juce::String& name) const;
    /** The slider or button with this name; fails the test (and throws) when it is missing. */
    juce::Slider& slider (const juce::String& name) const;
    juce::Button& button (const juce::String& name) const;

    /** Sets a normalized parameter value the way a host's automation does. */
    void setHostParameter (int index, float normalized);
    /** Runs audio blocks through the processor: a 1 kHz sine at the given peak level. */
    void processBlocks (int count, float level = 0.5f);
    /** Fires the editor's timer callback, as the 50 ms timer would. */
    void tick (int count = 1);
    /** Clicks a button through JUCE's own click path, then delivers the messages it posts. */
    void click (juce::Button& button);
    /** Moves a slider to a value as a drag does: the listeners hear it at once. */
    void moveSlider (juce::Slider& slider, double value);
    /** Drags a slider with the mouse: pressed at its centre, moved up by `pixels`, released. */
    void dragSlider (juce::Slider& slider, int pixels);
    /** Delivers every pending message (asynchronous notifications, repaints, clicks). */
    static void pumpMessages();

    /** The editor drawn at a display scale (1 = one image pixel per editor pixel). */
    juce::Image render (float scale = 1.0f) const;

private:
    juce::AudioProcessor& proc;
    std::unique_ptr<juce::AudioProcessorEditor> ed;
    juce::AudioBuffer<float> buffer;
    juce::MidiBuffer midi;
    double rate;
    double phase = 0.0;
};

/** The reference images of a plug-in's editor: tests/plugins/<plugin>/references. */
juce::File referenceDirectory (const juce::String& plugin);

/** A test with a plug-in's processor and its editor in a rig. */
template <class Processor, class Editor, int sampleRate = 44100, int blockSize = 512>
struct EditorFixture : ::testing::Test
{
    Processor processor;
    EditorRig rig { processor, (double) sampleRate, blockSize };
    Editor& editor() { return dynamic_cast<Editor&> (rig.editor()); }
    /** Sets a parameter from its scaled value the way a host would, as a normalized value. */
    void setHostScaled (int index, float scaled)
    {
        rig.setHostParameter (index, processor.normalizedFromScaled (index, scaled));
    }
};

/** How far two images are apart. */
struct ImageDifference
{
    bool sizeDiffers = false;
    int pixelsOverTolerance = 0; // pixels with a channel off by more than the tolerance
    int largestDelta = 0;        // largest channel difference anywhere (0..255)
};

ImageDifference compareImages (const juce::Image& a, const juce::Image& b, int tolerance);

/** True when VELTRANE_UPDATE_REFERENCES=1: reference images are rewritten, not compared. */
bool updatingReferences();

/** Compares an image with the reference PNG (a channel may differ by `tolerance`, and at
    most `allowedFraction` of the pixels may exceed that, for antialiasing differences
    between font rasteriser versions). Every render is also written to
    <build>/editor-renders/<file name> for inspection. With VELTRANE_UPDATE_REFERENCES=1
    the reference is written instead and the check passes. */
::testing::AssertionResult matchesReference (const juce::Image& image, const juce::File& reference, int tolerance = 12,
                                             double allowedFraction = 0.001);

/** The editor at its construction values, rendered at each scale (width x height editor
    pixels), against <plugin>-default@<scale>x.png under referenceDir. Updating the
    references also rewrites the README's screenshot, docs/<plugin>-editor.png, from the 1x
    rendering. */
void expectDefaultImages (EditorRig& rig, const juce::String& plugin, const juce::File& referenceDir, int width,
                          int height, std::initializer_list<float> scales = { 1.0f, 2.0f });

/** A damaged restored state: every knob's parameter set to NaN leaves every knob where it
    was and the window drawn the same; infinities and huge values put each knob at a point
    of its range. `knobParameters` are the window's (PanelEditor::knobParameters()). */
void expectOutlandishValuesShownSafely (EditorRig& rig, const std::vector<int>& knobParameters);

bool writePng (const juce::Image& image, const juce::File& file);
juce::Image readPng (const juce::File& file);

/** ARGB of the pixel at (x, y) in editor pixels of an image rendered at `scale`. */
juce::Colour pixelAt (const juce::Image& image, int x, int y, float scale = 1.0f);
} // namespace veltrane::test
