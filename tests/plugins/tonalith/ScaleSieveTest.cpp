#include "TonalithTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace tonalith_test;
using tonalith::ScaleSieve;

namespace
{
constexpr float allHarmonics = 1.0f, fundamentalOnly = 0.5f, oddHarmonics = 0.0f;

/** The rule's outcome for a partial, as a frequency or -1 when dropped. */
float sieved (const ScaleSieve& s, float f, float unit = 1.0f) { return s.apply (f, unit) ? f : -1.0f; }
} // namespace

TEST (ScaleSieve, HarmonicTablesFollowTheSampleRate)
{
    ScaleSieve s;
    s.prepare (48000.0);
    EXPECT_NEAR (s.allHarmonics[69][0] * 48000.0, 440.0, 1e-3);
    EXPECT_FLOAT_EQ (s.allHarmonics[69][4], 5.0f * s.allHarmonics[69][0]);
    EXPECT_EQ (s.oddHarmonics[69][1], 0.0f);
    EXPECT_EQ (s.oddHarmonics[69][2], s.allHarmonics[69][2]);
    s.prepare (-1.0); // nonsense rates fall back to 44100
    EXPECT_NEAR (s.allHarmonics[69][0] * 44100.0, 440.0, 1e-3);
}

TEST (ScaleSieve, RuleWithOneNoteOfTwentyHarmonics)
{
    ScaleSieve s;
    s.prepare (44100.0);
    EXPECT_EQ (sieved (s, 0.01f), -1.0f); // nothing held: every partial is dropped

    s.noteOn (57, allHarmonics);
    const float f = s.allHarmonics[57][0];
    struct Case
    {
        float partial;
        float expected;
    };
    const Case cases[] = {
        { 5.5f * f, s.allHarmonics[57][4] },   // moves down to 5f
        { 20.5f * f, -1.0f },                  // above 20f: dropped
        { 0.9f * f, -1.0f },                   // below f: dropped
        { 1.5f * f, 1.5f * f },                // between f and 2f: kept as it is
        { 20.0f * f, s.allHarmonics[57][18] }, // the top entry itself moves to 19f
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ (sieved (s, c.partial), c.expected) << c.partial / f;
    // The sine bank asks in table entries per sample: the same rule, scaled.
    EXPECT_FLOAT_EQ (sieved (s, 5.5f * f * 16384.0f, 16384.0f), s.allHarmonics[57][4] * 16384.0f);

    // Full bend up: only moved partials are bent, by one equal-tempered semitone.
    s.setPitchBend (16383);
    EXPECT_NEAR (sieved (s, 5.5f * f) / s.allHarmonics[57][4], std::pow (2.0, 1.0 / 12.0), 1e-6);
    EXPECT_FLOAT_EQ (sieved (s, 1.5f * f), 1.5f * f);
    s.setPitchBend (0);
    EXPECT_NEAR (s.bendRatio, std::pow (2.0, -1.0 / 12.0), 1e-6);
    s.setPitchBend (8192);
    EXPECT_EQ (s.bendRatio, 1.0f);
}

TEST (ScaleSieve, FundamentalOnlyAndOddRows)
{
    ScaleSieve s;
    s.prepare (44100.0);
    s.noteOn (60, fundamentalOnly);
    const float f = s.allHarmonics[60][0];
    EXPECT_EQ (sieved (s, 0.5f * f), 0.0f); // moves to the zero entries below it
    EXPECT_EQ (sieved (s, f), 0.0f);
    EXPECT_EQ (sieved (s, 1.01f * f), -1.0f);
    s.noteOff (60);

    s.noteOn (60, oddHarmonics); // harmonics 1, 3, ..., 19 with zeros between
    for (int h = 0; h < 20; ++h)
        EXPECT_EQ (s.noteSlots[0][h], h % 2 == 0 ? s.allHarmonics[60][h] : 0.0f) << h;
    EXPECT_FLOAT_EQ (sieved (s, 4.0f * f), 3.0f * f);
}

TEST (ScaleSieve, SlotsAndCounts)
{
    ScaleSieve s;
    s.prepare (44100.0);
    s.notesChanged.store (0);
    s.noteOn (64, allHarmonics);
    s.noteOn (64, allHarmonics); // no check for a held note: a second slot fills
    EXPECT_EQ (s.heldCount, 2);
    EXPECT_EQ (s.noteSlotOf[64], 1);
    s.noteOff (64);
    EXPECT_EQ (s.heldCount, 1);
    EXPECT_EQ (s.noteSlotOf[64], -1);
    EXPECT_NE (s.noteSlots[0][0], 0.0f);
    EXPECT_EQ (s.notesChanged.load(), 1);
    s.noteOff (64); // not held any more: nothing happens
    EXPECT_EQ (s.heldCount, 1);

    // Preparing again releases everything, including the slot no note number can reach.
    s.prepare (44100.0);
    EXPECT_EQ (s.heldCount, 0);
    EXPECT_EQ (s.sieveTable[0], 0.0f);

    for (int k = 0; k < 17; ++k)
        s.noteOn (40 + k, allHarmonics);
    EXPECT_EQ (s.heldCount, 16);
    EXPECT_EQ (s.noteSlotOf[55], 15);
    EXPECT_EQ (s.noteSlotOf[56], -1);
    for (int i = 1; i < ScaleSieve::tableSize; ++i)
        ASSERT_GE (s.sieveTable[i - 1], s.sieveTable[i]) << i;
    EXPECT_EQ (s.sieveTable[0], s.allHarmonics[55][19]);
}

TEST (ScaleSieve, MidiAndKeysReachTheSieveThroughProcessBlock)
{
    TonalithAudioProcessor p;
    p.prepareToPlay (44100.0, 512);
    juce::MidiBuffer midi;
    midi.addEvent (juce::MidiMessage::noteOn (3, 60, (juce::uint8) 100), 0);
    midi.addEvent (juce::MidiMessage::noteOn (1, 62, (juce::uint8) 100), 10);
    midi.addEvent (juce::MidiMessage::noteOn (1, 62, (juce::uint8) 0), 20); // a release
    midi.addEvent (juce::MidiMessage::pitchWheel (1, 16383), 30);
    midi.addEvent (juce::MidiMessage::controllerEvent (1, 7, 100), 40);
    run (
        p, 512, [] (int) { return 0.0f; }, 2, 512, &midi);
    EXPECT_EQ (p.sieve.heldCount, 1);
    EXPECT_EQ (p.noteSlotForDisplay (60), 0);
    EXPECT_EQ (p.noteSlotForDisplay (62), -1);
    EXPECT_NEAR (p.sieve.bendRatio, std::pow (2.0, 1.0 / 12.0), 1e-6);
    EXPECT_EQ (p.notesChanged().exchange (0), 1);

    // Editor keys are queued and applied by the next block.
    EXPECT_TRUE (p.noteOn (48));
    EXPECT_EQ (p.noteSlotForDisplay (48), -1);
    run (p, 64, [] (int) { return 0.0f; });
    EXPECT_EQ (p.noteSlotForDisplay (48), 1);
    EXPECT_TRUE (p.noteOff (48));
    run (p, 64, [] (int) { return 0.0f; });
    EXPECT_EQ (p.noteSlotForDisplay (48), -1);
    EXPECT_FALSE (p.noteOn (128));
}

TEST (ScaleSieve, KeysFromAnotherThreadWhileAudioRuns)
{
    // Every press is paired with its release; if the queue lost, repeated or tore an event
    // a note or a stale slot would be left in the sieve at the end.
    TonalithAudioProcessor p;
    p.prepareToPlay (44100.0, 256);
    std::atomic<bool> done { false };
    std::thread keys ([&] {
        for (int i = 0; i < 4000; ++i)
        {
            const int note = 36 + i % 37;
            while (! p.noteOn (note))
                std::this_thread::yield();
            while (! p.noteOff (note))
                std::this_thread::yield();
        }
        done = true;
    });
    juce::AudioBuffer<float> buffer (2, 64);
    juce::MidiBuffer midi;
    int maxHeld = 0;
    while (! done.load())
    {
        buffer.clear();
        p.processBlock (buffer, midi);
        maxHeld = std::max (maxHeld, p.sieve.heldCount);
    }
    keys.join();
    buffer.clear();
    p.processBlock (buffer, midi);
    EXPECT_EQ (p.sieve.heldCount, 0);
    EXPECT_EQ (p.sieve.sieveTable[0], 0.0f);
    for (int n = 36; n <= 72; ++n)
        EXPECT_EQ (p.noteSlotForDisplay (n), -1) << n;
    EXPECT_LE (maxHeld, 1);
}

TEST (ScaleSieve, KeysPressedBeforePreparingStillSound)
{
    TonalithAudioProcessor p; // tables exist for 44100 Hz from construction
    p.noteOn (69);
    run (p, 64, [] (int) { return 0.0f; });
    EXPECT_NEAR (p.sieve.sieveTable[0] * 44100.0f, 20.0f * 440.0f, 0.05f);
}

TEST (ScaleSieve, NoHeldNoteSilencesBothModes)
{
    for (int mode = 0; mode < 2; ++mode)
    {
        TonalithAudioProcessor p;
        p.prepareToPlay (44100.0, 512);
        p.setParameter (TonalithAudioProcessor::sieveParam, 1.0f);
        p.setParameter (TonalithAudioProcessor::outputModeParam, (float) mode);
        const auto y = run (p, 16384, [] (int t) { return 0.3f * std::sin (0.07f * (float) t); });
        for (float v : y)
            ASSERT_EQ (v, 0.0f) << mode;
    }
}

TEST (ScaleSieve, HeldNoteSnapsATone)
{
    // A 700 Hz tone against note 57 (220 Hz, harmonics 1..20) moves to 660 Hz.
    for (int mode = 0; mode < 2; ++mode)
    {
        TonalithAudioProcessor p;
        p.prepareToPlay (44100.0, 512);
        p.setParameter (TonalithAudioProcessor::bandsParam, 0.8f); // 2048 bands
        p.setParameter (TonalithAudioProcessor::sieveParam, 1.0f);
        p.setParameter (TonalithAudioProcessor::outputModeParam, (float) mode);
        p.noteOn (57);
        const auto y =
            run (p, 44100 * 2, [] (int t) { return 0.2f * (float) std::sin (2.0 * M_PI * 700.0 * t / 44100.0); });
        EXPECT_NEAR (zeroCrossingFrequency (y, 44100, 44100.0), 660.0, 1.0) << mode;
    }
}
