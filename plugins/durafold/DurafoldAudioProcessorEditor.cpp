#include "DurafoldAudioProcessorEditor.h"

#include "DurafoldAudioProcessor.h"
#include "PanelPainter.h"

namespace
{
using P = DurafoldAudioProcessor;
constexpr float dimmed = 0.5f; // opacity of the knobs the current mode does not use
} // namespace

DurafoldAudioProcessorEditor::DurafoldAudioProcessorEditor (DurafoldAudioProcessor& p)
    : veltrane::PanelEditor (p)
{
    addKnob (stretch, "stretchslider", P::stretchParam, 1.0, 100.0, 0.0, { 6, 48, 72, 72 }, 0.25);
    addKnob (rate, "rateslider", P::rateParam, 0.25, 4.0, 0.0, { 84, 48, 72, 72 }, 0.25);
    addKnob (voices, "voicesslider", P::voicesParam, 2.0, 8.0, 1.0, { 162, 48, 72, 72 });
    addKnob (bands, "bandsslider", P::bandsParam, 8.0, 8192.0, 0.0, { 240, 48, 72, 72 }, 0.3);
    addKnob (grainsize, "grainsizeslider", P::grainsizeParam, 0.3, 3.16, 0.0, { 318, 48, 72, 72 }, 0.3);
    addKnob (shimmer, "shimmerslider", P::shimmerParam, 0.0, 100.0, 0.0, { 396, 48, 72, 72 });
    addKnob (color, "color slider", P::colorParam, 0.0, 1.0, 0.0, { 6, 162, 18, 18 });
    setColourKnob (color);
    addKnob (outlevel, "outlevelslider", P::outgainParam, -20.0, 20.0, 1.0, { 432, 6, 36, 36 }, 1.0, Follow::meter);
    addKnob (inlevel, "inlevelslider", P::ingainParam, -20.0, 20.0, 1.0, { 390, 6, 36, 36 }, 1.0, Follow::meter);
    addSwitch (mode, "granular", P::grainorpvocParam, { 6, 138, 96, 18 });
    addSwitch (tempolock, "tempolock", P::tempolockParam, { 108, 138, 96, 18 });
    addKnob (mix, "mixslider", P::wetdryParam, 0.0, 100.0, 0.0, { 342, 6, 36, 36 });

    setSize (editorWidth, editorHeight);
    installPanel ({ juce::Colours::black, juce::Colours::white, juce::Colours::black, juce::Colour (0xff808080u),
                    juce::Colour (0xffe15d44u) });
}

void DurafoldAudioProcessorEditor::paint (juce::Graphics& g)
{
    namespace panel = veltrane::panel;
    panel::paintBackground (g, *this);
    panel::paintTitleBar (g, *this, { 296, 290, 302 });
    panel::paintTitle (g, *this, "veltrane   ++durafold");
    panel::paintLabels (g, *this, 18.0f,
                        { { "stretch", { 6, 120, 72, 15 } },
                          { "rate", { 84, 120, 72, 15 } },
                          { "voices", { 162, 120, 72, 15 } },
                          { "pvocbands", { 240, 120, 72, 15 } },
                          { "grainsize", { 318, 120, 72, 15 } },
                          { "shimmer", { 396, 120, 72, 15 } } });
}

void DurafoldAudioProcessorEditor::switchShown (Switch& s, bool vocoder)
{
    if (&s != &mode)
        return;
    const char* name = vocoder ? "pvoc" : "granular";
    mode.button.setName (name);
    mode.button.setButtonText (name);
    bands.slider.setAlpha (vocoder ? 1.0f : dimmed);
    grainsize.slider.setAlpha (vocoder ? dimmed : 1.0f);
    shimmer.slider.setAlpha (vocoder ? dimmed : 1.0f);
}
