#include "TonalithAudioProcessorEditor.h"

#include "PanelPainter.h"
#include "TonalithAudioProcessor.h"

#include <cmath>
#include <limits>

namespace
{
using P = TonalithAudioProcessor;
const juce::Colour halfBlack (0x7f000000u);
const char* const pitchClasses[] = { "c", "cs", "d", "ds", "e", "f", "fs", "g", "gs", "a", "as", "b" };
const juce::Rectangle<int> keyRow (15, 138, 444, 24);
} // namespace

juce::String TonalithAudioProcessorEditor::keyName (int k)
{
    return juce::String (pitchClasses[k % 12]) + juce::String (1 + k / 12) + "but";
}

bool TonalithAudioProcessorEditor::isSharpKey (int k)
{
    const int pc = k % 12;
    return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
}

TonalithAudioProcessorEditor::TonalithAudioProcessorEditor (TonalithAudioProcessor& p)
    : veltrane::PanelEditor (p), processor (p)
{
    lastShown.fill (std::numeric_limits<float>::quiet_NaN());

    addKnob (partialgate, "partialgateslider", P::thresholdParam, -120.0, 0.0, 0.0, { 240, 48, 72, 72 });
    addKnob (pitch, "pitchslider", P::pitchshiftParam, -12.0, 12.0, 1.0, { 6, 48, 72, 72 });
    addKnob (cents, "centsslider", P::centsParam, -100.0, 100.0, 1.0, { 84, 48, 72, 72 });
    addKnob (octave, "octaveslider", P::octaveParam, -3.0, 3.0, 1.0, { 162, 48, 72, 72 });
    addKnob (bands, "bandsslider", P::bandsParam, 8.0, 8192.0, 0.0, { 318, 48, 72, 72 }, 0.3);
    addKnob (harmonics, "harmonicsslider", P::harmonicsParam, -20.0, 20.0, 1.0, { 396, 48, 72, 72 });
    for (auto* k : { &partialgate, &pitch, &cents, &octave, &bands, &harmonics })
        k->slider.setColour (juce::Slider::rotarySliderFillColourId, halfBlack);
    harmonics.slider.setAlpha (0.5f);
    addKnob (color, "color slider", P::colorParam, 0.0, 1.0, 0.0, { 6, 190, 18, 18 });
    addKnob (outlevel, "outlevelslider", P::outgainParam, -20.0, 20.0, 1.0, { 432, 6, 36, 36 });
    addKnob (inlevel, "inlevelslider", P::ingainParam, -20.0, 20.0, 1.0, { 390, 6, 36, 36 });

    addSwitch (just, "just", { 6, 168, 72, 18 });
    addSwitch (fftout, "fftout", { 84, 168, 72, 18 });
    addSwitch (sieve, "sieve", { 396, 168, 72, 18 });

    for (int k = 0; k < numKeys; ++k)
    {
        auto& key = keys[(size_t) k];
        const auto name = keyName (k);
        key.setName (name);
        key.setComponentID (name);
        key.setButtonText (k % 12 == 0 ? "c1" : "new toggle button");
        key.addListener (this);
        addAndMakeVisible (key);
    }

    setSize (editorWidth, editorHeight);
    installPanel ({ juce::Colour::fromHSV (0.666f, 1.0f, 0.0f, 1.0f), juce::Colour (0xffffffffu),
                    juce::Colour (0xff000000u), juce::Colour (0xff808080u), juce::Colour (0xffdfcfbeu) });
    resized();
}

void TonalithAudioProcessorEditor::resized()
{
    for (auto* k : { &partialgate, &pitch, &cents, &octave, &bands, &harmonics, &color, &outlevel, &inlevel })
        k->slider.setBounds (k->bounds);
    just.setBounds (6, 168, 72, 18);
    fftout.setBounds (84, 168, 72, 18);
    sieve.setBounds (396, 168, 72, 18);
    for (int k = 0; k < numKeys; ++k)
        keys[(size_t) k].setBounds (keyRow.getX() + 12 * k, keyRow.getY(), 12, isSharpKey (k) ? 21 : 24);
}

void TonalithAudioProcessorEditor::paint (juce::Graphics& g)
{
    namespace panel = veltrane::panel;
    panel::paintBackground (g, *this);
    panel::paintTitleBar (g, *this, { 254, 248, 259 });
    panel::paintTitle (g, *this, "veltrane   ++tonalith");
    panel::paintLabels (g, *this, 18.0f,
                        { { "pitchshift", { 6, 120, 72, 15 } },
                          { "cents", { 84, 120, 72, 15 } },
                          { "octave", { 162, 120, 72, 15 } },
                          { "partialgate", { 240, 120, 72, 15 } },
                          { "bands", { 318, 120, 72, 15 } },
                          { "harmonics", { 396, 120, 72, 15 } } });
    panel::paintStatusBar (g, *this, { 94, 450, 190, 356 });
}

void TonalithAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    for (auto* k : { &partialgate, &pitch, &cents, &octave, &bands, &harmonics, &color, &outlevel, &inlevel })
        if (slider == &k->slider)
            processor.setScaledParameter (k->parameter, (float) slider->getValue());
}

void TonalithAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    const bool on = button->getToggleState();
    if (button == &just)
        processor.setScaledParameter (P::justParam, on ? 1.0f : 0.0f);
    else if (button == &fftout)
        processor.setScaledParameter (P::outputModeParam, on ? 1.0f : 0.0f);
    else if (button == &sieve)
        processor.setScaledParameter (P::sieveParam, on ? 1.0f : 0.0f);
    else
        for (int k = 0; k < numKeys; ++k)
            if (button == &keys[(size_t) k])
            {
                if (on)
                    processor.noteOn (lowestKeyNote + k);
                else
                    processor.noteOff (lowestKeyNote + k);
            }
}

bool TonalithAudioProcessorEditor::follow (Knob& knob)
{
    return showOnKnob (knob, processor.getScaledParameter (knob.parameter), lastShown[(size_t) knob.parameter]);
}

bool TonalithAudioProcessorEditor::switchChanged (int parameter, bool& on)
{
    const float v = processor.getParameter (parameter);
    auto& last = lastShown[(size_t) parameter];
    if (v == last)
        return false;
    last = v;
    on = v >= 0.5f;
    return true;
}

void TonalithAudioProcessorEditor::timerCallback()
{
    lookAndFeel.setVuLevels (processor.inputPeak[0].load (std::memory_order_relaxed),
                             processor.inputPeak[1].load (std::memory_order_relaxed),
                             processor.outputPeak[0].load (std::memory_order_relaxed),
                             processor.outputPeak[1].load (std::memory_order_relaxed));
    lookAndFeel.setPitchText (processor.getParameterText (P::pitchshiftParam));

    const bool firstTick = std::isnan (lastShown[P::pitchshiftParam]);
    for (auto* k : { &partialgate, &pitch, &cents, &octave, &bands, &harmonics })
        follow (*k);
    pitch.slider.repaint();

    const float c = processor.getParameter (P::colorParam);
    if (! (c == lastShown[P::colorParam]) && std::isfinite (c))
    {
        lastShown[P::colorParam] = c;
        color.slider.setValue (c, juce::dontSendNotification);
        recolour (c);
    }

    for (auto* k : { &outlevel, &inlevel })
    {
        const float s = processor.getScaledParameter (k->parameter);
        if (std::isfinite (s))
            k->slider.setValue (s, juce::dontSendNotification);
        k->slider.repaint();
    }

    bool on = false;
    if (switchChanged (P::justParam, on))
    {
        just.setName (on ? "just" : "12tet");
        just.setToggleState (on, juce::dontSendNotification);
        just.repaint();
    }
    if (switchChanged (P::outputModeParam, on))
    {
        fftout.setName (on ? "sinebankout" : "fftout");
        fftout.setToggleState (on, juce::dontSendNotification);
        fftout.repaint();
    }
    if (switchChanged (P::sieveParam, on))
    {
        sieve.setToggleState (on, juce::dontSendNotification);
        harmonics.slider.setAlpha (on ? 1.0f : 0.5f);
        sieve.repaint();
    }

    if (processor.notesChanged().exchange (0, std::memory_order_relaxed) != 0 || firstTick)
    {
        for (int k = 0; k < numKeys; ++k)
            keys[(size_t) k].setToggleState (processor.noteSlotForDisplay (lowestKeyNote + k) != -1,
                                             juce::dontSendNotification);
        repaint (keyRow.getIntersection (getLocalBounds()));
    }
}
