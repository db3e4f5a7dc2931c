#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The suite's look and feel, installed by every editor: vector-drawn knobs, switches
    and horizontal sliders, chosen by component size and name. Nothing is cached as an
    image, so the drawing stays sharp at any display scale. */
class vel01LAF : public juce::LookAndFeel_V2
{
public:
    /** Colour identifiers every editor sets on itself and on its look and feel. */
    enum ColourIds
    {
        mainColourId = 1200,  // knob bodies, pills, title and status bands
        faceColourId = 1201,  // knob faces, background, text on "on" toggles
        textColourId = 1202,  // value and label text
        hubColourId = 1203,   // knob hubs, "on" pills, status bar rim
        accentColourId = 1204 // narrow toggles, title highlight
    };

    /** Which drawing a knob of a given width and name gets. */
    enum class KnobForm
    {
        tiny,  // width < 30
        mix,   // "mixslider", width >= 30
        small, // width 30..47, with the level meters on the level knobs
        large  // width >= 48
    };

    vel01LAF();

    /** Linear peak levels, 1 = full scale, shown on "inlevelslider" and "outlevelslider". */
    void setVuLevels (float inLeft, float inRight, float outLeft, float outRight);
    /** Text printed on the knob named "pitchslider". */
    void setPitchText (const juce::String& text) { pitchText = text; }

    /** The colour under id, opaque black when it was never set. */
    juce::Colour colour (int id) const;
    /** Colour following a proportional position p (0..1) of a knob or slider. */
    static juce::Colour valueColour (float p);
    /** Pointer angle (radians, 0 = twelve o'clock, clockwise) for proportional position p. */
    float pointerAngle (float p) const { return (1.5f * p - 0.75f) * pi; }
    static KnobForm knobForm (float width, const juce::String& name);

    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&, bool isMouseOver, bool isButtonDown) override;
    void drawLinearSliderThumb (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                                juce::Slider&) override;
    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                     float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                                     juce::Slider&) override;
    /** Any font asking for the panel family gets the panel typeface (or its stand-in). */
    juce::Typeface::Ptr getTypefaceForFont (const juce::Font&) override;

    juce::String pitchText;
    const float pi;
    float levels[4] {}; // input left, input right, output left, output right; linear, 1 = full scale

private:
    void drawTinyKnob (juce::Graphics&, float x, float y, float w, float h, float p);
    void drawMixKnob (juce::Graphics&, float x, float y, float w, float h, float p, double v);
    void drawSmallKnob (juce::Graphics&, float x, float y, float w, float h, float p, double v,
                        const juce::String& name);
    void drawLargeKnob (juce::Graphics&, float x, float y, float w, float p, double v, const juce::String& name);
    void fillLevelWedge (juce::Graphics&, float cx, float cy, float radius, float level, bool left);
    void drawPillSwitch (juce::Graphics&, juce::ToggleButton&, int w, int h, bool on);
    void drawNarrowBox (juce::Graphics&, int w, int h, bool on);
};
