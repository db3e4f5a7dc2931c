#pragma once

#include <atomic>

namespace tonalith
{
/** The scale sieve: harmonic tables per MIDI note, up to sixteen held notes in slots, the
    descending table of all slot frequencies, pitch bend, and the rule that keeps a partial
    only inside the harmonic series of the held notes and moves it down onto the nearest
    harmonic below it.

    Every change (noteOn, noteOff, setPitchBend, prepare) is made on the audio thread, which
    is also the only reader of the tables, so a frame never sees a change half made. Other
    threads read the atomic display copies only. Frequencies are in cycles per sample. */
class ScaleSieve
{
public:
    static constexpr int numNotes = 128;
    static constexpr int numHarmonics = 20;
    static constexpr int numSlots = 16;
    static constexpr int tableSize = numSlots * numHarmonics;

    ScaleSieve();

    /** Builds both harmonic tables for the sample rate (Hz; anything not positive and finite
        means 44100) and releases every note: slots, sieve table and counts are emptied, since
        no slot could be released by note number afterwards. */
    void prepare (double sampleRate) noexcept;

    /** Takes the note (0..127) into the first free slot; harmonics is the normalized
        "harmonics" value (below 0.5 the odd harmonics, count |h - 0.5| x 38 + 1). */
    void noteOn (int note, float harmonics) noexcept;
    /** Empties the slot the note holds; a note that is not held changes nothing. */
    void noteOff (int note) noexcept;
    /** 14-bit pitch-wheel value (0..16383, centre 8192); the extremes bend one semitone. */
    void setPitchBend (int value) noexcept;

    /** The sieve rule for one partial of frequency f (cycles per sample x unit). Returns
        false when the partial is dropped (its magnitude must become 0); otherwise f is left
        or replaced by a sieve frequency x unit x bendRatio. */
    bool apply (float& f, float unit) const noexcept
    {
        const int c = heldCount;
        if (c <= 0)
            return false;
        const int last = numHarmonics * c - 1;
        if (f < sieveTable[last] * unit || f > sieveTable[0] * unit)
            return false;
        // The table descends, so "f > S[j] x unit" is false up to some j and true after it:
        // the first j that holds is found by bisection over 1..last-1.
        int lo = 1, hi = last - 1;
        if (lo > hi || ! (f > sieveTable[hi] * unit))
            return true;
        while (lo < hi)
        {
            const int mid = (lo + hi) >> 1;
            if (f > sieveTable[mid] * unit)
                hi = mid;
            else
                lo = mid + 1;
        }
        f = sieveTable[lo] * unit * bendRatio;
        return true;
    }

    /** Display copy of noteSlotOf, readable from any thread (-1 when not held). */
    int displaySlotOf (int note) const noexcept
    {
        return note >= 0 && note < numNotes ? displaySlot[note].load (std::memory_order_relaxed) : -1;
    }

    float allHarmonics[numNotes][numHarmonics]; // h x f(n), h = 1..20
    float oddHarmonics[numNotes][numHarmonics]; // h x f(n) for odd h, 0 for even h
    float noteSlots[numSlots][numHarmonics] {}; // a slot is free when its first entry is 0
    float sieveTable[tableSize] {};             // all slot entries, descending
    int noteSlotOf[numNotes];                   // slot of each note, -1 when not held
    int heldCount = 0;                          // filled slots, 0..16
    float bendRatio = 1.0f;                     // frequency factor of the pitch wheel

    /** Set to 1 by every change of a slot; the editor clears it after showing the keys. */
    std::atomic<int> notesChanged { 0 };

private:
    void rebuildSieveTable() noexcept;
    void publish (int note) noexcept;

    std::atomic<int> displaySlot[numNotes];
};
} // namespace tonalith
