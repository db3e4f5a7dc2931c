#pragma once

#include "PanelEditor.h"

class DurafoldAudioProcessor;

/** durafold's window: six large knobs for the stretch, the voices and the two renderers,
    the mix knob, input and output level knobs with their meters, the "granular"/"pvoc"
    and "tempolock" switches and a tiny knob that recolours the window. */
class DurafoldAudioProcessorEditor : public veltrane::PanelEditor
{
public:
    explicit DurafoldAudioProcessorEditor (DurafoldAudioProcessor& p);

    void paint (juce::Graphics& g) override;

    static constexpr int editorWidth = 474, editorHeight = 186; // pixels

private:
    /** The mode switch names the renderer in use and dims the other one's knobs. */
    void switchShown (Switch& s, bool on) override;

    Knob stretch, rate, voices, bands, grainsize, shimmer, color, outlevel, inlevel, mix;
    Switch mode, tempolock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DurafoldAudioProcessorEditor)
};
