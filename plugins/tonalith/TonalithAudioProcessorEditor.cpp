#include "TonalithAudioProcessorEditor.h"

#include "TonalithAudioProcessor.h"

TonalithAudioProcessorEditor::TonalithAudioProcessorEditor (TonalithAudioProcessor& p)
    : juce::GenericAudioProcessorEditor (p)
{
}
