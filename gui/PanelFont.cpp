#include "PanelFont.h"

#if VELTRANE_EMBEDDED_PANEL_FONT
 #include "PanelFontData.h"
#endif

namespace veltrane
{
bool systemHasPanelTypeface()
{
    // The scan of installed families is slow; the answer does not change while loaded.
    static const bool present = juce::Font::findAllTypefaceNames().contains (panelTypefaceName, true);
    return present;
}

juce::Typeface::Ptr embeddedPanelTypeface()
{
#if VELTRANE_EMBEDDED_PANEL_FONT
    static const juce::Typeface::Ptr face = juce::Typeface::createSystemTypefaceFor (
        VeltranePanelFontData::PanelFont_otf, (size_t) VeltranePanelFontData::PanelFont_otfSize);
    return face;
#else
    return nullptr;
#endif
}

juce::Typeface::Ptr panelTypeface()
{
    static const juce::Typeface::Ptr face = []() -> juce::Typeface::Ptr {
        if (systemHasPanelTypeface())
            return juce::Typeface::createSystemTypefaceFor (juce::Font (panelTypefaceName, panelTypefaceStyle, 10.0f));
        if (auto embedded = embeddedPanelTypeface())
            return embedded;
        return juce::Typeface::createSystemTypefaceFor (
            juce::Font (juce::Font::getDefaultSansSerifFontName(), 10.0f, juce::Font::bold));
    }();
    return face;
}

juce::Font panelFont (float height)
{
    if (systemHasPanelTypeface())
        return juce::Font (panelTypefaceName, panelTypefaceStyle, height);
    // The stand-in is a wide geometric face; narrowed it takes the room the condensed
    // panel face takes, so labels fit their boxes as designed.
    return juce::Font (panelTypeface()).withHeight (height).withHorizontalScale (standInHorizontalScale);
}
} // namespace veltrane
