#pragma once

#include "PanelEditor.h"

#include <array>

class TonalithAudioProcessor;

/** tonalith's window: six large knobs for the shift, gate, bands and harmonics, level
    knobs with meters, a tiny colour knob, the "just"/"12tet", "fftout"/"sinebankout" and
    "sieve" switches, and a row of 37 note keys (MIDI notes 36..72) for the sieve. It
    follows the processor on a 50 ms timer and writes user gestures back with
    setScaledParameter; keys go to the processor's note queue. */
class TonalithAudioProcessorEditor : public veltrane::PanelEditor
{
public:
    explicit TonalithAudioProcessorEditor (TonalithAudioProcessor& p);

    void paint (juce::Graphics& g) override;
    void resized() override;
    void sliderValueChanged (juce::Slider* slider) override;
    void buttonClicked (juce::Button* button) override;
    void timerCallback() override;

    static constexpr int editorWidth = 474, editorHeight = 214; // pixels
    static constexpr int numKeys = 37;
    static constexpr int lowestKeyNote = 36; // MIDI note of the first key

    /** Component name of key k (0..36): pitch class and register digit, "c1but".."c4but". */
    static juce::String keyName (int k);
    static bool isSharpKey (int k);

private:
    /** Shows a changed parameter on a knob without notification; true when it was new. */
    bool follow (Knob& knob);
    /** Reads a switch parameter; true (with on = value >= 0.5) when it differs from the
        last value shown, which is unset before the first tick. */
    bool switchChanged (int parameter, bool& on);

    TonalithAudioProcessor& processor;

    Knob partialgate, pitch, cents, octave, bands, harmonics, color, outlevel, inlevel;
    juce::ToggleButton just, fftout, sieve;
    std::array<juce::ToggleButton, numKeys> keys;

    // Last value shown per parameter (scaled for knobs, normalized for switches and the
    // colour); NaN until the first tick loads every control.
    std::array<float, 12> lastShown;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TonalithAudioProcessorEditor)
};
