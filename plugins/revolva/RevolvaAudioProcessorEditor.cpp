#include "RevolvaAudioProcessorEditor.h"

#include "RevolvaAudioProcessor.h"

RevolvaAudioProcessorEditor::RevolvaAudioProcessorEditor (RevolvaAudioProcessor& p)
    : juce::GenericAudioProcessorEditor (p)
{
}
