#include "RevolvaTestRig.h"
#include "SoundFileWriter.h"
#include "StateEnvelope.h"
#include "SoxFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cmath>
#include <functional>
#include <map>
#include <thread>

using namespace revolvatest;
using veltrane::testing::SoxFolder;
using P = RevolvaAudioProcessor;

TEST (RevolvaParameters, NamesRangesAndTexts)
{
    P p;
    EXPECT_EQ (p.getNumParameters(), 42);
    EXPECT_EQ (p.getName(), "++revolva");
    EXPECT_TRUE (p.acceptsMidi());
    EXPECT_EQ (p.getParameterName (0), "stretch");
    EXPECT_EQ (p.getParameterName (22), "pitch4");
    EXPECT_EQ (p.getParameterName (41), "color");
    EXPECT_EQ (p.getParameterName (42), "unknown");
    EXPECT_TRUE (p.isMetaParameter (4));
    EXPECT_TRUE (p.isMetaParameter (5));
    EXPECT_FALSE (p.isMetaParameter (6));
    // The stated floats, one step below 1/3 and 2/3.
    EXPECT_EQ (p.getParameter (21), 0.333333313f);
    EXPECT_EQ (p.getParameter (22), 0.666666627f);
    EXPECT_LT (p.getParameter (21), 1.0f / 3.0f);
    EXPECT_LT (p.getParameter (22), 2.0f / 3.0f);
    EXPECT_EQ (p.getParameter (1), 0.75f);
    EXPECT_EQ (p.getParameterDefaultValue (1), 0.6f);
    EXPECT_EQ (p.getParameterDefault (27), 0.0f);
    EXPECT_EQ (p.getParameterDefaultValue (27), 1.0f);
    EXPECT_EQ (p.getParameterMax (0), 128.0f);
    EXPECT_EQ (p.getParameterMin (2), 0.01f);

    struct Case
    {
        int index;
        float p;
        const char* text;
    };
    const Case cases[] = {
        { 0, 0.25f, "3.16" },  { 0, 1.0f, "100.00" },         { 1, 0.75f, "1448.15" }, { 1, 0.7f, "1024.00" },
        { 1, 0.6f, "512.00" }, { 2, 0.1f, "0.50" },           { 2, 1.0f, "5.00" },     { 4, 0.5f, "120.00" },
        { 4, 0.0f, "30.00" },  { 19, 1.0f / 3.0f, "-12.00" }, { 24, 0.5f, "50.00" },   { 31, 0.0f, "-60.00" },
        { 40, 1.0f, "20.00" }, { 5, 0.99f, "0.99" },
    };
    for (const auto& c : cases)
    {
        p.setParameter (c.index, c.p);
        EXPECT_EQ (p.getParameterText (c.index), c.text) << "index " << c.index;
    }
    // Back conversions reach the same normalized values.
    EXPECT_NEAR (p.normalizedFromScaled (4, 60.0f), 0.25f, 1e-6f);
    EXPECT_NEAR (p.normalizedFromScaled (0, 100.0f), 1.0f, 1e-6f);
    EXPECT_NEAR (p.normalizedFromScaled (19, -12.0f), 1.0f / 3.0f, 1e-6f);
}

TEST (RevolvaMidi, LayerAndSplitModesAndPitchWheel)
{
    Rig r;
    r.note (0x90, 72, 100);
    r.block (64);
    for (int l = 0; l < 4; ++l)
    {
        EXPECT_EQ (r.p->getParameter (P::pitch1Param + l), 48.0f * 0.013888889f);
        EXPECT_EQ (r.p->layers[l].note, 72);
        EXPECT_GT (r.p->layers[l].attackEnd, 0);
        EXPECT_GT (r.p->layers[l].envelope, 0.0f);
    }
    r.note (0x80, 71, 0);
    r.block (64);
    for (int l = 0; l < 4; ++l)
        EXPECT_GT (r.p->layers[l].releaseStart, r.p->sampleClock);
    r.note (0x90, 72, 0); // a note on with velocity 0 is a note off
    r.block (64);
    for (int l = 0; l < 4; ++l)
        EXPECT_EQ (r.p->layers[l].releaseStart, 128);

    // The pitch set by a note of 48 is one octave down.
    r.note (0x90, 48, 100);
    r.block (64);
    EXPECT_EQ (r.p->layers[0].layerPitch, 0.5f);

    Rig s;
    s.p->setParameter (P::layerParam, 1.0f);
    s.note (0x91, 67, 90); // MIDI channel 2
    s.note (0x94, 50, 90); // channel 5 drives nothing
    s.block (64);
    const int notes[] = { 60, 67, 48, 72 }; // 48 and 72 from the constructed "pitch3" and "pitch4"
    for (int l = 0; l < 4; ++l)
        EXPECT_EQ (s.p->layers[l].note, notes[l]) << "layer " << l;
    EXPECT_GT (s.p->layers[1].attackEnd, 0);
    EXPECT_EQ (s.p->layers[0].attackEnd, 0);
    s.note (0x80, 67, 0); // right note, wrong channel
    s.block (64);
    EXPECT_GT (s.p->layers[1].releaseStart, s.p->sampleClock);
    s.note (0x81, 67, 0);
    s.block (64);
    EXPECT_EQ (s.p->layers[1].releaseStart, 128);

    struct Wheel
    {
        int lsb, msb;
        float bend;
    };
    for (auto w : { Wheel { 0x7F, 0x7F, std::exp2 (1.0f / 12.0f) }, Wheel { 0, 0, std::exp2 (-1.0f / 12.0f) },
                    Wheel { 0, 0x40, 1.0f } })
    {
        s.note (0xE3, w.lsb, w.msb);
        s.block (64);
        EXPECT_NEAR (s.p->pitchBend, w.bend, 2e-7f);
    }
}

TEST (RevolvaEnvelope, AttackIsSquaredAndSwitchesStartAndRelease)
{
    Rig r;
    r.p->setParameter (P::attackParam, 0.0f);
    r.block (64);
    r.p->setParameter (P::play1Param, 1.0f);
    r.block (120);                                        // half of 0.005 s at 48 kHz
    EXPECT_EQ (r.p->getParameter (P::pitch1Param), 0.5f); // the stored note 60
    EXPECT_NEAR (r.p->layers[0].envelope * r.p->layers[0].envelope, 0.25f, 1e-5f);
    EXPECT_EQ (r.p->layers[1].envelope, 0.0f);
    r.block (120);
    EXPECT_NEAR (r.p->layers[0].envelope, 1.0f, 1e-5f);
    r.block (8);
    EXPECT_EQ (r.p->layers[0].envelope, 1.0f);

    // Releasing takes releaseSeconds (0.5045 s at "release" 0.1, 24216 samples) down to zero.
    r.p->setParameter (P::play1Param, 0.0f);
    const auto now = r.p->sampleClock;
    r.block (64);
    EXPECT_EQ (r.p->layers[0].releaseStart, now);
    EXPECT_EQ (r.p->layers[0].releaseEnd, now + 24216);
    EXPECT_NEAR (r.p->layers[0].envelope, 1.0f - 64.0f / 24216.0f, 1e-4f);
    r.blocks (378, 64);
    EXPECT_EQ (r.p->layers[0].envelope, 0.0f);
}

namespace
{
struct FakeHead : juce::AudioPlayHead
{
    juce::Optional<double> bpm;
    bool hasPosition = true;
    juce::Optional<PositionInfo> getPosition() const override
    {
        if (! hasPosition)
            return {};
        PositionInfo info;
        info.setBpm (bpm);
        return info;
    }
};
} // namespace

TEST (RevolvaTempo, TempoChangesScaleTheStretchAndTheHostTempoIsFollowedWhenLocked)
{
    Rig r;
    r.block (64);
    EXPECT_EQ (r.p->stretchFactor, std::sqrt (10.0f)); // the constructed stretch survives the first block
    r.p->setParameter (P::stretchParam, 0.0f);
    r.block (64);
    EXPECT_EQ (r.p->stretchFactor, 1.0f);
    r.p->setParameter (P::bpmParam, 0.25f); // 60 bpm
    r.block (64);
    EXPECT_NEAR (r.p->stretchFactor, 2.0f, 1e-5f);
    EXPECT_NEAR (r.p->getParameter (P::stretchParam), std::log10 (2.0f) * 0.5f, 1e-6f);
    EXPECT_EQ (r.p->lastApplied[P::stretchParam].value(), r.p->getParameter (P::stretchParam));
    r.p->setParameter (P::bpmParam, 0.5f);
    r.block (64);
    EXPECT_NEAR (r.p->stretchFactor, 1.0f, 1e-5f);
    r.p->setParameter (P::bpmParam, 0.75f); // 240 bpm: never below 1
    r.block (64);
    EXPECT_EQ (r.p->stretchFactor, 1.0f);

    FakeHead head;
    head.bpm = 60.0;
    r.p->setPlayHead (&head);
    r.p->setParameter (P::bpmlockParam, 0.99f);
    r.block (64);
    EXPECT_EQ (r.p->getParameter (P::bpmParam), 0.75f);
    r.p->setParameter (P::bpmlockParam, 1.0f);
    r.block (64);
    EXPECT_NEAR (r.p->getParameter (P::bpmParam), 0.25f, 1e-6f);
    EXPECT_NEAR (r.p->beatsPerSecond, 1.0f, 1e-5f);
    // Blocks without a position or a tempo keep the last tempo.
    head.bpm = {};
    r.block (64);
    EXPECT_NEAR (r.p->getParameter (P::bpmParam), 0.25f, 1e-6f);
    head.hasPosition = false;
    r.block (64);
    EXPECT_NEAR (r.p->getParameter (P::bpmParam), 0.25f, 1e-6f);
    r.p->setPlayHead (nullptr);
    r.block (64);
    EXPECT_NEAR (r.p->getParameter (P::bpmParam), 0.25f, 1e-6f);
}

namespace
{
/** What a host hears when the processor announces the values it changed itself. */
struct Announcements : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        heard[index] = value;
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    std::map<int, float> heard;
};
} // namespace

TEST (RevolvaHost, EveryValueTheProcessingChangesIsAnnounced)
{
    struct Case
    {
        const char* label;
        std::function<void (Rig&, FakeHead&)> run;
        std::map<int, float> expected;
    };
    const float pitchOf74 = (74 - 24) * 0.013888889f;
    const std::vector<Case> cases = {
        { "a note sets every layer's pitch",
          [] (Rig& r, FakeHead&) {
              r.note (0x90, 74, 100);
              r.block (64);
          },
          { { P::pitch1Param, pitchOf74 },
            { P::pitch1Param + 1, pitchOf74 },
            { P::pitch1Param + 2, pitchOf74 },
            { P::pitch1Param + 3, pitchOf74 } } },
        { "in split mode a note sets its channel's layer",
          [] (Rig& r, FakeHead&) {
              r.p->setParameter (P::layerParam, 1.0f);
              r.note (0x92, 74, 100);
              r.block (64);
          },
          { { P::pitch1Param + 2, pitchOf74 } } },
        { "a play switch snaps the pitch to its semitone",
          [] (Rig& r, FakeHead&) {
              r.p->setParameter (P::pitch1Param, 0.6f);
              r.block (64);
              r.p->setParameter (P::play1Param, 1.0f);
              r.block (64);
          },
          { { P::pitch1Param, (67 - 24) * 0.013888889f } } },
        { "the host tempo sets bpm and rescales the stretch",
          [] (Rig& r, FakeHead& head) {
              head.bpm = 60.0;
              r.p->setPlayHead (&head);
              r.p->setParameter (P::bpmlockParam, 1.0f);
              r.block (64);
          },
          { { P::bpmParam, 0.25f }, { P::stretchParam, std::log10 (2.0f * std::sqrt (10.0f)) * 0.5f } } },
        { "a full layer turns its record switch off",
          [] (Rig& r, FakeHead&) {
              r.p->setParameter (P::record1Param + 1, 1.0f);
              for (int k = 0; k < 1 + LoopLayer::layerLength / 512; ++k)
                  r.block (512);
          },
          { { P::record1Param + 1, 0.0f } } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.label);
        Rig r;
        FakeHead head;
        r.block (64);
        Announcements ear;
        r.p->addListener (&ear);
        c.run (r, head);
        EXPECT_TRUE (ear.heard.empty()); // nothing reaches the host from the audio thread
        r.p->publishChangedParameters();
        EXPECT_EQ (ear.heard.size(), c.expected.size());
        for (auto [index, value] : c.expected)
        {
            ASSERT_EQ (ear.heard.count (index), 1u) << r.p->getParameterName (index);
            EXPECT_NEAR (ear.heard[index], value, 1e-6f) << r.p->getParameterName (index);
            EXPECT_EQ (ear.heard[index], r.p->getParameter (index));
        }
        r.p->setPlayHead (nullptr);
        r.p->removeListener (&ear);
    }
}

TEST (RevolvaLoop, SpansQuantiseToWholeBeats)
{
    // 120 bpm at 48 kHz: 24000 frames per beat, stretch 1.
    struct Case
    {
        int span;
        float output;
    };
    for (auto c :
         { Case { 64800, 48000.0f }, Case { 12000, 12000.0f }, Case { -64800, -48000.0f }, Case { 24000, 24000.0f } })
    {
        Rig r;
        r.p->setParameter (P::stretchParam, 0.0f);
        const int start = c.span < 0 ? 100000 : 1000;
        r.setRegion (0, start, start + c.span);
        r.block (64);
        EXPECT_EQ (r.p->layers[0].endPosition - r.p->layers[0].startPosition, c.span);
        // The tempo constants are the floats nearest 1/60 and log2 30: a few ulps off whole frames.
        EXPECT_NEAR (r.p->layers[0].loopOutputLength, c.output, 0.02f) << "span " << c.span;
        EXPECT_NEAR (r.p->layers[0].loopSourceLength, c.output, 0.02f);
    }
}

TEST (RevolvaRecording, StartsAtTheBarLineAndStopsWhenFull)
{
    const auto ramp = [] (int c, int i) { return (float) (i + 1) * (c == 0 ? 0.001f : -0.001f); };
    {
        Rig r;
        r.block (512);
        r.p->setParameter (P::record1Param, 1.0f);
        r.block (512, ramp); // no bar line in this block
        EXPECT_EQ (r.p->layers[0].leftBuffer[0], 0.001f);
        EXPECT_EQ (r.p->layers[0].rightBuffer[0], -0.001f);
        EXPECT_EQ (r.p->layers[0].writePosition, 512);
    }
    {
        Rig r;
        r.block (64);
        // The next bar begins 100.5 samples into the coming block.
        const double bps = r.p->beatsPerSample;
        r.p->setClocks (1000000, 4.0 * 1000.0 - 100.5 * bps);
        r.p->setParameter (P::record1Param, 1.0f);
        r.block (512, ramp);
        EXPECT_EQ (r.p->layers[0].leftBuffer[0], 101 * 0.001f);
        EXPECT_EQ (r.p->layers[0].writePosition, 412);
        EXPECT_EQ (r.p->lastBar, 1000);
    }
    {
        Rig r (1, 4096);
        r.p->setParameter (P::record1Param + 1, 1.0f);
        for (int k = 0; k < 128; ++k)
            r.block (4096, [] (int, int i) { return i == 7 ? -0.75f : 0.25f; });
        EXPECT_EQ (r.p->getParameter (P::record1Param + 1), 0.0f);
        EXPECT_EQ (r.p->lastApplied[P::record1Param + 1].value(), 0.0f);
        EXPECT_EQ (r.p->layers[1].writePosition, LoopLayer::layerLength);
        EXPECT_EQ (r.p->layers[1].leftBuffer[LoopLayer::layerMask], 0.25f);
        EXPECT_EQ (r.p->layers[1].rightBuffer[0], 0.0f); // mono: the right buffer is not written
        EXPECT_EQ (r.p->layers[1].peaks[0].load(), 0.75f);
        EXPECT_EQ (r.p->layers[1].waveDirty.load(), 1);
        r.block (4096, [] (int, int) { return 0.9f; });
        EXPECT_EQ (r.p->layers[1].leftBuffer[0], 0.25f); // stopped
    }
}

namespace
{
/** Mono 32-bit WAVE whose frame i holds the integer i, so a sample tells its frame. */
Bytes indexedWave (int frames)
{
    Bytes data;
    data.reserve ((size_t) frames * 4);
    for (int i = 0; i < frames; ++i)
        le32 (data, (std::uint32_t) i);
    return wave (1, 32, data);
}

constexpr float frameValue (int i) { return (float) i * 0.0000000004656612873077393f; }
} // namespace

TEST (RevolvaLoading, FilePositionPicksTheSpanAndRefillsInTheBackground)
{
    TempFile file ("long.wav", indexedWave (1000000));
    Rig r;
    r.p->setParameter (P::filepos1Param, 1.0f);
    r.block (64);
    ASSERT_EQ (r.p->loadSoundFile (0, file.path), 0);
    ASSERT_TRUE (r.settleFiles());
    const LoopLayer& layer = r.p->layers[0];
    EXPECT_EQ (layer.leftBuffer[0], frameValue (475712));
    EXPECT_EQ (layer.leftBuffer[LoopLayer::layerMask], frameValue (999999));
    EXPECT_EQ (layer.rightBuffer[LoopLayer::layerMask], frameValue (999999));
    EXPECT_EQ (layer.peaks[287].load(), frameValue (999999));
    EXPECT_TRUE (r.p->isLayerFileOpen (0));

    r.p->setParameter (P::filepos1Param, 0.5f);
    ASSERT_TRUE (r.settleFiles());
    EXPECT_EQ (layer.leftBuffer[0], frameValue (500000));
    EXPECT_EQ (layer.leftBuffer[499999], frameValue (999999));
    EXPECT_EQ (layer.leftBuffer[500000], 0.0f);

    r.p->setParameter (P::filepos1Param, 1.0f);
    ASSERT_TRUE (r.settleFiles());
    for (int i = 0; i < LoopLayer::layerLength; i += 997)
        ASSERT_EQ (layer.leftBuffer[i], 0.0f);

    // A refused file leaves the layer and its file as they were.
    r.p->setParameter (P::filepos1Param, 0.0f);
    ASSERT_TRUE (r.settleFiles());
    TempFile bad ("bad.wav", Bytes (100, 0));
    EXPECT_EQ (r.p->loadSoundFile (0, bad.path), -1);
    EXPECT_EQ (r.p->loadSoundFile (0, "/nonexistent/file.wav"), -1);
    ASSERT_TRUE (r.settleFiles());
    EXPECT_EQ (layer.leftBuffer[5], frameValue (5));
    EXPECT_TRUE (r.p->isLayerFileOpen (0));

    // Stereo files fill both channels; clearing empties the layer and detaches the file.
    Bytes stereo;
    for (int i = 0; i < 100; ++i)
    {
        le16 (stereo, 0x2000);
        le16 (stereo, 0x6000);
    }
    TempFile two ("two.wav", wave (2, 16, stereo));
    ASSERT_EQ (r.p->loadSoundFile (2, two.path), 0);
    ASSERT_TRUE (r.settleFiles());
    EXPECT_EQ (r.p->layers[2].leftBuffer[99], 0.25f);
    EXPECT_EQ (r.p->layers[2].rightBuffer[99], 0.75f);
    EXPECT_EQ (r.p->layers[2].leftBuffer[100], 0.0f);
    EXPECT_EQ (r.p->layers[2].peaks[0].load(), 0.5f);
    r.p->layers[2].waveDirty = 0;
    r.p->closeFile (2);
    ASSERT_TRUE (r.settleFiles());
    EXPECT_EQ (r.p->layers[2].leftBuffer[99], 0.0f);
    EXPECT_EQ (r.p->layers[2].rightBuffer[99], 0.0f);
    EXPECT_EQ (r.p->layers[2].peaks[0].load(), 0.0f);
    EXPECT_EQ (r.p->layers[2].waveDirty.load(), 1);
    EXPECT_FALSE (r.p->isLayerFileOpen (2));
    EXPECT_EQ (r.p->layers[0].leftBuffer[5], frameValue (5)); // other layers untouched
}

namespace
{
/** Plays layer 1 (a recorded noise-and-tone loop) from the given clocks and returns the output. */
std::vector<float> playFrom (std::int64_t samples, double beats)
{
    Rig r (1, 256);
    r.p->setParameter (P::stretchParam, 0.25f);
    r.p->setParameter (P::attackParam, 0.0f);
    r.setRegion (0, 0, 30000);
    r.block (256);
    std::uint32_t seed = 1;
    for (int i = 0; i < 40000; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        r.p->layers[0].leftBuffer[i] =
            0.1f * std::sin (0.05f * (float) i) + 0.02f * ((float) (seed >> 9) / 8388608.0f - 1.0f);
    }
    r.p->setClocks (samples, beats);
    r.p->setParameter (P::play1Param, 1.0f);
    std::vector<float> out;
    for (int k = 0; k < 600; ++k)
    {
        r.block (256);
        out.insert (out.end(), r.buffer.getReadPointer (0), r.buffer.getReadPointer (0) + 256);
    }
    return out;
}
} // namespace

TEST (RevolvaClocks, HoursAheadPlayLikeTheFirstMinute)
{
    // Six hours at 48 kHz and 120 bpm; both start on a bar line.
    const std::int64_t hours = (std::int64_t) 48000 * 3600 * 6;
    const auto early = playFrom (0, 0.0);
    const auto late = playFrom (hours, 2.0 * 3600 * 6);
    ASSERT_EQ (early.size(), late.size());
    float energy = 0.0f, worst = 0.0f;
    for (size_t i = 0; i < early.size(); ++i)
    {
        energy += early[i] * early[i];
        worst = std::max (worst, std::fabs (early[i] - late[i]));
    }
    EXPECT_GT (energy, 1.0f);
    EXPECT_LT (worst, 1e-5f);
}

TEST (RevolvaLoading, LoadLayerFileNowHoldsTheFileOnReturn)
{
    // A 440 Hz tone the renderer might load before its first block.
    Bytes data;
    for (int i = 0; i < 48000; ++i)
        le16 (data, (std::uint32_t) (std::int16_t) std::lround (
                        12000.0 * std::sin (2.0 * 3.141592653589793 * 440.0 * i / 48000.0))
                        & 0xFFFFu);
    TempFile tone ("tone.wav", wave (1, 16, data, 48000));
    TempFile bad ("bad.wav", Bytes (64, 1));

    Rig r (2, 512); // prepared, no block yet
    veltrane::LayerFileTarget& target = *r.p;
    EXPECT_EQ (target.getNumLayers(), 4);
    ASSERT_TRUE (target.loadLayerFileNow (1, juce::File (tone.path)));
    const LoopLayer& layer = r.p->layers[1];
    EXPECT_NEAR (layer.leftBuffer[12], 12000.0f / 32768.0f * std::sin (2.0f * 3.14159265f * 440.0f * 12.0f / 48000.0f),
                 1e-4f);
    EXPECT_EQ (layer.leftBuffer[48000], 0.0f);
    EXPECT_GT (layer.peaks[0].load(), 0.3f);

    EXPECT_FALSE (target.loadLayerFileNow (1, juce::File (bad.path)));
    EXPECT_FALSE (target.loadLayerFileNow (4, juce::File (tone.path)));
    EXPECT_FALSE (target.loadLayerFileNow (0, juce::File ("/nonexistent/tone.wav")));
    EXPECT_NE (layer.leftBuffer[12], 0.0f);

    // Played, it sounds.
    r.p->setParameter (P::play1Param + 1, 1.0f);
    r.p->setParameter (P::attackParam, 0.0f);
    float peak = 0.0f;
    for (int k = 0; k < 40; ++k)
    {
        r.block (512);
        for (int i = 0; i < 512; ++i)
            peak = std::max (peak, std::fabs (r.buffer.getSample (0, i)));
    }
    EXPECT_GT (peak, 0.05f);

    // With blocks running on another thread the audio thread takes the file up.
    std::atomic<bool> running { true };
    std::thread audio ([&r, &running] {
        while (running.load())
            r.block (256);
    });
    ASSERT_TRUE (target.loadLayerFileNow (3, juce::File (tone.path)));
    EXPECT_NE (r.p->layers[3].leftBuffer[12], 0.0f);
    running.store (false);
    audio.join();
}

namespace
{
/** Calls the message thread's adoption until nothing waits or the time runs out. */
bool adoptWhileIdle (P& p, int maxMillis = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (maxMillis);
    while (p.isFileWorkPending())
    {
        p.adoptLoadedLayerIfIdle();
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
    return true;
}
} // namespace

TEST (RevolvaLoading, ChosenAndClearedLayersArriveWhileTheHostIsNotProcessing)
{
    // A host that stopped calling processBlock (transport stopped, plug-in bypassed): the
    // message thread takes loads and clearings up itself, one layer after the other.
    TempFile file ("ramp.wav", indexedWave (20000));
    Rig r;
    r.block (64);
    ASSERT_EQ (r.p->loadSoundFile (0, file.path), 0);
    ASSERT_EQ (r.p->loadSoundFile (2, file.path), 0);
    ASSERT_TRUE (adoptWhileIdle (*r.p));
    for (int l : { 0, 2 })
    {
        EXPECT_EQ (r.p->layers[l].leftBuffer[7], frameValue (7));
        EXPECT_GT (r.p->layers[l].peaks[0].load(), 0.0f);
        EXPECT_EQ (r.p->layers[l].waveDirty.load(), 1);
    }
    EXPECT_EQ (r.p->layers[1].leftBuffer[7], 0.0f);

    r.p->closeFile (0);
    ASSERT_TRUE (adoptWhileIdle (*r.p));
    EXPECT_EQ (r.p->layers[0].leftBuffer[7], 0.0f);
    EXPECT_EQ (r.p->layers[0].peaks[0].load(), 0.0f);
    EXPECT_EQ (r.p->layers[2].leftBuffer[7], frameValue (7));

    // While blocks run, the message thread leaves the adoption to them. (A block first: the
    // idle time before this load counted already, so an adoption ahead of it was right.)
    ASSERT_EQ (r.p->loadSoundFile (1, file.path), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (20);
    while (r.p->isFileWorkPending() && std::chrono::steady_clock::now() < deadline)
    {
        r.block (64);
        const auto lastBlock = std::chrono::steady_clock::now();
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
        if (r.p->adoptLoadedLayerIfIdle())
        {
            EXPECT_GE (std::chrono::steady_clock::now() - lastBlock, std::chrono::milliseconds (100));
        }
    }
    EXPECT_EQ (r.p->layers[1].leftBuffer[7], frameValue (7));
}

TEST (RevolvaLoading, BlocksStartingDuringAnAdoptionNeverSeeAHalfSwappedLayer)
{
    // An audio thread that runs bursts of blocks with pauses long enough for the message
    // thread to step in, while that thread loads and clears layers and adopts when idle.
    // Nothing may hang or be lost, every block's output stays sane, and the thread
    // sanitizer build sees no unordered access to a layer.
    TempFile file ("ramp.wav", indexedWave (LoopLayer::layerLength));
    Rig r (2, 256);
    r.p->setParameter (P::attackParam, 0.0f);
    r.p->setParameter (P::stretchParam, 0.0f);
    r.block (256);
    std::atomic<bool> running { true };
    std::atomic<int> blocks { 0 }, badBlocks { 0 };
    std::thread audio ([&] {
        std::uint32_t seed = 5;
        while (running.load())
        {
            seed = seed * 1664525u + 1013904223u;
            const int burst = 1 + (int) (seed >> 28);
            for (int k = 0; k < burst; ++k)
            {
                r.block (256);
                ++blocks;
                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < 256; ++i)
                        if (! std::isfinite (r.buffer.getSample (c, i)) || std::fabs (r.buffer.getSample (c, i)) > 1.0f)
                            ++badBlocks;
            }
            std::this_thread::sleep_for (std::chrono::milliseconds ((seed >> 20) % 3 == 0 ? 130 : 1));
        }
    });
    bool loaded[4] {};
    int messageAdoptions = 0;
    for (int round = 0; round < 30; ++round)
    {
        const int l = round % 4;
        loaded[l] = round % 3 != 2;
        if (loaded[l])
            ASSERT_EQ (r.p->loadSoundFile (l, file.path), 0);
        else
            r.p->closeFile (l);
        r.p->setParameter (P::play1Param + l, round % 2 == 0 ? 1.0f : 0.0f);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (20);
        while (r.p->isFileWorkPending() && std::chrono::steady_clock::now() < deadline)
        {
            messageAdoptions += r.p->adoptLoadedLayerIfIdle() ? 1 : 0;
            std::this_thread::sleep_for (std::chrono::microseconds (300));
        }
        ASSERT_FALSE (r.p->isFileWorkPending()) << "round " << round;
        std::this_thread::sleep_for (std::chrono::milliseconds (round * 37 % 150));
    }
    running.store (false);
    audio.join();
    EXPECT_GT (blocks.load(), 100);
    EXPECT_GT (messageAdoptions, 0);
    EXPECT_EQ (badBlocks.load(), 0);
    // Each layer ends as its last request left it.
    for (int l = 0; l < 4; ++l)
        EXPECT_EQ (r.p->layers[l].leftBuffer[9], loaded[l] ? frameValue (9) : 0.0f) << "layer " << l;
}

TEST (RevolvaLoading, FilesTheLibraryReadsFollowTheSameFilePositionRules)
{
    // 12 s: longer than a layer, so "filepos" picks the span.
    SoxFolder sox;
    const std::string aiff =
        sox.make ("long.aiff", "-n -r 48000 -c 2 -b 24 {out} synth 12 sine 110:880 sine 300 gain -6");
    ASSERT_FALSE (aiff.empty()) << "sox is needed (tools/deps.sh installs it)";
    const std::string flac = sox.convert (aiff, "long.flac", "");
    ASSERT_FALSE (flac.empty());
    Bytes damagedBytes { 'f', 'L', 'a', 'C' };
    damagedBytes.resize (100, 0x11);
    TempFile damaged ("damaged.flac", damagedBytes);

    Rig r;
    r.p->setParameter (P::filepos1Param, 0.5f);
    r.p->setParameter (P::filepos1Param + 1, 0.5f);
    r.block (64);
    ASSERT_EQ (r.p->loadSoundFile (0, aiff), 0);
    ASSERT_EQ (r.p->loadSoundFile (1, flac), 0);
    ASSERT_TRUE (r.settleFiles());
    const auto sameLayers = [&r] {
        for (int i = 0; i < LoopLayer::layerLength; ++i)
            if (r.p->layers[0].leftBuffer[i] != r.p->layers[1].leftBuffer[i]
                || r.p->layers[0].rightBuffer[i] != r.p->layers[1].rightBuffer[i])
                return i;
        return -1;
    };
    EXPECT_NE (r.p->layers[1].leftBuffer[1000], 0.0f);
    EXPECT_EQ (sameLayers(), -1);

    // A refill from another position, and a damaged file that changes nothing.
    r.p->setParameter (P::filepos1Param, 0.875f);
    r.p->setParameter (P::filepos1Param + 1, 0.875f);
    ASSERT_TRUE (r.settleFiles());
    EXPECT_EQ (sameLayers(), -1);
    EXPECT_EQ (r.p->loadSoundFile (1, damaged.path), -1);
    ASSERT_TRUE (r.settleFiles());
    EXPECT_EQ (sameLayers(), -1);
    EXPECT_TRUE (r.p->isLayerFileOpen (1));
}

namespace
{
/** Mono 16-bit WAVE of a sine at `hz` (48 kHz), `frames` long. */
Bytes toneWave (double hz, int frames)
{
    Bytes data;
    for (int i = 0; i < frames; ++i)
        le16 (data, (std::uint32_t) (std::int16_t) std::lround (9000.0
                                                                * std::sin (2.0 * 3.141592653589793 * hz * i / 48000.0))
                        & 0xFFFFu);
    return wave (1, 16, data, 48000);
}

std::vector<float> renderBlocks (Rig& r, int count)
{
    std::vector<float> out;
    for (int k = 0; k < count; ++k)
    {
        r.block (512);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                out.push_back (r.buffer.getSample (c, i));
    }
    return out;
}

juce::MemoryBlock stateOf (P& p)
{
    juce::MemoryBlock b;
    p.getStateInformation (b);
    return b;
}
} // namespace

TEST (RevolvaRecall, FilesComeBackWithTheSession)
{
    TempFile a ("a.wav", toneWave (220.0, 60000)), b ("b.wav", toneWave (330.0, 90000));
    Rig original;
    original.p->setParameter (P::attackParam, 0.0f);
    ASSERT_TRUE (original.p->loadLayerFileNow (0, juce::File (a.path)));
    ASSERT_TRUE (original.p->loadLayerFileNow (2, juce::File (b.path)));
    for (int l : { 0, 2 })
    {
        original.p->setParameter (P::file1Param + l, 1.0f);
        original.p->setParameter (P::play1Param + l, 1.0f);
    }
    const auto saved = stateOf (*original.p);
    const auto xml = veltrane_test::stateXml (saved);
    EXPECT_NE (xml.find ("layerfile1=\"" + a.path + "\""), std::string::npos) << xml;
    EXPECT_NE (xml.find ("layerfile3=\"" + b.path + "\""), std::string::npos);
    EXPECT_EQ (xml.find ("layerfile2"), std::string::npos);
    // The plugin's attributes come first, the files after them.
    EXPECT_LT (xml.find ("color="), xml.find ("layerfile1"));

    // A fresh instance loads them as a user's choice would; with the same blocks it plays
    // the same audio.
    Rig restored;
    restored.p->setStateInformation (saved.getData(), (int) saved.getSize());
    ASSERT_TRUE (adoptWhileIdle (*restored.p));
    EXPECT_TRUE (restored.p->isLayerFileOpen (0) && restored.p->isLayerFileOpen (2));
    const auto expected = renderBlocks (original, 40);
    const auto got = renderBlocks (restored, 40);
    EXPECT_EQ (got, expected);
    float peak = 0.0f;
    for (float v : got)
        peak = std::max (peak, std::fabs (v));
    EXPECT_GT (peak, 0.05f);
    EXPECT_EQ (veltrane_test::stateXml (stateOf (*restored.p)), veltrane_test::stateXml (stateOf (*original.p)));

    // A layer that holds no file (recorded or clear) saves nothing: a fresh instance's state
    // is the plain format's.
    Rig fresh;
    EXPECT_EQ (veltrane_test::stateXml (stateOf (*fresh.p)).find ("layerfile"), std::string::npos);
}

TEST (RevolvaRecall, TheSavedContentComesBackFromWhereItStarted)
{
    // The content came from a refill at "filepos" 0.75 after the load; the restored layer
    // holds the same frames, and the restored "filepos" causes no second refill.
    TempFile longFile ("long.wav", indexedWave (1000000));
    Rig original;
    original.block (64);
    ASSERT_EQ (original.p->loadSoundFile (2, longFile.path), 0);
    ASSERT_TRUE (original.settleFiles());
    original.p->setParameter (P::filepos1Param + 2, 0.75f);
    ASSERT_TRUE (original.settleFiles());
    EXPECT_EQ (original.p->layers[2].leftBuffer[0], frameValue (750000));
    const auto saved = stateOf (*original.p);

    Rig restored;
    restored.p->setStateInformation (saved.getData(), (int) saved.getSize());
    ASSERT_TRUE (restored.settleFiles());
    for (int i = 0; i < LoopLayer::layerLength; i += 4099)
        ASSERT_EQ (restored.p->layers[2].leftBuffer[i], original.p->layers[2].leftBuffer[i]) << i;
    // Moving "filepos" afterwards refills as ever.
    restored.p->setParameter (P::filepos1Param + 2, 0.5f);
    ASSERT_TRUE (restored.settleFiles());
    EXPECT_EQ (restored.p->layers[2].leftBuffer[0], frameValue (500000));
}

TEST (RevolvaRecall, AMissingFileLeavesItsLayerEmptyAndIsNamed)
{
    TempFile a ("a.wav", toneWave (220.0, 60000));
    juce::MemoryBlock saved;
    {
        TempFile b ("moved.wav", toneWave (330.0, 60000));
        Rig original;
        ASSERT_TRUE (original.p->loadLayerFileNow (0, juce::File (a.path)));
        ASSERT_TRUE (original.p->loadLayerFileNow (1, juce::File (b.path)));
        for (int l : { 0, 1 })
        {
            original.p->setParameter (P::file1Param + l, 1.0f);
            original.p->setParameter (P::play1Param + l, 1.0f);
        }
        original.p->setParameter (P::attackParam, 0.0f);
        saved = stateOf (*original.p);
    } // b is gone now

    Rig restored;
    restored.p->setStateInformation (saved.getData(), (int) saved.getSize());
    ASSERT_TRUE (restored.settleFiles());
    EXPECT_TRUE (restored.p->isLayerFileOpen (0));
    EXPECT_FALSE (restored.p->isLayerFileOpen (1));
    EXPECT_EQ (restored.p->getParameter (P::file1Param + 1), 0.0f);
    EXPECT_EQ (restored.p->fileProblem(), "not found: moved.wav");
    EXPECT_EQ (restored.p->fileProblemCount(), 1);
    for (int i = 0; i < 60000; i += 97)
        ASSERT_EQ (restored.p->layers[1].leftBuffer[i], 0.0f);
    // The other layer plays.
    float peak = 0.0f;
    for (float v : renderBlocks (restored, 40))
        peak = std::max (peak, std::fabs (v));
    EXPECT_GT (peak, 0.05f);
}
