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
    meters and a tiny colour knob. Each tick also copies changed layer pictures into the
    selectors and loads or clears a layer when its file switch changes. */
class RevolvaAudioProcessorEditor : public veltrane::PanelEditor
{
public:
    static constexpr int numLayers = 4;
    static constexpr int editorWidth = 474, editorHeight = 414; // pixels

    explicit RevolvaAudioProcessorEditor (RevolvaAudioProcessor& p);
    ~RevolvaAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;

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
    juce::ToggleButton& playSwitch (int layer) { return play[(size_t) layer].button; }
    juce::ToggleButton& recordSwitch (int layer) { return record[(size_t) layer].button; }
    juce::ToggleButton& fileSwitch (int layer) { return file[(size_t) layer].button; }
    juce::ToggleButton& layerSwitch() { return layerMode.button; }
    /** The message the status bar shows, empty when none. */
    const juce::String& statusText() const noexcept { return status; }
    revolva::WaveSelector& waveSelector (int layer) { return *selectors[(size_t) layer]; }

private:
    void switchShown (Switch& s, bool on) override;
    void tick() override;
    void layoutExtras() override;
    /** Loads or clears a layer when its file switch changed (one request at a time). */
    void followFileSwitch (int layer);
    void followSelector (int layer);
    /** Puts a new message about a file that could not be loaded in the status bar. */
    void showFileProblem();

    RevolvaAudioProcessor& processor;

    Knob color, outlevel, inlevel, stretch, attack, release, bands, bpm;
    std::array<Knob, numLayers> pitch, level;
    Switch bpmlock, layerMode;
    std::array<Switch, numLayers> file, play, record;
    std::array<std::unique_ptr<revolva::WaveSelector>, numLayers> selectors;

    juce::String status; // the status bar's message: a file that could not be loaded
    int statusCount = 0; // the processor's count of such files when last looked at
    FileRequest fileRequest;
    std::unique_ptr<juce::FileChooser> chooser;
    int requestLayer = -1; // layer whose file request is open
    std::shared_ptr<bool> alive = std::make_shared<bool> (true);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RevolvaAudioProcessorEditor)
};
