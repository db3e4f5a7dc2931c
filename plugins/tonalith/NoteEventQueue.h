#pragma once

#include <juce_core/juce_core.h>

#include <array>

namespace tonalith
{
/** Note presses handed from one producer thread (the editor's keys on the message thread)
    to the audio thread without locks: a fixed ring under juce::AbstractFifo. A press that
    finds the ring full is dropped; the consumer never waits. */
class NoteEventQueue
{
public:
    struct Event
    {
        int note; // MIDI note number 0..127
        bool on;  // true: take the note, false: release it
    };

    static constexpr int capacity = 256;

    /** Producer side; returns false when the ring is full. */
    bool push (int note, bool on) noexcept
    {
        const auto scope = fifo.write (1);
        if (scope.blockSize1 + scope.blockSize2 < 1)
            return false;
        events[(size_t) (scope.blockSize1 > 0 ? scope.startIndex1 : scope.startIndex2)] = { note, on };
        return true;
    }

    /** Consumer side: hands every pending event to fn in the order pushed. */
    template <typename Fn>
    void drain (Fn&& fn) noexcept
    {
        const int ready = fifo.getNumReady();
        if (ready <= 0)
            return;
        const auto scope = fifo.read (ready);
        for (int i = 0; i < scope.blockSize1; ++i)
            fn (events[(size_t) (scope.startIndex1 + i)]);
        for (int i = 0; i < scope.blockSize2; ++i)
            fn (events[(size_t) (scope.startIndex2 + i)]);
    }

private:
    juce::AbstractFifo fifo { capacity };
    std::array<Event, capacity> events {};
};
} // namespace tonalith
