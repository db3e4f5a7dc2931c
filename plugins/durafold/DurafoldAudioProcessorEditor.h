#pragma once

#include "PanelEditor.h"

#include <array>

class DurafoldAudioProcessor;

/** durafold's window: six large knobs for the stretch, the voices and the two renderers,
    the mix knob, input and output level knobs with their meters, the "granular"/"pvoc"
    and "tempolock" switches and a tiny knob that recolours the window. It follows the
    parameters on a 50 ms timer and writes user gestures back with setScaledParameter. */
class DurafoldAudioProcessorEditor : public veltrane::PanelEditor
{
public:
    explicit DurafoldAudioProcessorEditor (DurafoldAudioProcessor& p);

    void paint (juce::Graphics& g) override;
    void resized() override;
    void sliderValueChanged (juce::Slider* slider) override;
    void buttonClicked (juce::Button* button) override;
    void timerCallback() override;

    static constexpr int editorWidth = 474, editorHeight = 186; // pixels

private:
    /** Shows a changed parameter on a knob without a change message; true when it was new. */
    bool follow (Knob& knob);
    void showMode (float value);

    DurafoldAudioProcessor& processor;

    Knob stretch, rate, voices, bands, grainsize, shimmer, color, outlevel, inlevel, mix;
    juce::ToggleButton mode, tempolock;

    // Last scaled value shown per parameter; NaN until the first tick shows it.
    std::array<float, 13> lastShown;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DurafoldAudioProcessorEditor)
};
