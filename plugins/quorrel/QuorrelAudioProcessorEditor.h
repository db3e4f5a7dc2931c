#pragma once

#include "PanelEditor.h"

class QuorrelAudioProcessor;

/** quorrel's window: five large knobs for the spectral controls, input and output level
    knobs with their meters, the scramble and phase-reset switches and a tiny knob that
    recolours the window. */
class QuorrelAudioProcessorEditor : public veltrane::PanelEditor
{
public:
    explicit QuorrelAudioProcessorEditor (QuorrelAudioProcessor& p);

    void paint (juce::Graphics& g) override;

    static constexpr int editorWidth = 474, editorHeight = 198; // pixels

private:
    Knob bands, bandshift, phaseshift, phasenull, phasenoise, color, outlevel, inlevel;
    Switch scramble, phasereset;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorrelAudioProcessorEditor)
};
