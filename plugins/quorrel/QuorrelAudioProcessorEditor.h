#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class QuorrelAudioProcessor;

/** quorrel's window. */
class QuorrelAudioProcessorEditor : public juce::GenericAudioProcessorEditor
{
public:
    explicit QuorrelAudioProcessorEditor (QuorrelAudioProcessor& p);
};
