#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class RevolvaAudioProcessor;

/** revolva's window. */
class RevolvaAudioProcessorEditor : public juce::GenericAudioProcessorEditor
{
public:
    explicit RevolvaAudioProcessorEditor (RevolvaAudioProcessor& p);
};
