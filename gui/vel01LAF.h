#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The suite's look and feel, installed by every editor: vector-drawn knobs, switches
    and horizontal sliders, chosen by component size and name. */
class vel01LAF : public juce::LookAndFeel_V2
{
public:
    /** Colour identifiers every editor sets on itself and on its look and feel. */
    enum ColourIds
    {
        mainColourId = 1200,   // knob bodies, pills, title and status bands
        faceColourId = 1201,   // knob faces, background, text on "on" toggles
        textColourId = 1202,   // value and label text
        hubColourId = 1203,    // knob hubs, "on" pills, status bar rim
        accentColourId = 1204  // narrow toggles, title highlight
    };

    vel01LAF();

    /** Linear peak levels, 1 = full scale, shown on "inlevelslider" and "outlevelslider". */
    void setVuLevels (float inLeft, float inRight, float outLeft, float outRight);
    /** Text printed on the knob named "pitchslider". */
    void setPitchText (const juce::String& text) { pitchText = text; }

    juce::String pitchText;
    float levels[4] {}; // input left, input right, output left, output right
};
