#include "PanelColours.h"

#include "vel01LAF.h"

namespace veltrane
{
PanelColours panelColoursFor (float c)
{
    // Hue offsets walk three times round the colour wheel as c goes 0..1; the folds keep
    // the hue inside 0..1 (and land exactly on the start hue at c = 1).
    float x = 0.333f + 3.0f * c;
    if (x > 3.0f)
        x = 3.0f * c - 2.667f;
    if (x > 2.0f)
        x -= 2.0f;
    if (x > 1.0f)
        x -= 1.0f;

    float y = 0.666f + 3.0f * c;
    if (y > 3.0f)
        y = 3.0f * c - 2.334f;
    if (y > 2.0f)
        y -= 2.0f;
    if (y > 1.0f)
        y -= 1.0f;

    PanelColours colours;
    colours.hub = juce::Colour::fromHSV (c, c * 0.5f, 0.5f, 1.0f);
    colours.face = juce::Colour::fromHSV (x, c * 0.5f, 1.0f, 1.0f);
    colours.main = juce::Colour::fromHSV (y, 1.0f, c * 0.5f, 1.0f);
    return colours;
}

void setPanelColour (juce::Component& editor, juce::LookAndFeel& lookAndFeel, int colourId, juce::Colour colour)
{
    editor.setColour (colourId, colour);
    lookAndFeel.setColour (colourId, colour);
}

void applyPanelColours (juce::Component& editor, juce::LookAndFeel& lookAndFeel, const PanelColours& colours)
{
    setPanelColour (editor, lookAndFeel, vel01LAF::hubColourId, colours.hub);
    setPanelColour (editor, lookAndFeel, vel01LAF::faceColourId, colours.face);
    setPanelColour (editor, lookAndFeel, vel01LAF::mainColourId, colours.main);
}
} // namespace veltrane
