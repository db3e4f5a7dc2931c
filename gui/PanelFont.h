#pragma once

#include <juce_graphics/juce_graphics.h>

namespace veltrane
{
/** The family and style every panel text asks for. */
inline constexpr const char* panelTypefaceName = "Futura";
inline constexpr const char* panelTypefaceStyle = "Condensed ExtraBold";

/** True when the system has the panel family installed. Linux font lookup does not
    match a missing family to a look-alike (it silently falls back to a default sans),
    so the fallback has to be chosen here, explicitly. */
bool systemHasPanelTypeface();

/** The geometric face embedded in the binary, or null when the build found none. */
juce::Typeface::Ptr embeddedPanelTypeface();

/** The typeface panel texts are drawn with: the installed panel family when present,
    otherwise the embedded stand-in, otherwise the default sans-serif. */
juce::Typeface::Ptr panelTypeface();

/** Width factor applied to the stand-in face (the panel face is condensed). */
inline constexpr float standInHorizontalScale = 0.7f;

/** Panel font at the given height (pixels). */
juce::Font panelFont (float height);
} // namespace veltrane
