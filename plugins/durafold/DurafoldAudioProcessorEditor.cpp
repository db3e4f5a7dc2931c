#include "DurafoldAudioProcessorEditor.h"

#include "DurafoldAudioProcessor.h"
#include "PanelPainter.h"

#include <limits>

namespace
{
using P = DurafoldAudioProcessor;
constexpr float dimmed = 0.5f; // opacity of the knobs the current mode does not use
} // namespace

DurafoldAudioProcessorEditor::DurafoldAudioProcessorEditor (DurafoldAudioProcessor& p)
    : veltrane::PanelEditor (p), processor (p)
{
    lastShown.fill (std::numeric_limits<float>::quiet_NaN());

    addKnob (stretch, "stretchslider", P::stretchParam, 1.0, 100.0, 0.0, { 6, 48, 72, 72 }, 0.25);
    addKnob (rate, "rateslider", P::rateParam, 0.25, 4.0, 0.0, { 84, 48, 72, 72 }, 0.25);
    addKnob (voices, "voicesslider", P::voicesParam, 2.0, 8.0, 1.0, { 162, 48, 72, 72 });
    addKnob (bands, "bandsslider", P::bandsParam, 8.0, 8192.0, 0.0, { 240, 48, 72, 72 }, 0.3);
    addKnob (grainsize, "grainsizeslider", P::grainsizeParam, 0.3, 3.16, 0.0, { 318, 48, 72, 72 }, 0.3);
    addKnob (shimmer, "shimmerslider", P::shimmerParam, 0.0, 100.0, 0.0, { 396, 48, 72, 72 });
    addKnob (color, "color slider", P::colorParam, 0.0, 1.0, 0.0, { 6, 162, 18, 18 });
    addKnob (outlevel, "outlevelslider", P::outgainParam, -20.0, 20.0, 1.0, { 432, 6, 36, 36 });
    addKnob (inlevel, "inlevelslider", P::ingainParam, -20.0, 20.0, 1.0, { 390, 6, 36, 36 });
    addSwitch (mode, "granular", { 6, 138, 96, 18 });
    addSwitch (tempolock, "tempolock", { 108, 138, 96, 18 });
    addKnob (mix, "mixslider", P::wetdryParam, 0.0, 100.0, 0.0, { 342, 6, 36, 36 });

    setSize (editorWidth, editorHeight);
    installPanel ({ juce::Colours::black, juce::Colours::white, juce::Colours::black, juce::Colour (0xff808080u),
                    juce::Colour (0xffe15d44u) });
}

void DurafoldAudioProcessorEditor::resized()
{
    for (auto* k : { &stretch, &rate, &voices, &bands, &grainsize, &shimmer, &color, &outlevel, &inlevel, &mix })
        k->slider.setBounds (k->bounds);
    mode.setBounds (6, 138, 96, 18);
    tempolock.setBounds (108, 138, 96, 18);
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

void DurafoldAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    for (auto* k : { &stretch, &rate, &voices, &bands, &grainsize, &shimmer, &color, &outlevel, &inlevel, &mix })
        if (slider == &k->slider)
            processor.setScaledParameter (k->parameter, (float) slider->getValue());
}

void DurafoldAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    const float value = button->getToggleState() ? 1.0f : 0.0f;
    if (button == &mode)
        processor.setScaledParameter (P::grainorpvocParam, value);
    else if (button == &tempolock)
        processor.setScaledParameter (P::tempolockParam, value);
}

bool DurafoldAudioProcessorEditor::follow (Knob& knob)
{
    // Values that are not finite (a damaged restored state) leave the knob where it is.
    return showOnKnob (knob, processor.getScaledParameter (knob.parameter), lastShown[(size_t) knob.parameter],
                       juce::dontSendNotification);
}

void DurafoldAudioProcessorEditor::showMode (float value)
{
    const bool vocoder = value >= 0.5f;
    const char* name = vocoder ? "pvoc" : "granular";
    mode.setName (name);
    mode.setButtonText (name);
    mode.setToggleState (vocoder, juce::dontSendNotification);
    bands.slider.setAlpha (vocoder ? 1.0f : dimmed);
    grainsize.slider.setAlpha (vocoder ? dimmed : 1.0f);
    shimmer.slider.setAlpha (vocoder ? dimmed : 1.0f);
    mode.repaint();
}

void DurafoldAudioProcessorEditor::timerCallback()
{
    lookAndFeel.setVuLevels (processor.meters[P::inputLeftMeter].load (std::memory_order_relaxed),
                             processor.meters[P::inputRightMeter].load (std::memory_order_relaxed),
                             processor.meters[P::outputLeftMeter].load (std::memory_order_relaxed),
                             processor.meters[P::outputRightMeter].load (std::memory_order_relaxed));

    for (auto* k : { &stretch, &rate, &voices, &bands, &grainsize, &shimmer })
        follow (*k);

    if (follow (color))
        recolour (lastShown[P::colorParam]);

    // Every tick: the level knobs carry the meters, which move while the gains stay put.
    for (auto* k : { &outlevel, &inlevel })
    {
        k->slider.setValue (processor.getScaledParameter (k->parameter), juce::dontSendNotification);
        k->slider.repaint();
    }
    follow (mix);

    const float modeValue = processor.getParameter (P::grainorpvocParam);
    if (! (modeValue == lastShown[P::grainorpvocParam]))
    {
        lastShown[P::grainorpvocParam] = modeValue;
        showMode (modeValue);
    }

    const float lockValue = processor.getParameter (P::tempolockParam);
    if (! (lockValue == lastShown[P::tempolockParam]))
    {
        lastShown[P::tempolockParam] = lockValue;
        tempolock.setToggleState (lockValue >= 0.5f, juce::dontSendNotification);
        tempolock.repaint();
    }
}
