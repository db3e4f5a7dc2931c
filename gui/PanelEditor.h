#pragma once

#include "vel01LAF.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace veltrane
{
/** What every Veltrane window has in common: it owns the panel look and feel, starts with
    five construction colours, follows its processor on a 50 ms timer, and makes its knobs
    and switches the same way. A window derives from it, adds its controls, sets its size
    and then calls installPanel. */
class PanelEditor : public juce::AudioProcessorEditor,
                    public juce::Timer,
                    public juce::Slider::Listener,
                    public juce::Button::Listener
{
public:
    ~PanelEditor() override;

    static constexpr int timerIntervalMs = 50;

    vel01LAF& getLookAndFeelInstance() noexcept { return lookAndFeel; }

protected:
    /** How controls are made: whether they carry their name as component ID, and the text box
        size stored with the (hidden) knob text box, in pixels. */
    struct ControlStyle
    {
        bool componentIds = true;
        int textBoxWidth = 0, textBoxHeight = 0;
    };

    /** The five colours a window starts with, before its "color" parameter is shown. */
    struct ConstructionColours
    {
        juce::Colour main, face, text, hub, accent;
    };

    /** A knob and the parameter it shows; bounds in pixels. */
    struct Knob
    {
        juce::Slider slider;
        int parameter = 0;
        juce::Rectangle<int> bounds;
    };

    explicit PanelEditor (juce::AudioProcessor& p);
    PanelEditor (juce::AudioProcessor& p, ControlStyle style);

    /** A rotary knob dragged either way, without text box, listened to by this editor. */
    void addKnob (Knob& knob, const char* name, int parameter, double min, double max, double step,
                  juce::Rectangle<int> bounds, double skew = 1.0);
    /** A pill switch labelled with its name, listened to by this editor. */
    void addSwitch (juce::ToggleButton& button, const char* name, juce::Rectangle<int> bounds);

    /** Installs the look and feel, sets the construction colours on the editor and on it,
        and starts the follow timer. Call once, after the controls and setSize. */
    void installPanel (const ConstructionColours& colours);

    /** Shows a scaled value on a knob when it differs from last (updated then); a value that
        is not finite (a restored state can hold one) leaves the knob as it was. True when
        the value was shown. */
    static bool showOnKnob (Knob& knob, float value, float& last,
                            juce::NotificationType notification = juce::dontSendNotification);

    /** Recolours the window for "color" value c (0..1). */
    void recolour (float c);

    vel01LAF lookAndFeel; // a base member: every derived control goes before it

private:
    ControlStyle style;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PanelEditor)
};
} // namespace veltrane
