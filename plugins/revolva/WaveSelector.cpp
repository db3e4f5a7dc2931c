#include "WaveSelector.h"

#include "VeltraneProcessor.h"
#include "vel01LAF.h"

#include <cmath>

namespace revolva
{
namespace
{
/** A marker position kept where the rasteriser can draw it: NaN sits at 0, huge values at
    a far edge. */
float drawable (float marker) noexcept
{
    if (! (marker == marker))
        return 0.0f;
    return juce::jlimit (-100.0f, 100.0f, marker);
}
} // namespace

WaveSelector::WaveSelector (veltrane::VeltraneProcessor& p, int start, int end, int filepos)
    : processor (&p),
      startParameter (start),
      endParameter (end),
      fileposParameter (filepos)
{
}

void WaveSelector::paint (juce::Graphics& g)
{
    const float h = (float) height;
    g.setColour (findColour (vel01LAF::hubColourId));
    g.drawRect (0, 0, width, height, 1);

    // The outline skips bins at or above full height; the first bin always draws (a
    // non-finite one at the bottom or top, so the path stays finite).
    juce::Path wave;
    wave.startNewSubPath (0.0f, h);
    float first = h - h * overview[0];
    if (! std::isfinite (first))
        first = std::isnan (first) ? h : -h;
    wave.lineTo (0.0f, first);
    for (int i = 1; i < numBins; ++i)
    {
        const float y = h - h * overview[(size_t) i];
        if (y > 0.0f && y < 1.0e6f)
            wave.lineTo ((float) i, y);
    }
    wave.lineTo ((float) width, h);
    wave.lineTo (0.0f, h);
    wave.closeSubPath();

    g.setColour (findColour (vel01LAF::hubColourId));
    g.fillPath (wave);
    g.setColour (findColour (vel01LAF::mainColourId));
    g.strokePath (wave, juce::PathStrokeType (1.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));

    const float s = drawable (startMarker) * 286.0f;
    g.setColour (juce::Colour (0xff008000u));
    g.drawLine (s + 1.0f, 0.0f, s + 1.0f, h, 1.0f);
    g.fillEllipse (s - 3.0f, 52.0f, 8.0f, 8.0f);

    const float e = drawable (endMarker) * 286.0f;
    g.setColour (juce::Colour (0xffff0000u));
    g.drawLine (e + 1.0f, 0.0f, e + 1.0f, h, 1.0f);
    g.fillEllipse (e - 3.0f, 0.0f, 8.0f, 8.0f);
}

int WaveSelector::parameterForHeight (int y) const noexcept
{
    if (y <= 7)
        return endParameter;
    if (y >= 52)
        return startParameter;
    return fileposParameter;
}

float WaveSelector::valueForX (int x) noexcept
{
    if (x < 0)
        return 0.0f;
    if (x > width)
        return 1.0f;
    return (float) x * 0.00347222225f; // the float nearest 1/288
}

void WaveSelector::mouseDown (const juce::MouseEvent& event)
{
    dragParameter = parameterForHeight (event.getPosition().y);
    // One gesture per drag, so hosts record it as touch automation.
    if (auto* parameter = processor->getParameterObject (dragParameter))
        parameter->beginChangeGesture();
    mouseDrag (event);
}

void WaveSelector::mouseUp (const juce::MouseEvent&)
{
    if (dragParameter == 0)
        return;
    if (auto* parameter = processor->getParameterObject (dragParameter))
        parameter->endChangeGesture();
    dragParameter = 0;
}

void WaveSelector::mouseDrag (const juce::MouseEvent& event)
{
    if (dragParameter == 0)
        return;
    if (auto* parameter = processor->getParameterObject (dragParameter))
        parameter->setValueNotifyingHost (valueForX (event.getPosition().x));
}
} // namespace revolva
