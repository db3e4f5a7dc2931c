#include "vel01LAF.h"

#include "KnobValueText.h"
#include "PanelFont.h"

#include <cmath>

namespace
{
/** A pie wedge: from the start point (the circle's centre, possibly rounded) along the
    arc from angle a to b around (cx, cy), closed back to the start. */
juce::Path wedge (float startX, float startY, float cx, float cy, float radius, float a, float b)
{
    juce::Path path;
    path.startNewSubPath (startX, startY);
    path.addCentredArc (cx, cy, radius, radius, 0.0f, a, b, false);
    path.closeSubPath();
    return path;
}

void fillCircle (juce::Graphics& g, float x, float y, float diameter) { g.fillEllipse (x, y, diameter, diameter); }

/** Filled circle of the given diameter centred on the circle of radius r at angle a. */
void fillDotOnCircle (juce::Graphics& g, float cx, float cy, float r, float a, float diameter)
{
    const float px = cx + r * std::sin (a), py = cy - r * std::cos (a);
    fillCircle (g, px - 0.5f * diameter, py - 0.5f * diameter, diameter);
}

const juce::Colour translucentWhite (0x80ffffffu);

/** The value truncated to a whole number, as decimal text; safe for any double. */
juce::String truncatedText (double v)
{
    if (! (std::fabs (v) < 2147483647.0))
        return juce::String (v, 0);
    return juce::String ((int) v);
}
} // namespace

vel01LAF::vel01LAF()
    : pi (4.0f * std::atan (1.0f))
{
}

void vel01LAF::setVuLevels (float inLeft, float inRight, float outLeft, float outRight)
{
    levels[0] = inLeft;
    levels[1] = inRight;
    levels[2] = outLeft;
    levels[3] = outRight;
}

juce::Colour vel01LAF::colour (int id) const { return isColourSpecified (id) ? findColour (id) : juce::Colours::black; }

juce::Colour vel01LAF::valueColour (float p) { return juce::Colour::fromHSV (0.6f * p + 0.05f, 0.3f, 0.8f, 1.0f); }

vel01LAF::KnobForm vel01LAF::knobForm (float width, const juce::String& name)
{
    if (width < 30.0f)
        return KnobForm::tiny;
    if (name.equalsIgnoreCase ("mixslider"))
        return KnobForm::mix;
    if (width < 48.0f)
        return KnobForm::small;
    return KnobForm::large;
}

juce::Typeface::Ptr vel01LAF::getTypefaceForFont (const juce::Font& font)
{
    if (font.getTypefaceName() == veltrane::panelTypefaceName && ! veltrane::systemHasPanelTypeface())
        return veltrane::panelTypeface();
    return LookAndFeel_V2::getTypefaceForFont (font);
}

//==============================================================================
void vel01LAF::drawRotarySlider (juce::Graphics& g, int xi, int yi, int width, int height, float sliderPos, float,
                                 float, juce::Slider& slider)
{
    const float x = (float) xi, y = (float) yi, w = (float) width, h = (float) height;
    const double v = slider.getValue();
    const auto& name = slider.getName();
    if (! std::isfinite (sliderPos)) // never hand NaN coordinates to the rasteriser
        sliderPos = 0.0f;

    switch (knobForm (w, name))
    {
        case KnobForm::tiny:
            drawTinyKnob (g, x, y, w, h, sliderPos);
            break;
        case KnobForm::mix:
            drawMixKnob (g, x, y, w, h, sliderPos, v);
            break;
        case KnobForm::small:
            drawSmallKnob (g, x, y, w, h, sliderPos, v, name);
            break;
        case KnobForm::large:
            drawLargeKnob (g, x, y, w, sliderPos, v, name);
            break;
    }
}

void vel01LAF::drawTinyKnob (juce::Graphics& g, float x, float y, float w, float h, float p)
{
    g.setColour (colour (mainColourId));
    g.fillEllipse (x, y, w, h);
    g.setColour (valueColour (p));
    fillCircle (g, x + w / 6.0f, y + w / 6.0f, 2.0f * w / 3.0f);
}

void vel01LAF::drawMixKnob (juce::Graphics& g, float x, float y, float w, float h, float p, double v)
{
    drawTinyKnob (g, x, y, w, h, p);

    // The part of the inner disc above the level line: the value colour fills it like
    // liquid from the bottom up to height p.
    const float alpha = std::acos (juce::jlimit (-1.0f, 1.0f, 2.0f * p - 1.0f));
    juce::Path empty;
    empty.startNewSubPath (x + w / 2.0f, y + w / 6.0f + (2.0f * w / 3.0f) * (1.0f - p));
    empty.addCentredArc (x + w / 2.0f, y + w / 2.0f, w / 3.0f, w / 3.0f, 0.0f, -alpha, alpha, false);
    empty.closeSubPath();
    g.setColour (colour (faceColourId));
    g.fillPath (empty);

    g.setColour (colour (mainColourId));
    g.setFont (veltrane::panelFont (w / 2.0f));
    const int side = (int) (2.0f * w / 3.0f);
    g.drawText (truncatedText (v), juce::Rectangle<int> ((int) (x + w / 6.0f), (int) (y + w / 6.0f), side, side),
                juce::Justification::centred, false);
}

void vel01LAF::fillLevelWedge (juce::Graphics& g, float cx, float cy, float radius, float level, bool left)
{
    float l = level > 0.0f ? level : 0.0f; // NaN and negative levels draw nothing
    if (l > 1.0f)
    {
        g.setColour (juce::Colour (0xffff0000u));
        l = 1.0f;
    }
    else
    {
        g.setColour (juce::Colour (0xff008000u));
    }
    if (l <= 0.0f)
        return;
    // Both halves rise from the bottom (angle +-pi) towards twelve o'clock.
    const float from = left ? -pi : pi;
    const float to = left ? l * pi - pi : pi - l * pi;
    g.fillPath (wedge (cx, cy, cx, cy, radius, from, to));
}

void vel01LAF::drawSmallKnob (juce::Graphics& g, float x, float y, float w, float h, float p, double v,
                              const juce::String& name)
{
    g.setColour (colour (mainColourId));
    g.fillEllipse (x, y, w, h);

    float left = 0.0f, right = 0.0f;
    if (name.equalsIgnoreCase ("inlevelslider"))
    {
        left = levels[0];
        right = levels[1];
    }
    else if (name.equalsIgnoreCase ("outlevelslider"))
    {
        left = levels[2];
        right = levels[3];
    }
    const float cx = x + w / 2.0f, cy = y + w / 2.0f, r = 5.0f * w / 12.0f;
    fillLevelWedge (g, cx, cy, r, left, true);
    fillLevelWedge (g, cx, cy, r, right, false);

    g.setColour (colour (mainColourId));
    fillCircle (g, x + w / 3.0f, y + w / 3.0f, w / 3.0f);

    // The number itself is the pointer.
    const float theta = pointerAngle (p);
    const int side = (int) (0.3334f * w);
    const int left0 = (int) (x + 0.5f * w + (w / 4.0f) * std::sin (theta) - 0.1667f * w);
    const int top0 = (int) (y + 0.5f * w - (w / 4.0f) * std::cos (theta) - 0.1667f * w);
    g.setColour (translucentWhite);
    g.setFont (veltrane::panelFont (w / 4.0f));
    g.drawText (truncatedText (v), juce::Rectangle<int> (left0, top0, side, side), juce::Justification::centred, false);
}

void vel01LAF::drawLargeKnob (juce::Graphics& g, float x, float y, float w, float p, double v, const juce::String& name)
{
    const float theta = pointerAngle (p);
    const float cx = x + w / 2.0f, cy = y + w / 2.0f;

    // Body: a disc with a 72-degree notch centred on the pointer.
    g.setColour (colour (mainColourId));
    g.fillPath (wedge (x + (float) (int) (w / 2.0f), y + (float) (int) (w / 2.0f), cx, cy, w / 2.0f, theta + 0.2f * pi,
                       theta + 1.8f * pi));

    g.setColour (colour (faceColourId));
    fillCircle (g, x + w / 6.0f, y + w / 6.0f, 2.0f * w / 3.0f);

    const float dotRadius = 5.0f * w / 12.0f;
    g.setColour (colour (mainColourId));
    fillDotOnCircle (g, cx, cy, dotRadius, theta + 0.2f * pi, w / 6.0f);
    fillDotOnCircle (g, cx, cy, dotRadius, theta + 1.8f * pi, w / 6.0f);
    fillDotOnCircle (g, cx, cy, dotRadius, theta, w / 6.0f);

    g.setColour (valueColour (p));
    fillDotOnCircle (g, cx, cy, dotRadius, theta, w / 9.0f);

    g.setColour (colour (hubColourId));
    fillCircle (g, x + w / 4.0f, y + w / 4.0f, w / 2.0f);

    // A light halo under the text keeps it readable on any hub colour.
    const auto text = veltrane::knobValueText (name, v, pitchText);
    g.setFont (veltrane::panelFont (5.0f * w / 12.0f));
    const int xi = (int) x, yi = (int) y, wi = (int) w;
    g.setColour (translucentWhite);
    for (auto [dx, dy] : { std::pair { -1, -1 }, std::pair { -1, 1 }, std::pair { 1, -1 }, std::pair { 1, 1 } })
        g.drawText (text, juce::Rectangle<int> (xi + dx, yi + dy, wi, wi), juce::Justification::centred, true);
    g.setColour (colour (textColourId));
    g.drawText (text, juce::Rectangle<int> (xi, yi, wi, wi), juce::Justification::centred, true);
}

//==============================================================================
void vel01LAF::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button, bool, bool)
{
    const int w = button.getWidth(), h = button.getHeight();
    const bool on = button.getToggleState();
    const auto& name = button.getName();

    if (w < 18)
    {
        drawNarrowBox (g, w, h, on);
        return;
    }

    const bool play = name.equalsIgnoreCase ("play");
    if (play || name.equalsIgnoreCase ("record"))
    {
        g.setColour (juce::Colour (play ? 0xff006400u : 0xff8b0000u));
        g.fillEllipse (0.0f, 0.0f, (float) h, (float) h);
        g.setColour (on ? juce::Colour (play ? 0xff00ff00u : 0xffff0000u) : colour (faceColourId));
        g.setFont (veltrane::panelFont (18.0f));
        g.drawText (play ? "p" : "r", juce::Rectangle<int> (0, 0, h, h), juce::Justification::centred, false);
        return;
    }

    drawPillSwitch (g, button, w, h, on);
}

void vel01LAF::drawPillSwitch (juce::Graphics& g, juce::ToggleButton& button, int w, int h, bool on)
{
    const int half = h / 2, sixth = h / 6, twoThirds = 2 * h / 3;

    g.setColour (colour (mainColourId));
    g.fillEllipse (0.0f, 0.0f, (float) h, (float) h);
    g.fillEllipse ((float) (w - h), 0.0f, (float) h, (float) h);
    g.fillRect (half, 0, w - h, h);

    g.setColour (colour (on ? hubColourId : faceColourId));
    g.fillEllipse ((float) sixth, (float) sixth, (float) twoThirds, (float) twoThirds);
    g.fillEllipse ((float) (w - 5 * h / 6), (float) sixth, (float) twoThirds, (float) twoThirds);
    g.fillRect (half, sixth, w - h, twoThirds);

    g.setColour (colour (on ? faceColourId : textColourId));
    g.setFont (veltrane::panelFont (16.0f));
    g.drawText (button.getName(), juce::Rectangle<int> (half, sixth, w - h, twoThirds), juce::Justification::centred,
                true);
}

void vel01LAF::drawNarrowBox (juce::Graphics& g, int wi, int hi, bool on)
{
    const bool accentFill = hi == 24;
    const auto fill = colour (accentFill ? accentColourId : mainColourId);
    const auto frame = colour (accentFill ? mainColourId : accentColourId);
    const float w = (float) wi, h = (float) hi;

    auto box = [&] (juce::Rectangle<float> r) {
        g.setColour (fill);
        g.fillRect (r);
        g.setColour (frame);
        g.drawRect (r, 0.5f);
    };

    if (! on)
    {
        box ({ 0.0f, 0.0f, w, h });
        return;
    }
    box ({ 0.0f, 0.0f, 0.33333f * w, h });
    box ({ 0.66667f * w, 0.0f, 0.33333f * w, h });
}

//==============================================================================
void vel01LAF::drawLinearSliderThumb (juce::Graphics& g, int xi, int yi, int wi, int hi, float sliderPos, float, float,
                                      juce::Slider::SliderStyle, juce::Slider& slider)
{
    const float x = (float) xi, y = (float) yi, w = (float) wi, h = (float) hi;
    if (! std::isfinite (sliderPos))
        sliderPos = x;
    const float t = sliderPos - x;
    const float q = t / w;
    double v = slider.getValue();
    if (slider.getName() == "averaging")
        v = std::exp2 (std::trunc (std::log2 (v)));

    g.setColour (colour (mainColourId));
    g.fillRect (0, (int) (y + 5.0f * h / 6.0f), wi + hi, (int) (h / 6.0f));

    g.setColour (colour (faceColourId));
    g.fillRect ((int) t, yi, hi, hi);

    g.setColour (colour (mainColourId));
    g.fillEllipse (t, y, h, h);

    g.setColour (valueColour (q));
    const float inset = (float) (int) (h / 6.0f);
    g.fillEllipse (t + inset, y + inset, 2.0f * h / 3.0f, 2.0f * h / 3.0f);

    // Two copies, the second one pixel up and left, read as embossed text.
    const auto valueText = juce::String (v, 2);
    g.setFont (veltrane::panelFont (h));
    g.setColour (colour (faceColourId));
    g.drawText (slider.getName(), juce::Rectangle<int> (xi, yi, wi, hi), juce::Justification::topLeft, false);
    g.drawText (valueText, juce::Rectangle<int> (xi, yi, wi, hi), juce::Justification::topRight, false);
    g.setColour (colour (textColourId));
    g.drawText (slider.getName(), juce::Rectangle<int> (xi - 1, yi - 1, wi, hi), juce::Justification::topLeft, false);
    g.drawText (valueText, juce::Rectangle<int> (xi - 1, yi - 1, wi, hi), juce::Justification::topRight, false);
}

void vel01LAF::drawLinearSliderBackground (juce::Graphics&, int, int, int, int, float, float, float,
                                           juce::Slider::SliderStyle, juce::Slider&)
{
    // The thumb draws the whole slider, track included.
}
