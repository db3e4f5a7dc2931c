#include "DurafoldAudioProcessorEditor.h"

#include "DurafoldAudioProcessor.h"

DurafoldAudioProcessorEditor::DurafoldAudioProcessorEditor (DurafoldAudioProcessor& p)
    : juce::GenericAudioProcessorEditor (p)
{
}
