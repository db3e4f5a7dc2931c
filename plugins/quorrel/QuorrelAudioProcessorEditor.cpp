#include "QuorrelAudioProcessorEditor.h"

#include "PanelPainter.h"
#include "QuorrelAudioProcessor.h"

#include <limits>

namespace
{
using P = QuorrelAudioProcessor;
const juce::Colour halfBlack (0x7f000000u);
} // namespace

QuorrelAudioProcessorEditor::QuorrelAudioProcessorEditor (QuorrelAudioProcessor& p)
    : veltrane::PanelEditor (p), processor (p)
{
    lastShown.fill (std::numeric_limits<float>::quiet_NaN());

    addKnob (bands, "bandsslider", P::bandsParam, 8.0, 8192.0, 0.0, { 6, 48, 84, 84 }, 0.3);
    addKnob (bandshift, "bandshiftslider", P::bandshiftParam, -50.0, 50.0, 1.0, { 100, 48, 84, 84 });
    addKnob (phaseshift, "phaseshiftslider", P::phaseshiftParam, -3.14, 3.14, 0.0, { 195, 48, 84, 84 });
    addKnob (phasenull, "phasenullslider", P::phasenullParam, 0.0, 100.0, 0.0, { 289, 48, 84, 84 });
    addKnob (phasenoise, "phasenoiseslider", P::phasenoiseParam, 0.0, 100.0, 0.0, { 384, 48, 84, 84 });
    for (auto* k : { &bands, &bandshift, &phaseshift, &phasenull, &phasenoise })
        k->slider.setColour (juce::Slider::rotarySliderFillColourId, halfBlack);
    addKnob (color, "color slider", P::colorParam, 0.0, 1.0, 0.0, { 6, 174, 18, 18 });
    addKnob (outlevel, "outlevelslider", P::outgainParam, -20.0, 20.0, 1.0, { 432, 6, 36, 36 });
    addKnob (inlevel, "inlevelslider", P::ingainParam, -20.0, 20.0, 1.0, { 390, 6, 36, 36 });
    addSwitch (scramble, "scramble", { 6, 150, 96, 18 });
    addSwitch (phasereset, "phasereset", { 112, 150, 96, 18 });

    setSize (editorWidth, editorHeight);
    installPanel ({ juce::Colour::fromHSV (0.666f, 1.0f, 0.0f, 1.0f), juce::Colour::fromHSV (0.333f, 0.0f, 1.0f, 1.0f),
                    juce::Colour::fromRGB (0, 0, 0), juce::Colour::fromHSV (0.0f, 0.0f, 0.5f, 1.0f),
                    juce::Colour::fromRGB (220, 200, 102) });
}

void QuorrelAudioProcessorEditor::resized()
{
    bands.slider.setBounds (6, 48, 84, 84);
    bandshift.slider.setBounds (100, 48, 84, 84);
    phaseshift.slider.setBounds (195, 48, 84, 84);
    phasenull.slider.setBounds (289, 48, 84, 84);
    phasenoise.slider.setBounds (384, 48, 84, 84);
    color.slider.setBounds (6, 174, 18, 18);
    outlevel.slider.setBounds (432, 6, 36, 36);
    inlevel.slider.setBounds (390, 6, 36, 36);
    scramble.setBounds (6, 150, 96, 18);
    phasereset.setBounds (112, 150, 96, 18);
}

void QuorrelAudioProcessorEditor::paint (juce::Graphics& g)
{
    namespace panel = veltrane::panel;
    panel::paintBackground (g, *this);
    panel::paintTitleBar (g, *this, { 272, 266, 278 });
    panel::paintTitle (g, *this, "veltrane   +quorrel");
    panel::paintLabels (g, *this, 18.0f,
                        { { "bands", { 6, 132, 84, 15 } },
                          { "bandshift", { 100, 132, 84, 15 } },
                          { "phaseshift", { 195, 132, 84, 15 } },
                          { "phasenull", { 289, 132, 84, 15 } },
                          { "phasenoise", { 384, 132, 84, 15 } } });
    panel::paintStatusBar (g, *this, { 106, 450, 174, 344 });
}

void QuorrelAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    for (auto* k : { &bands, &bandshift, &phaseshift, &phasenull, &phasenoise, &color, &outlevel, &inlevel })
        if (slider == &k->slider)
            processor.setScaledParameter (k->parameter, (float) slider->getValue());
}

void QuorrelAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    const float value = button->getToggleState() ? 1.0f : 0.0f;
    if (button == &scramble)
        processor.setScaledParameter (P::scrambleParam, value);
    else if (button == &phasereset)
        processor.setScaledParameter (P::phaseresetParam, value);
}

bool QuorrelAudioProcessorEditor::follow (Knob& knob, juce::NotificationType notification)
{
    return showOnKnob (knob, processor.getScaledParameter (knob.parameter), lastShown[(size_t) knob.parameter],
                       notification);
}

void QuorrelAudioProcessorEditor::timerCallback()
{
    lookAndFeel.setVuLevels (processor.inputPeak[0].load (std::memory_order_relaxed),
                             processor.inputPeak[1].load (std::memory_order_relaxed),
                             processor.outputPeak[0].load (std::memory_order_relaxed),
                             processor.outputPeak[1].load (std::memory_order_relaxed));

    for (auto* k : { &bands, &bandshift, &phaseshift, &phasenull, &phasenoise })
        follow (*k, juce::dontSendNotification);

    if (follow (color, juce::dontSendNotification))
        recolour (lastShown[P::colorParam]);

    // A host change of a gain comes back through sliderValueChanged; the level knobs
    // repaint on every tick so their meters move.
    for (auto* k : { &outlevel, &inlevel })
    {
        follow (*k, juce::sendNotificationAsync);
        k->slider.repaint();
    }

    const float scrambleValue = processor.getScaledParameter (P::scrambleParam);
    if (! (scrambleValue == lastShown[P::scrambleParam]))
    {
        lastShown[P::scrambleParam] = scrambleValue;
        scramble.setToggleState (scrambleValue >= 0.5f, juce::dontSendNotification);
        scramble.repaint();
    }

    // Every tick, so the switch falls back to off once the processor ends a reset.
    phasereset.setToggleState (processor.getScaledParameter (P::phaseresetParam) >= 0.5f,
                               juce::dontSendNotification);
    phasereset.repaint();
}
