#include "PanelPainter.h"

#include "PanelFont.h"
#include "vel01LAF.h"

namespace veltrane::panel
{
namespace
{
juce::Colour colourOf (const juce::Component& editor, int id)
{
    // An identifier the editor never set draws black, as on the look and feel.
    return editor.isColourSpecified (id) || editor.getLookAndFeel().isColourSpecified (id) ? editor.findColour (id)
                                                                                           : juce::Colours::black;
}
} // namespace

void fillCircle (juce::Graphics& g, float x, float y, float diameter) { g.fillEllipse (x, y, diameter, diameter); }

void paintBackground (juce::Graphics& g, const juce::Component& editor)
{
    g.fillAll (juce::Colours::white);
    g.fillAll (colourOf (editor, vel01LAF::faceColourId));
}

void paintTitleBar (juce::Graphics& g, const juce::Component& editor, TitleBarShape s)
{
    const auto main = colourOf (editor, vel01LAF::mainColourId);
    const auto face = colourOf (editor, vel01LAF::faceColourId);
    const auto accent = colourOf (editor, vel01LAF::accentColourId);
    const auto rx = (float) s.rightX;
    const auto bw = s.bandWidth;

    g.setColour (main);
    fillCircle (g, 6.0f, 6.0f, 36.0f);
    fillCircle (g, rx, 6.0f, 36.0f);
    g.fillRect (24, 6, bw, 36);

    g.setColour (face);
    fillCircle (g, 9.0f, 9.0f, 30.0f);
    fillCircle (g, rx + 3.0f, 9.0f, 30.0f);
    g.fillRect (24, 9, bw, 30);

    g.setColour (main);
    fillCircle (g, (float) s.capX, 12.0f, 24.0f);
    g.fillRect (24, 12, bw, 24);

    g.setColour (accent);
    fillCircle (g, 12.0f, 12.0f, 24.0f);
    fillCircle (g, 120.0f, 12.0f, 24.0f);
    g.fillRect (24, 12, 108, 24);
}

void paintTitle (juce::Graphics& g, const juce::Component& editor, const juce::String& title, bool ellipsis)
{
    g.setFont (panelFont (30.0f));
    g.setColour (colourOf (editor, vel01LAF::faceColourId));
    g.drawText (juce::translate (title), juce::Rectangle<int> (22, 9, 386, 30), juce::Justification::centredLeft,
                ellipsis);
    g.setColour (colourOf (editor, vel01LAF::textColourId));
    g.drawText (juce::translate ("veltrane"), juce::Rectangle<int> (24, 10, 186, 30), juce::Justification::centredLeft,
                ellipsis);
}

void paintLabels (juce::Graphics& g, const juce::Component& editor, float fontHeight,
                  std::initializer_list<Label> labels)
{
    g.setFont (panelFont (fontHeight));
    g.setColour (colourOf (editor, vel01LAF::textColourId));
    for (const auto& label : labels)
        g.drawText (juce::translate (label.text), label.area, juce::Justification::centred, true);
}

void paintStatusBar (juce::Graphics& g, const juce::Component& editor, StatusBarShape s)
{
    const auto lx = (float) s.leftX, rx = (float) s.rightX, y = (float) s.y;

    g.setColour (colourOf (editor, vel01LAF::hubColourId));
    fillCircle (g, lx, y, 18.0f);
    fillCircle (g, rx, y, 18.0f);
    g.fillRect (s.leftX + 9, s.y, s.bandWidth, 18);

    g.setColour (colourOf (editor, vel01LAF::mainColourId));
    fillCircle (g, lx + 3.0f, y + 3.0f, 12.0f);
    fillCircle (g, rx + 3.0f, y + 3.0f, 12.0f);
    g.fillRect (s.leftX + 9, s.y + 3, s.bandWidth, 12);
}
void paintStatusText (juce::Graphics& g, const juce::Component& editor, StatusBarShape s, const juce::String& text)
{
    if (text.isEmpty())
        return;
    g.setFont (panelFont (12.0f));
    g.setColour (colourOf (editor, vel01LAF::accentColourId));
    g.drawText (text, juce::Rectangle<int> (s.leftX + 12, s.y + 3, s.bandWidth - 6, 12),
                juce::Justification::centredLeft, true);
}
} // namespace veltrane::panel
