#pragma once

#include "vel01LAF.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>

class QuorrelAudioProcessor;

/** quorrel's window: five large knobs for the spectral controls, input and output level
    knobs with their meters, the scramble and phase-reset switches and a tiny knob that
    recolours the window. It follows the parameters on a 50 ms timer and writes user
    gestures back with setScaledParameter. */
class QuorrelAudioProcessorEditor : public juce::AudioProcessorEditor,
                                    public juce::Timer,
                                    public juce::Slider::Listener,
                                    public juce::Button::Listener
{
public:
    explicit QuorrelAudioProcessorEditor (QuorrelAudioProcessor& p);
    ~QuorrelAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void sliderValueChanged (juce::Slider* slider) override;
    void buttonClicked (juce::Button* button) override;
    void timerCallback() override;

    static constexpr int editorWidth = 474, editorHeight = 198; // pixels
    static constexpr int timerIntervalMs = 50;

    vel01LAF& getLookAndFeelInstance() noexcept { return lookAndFeel; }

private:
    /** A knob and the parameter it shows. */
    struct Knob
    {
        juce::Slider slider;
        int parameter = 0;
    };

    void addKnob (Knob& knob, const char* name, int parameter, double min, double max, double step,
                  juce::Rectangle<int> bounds);
    void addSwitch (juce::ToggleButton& button, const char* name, juce::Rectangle<int> bounds);
    /** Shows a changed parameter on a knob; true when the value was new. */
    bool follow (Knob& knob, juce::NotificationType notification);
    void recolour (float c);

    QuorrelAudioProcessor& processor;
    vel01LAF lookAndFeel; // declared first: the controls go before it

    Knob bands, bandshift, phaseshift, phasenull, phasenoise, color, outlevel, inlevel;
    juce::ToggleButton scramble, phasereset;

    // Last scaled value shown per parameter; NaN until the first tick shows it.
    std::array<float, 10> lastShown;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorrelAudioProcessorEditor)
};
