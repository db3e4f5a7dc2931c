#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class DurafoldAudioProcessor;

/** durafold's window. */
class DurafoldAudioProcessorEditor : public juce::GenericAudioProcessorEditor
{
public:
    explicit DurafoldAudioProcessorEditor (DurafoldAudioProcessor& p);
};
