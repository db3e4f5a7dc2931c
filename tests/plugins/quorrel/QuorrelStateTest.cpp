#include "QuorrelAudioProcessor.h"
#include "StateEnvelope.h"

#include <gtest/gtest.h>

namespace
{
using veltrane_test::stateEnvelope;
using veltrane_test::stateXml;
} // namespace

TEST (QuorrelState, ConstructionValuesGiveTheDocumentedBytes)
{
    QuorrelAudioProcessor q;
    juce::MemoryBlock b;
    q.getStateInformation (b);
    EXPECT_EQ (stateXml (b),
               R"(<quorrel pluginVersion="2" presetName="" bands="0.60000002384185791016" bandshift="0.5" )"
               R"(phaseshift="0.5" phasenull="0" phasenoise="0" scramble="0" phasereset="0" ingain="0.5" )"
               R"(outgain="0.5" color="0"/>)");

    QuorrelAudioProcessor r;
    r.setParameter (0, 0.1f);
    r.setStateInformation (b.getData(), (int) b.getSize());
    for (int i = 0; i < r.getNumParameters(); ++i)
        EXPECT_EQ (r.getParameter (i), q.getParameter (i)) << i; // bit for bit
    juce::MemoryBlock again;
    r.getStateInformation (again);
    EXPECT_EQ (again, b);
}

TEST (QuorrelState, RestoringRules)
{
    QuorrelAudioProcessor q;
    q.changeProgramName (0, "old");
    const auto b =
        stateEnvelope (R"(<QUORREL presetName="night &amp; day" Bands="0.9" phasenull="1.5" color="0.25"/>)");
    q.setStateInformation (b.getData(), (int) b.getSize());
    EXPECT_EQ (q.getProgramName (0), "night & day");
    EXPECT_EQ (q.getParameter (0), 0.0f);         // "Bands" is not "bands"
    EXPECT_EQ (q.getScaledParameter (1), -50.0f); // missing "bandshift" becomes 0
    EXPECT_EQ (q.getParameter (3), 1.5f);         // not clamped
    EXPECT_EQ (q.getParameter (9), 0.25f);
}

TEST (QuorrelState, ForeignAndBrokenStatesChangeNothing)
{
    QuorrelAudioProcessor q;
    q.setParameter (1, 0.75f);
    const auto foreign = stateEnvelope (R"(<tonalith pitchshift="1"/>)");
    q.setStateInformation (foreign.getData(), (int) foreign.getSize());
    const char garbage[] = "VC2!\x05\x00\x00\x00<quo";
    q.setStateInformation (garbage, sizeof (garbage) - 1);
    q.setStateInformation (garbage, 8);
    EXPECT_EQ (q.getParameter (1), 0.75f);
    EXPECT_EQ (q.getParameter (0), 0.6f);
}
