#pragma once

#include "PanelEditor.h"

#include <array>

class TonalithAudioProcessor;

/** tonalith's window: six large knobs for the shift, gate, bands and harmonics, level
    knobs with meters, a tiny colour knob, the "just"/"12tet", "fftout"/"sinebankout" and
    "sieve" switches, and a row of 37 note keys (MIDI notes 36..72) for the sieve, which go
    to the processor's note queue. */
class TonalithAudioProcessorEditor : public veltrane::PanelEditor
{
public:
    explicit TonalithAudioProcessorEditor (TonalithAudioProcessor& p);

    void paint (juce::Graphics& g) override;

    static constexpr int editorWidth = 474, editorHeight = 214; // pixels
    static constexpr int numKeys = 37;
    static constexpr int lowestKeyNote = 36; // MIDI note of the first key

    /** Component name of key k (0..36): pitch class and register digit, "c1but".."c4but". */
    static juce::String keyName (int k);
    static bool isSharpKey (int k);

private:
    void switchShown (Switch& s, bool on) override;
    void tick() override;
    void buttonPressed (juce::Button& button) override;
    void layoutExtras() override;

    TonalithAudioProcessor& processor;

    Knob partialgate, pitch, cents, octave, bands, harmonics, color, outlevel, inlevel;
    Switch just, fftout, sieve;
    std::array<juce::ToggleButton, numKeys> keys;
    bool keysShown = false; // the keys show the held notes once from the first tick on

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TonalithAudioProcessorEditor)
};
