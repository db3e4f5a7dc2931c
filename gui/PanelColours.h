#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace veltrane
{
/** The three colours an editor derives from its "color" parameter; the text (1202) and
    accent (1204) colours never follow it. */
struct PanelColours
{
    juce::Colour main; // 1200
    juce::Colour face; // 1201
    juce::Colour hub;  // 1203
};

/** Colours for "color" value c (0..1). At c = 0 they are the construction colours every
    editor starts with: black main, white face, mid-grey hub. */
PanelColours panelColoursFor (float c);

/** Sets the three derived colours on the editor and on its look and feel. */
void applyPanelColours (juce::Component& editor, juce::LookAndFeel& lookAndFeel, const PanelColours& colours);

/** Sets one colour on the editor and on its look and feel under the same identifier. */
void setPanelColour (juce::Component& editor, juce::LookAndFeel& lookAndFeel, int colourId, juce::Colour colour);
} // namespace veltrane
