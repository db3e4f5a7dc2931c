#include "TonalithAudioProcessorEditor.h"

#include "PanelPainter.h"
#include "TonalithAudioProcessor.h"

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
    : veltrane::PanelEditor (p),
      processor (p)
{
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
    setColourKnob (color);
    addKnob (outlevel, "outlevelslider", P::outgainParam, -20.0, 20.0, 1.0, { 432, 6, 36, 36 }, 1.0, Follow::meter);
    addKnob (inlevel, "inlevelslider", P::ingainParam, -20.0, 20.0, 1.0, { 390, 6, 36, 36 }, 1.0, Follow::meter);

    addSwitch (just, "just", P::justParam, { 6, 168, 72, 18 });
    addSwitch (fftout, "fftout", P::outputModeParam, { 84, 168, 72, 18 });
    addSwitch (sieve, "sieve", P::sieveParam, { 396, 168, 72, 18 });

    for (int k = 0; k < numKeys; ++k)
    {
        auto& key = keys[(size_t) k];
        const auto name = keyName (k);
        key.setName (name);
        key.setComponentID (name);
        key.setButtonText (k % 12 == 0 ? "c1" : "new toggle button");
        listenTo (key);
        addAndMakeVisible (key);
    }

    setSize (editorWidth, editorHeight);
    installPanel ({ juce::Colour::fromHSV (0.666f, 1.0f, 0.0f, 1.0f), juce::Colour (0xffffffffu),
                    juce::Colour (0xff000000u), juce::Colour (0xff808080u), juce::Colour (0xffdfcfbeu) });
}

void TonalithAudioProcessorEditor::layoutExtras()
{
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

void TonalithAudioProcessorEditor::buttonPressed (juce::Button& button)
{
    for (int k = 0; k < numKeys; ++k)
        if (&button == &keys[(size_t) k])
        {
            if (button.getToggleState())
                processor.noteOn (lowestKeyNote + k);
            else
                processor.noteOff (lowestKeyNote + k);
        }
}

void TonalithAudioProcessorEditor::switchShown (Switch& s, bool on)
{
    // The look and feel labels a switch with its name.
    if (&s == &just)
        just.button.setName (on ? "just" : "12tet");
    else if (&s == &fftout)
        fftout.button.setName (on ? "sinebankout" : "fftout");
    else if (&s == &sieve)
        harmonics.slider.setAlpha (on ? 1.0f : 0.5f);
}

void TonalithAudioProcessorEditor::tick()
{
    lookAndFeel.setPitchText (processor.getParameterText (P::pitchshiftParam));
    pitch.slider.repaint();
    if (processor.notesChanged().exchange (0, std::memory_order_relaxed) != 0 || ! keysShown)
    {
        keysShown = true;
        for (int k = 0; k < numKeys; ++k)
            keys[(size_t) k].setToggleState (processor.noteSlotForDisplay (lowestKeyNote + k) != -1,
                                             juce::dontSendNotification);
        repaint (keyRow.getIntersection (getLocalBounds()));
    }
}
