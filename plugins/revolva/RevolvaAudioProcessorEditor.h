#pragma once

#include "PanelEditor.h"
#include "WaveSelector.h"

#include <array>
#include <functional>
#include <memory>

class RevolvaAudioProcessor;

/** revolva's window: per layer a row of play, record and file switches, a pitch knob, the
    layer's waveform selector and a level knob; below them the stretch, attack, release,
    bands and tempo knobs with the tempo-lock and MIDI-mode switches; level knobs with
    meters and a tiny colour knob. A 50 ms timer brings the controls in line with the
    parameters, copies changed layer pictures into the selectors, and loads or clears a
    layer when its file switch changes. */
class RevolvaAudioProcessorEditor : public veltrane::PanelEditor
{
public:
    static constexpr int numLayers = 4;
    static constexpr int editorWidth = 474, editorHeight = 414; // pixels

    explicit RevolvaAudioProcessorEditor (RevolvaAudioProcessor& p);
    ~RevolvaAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void sliderValueChanged (juce::Slider* slider) override;
    void buttonClicked (juce::Button* button) override;
    void timerCallback() override;

    /** Asks the user for a sound file for a layer (0..3) and calls answer exactly once,
        later, with the chosen file, or with juce::File() when the request was cancelled. */
    using FileRequest = std::function<void (int layer, std::function<void (const juce::File&)> answer)>;
    /** Replaces the file dialog, e.g. by an automatic answer in tests; an empty function
        restores the dialog. */
    void setFileRequest (FileRequest request);

    /** Opens the request for a layer's file; its answer goes to soundFileChosen. */
    void loadSoundFile (int layer);
    /** Takes the answer for a layer: loads a chosen file into the layer (0 when it was
        accepted, -1 when it cannot be opened or is refused) or does nothing for a cancelled
        request (0). A refused file turns the layer's file switch and parameter off. */
    int soundFileChosen (int layer, const juce::File& file);
    /** True while a file request waits for its answer. */
    bool isFileRequestOpen() const noexcept { return requestLayer >= 0; }

    juce::Slider& pitchKnob (int layer) { return pitch[(size_t) layer].slider; }
    juce::Slider& levelKnob (int layer) { return level[(size_t) layer].slider; }
    juce::ToggleButton& playSwitch (int layer) { return play[(size_t) layer]; }
    juce::ToggleButton& recordSwitch (int layer) { return record[(size_t) layer]; }
    juce::ToggleButton& fileSwitch (int layer) { return file[(size_t) layer]; }
    juce::ToggleButton& layerSwitch() { return layerMode; }
    WaveSelector& waveSelector (int layer) { return *selectors[(size_t) layer]; }

private:
    void setNormalizedNotifyingHost (int parameter, float value);
    /** Shows a changed parameter on a knob without notification; true when it was new. */
    bool follow (Knob& knob);
    /** True when a switch's parameter changed since last seen; value receives it. */
    bool changedSwitch (int parameter, float& value);
    void followSwitch (juce::ToggleButton& button, int parameter);
    void followFileSwitch (int layer);
    void followSelector (int layer);

    RevolvaAudioProcessor& processor;

    Knob color, outlevel, inlevel, stretch, attack, release, bands, bpm;
    std::array<Knob, numLayers> pitch, level;
    juce::ToggleButton bpmlock, layerMode;
    std::array<juce::ToggleButton, numLayers> file, play, record;
    std::array<std::unique_ptr<WaveSelector>, numLayers> selectors;

    // Last value seen per parameter (scaled for knobs, normalized for switches); NaN until
    // the first tick, except the file switches, which start at their values so that
    // opening the editor neither clears nor loads a layer.
    std::array<float, 42> lastSeen;

    FileRequest fileRequest;
    std::unique_ptr<juce::FileChooser> chooser;
    int requestLayer = -1; // layer whose file request is open
    std::shared_ptr<bool> alive = std::make_shared<bool> (true);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RevolvaAudioProcessorEditor)
};
