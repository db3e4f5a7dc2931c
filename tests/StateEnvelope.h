#pragma once

// Saved-state bytes written by hand, for the tests of the state format and of restoring.

#include "StateFormat.h"

#include <string>

namespace veltrane_test
{
/** The suite's envelope around an XML text: magic, little-endian length (plus
    lengthAdjust, to damage it), the text and a zero byte. */
inline juce::MemoryBlock stateEnvelope (const std::string& xml, int lengthAdjust = 0)
{
    juce::MemoryOutputStream out;
    out.writeInt ((int) veltrane::StateFormat::magic);
    out.writeInt ((int) xml.size() + lengthAdjust);
    out.write (xml.data(), xml.size());
    out.writeByte (0);
    return out.getMemoryBlock();
}

/** The XML text inside an envelope. */
inline std::string stateXml (const juce::MemoryBlock& b)
{
    return std::string (static_cast<const char*> (b.getData()) + 8, b.getSize() - 9);
}
} // namespace veltrane_test
