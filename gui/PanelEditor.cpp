#include "PanelEditor.h"

#include "PanelColours.h"

#include <cmath>

namespace veltrane
{
PanelEditor::PanelEditor (juce::AudioProcessor& p) : PanelEditor (p, ControlStyle {}) {}

PanelEditor::PanelEditor (juce::AudioProcessor& p, ControlStyle s) : juce::AudioProcessorEditor (p), style (s) {}

PanelEditor::~PanelEditor()
{
    stopTimer();
    // The derived window's controls are gone by now; the editor itself must let go of the
    // look and feel before it is destroyed.
    setLookAndFeel (nullptr);
}

void PanelEditor::addKnob (Knob& knob, const char* name, int parameter, double min, double max, double step,
                           juce::Rectangle<int> bounds, double skew)
{
    auto& s = knob.slider;
    knob.parameter = parameter;
    knob.bounds = bounds;
    s.setName (name);
    if (style.componentIds)
        s.setComponentID (name);
    s.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    s.setTextBoxStyle (juce::Slider::NoTextBox, true, style.textBoxWidth, style.textBoxHeight);
    s.setRange (min, max, step);
    s.setSkewFactor (skew);
    s.setBounds (bounds);
    s.addListener (this);
    addAndMakeVisible (s);
}

void PanelEditor::addSwitch (juce::ToggleButton& button, const char* name, juce::Rectangle<int> bounds)
{
    button.setName (name);
    if (style.componentIds)
        button.setComponentID (name);
    button.setButtonText (name);
    button.setBounds (bounds);
    button.addListener (this);
    addAndMakeVisible (button);
}

void PanelEditor::installPanel (const ConstructionColours& colours)
{
    setLookAndFeel (&lookAndFeel);
    setPanelColour (*this, lookAndFeel, vel01LAF::mainColourId, colours.main);
    setPanelColour (*this, lookAndFeel, vel01LAF::faceColourId, colours.face);
    setPanelColour (*this, lookAndFeel, vel01LAF::textColourId, colours.text);
    setPanelColour (*this, lookAndFeel, vel01LAF::hubColourId, colours.hub);
    setPanelColour (*this, lookAndFeel, vel01LAF::accentColourId, colours.accent);
    repaint();
    startTimer (timerIntervalMs);
}

bool PanelEditor::showOnKnob (Knob& knob, float value, float& last, juce::NotificationType notification)
{
    if (value == last || ! std::isfinite (value))
        return false;
    last = value;
    knob.slider.setValue (value, notification);
    return true;
}

void PanelEditor::recolour (float c)
{
    applyPanelColours (*this, lookAndFeel, panelColoursFor (c));
    repaint();
}
} // namespace veltrane
