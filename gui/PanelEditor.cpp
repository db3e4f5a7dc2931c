#include "PanelEditor.h"

#include "PanelColours.h"

#include <cmath>

namespace veltrane
{
PanelEditor::PanelEditor (VeltraneProcessor& p)
    : PanelEditor (p, ControlStyle {})
{
}

PanelEditor::PanelEditor (VeltraneProcessor& p, ControlStyle s)
    : juce::AudioProcessorEditor (p),
      panelProcessor (p),
      style (s)
{
}

PanelEditor::~PanelEditor()
{
    stopTimer();
    // The derived window's controls are gone by now; the editor itself must let go of the
    // look and feel before it is destroyed.
    setLookAndFeel (nullptr);
}

void PanelEditor::addKnob (Knob& knob, const char* name, int parameter, double min, double max, double step,
                           juce::Rectangle<int> bounds, double skew, Follow follow)
{
    auto& s = knob.slider;
    knob.parameter = parameter;
    knob.bounds = bounds;
    knob.follow = follow;
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
    knobs.push_back (&knob);
}

void PanelEditor::addSwitch (Switch& sw, const char* name, int parameter, juce::Rectangle<int> bounds)
{
    auto& b = sw.button;
    sw.parameter = parameter;
    sw.bounds = bounds;
    b.setName (name);
    if (style.componentIds)
        b.setComponentID (name);
    b.setButtonText (name);
    b.setBounds (bounds);
    b.addListener (this);
    addAndMakeVisible (b);
    switches.push_back (&sw);
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

void PanelEditor::recolour (float c)
{
    applyPanelColours (*this, lookAndFeel, panelColoursFor (c));
    repaint();
}

void PanelEditor::resized()
{
    for (auto* k : knobs)
        k->slider.setBounds (k->bounds);
    for (auto* s : switches)
        s->button.setBounds (s->bounds);
    layoutExtras();
}

std::vector<int> PanelEditor::knobParameters() const
{
    std::vector<int> indexes;
    for (auto* k : knobs)
        indexes.push_back (k->parameter);
    return indexes;
}

void PanelEditor::setAsGesture (int parameter, float normalized)
{
    if (auto* p = panelProcessor.getParameterObject (parameter))
    {
        p->beginChangeGesture();
        p->setValueNotifyingHost (normalized);
        p->endChangeGesture();
    }
}

PanelEditor::Knob* PanelEditor::knobOf (const juce::Slider* slider) const noexcept
{
    for (auto* k : knobs)
        if (&k->slider == slider)
            return k;
    return nullptr;
}

void PanelEditor::sliderValueChanged (juce::Slider* slider)
{
    if (auto* k = knobOf (slider))
        panelProcessor.setScaledParameter (k->parameter, (float) slider->getValue());
}

void PanelEditor::sliderDragStarted (juce::Slider* slider)
{
    if (auto* k = knobOf (slider))
        if (auto* p = panelProcessor.getParameterObject (k->parameter))
            p->beginChangeGesture();
}

void PanelEditor::sliderDragEnded (juce::Slider* slider)
{
    if (auto* k = knobOf (slider))
        if (auto* p = panelProcessor.getParameterObject (k->parameter))
            p->endChangeGesture();
}

void PanelEditor::buttonClicked (juce::Button* button)
{
    for (auto* s : switches)
        if (&s->button == button)
        {
            setAsGesture (s->parameter,
                          panelProcessor.normalizedFromScaled (s->parameter, button->getToggleState() ? 1.0f : 0.0f));
            return;
        }
    buttonPressed (*button);
}

void PanelEditor::followKnob (Knob& knob)
{
    const float value = panelProcessor.getScaledParameter (knob.parameter);
    const bool finite = std::isfinite (value);
    const bool changed = finite && value != knob.shown;
    switch (knob.follow)
    {
        case Follow::onChange:
            if (changed)
                knob.slider.setValue (value, juce::dontSendNotification);
            break;
        case Follow::meter:
            if (finite)
                knob.slider.setValue (value, juce::dontSendNotification);
            knob.slider.repaint();
            break;
        case Follow::meterWithEcho:
            if (changed)
                knob.slider.setValue (value, juce::sendNotificationAsync);
            knob.slider.repaint();
            break;
    }
    if (! changed)
        return;
    knob.shown = value;
    if (&knob == colourKnob)
        recolour (value);
}

void PanelEditor::followSwitch (Switch& s)
{
    const float value = panelProcessor.getParameter (s.parameter);
    if (value == s.shown || (std::isnan (value) && std::isnan (s.shown)))
        return;
    s.shown = value;
    const bool on = value >= 0.5f;
    s.button.setToggleState (on, juce::dontSendNotification);
    switchShown (s, on);
    s.button.repaint();
}

void PanelEditor::timerCallback()
{
    const auto levels = panelProcessor.meterLevels();
    lookAndFeel.setVuLevels (levels.inputLeft, levels.inputRight, levels.outputLeft, levels.outputRight);
    for (auto* k : knobs)
        followKnob (*k);
    for (auto* s : switches)
        if (s->followed)
            followSwitch (*s);
    tick();
}
} // namespace veltrane
