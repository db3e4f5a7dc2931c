#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <initializer_list>

namespace veltrane
{
/** Shapes every editor of the suite paints on its panel, each with its own numbers.
    Colours come from the editor's colour identifiers 1200..1204 (see vel01LAF). All
    coordinates are in pixels of the editor. */
namespace panel
{
/** Fills the panel white, then with the face colour (1201). */
void paintBackground (juce::Graphics& g, const juce::Component& editor);

/** Where the title bar's rounded right end sits. */
struct TitleBarShape
{
    int rightX;    // left edge of the 36-pixel circle closing the outer band
    int bandWidth; // width of the bands' rectangles, starting at x = 24
    int capX;      // left edge of the 24-pixel circle closing the inner dark band
};

/** The title bar: a dark outer band, a face-coloured rim, a dark inner band and the
    accent highlight under the brand word. */
void paintTitleBar (juce::Graphics& g, const juce::Component& editor, TitleBarShape shape);

/** The title text (face colour) with the brand word over it in the text colour,
    offset by 2 and 1 pixels. */
void paintTitle (juce::Graphics& g, const juce::Component& editor, const juce::String& title, bool ellipsis = true);

struct Label
{
    const char* text;
    juce::Rectangle<int> area;
};

/** Knob labels in the text colour, centred, with ellipsis. */
void paintLabels (juce::Graphics& g, const juce::Component& editor, float fontHeight,
                  std::initializer_list<Label> labels);

/** Where the status bar sits: two rounded bands from leftX to rightX + 18. */
struct StatusBarShape
{
    int leftX;     // left edge of the left 18-pixel circle
    int rightX;    // left edge of the right 18-pixel circle
    int y;         // top edge
    int bandWidth; // width of the rectangles, starting at leftX + 9
};

/** The status bar: hub-coloured rim around a dark band. */
void paintStatusBar (juce::Graphics& g, const juce::Component& editor, StatusBarShape shape);
/** A message in the status bar's band, in the accent colour, cut with an ellipsis. */
void paintStatusText (juce::Graphics& g, const juce::Component& editor, StatusBarShape shape, const juce::String& text);

/** The filled circle whose bounding square has its corner at (x, y). */
void fillCircle (juce::Graphics& g, float x, float y, float diameter);
} // namespace panel
} // namespace veltrane
