#pragma once

#include "VeltraneProcessor.h"
#include "vel01LAF.h"

#include <limits>
#include <vector>

namespace veltrane
{
/** What every Veltrane window has in common: it owns the panel look and feel, starts with
    five construction colours, and binds its knobs and switches to the processor's
    parameters in one place. A window declares each control once (name, parameter, range,
    bounds); the panel places it, writes user gestures back as host-notifying changes with
    begin and end around every drag and click (so hosts record touch automation), and on a
    50 ms timer shows what the host or the processing changed. Values that are not finite
    (a damaged restored state can hold one) leave a control where it is. */
class PanelEditor : public juce::AudioProcessorEditor,
                    public juce::Timer,
                    private juce::Slider::Listener,
                    private juce::Button::Listener
{
public:
    ~PanelEditor() override;

    static constexpr int timerIntervalMs = 50;

    vel01LAF& getLookAndFeelInstance() noexcept { return lookAndFeel; }

    /** Every declared control at its bounds, then the window's own components. */
    void resized() final;
    /** The parameters this window shows on knobs, in the order they were declared. */
    std::vector<int> knobParameters() const;
    /** The shared follow-up, then the window's own tick. */
    void timerCallback() final;

protected:
    /** How controls are made: whether they carry their name as component ID, and the text
        box size stored with the (hidden) knob text box, in pixels. */
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

    /** How a knob follows its parameter. */
    enum class Follow
    {
        onChange,     // shown when the value changed
        meter,        // a level knob: shown and repainted on every tick, so its meter moves
        meterWithEcho // the same, and a changed value comes back through the knob's listener
    };

    /** A knob and the parameter it shows (scaled value); bounds in pixels. */
    struct Knob
    {
        juce::Slider slider;
        int parameter = 0;
        juce::Rectangle<int> bounds;
        Follow follow = Follow::onChange;
        float shown = std::numeric_limits<float>::quiet_NaN(); // scaled value last shown
    };

    /** A pill switch and its parameter (above 0.5 is on). A switch that is not followed is
        left to the window's tick (revolva's file switches load and clear layers). */
    struct Switch
    {
        juce::ToggleButton button;
        int parameter = 0;
        juce::Rectangle<int> bounds;
        bool followed = true;
        float shown = std::numeric_limits<float>::quiet_NaN(); // normalized value last shown
    };

    explicit PanelEditor (VeltraneProcessor& processor);
    PanelEditor (VeltraneProcessor& processor, ControlStyle style);

    /** A rotary knob dragged either way, without text box. */
    void addKnob (Knob& knob, const char* name, int parameter, double min, double max, double step,
                  juce::Rectangle<int> bounds, double skew = 1.0, Follow follow = Follow::onChange);
    /** A pill switch labelled with its name. */
    void addSwitch (Switch& s, const char* name, int parameter, juce::Rectangle<int> bounds);
    /** The knob whose value recolours the window. */
    void setColourKnob (Knob& knob) noexcept { colourKnob = &knob; }
    /** Buttons of the window's own (not bound to a parameter) report to buttonPressed. */
    void listenTo (juce::Button& button) { button.addListener (this); }

    /** Installs the look and feel, sets the construction colours on the editor and on it,
        and starts the follow timer. Call once, after the controls and setSize. */
    void installPanel (const ConstructionColours& colours);
    /** Recolours the window for "color" value c (0..1). */
    void recolour (float c);
    /** Sets a normalized value as one user gesture, the host told. */
    void setAsGesture (int parameter, float normalized);

    // The window's own behaviour.
    /** A followed switch has just shown a new value. */
    virtual void switchShown (Switch&, bool /*on*/) {}
    /** Every tick, after the shared follow-up. */
    virtual void tick() {}
    /** A button registered with listenTo was clicked. */
    virtual void buttonPressed (juce::Button&) {}
    /** Places the window's own components, after the declared controls. */
    virtual void layoutExtras() {}

    VeltraneProcessor& panelProcessor;
    vel01LAF lookAndFeel; // a base member: every derived control goes before it

private:
    void sliderValueChanged (juce::Slider* slider) override;
    void sliderDragStarted (juce::Slider* slider) override;
    void sliderDragEnded (juce::Slider* slider) override;
    void buttonClicked (juce::Button* button) override;
    void followKnob (Knob& knob);
    void followSwitch (Switch& s);
    Knob* knobOf (const juce::Slider* slider) const noexcept;

    ControlStyle style;
    std::vector<Knob*> knobs;
    std::vector<Switch*> switches;
    Knob* colourKnob = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PanelEditor)
};
} // namespace veltrane
