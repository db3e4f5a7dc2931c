#include "QuorrelAudioProcessorEditor.h"

#include "QuorrelAudioProcessor.h"

QuorrelAudioProcessorEditor::QuorrelAudioProcessorEditor (QuorrelAudioProcessor& p)
    : juce::GenericAudioProcessorEditor (p)
{
}
