#include "QuorrelAudioProcessorEditor.h"

#include "PanelPainter.h"
#include "QuorrelAudioProcessor.h"

namespace
{
using P = QuorrelAudioProcessor;
const juce::Colour halfBlack (0x7f000000u);
} // namespace

QuorrelAudioProcessorEditor::QuorrelAudioProcessorEditor (QuorrelAudioProcessor& p)
    : veltrane::PanelEditor (p)
{
    addKnob (bands, "bandsslider", P::bandsParam, 8.0, 8192.0, 0.0, { 6, 48, 84, 84 }, 0.3);
    addKnob (bandshift, "bandshiftslider", P::bandshiftParam, -50.0, 50.0, 1.0, { 100, 48, 84, 84 });
    addKnob (phaseshift, "phaseshiftslider", P::phaseshiftParam, -3.14, 3.14, 0.0, { 195, 48, 84, 84 });
    addKnob (phasenull, "phasenullslider", P::phasenullParam, 0.0, 100.0, 0.0, { 289, 48, 84, 84 });
    addKnob (phasenoise, "phasenoiseslider", P::phasenoiseParam, 0.0, 100.0, 0.0, { 384, 48, 84, 84 });
    for (auto* k : { &bands, &bandshift, &phaseshift, &phasenull, &phasenoise })
        k->slider.setColour (juce::Slider::rotarySliderFillColourId, halfBlack);
    addKnob (color, "color slider", P::colorParam, 0.0, 1.0, 0.0, { 6, 174, 18, 18 });
    setColourKnob (color);
    // A host change of a gain comes back through the level knob's own listener.
    addKnob (outlevel, "outlevelslider", P::outgainParam, -20.0, 20.0, 1.0, { 432, 6, 36, 36 }, 1.0,
             Follow::meterWithEcho);
    addKnob (inlevel, "inlevelslider", P::ingainParam, -20.0, 20.0, 1.0, { 390, 6, 36, 36 }, 1.0,
             Follow::meterWithEcho);
    // "phasereset" falls back by itself once the processor has reset the phases.
    addSwitch (scramble, "scramble", P::scrambleParam, { 6, 150, 96, 18 });
    addSwitch (phasereset, "phasereset", P::phaseresetParam, { 112, 150, 96, 18 });

    setSize (editorWidth, editorHeight);
    installPanel ({ juce::Colour::fromHSV (0.666f, 1.0f, 0.0f, 1.0f), juce::Colour::fromHSV (0.333f, 0.0f, 1.0f, 1.0f),
                    juce::Colour::fromRGB (0, 0, 0), juce::Colour::fromHSV (0.0f, 0.0f, 0.5f, 1.0f),
                    juce::Colour::fromRGB (220, 200, 102) });
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
