#pragma once

#include <juce_core/juce_core.h>

namespace veltrane
{
/** A processor that can take a sound file into one of its layers outside a host, for the
    offline renderer: the call returns once the layer holds the file (or it was refused). */
class LayerFileTarget
{
public:
    virtual ~LayerFileTarget() = default;
    /** layer counts from 0; returns false when the file is refused, the layer unchanged. */
    virtual bool loadLayerFileNow (int layer, const juce::File& file) = 0;
    virtual int getNumLayers() const = 0;
    /** Returns once every file a restored state named is in its layer (or refused); false
        when that takes longer than a minute. */
    virtual bool waitForLayerFiles() = 0;
    /** The last file that could not be loaded, described for a person; empty when none. */
    virtual juce::String layerFileProblem() const = 0;
};
} // namespace veltrane
