#include "VeltraneProcessor.h"

#include "ParameterText.h"
#include "StateFormat.h"

#include <cmath>

namespace veltrane
{
/** The message-thread timer that hands latency changes and changed values to the host.
    Hosts may destroy a processor on their own thread just as the message thread is about to
    call the timer (JUCE picks a timer under its lock and calls it after releasing the lock),
    so the timer outlives its processor until the message thread has moved on. */
struct VeltraneProcessor::Announcer final : juce::Timer
{
    explicit Announcer (VeltraneProcessor& p)
        : owner (&p)
    {
        startTimer (50);
    }

    void timerCallback() override
    {
        std::lock_guard<std::mutex> lock (ownerMutex);
        if (owner != nullptr)
        {
            owner->publishPendingLatency();
            owner->publishChangedParameters();
            if (ticks)
                owner->messageThreadTick();
        }
    }

    /** Detaches the processor (waiting for a callback under way) and deletes the timer on
        the message thread, after the message it may be dispatching now. */
    static void release (Announcer* a)
    {
        {
            std::lock_guard<std::mutex> lock (a->ownerMutex);
            a->owner = nullptr;
        }
        a->stopTimer();
        auto* messages = juce::MessageManager::getInstanceWithoutCreating();
        if (messages == nullptr || messages->isThisTheMessageThread())
        {
            delete a;
            return;
        }
        std::shared_ptr<Announcer> later (a);
        juce::MessageManager::callAsync ([later] {});
    }

    std::mutex ownerMutex;
    VeltraneProcessor* owner;
    // The owner's own tick is called (under ownerMutex) only once the owner has said its
    // members are built: the timer starts in the base constructor, and a host's message
    // thread may fire it while the derived constructor is still running.
    bool ticks = false;
};

VeltraneProcessor::VeltraneProcessor (const PluginIdentity& identityIn, const ParameterInfo* tableIn, int countIn)
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      identity (identityIn),
      table (tableIn),
      count (countIn)
{
    for (int i = 0; i < count; ++i)
        names.emplace_back (table[i].name);

    for (int i = 0; i < count; ++i)
    {
        // IDs are the names, with the index added where a name repeats, so they stay
        // unique per index and stable across versions.
        int uses = 0;
        for (auto& n : names)
            uses += n == names[(size_t) i] ? 1 : 0;
        juce::String id = uses > 1 ? names[(size_t) i] + juce::String (i) : names[(size_t) i];
        auto* p = new Parameter (*this, i, id, names[(size_t) i], table[i].meta, table[i].initial);
        params.push_back (p);
        addParameter (p);
    }
    changedWords = (count + 63) / 64;
    changedBits.reset (new std::atomic<std::uint64_t>[(size_t) changedWords]);
    for (int w = 0; w < changedWords; ++w)
        changedBits[(size_t) w].store (0, std::memory_order_relaxed);
    // JUCE's LV2 wrapper declares every parameter at its default and hears of a value only
    // when the plug-in announces it; the construction values differ from some defaults. The
    // values are announced once a host runs the plug-in: hosts that instantiate a plug-in only
    // to look at it destroy it right away, and JUCE's wrapper stops listening then without
    // waiting for the message thread.
    if (wrapperType == wrapperType_LV2)
        announceAllOnceRunning.store (true, std::memory_order_relaxed);
    announcer = new Announcer (*this);
}

void VeltraneProcessor::setNonRealtime (bool isNonRealtime) noexcept
{
    juce::AudioProcessor::setNonRealtime (isNonRealtime);
    if (announceAllOnceRunning.exchange (false, std::memory_order_relaxed))
        markAllChanged();
}

VeltraneProcessor::~VeltraneProcessor() { Announcer::release (announcer); }

void VeltraneProcessor::beginMessageThreadTicks()
{
    std::lock_guard<std::mutex> lock (announcer->ownerMutex);
    announcer->ticks = true;
}

void VeltraneProcessor::endMessageThreadTicks()
{
    std::lock_guard<std::mutex> lock (announcer->ownerMutex);
    announcer->ticks = false;
}

float VeltraneProcessor::getParameter (int i) { return isValidIndex (i) ? param (i) : 0.0f; }

void VeltraneProcessor::setParameter (int i, float p)
{
    if (isValidIndex (i))
        params[(size_t) i]->value.store (p, std::memory_order_relaxed);
}

float VeltraneProcessor::getParameterDefaultValue (int i)
{
    return isValidIndex (i) ? table[i].normalizedDefault : 0.0f;
}

const juce::String VeltraneProcessor::getParameterName (int i) { return isValidIndex (i) ? table[i].name : "unknown"; }

const juce::String VeltraneProcessor::getParameterText (int i) { return textForValue (i, getParameter (i)); }

bool VeltraneProcessor::isMetaParameter (int i) const { return isValidIndex (i) && table[i].meta; }

float VeltraneProcessor::getScaledParameter (int i) { return scaledFromNormalized (i, getParameter (i)); }

void VeltraneProcessor::setScaledParameter (int i, float s)
{
    if (! isValidIndex (i))
        return;
    const float p = normalizedFromScaled (i, s);
    // Stores through setValue (no clamping) and informs the host and every listener.
    params[(size_t) i]->setValueNotifyingHost (p);
}

float VeltraneProcessor::getParameterMin (int i) { return isValidIndex (i) ? table[i].minimum : 0.0f; }
float VeltraneProcessor::getParameterMax (int i) { return isValidIndex (i) ? table[i].maximum : 1.0f; }
float VeltraneProcessor::getParameterDefault (int i) { return isValidIndex (i) ? table[i].scaledDefault : 0.0f; }

float VeltraneProcessor::scaledFromNormalized (int i, float p) const
{
    return isValidIndex (i) ? toScaled (table[i], p) : p;
}

float VeltraneProcessor::normalizedFromScaled (int i, float s) const
{
    return isValidIndex (i) ? toNormalized (table[i], s) : s;
}

juce::String VeltraneProcessor::textForValue (int i, float p) const
{
    return formatTwoDecimals (scaledFromNormalized (i, p));
}

float VeltraneProcessor::valueForText (int i, const juce::String& text, float current) const
{
    const auto typed = parseTypedNumber (text.toStdString());
    if (! typed || std::isnan (*typed))
        return current;
    const float p = normalizedFromScaled (i, *typed);
    if (std::isnan (p))
        return current;
    // Host-typed values stay in the parameter's range; a value beyond it is its end.
    if (! (p > 0.0f))
        return 0.0f;
    if (! (p < 1.0f))
        return 1.0f;
    return valueShowing (i, p, formatTwoDecimals (*typed));
}

float VeltraneProcessor::valueShowing (int i, float p, const juce::String& wanted) const
{
    if (textForValue (i, p) == wanted)
        return p;
    float up = p, down = p;
    for (int step = 0; step < 256; ++step)
    {
        up = std::nextafter (up, 2.0f);
        down = std::nextafter (down, -1.0f);
        if (up <= 1.0f && textForValue (i, up) == wanted)
            return up;
        if (down >= 0.0f && textForValue (i, down) == wanted)
            return down;
    }
    return p;
}

const juce::String VeltraneProcessor::getProgramName (int)
{
    return identity.programNameIsPreset ? getPresetName() : juce::String();
}

void VeltraneProcessor::changeProgramName (int, const juce::String& newName)
{
    if (identity.programNameIsPreset)
        setPresetName (newName);
}

bool VeltraneProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto in = layouts.getMainInputChannelSet();
    const auto out = layouts.getMainOutputChannelSet();
    if (in != out)
        return false;
    return in == juce::AudioChannelSet::mono() || in == juce::AudioChannelSet::stereo();
}

juce::String VeltraneProcessor::getPresetName() const
{
    std::lock_guard<std::mutex> lock (presetMutex);
    return presetName;
}

void VeltraneProcessor::setPresetName (const juce::String& name)
{
    std::lock_guard<std::mutex> lock (presetMutex);
    presetName = name;
}

void VeltraneProcessor::getStateInformation (juce::MemoryBlock& destination)
{
    std::vector<float> values;
    for (int i = 0; i < count; ++i)
        values.push_back (getParameter (i));
    destination = StateFormat::write (identity.stateTag, getPresetName(), names, values, extraState());
}

void VeltraneProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    auto restored = StateFormat::read (data, sizeInBytes, identity.stateTag, names, extraStateNames());
    if (! restored)
        return;
    setPresetName (restored->presetName);
    for (int i = 0; i < count; ++i)
        setParameter (i, restored->values[(size_t) i]);
    restoreExtraState (restored->extras);
    // LV2 hosts keep no copy of the values in the plug-in's state; they learn them here.
    if (wrapperType == wrapperType_LV2)
        markAllChanged();
}

void VeltraneProcessor::setParameterFromProcessing (int i, float p) noexcept
{
    if (! isValidIndex (i))
        return;
    auto& value = params[(size_t) i]->value;
    const float old = value.load (std::memory_order_relaxed);
    value.store (p, std::memory_order_relaxed);
    // Unchanged values (a tempo followed block after block) are not announced again.
    if (! (old == p))
        markChanged (i);
}

void VeltraneProcessor::markChanged (int i) noexcept
{
    changedBits[(size_t) (i / 64)].fetch_or (std::uint64_t { 1 } << (i % 64), std::memory_order_release);
}

void VeltraneProcessor::markAllChanged() noexcept
{
    for (int i = 0; i < count; ++i)
        markChanged (i);
}

void VeltraneProcessor::publishChangedParameters()
{
    std::lock_guard<std::mutex> lock (publishMutex);
    for (int w = 0; w < changedWords; ++w)
    {
        std::uint64_t bits = changedBits[(size_t) w].exchange (0, std::memory_order_acquire);
        for (int b = 0; bits != 0; ++b, bits >>= 1)
            if ((bits & 1) != 0)
            {
                auto* p = params[(size_t) (w * 64 + b)];
                p->sendValueChangedMessageToListeners (p->getValue());
            }
    }
}

void VeltraneProcessor::publishPendingLatency()
{
    std::lock_guard<std::mutex> lock (publishMutex);
    const int wanted = getReportedLatency();
    if (wanted != getLatencySamples())
        setLatencySamples (wanted);
}
} // namespace veltrane
