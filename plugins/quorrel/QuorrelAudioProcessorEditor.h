#pragma once

#include "PanelEditor.h"

#include <array>

class QuorrelAudioProcessor;

/** quorrel's window: five large knobs for the spectral controls, input and output level
    knobs with their meters, the scramble and phase-reset switches and a tiny knob that
    recolours the window. It follows the parameters on a 50 ms timer and writes user
    gestures back with setScaledParameter. */
class QuorrelAudioProcessorEditor : public veltrane::PanelEditor
{
public:
    explicit QuorrelAudioProcessorEditor (QuorrelAudioProcessor& p);

    void paint (juce::Graphics& g) override;
    void resized() override;
    void sliderValueChanged (juce::Slider* slider) override;
    void buttonClicked (juce::Button* button) override;
    void timerCallback() override;

    static constexpr int editorWidth = 474, editorHeight = 198; // pixels

private:
    /** Shows a changed parameter on a knob; true when the value was new. */
    bool follow (Knob& knob, juce::NotificationType notification);

    QuorrelAudioProcessor& processor;

    Knob bands, bandshift, phaseshift, phasenull, phasenoise, color, outlevel, inlevel;
    juce::ToggleButton scramble, phasereset;

    // Last scaled value shown per parameter; NaN until the first tick shows it.
    std::array<float, 10> lastShown;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorrelAudioProcessorEditor)
};
