#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

namespace veltrane
{
class VeltraneProcessor;
}

namespace revolva
{
/** The picture of one loop layer: its 288-bin waveform overview with a green marker at
    the loop start and a red one at the loop end. A drag sets "end" when it begins in the
    top strip (y <= 7), "start" in the bottom strip (y >= 52) and "filepos" in between.
    The selector does not move its markers itself; the editor's timer copies the
    parameters and the layer's overview into it. */
class WaveSelector : public juce::Component
{
public:
    static constexpr int width = 288, height = 60; // pixels
    static constexpr int numBins = 288;

    WaveSelector (veltrane::VeltraneProcessor& processor, int startParameter, int endParameter, int fileposParameter);

    void paint (juce::Graphics& g) override;
    void resized() override {}
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;

    /** The parameter a drag starting at height y (pixels) sets. */
    int parameterForHeight (int y) const noexcept;
    /** The normalized value a drag at x (pixels) sets: x / 288, 0 left of the picture, 1 right of it. */
    static float valueForX (int x) noexcept;

    veltrane::VeltraneProcessor* processor;
    int startParameter;                     // index of the layer's "start"
    int endParameter;                       // index of the layer's "end"
    int fileposParameter;                   // index of the layer's "filepos"
    int dragParameter = 0;                  // parameter the current drag sets; 0 for none
    float startMarker = 0.2f;               // normalized loop start shown
    float endMarker = 0.8f;                 // normalized loop end shown
    std::array<float, numBins> overview {}; // the layer's peaks, 0..1 full height

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveSelector)
};
} // namespace revolva
