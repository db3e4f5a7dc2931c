#include "RevolvaAudioProcessorEditor.h"

#include "PanelPainter.h"
#include "RevolvaAudioProcessor.h"

#include <cmath>

using revolva::WaveSelector;

namespace
{
using P = RevolvaAudioProcessor;
const juce::Colour halfBlack (0x7f000000u);

/** Equal, or both not a number: a restored NaN is not a change on every tick. */
bool same (float a, float b) noexcept { return a == b || (a != a && b != b); }

juce::Rectangle<int> rowBounds (int x, int y0, int layer, int w, int h) { return { x, y0 + 60 * layer, w, h }; }

const veltrane::panel::StatusBarShape statusBar { 118, 450, 390, 332 };
} // namespace

// Its controls carry no component IDs and keep the text box size they always had.
RevolvaAudioProcessorEditor::RevolvaAudioProcessorEditor (RevolvaAudioProcessor& p)
    : veltrane::PanelEditor (p, { false, 80, 20 }),
      processor (p)
{
    // In the order the panel has always created them.
    addKnob (color, "color slider", P::colorParam, 0.0, 1.0, 0.0, { 6, 390, 18, 18 });
    setColourKnob (color);
    addKnob (outlevel, "outlevelslider", P::outgainParam, -20.0, 20.0, 1.0, { 432, 6, 36, 36 }, 1.0, Follow::meter);
    addKnob (inlevel, "inlevelslider", P::ingainParam, -20.0, 20.0, 1.0, { 390, 6, 36, 36 }, 1.0, Follow::meter);
    addSwitch (bpmlock, "bpmlock", P::bpmlockParam, { 396, 330, 72, 18 });
    for (int l = 0; l < numLayers; ++l)
    {
        addKnob (pitch[(size_t) l], "new slider", P::pitch1Param + l, -36.0, 36.0, 1.0, rowBounds (60, 54, l, 54, 54));
        addKnob (level[(size_t) l], "new slider", P::gain1Param + l, -60.0, 0.0, 0.0, rowBounds (414, 54, l, 54, 54));
        addSwitch (file[(size_t) l], "file", P::file1Param + l, rowBounds (6, 90, l, 51, 18));
    }
    addKnob (stretch, "stretchslider", P::stretchParam, 1.0, 128.0, 0.0, { 6, 300, 72, 72 }, 0.3);
    addKnob (attack, "attackslider", P::attackParam, 0.01, 5.0, 0.0, { 84, 300, 72, 72 }, 0.3);
    addKnob (release, "releaseslider", P::releaseParam, 0.01, 5.0, 0.0, { 162, 300, 72, 72 }, 0.3);
    addKnob (bands, "bandsslider", P::bandsParam, 8.0, 8192.0, 0.0, { 240, 300, 72, 72 }, 0.3);
    addKnob (bpm, "bpmslider", P::bpmParam, 30.0, 480.0, 0.0, { 318, 300, 72, 72 }, 0.3);
    for (auto* k : { &stretch, &attack, &release, &bands, &bpm })
        k->slider.setColour (juce::Slider::rotarySliderFillColourId, halfBlack);
    addSwitch (layerMode, "layer", P::layerParam, { 396, 354, 72, 18 });
    for (int l = 0; l < numLayers; ++l)
    {
        addSwitch (play[(size_t) l], "play", P::play1Param + l, rowBounds (9, 66, l, 21, 21));
        addSwitch (record[(size_t) l], "record", P::record1Param + l, rowBounds (33, 66, l, 21, 21));
    }
    for (int l = 0; l < numLayers; ++l)
    {
        auto& s = selectors[(size_t) l];
        s = std::make_unique<WaveSelector> (processor, P::start1Param + l, P::end1Param + l, P::filepos1Param + l);
        s->setName ("new component");
        s->setBounds (rowBounds (120, 48, l, WaveSelector::width, WaveSelector::height));
        addAndMakeVisible (*s);
        // The file switches are seen as they stand: opening the window neither clears nor
        // loads a layer.
        auto& f = file[(size_t) l];
        f.followed = false;
        f.shown = processor.getParameter (P::file1Param + l);
        f.button.setToggleState (f.shown >= 0.5f, juce::dontSendNotification);
    }

    setSize (editorWidth, editorHeight);
    installPanel ({ juce::Colour::fromHSV (0.666f, 1.0f, 0.0f, 1.0f), juce::Colour (0xffffffffu),
                    juce::Colour (0xff000000u), juce::Colour (0xff808080u), juce::Colour (0xff55b4b0u) });
}

RevolvaAudioProcessorEditor::~RevolvaAudioProcessorEditor()
{
    stopTimer();
    alive.reset(); // an answer that arrives from now on is dropped
    chooser.reset();
}

void RevolvaAudioProcessorEditor::layoutExtras()
{
    // Fixed layout; the window does not resize.
    for (int l = 0; l < numLayers; ++l)
        if (selectors[(size_t) l] != nullptr)
            selectors[(size_t) l]->setBounds (rowBounds (120, 48, l, WaveSelector::width, WaveSelector::height));
}

void RevolvaAudioProcessorEditor::paint (juce::Graphics& g)
{
    namespace panel = veltrane::panel;
    panel::paintBackground (g, *this);
    panel::paintTitleBar (g, *this, { 256, 250, 262 });
    panel::paintTitle (g, *this, "veltrane   ++revolva");
    panel::paintLabels (g, *this, 16.0f, { { "pitch", { 60, 288, 54, 15 } }, { "gain", { 414, 288, 54, 15 } } });
    panel::paintLabels (g, *this, 18.0f,
                        { { "stretch", { 6, 372, 72, 15 } },
                          { "attack", { 84, 372, 72, 15 } },
                          { "release", { 162, 372, 72, 15 } },
                          { "bands", { 240, 372, 72, 15 } },
                          { "bpm", { 318, 372, 72, 15 } } });
    panel::paintStatusBar (g, *this, statusBar);
    panel::paintStatusText (g, *this, statusBar, status);
}

void RevolvaAudioProcessorEditor::switchShown (Switch& s, bool split)
{
    // The look and feel labels a switch with its name, which is also its text.
    if (&s != &layerMode)
        return;
    layerMode.button.setName (split ? "split" : "layer");
    layerMode.button.setButtonText (layerMode.button.getName());
}

void RevolvaAudioProcessorEditor::followFileSwitch (int layer)
{
    auto& f = file[(size_t) layer];
    const float p = processor.getParameter (f.parameter);
    if (same (p, f.shown))
        return;
    if (p >= 0.5f)
    {
        // A restored state's file is already being loaded: nothing to ask.
        if (processor.isLayerFileOpen (layer))
        {
            f.shown = p;
            f.button.setToggleState (true, juce::dontSendNotification);
            f.button.repaint();
            return;
        }
        // One request at a time; another layer's switch is taken up once it is answered.
        if (isFileRequestOpen())
            return;
        f.shown = p;
        f.button.setToggleState (true, juce::dontSendNotification);
        loadSoundFile (layer);
    }
    else
    {
        f.shown = p;
        processor.closeFile (layer);
        f.button.setToggleState (false, juce::dontSendNotification);
    }
    f.button.repaint();
}

void RevolvaAudioProcessorEditor::followSelector (int layer)
{
    auto& selector = *selectors[(size_t) layer];
    auto& source = processor.layers[layer];
    if (source.waveDirty.load (std::memory_order_relaxed) != 0)
    {
        source.waveDirty.store (0, std::memory_order_relaxed);
        for (int i = 0; i < WaveSelector::numBins; ++i)
            selector.overview[(size_t) i] = source.peaks[(size_t) i].load (std::memory_order_relaxed);
        selector.repaint();
    }
    const float start = processor.getParameter (P::start1Param + layer);
    if (! same (start, selector.startMarker))
    {
        selector.startMarker = start;
        selector.repaint();
    }
    const float end = processor.getParameter (P::end1Param + layer);
    if (! same (end, selector.endMarker))
    {
        selector.endMarker = end;
        selector.repaint();
    }
}

void RevolvaAudioProcessorEditor::showFileProblem()
{
    const int count = processor.fileProblemCount();
    if (count == statusCount)
        return;
    statusCount = count;
    status = processor.fileProblem();
    repaint();
}

void RevolvaAudioProcessorEditor::tick()
{
    showFileProblem();
    for (int l = 0; l < numLayers; ++l)
        followFileSwitch (l);
    for (int l = 0; l < numLayers; ++l)
        followSelector (l);
}

void RevolvaAudioProcessorEditor::setFileRequest (FileRequest request) { fileRequest = std::move (request); }

void RevolvaAudioProcessorEditor::loadSoundFile (int layer)
{
    requestLayer = layer;
    std::weak_ptr<bool> editorAlive = alive;
    auto answer = [this, layer, editorAlive] (const juce::File& chosen) {
        if (! editorAlive.expired())
            soundFileChosen (layer, chosen);
    };
    if (fileRequest)
    {
        fileRequest (layer, answer);
        return;
    }
    // The desktop's own dialog where there is one, otherwise the framework's file browser;
    // either way the message thread keeps running while it is open.
    chooser = std::make_unique<juce::FileChooser> (
        "Please select the sound you want to load...", juce::File::getSpecialLocation (juce::File::userHomeDirectory),
        "*.wav;*.WAV;*.wave;*.aiff;*.aif;*.aifc;*.au;*.snd;*.flac;*.ogg;*.oga;"
        "*.opus;*.mp3;*.w64;*.caf",
        juce::FileChooser::isPlatformDialogAvailable());
    chooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                          [answer] (const juce::FileChooser& fc) { answer (fc.getResult()); });
}

int RevolvaAudioProcessorEditor::soundFileChosen (int layer, const juce::File& chosen)
{
    if (layer < 0 || layer >= numLayers)
        return -1;
    if (requestLayer == layer)
        requestLayer = -1;
    // Cancelled, or the switch was turned off while the request was open: nothing changes.
    if (chosen == juce::File() || ! (processor.getParameter (P::file1Param + layer) >= 0.5f))
        return 0;
    auto& button = file[(size_t) layer].button;
    const int result = processor.loadSoundFile (layer, chosen.getFullPathName());
    if (result == 0)
        button.setToggleState (true, juce::dontSendNotification);
    else
    {
        processor.reportFileProblem (chosen.getFullPathName(), ! chosen.existsAsFile());
        showFileProblem();
        // The next tick sees the switch fall and clears the layer.
        setAsGesture (P::file1Param + layer, 0.0f);
        button.setToggleState (false, juce::dontSendNotification);
    }
    button.repaint();
    return result;
}
