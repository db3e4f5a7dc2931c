#pragma once

#include "Parameter.h"
#include "ParameterInfo.h"
#include "PluginIdentity.h"
#include "StateFormat.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace veltrane
{
/** The processor base of the suite: the parameter table with its normalized and scaled
    forms, the fixed answers every plug-in gives its host, the saved-state format and
    latency reports that the audio thread can make without calling into the host. */
class VeltraneProcessor : public juce::AudioProcessor
{
public:
    VeltraneProcessor (const PluginIdentity& identity, const ParameterInfo* table, int count);
    ~VeltraneProcessor() override;

    // Parameter operations by index. Out-of-range indexes read 0 and writes are ignored.
    int getNumParameters() override { return count; }
    /** The stored normalized value. */
    float getParameter (int i) override;
    /** Stores p without clamping, notification or reaction. */
    void setParameter (int i, float p) override;
    float getParameterDefaultValue (int i) override;
    const juce::String getParameterName (int i) override;
    const juce::String getParameterText (int i) override;
    bool isMetaParameter (int i) const override;

    /** The scaled value in the parameter's own units. */
    virtual float getScaledParameter (int i);
    /** Converts s to the normalized value and sets it with host notification. */
    virtual void setScaledParameter (int i, float s);
    virtual float getParameterMin (int i);
    virtual float getParameterMax (int i);
    virtual float getParameterDefault (int i);

    /** Conversions used by the operations above; plug-ins with special rules override. */
    virtual float scaledFromNormalized (int i, float p) const;
    virtual float normalizedFromScaled (int i, float s) const;
    /** Display text of parameter i at normalized value p (two decimals by default). */
    virtual juce::String textForValue (int i, float p) const;
    /** The inverse of textForValue for text a user typed into a host's field: the
        normalized value, kept in 0..1, that shows the same text as the typed value (a
        number in the shown units by default); `current` when the text does not parse. */
    virtual float valueForText (int i, const juce::String& text, float current) const;

    const ParameterInfo* getParameterInfo (int i) const { return isValidIndex (i) ? &table[i] : nullptr; }
    Parameter* getParameterObject (int i) const { return isValidIndex (i) ? params[(size_t) i] : nullptr; }

    // Fixed answers.
    const juce::String getName() const override { return identity.displayName; }
    bool acceptsMidi() const override { return identity.acceptsMidi; }
    bool producesMidi() const override { return false; }
    bool isMidiEffect() const override { return false; }
    bool silenceInProducesSilenceOut() const override { return false; }
    double getTailLengthSeconds() const override { return 0.0; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String& newName) override;
    const juce::String getInputChannelName (int i) const override { return juce::String (i + 1); }
    const juce::String getOutputChannelName (int i) const override { return juce::String (i + 1); }
    bool isInputChannelStereoPair (int) const override { return true; }
    bool isOutputChannelStereoPair (int) const override { return true; }
    void releaseResources() override {}
    bool hasEditor() const override { return true; }
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    /** Also where the LV2 wrapper's first run() tells the processor that a host plays it. */
    void setNonRealtime (bool isNonRealtime) noexcept override;

    void getStateInformation (juce::MemoryBlock& destination) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    /** Attributes of the plug-in's own saved after its parameters (none by default). */
    virtual std::vector<StateFormat::Extra> extraState() const { return {}; }
    /** Names of the attributes restoreExtraState is given. */
    virtual std::vector<juce::String> extraStateNames() const { return {}; }
    /** After a restore: the texts of extraStateNames() (empty where absent). */
    virtual void restoreExtraState (const std::vector<juce::String>&) {}

    juce::String getPresetName() const;
    void setPresetName (const juce::String& name);

    /** Peak levels the editor's meters show (linear, 1 = full scale). */
    struct MeterLevels
    {
        float inputLeft = 0.0f, inputRight = 0.0f, outputLeft = 0.0f, outputRight = 0.0f;
    };
    /** The processing's current peaks; safe from the message thread. */
    virtual MeterLevels meterLevels() const noexcept { return {}; }

    /** Safe from the audio thread: the latency reaches the host from the message thread. */
    void reportLatency (int samples) noexcept { pendingLatency.store (samples, std::memory_order_relaxed); }
    /** The latency last asked for by the processing (samples). */
    int getReportedLatency() const noexcept { return pendingLatency.load (std::memory_order_relaxed); }
    /** Hands a pending latency change to the host; called every 50 ms on the message thread. */
    void publishPendingLatency();
    /** Tells the host and every listener the current value of each parameter the processing
        changed since the last call; called with the latency report. */
    void publishChangedParameters();

protected:
    bool isValidIndex (int i) const noexcept { return i >= 0 && i < count; }
    /** p, or a float a few steps beside it, whose text is `wanted`: the conversions round,
        so a back conversion can land just beside the value that shows a text. p itself
        when none nearby shows it. */
    float valueShowing (int i, float p, const juce::String& wanted) const;
    /** The parameter's value as the audio thread polls it. */
    float param (int i) const noexcept { return params[(size_t) i]->value.load (std::memory_order_relaxed); }
    /** Stores a value the processing chose itself (audio thread): no call into the host
        here; a change is marked and announced later from the message thread, so a burst
        of changes reaches the host as one. */
    void setParameterFromProcessing (int i, float p) noexcept;
    /** Called every 50 ms on the message thread, after the latency and the changed values
        are handed on, from the time the derived processor calls beginMessageThreadTicks. */
    virtual void messageThreadTick() {}
    /** Starts the calls of messageThreadTick; a derived processor whose tick uses its own
        members calls it last in its constructor. */
    void beginMessageThreadTicks();
    /** Stops the calls of messageThreadTick (waiting for one under way); a derived
        processor whose tick uses its own members calls it first in its destructor. */
    void endMessageThreadTicks();

    const PluginIdentity identity;

private:
    struct Announcer;
    void markChanged (int i) noexcept;
    void markAllChanged() noexcept;

    const ParameterInfo* const table;
    const int count;
    std::vector<Parameter*> params; // owned by the AudioProcessor
    std::vector<juce::String> names;
    std::atomic<int> pendingLatency { 0 };
    // One bit per parameter changed by the processing and not yet announced.
    std::unique_ptr<std::atomic<std::uint64_t>[]> changedBits;
    int changedWords = 0;
    std::mutex publishMutex;        // a constructor's own latency report and the timer's
    Announcer* announcer = nullptr; // released, not deleted, with the processor
    std::atomic<bool> announceAllOnceRunning { false };

    mutable std::mutex presetMutex;
    juce::String presetName;
};
} // namespace veltrane
