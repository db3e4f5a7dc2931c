#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class TonalithAudioProcessor;

/** tonalith's window. */
class TonalithAudioProcessorEditor : public juce::GenericAudioProcessorEditor
{
public:
    explicit TonalithAudioProcessorEditor (TonalithAudioProcessor& p);
};
