#include "EditorRig.h"
#include "KnobValueText.h"
#include "PanelFont.h"
#include "vel01LAF.h"

#include <cmath>

using veltrane::test::pixelAt;

namespace
{
const juce::Colour mainC (0xff102030u), faceC (0xfff0e0d0u), textC (0xff400000u), hubC (0xff20a020u),
    accentC (0xff2040f0u);

/** A look and feel with five distinct colours, so a pixel tells which part drew it. */
struct ColouredLaf : vel01LAF
{
    ColouredLaf()
    {
        setColour (mainColourId, mainC);
        setColour (faceColourId, faceC);
        setColour (textColourId, textC);
        setColour (hubColourId, hubC);
        setColour (accentColourId, accentC);
    }
};

juce::Image renderKnob (vel01LAF& laf, const juce::String& name, int width, double proportion)
{
    juce::Slider s (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::NoTextBox);
    s.setName (name);
    s.setRange (0.0, 1.0);
    s.setValue (proportion, juce::dontSendNotification);
    s.setLookAndFeel (&laf);
    s.setBounds (0, 0, width, width);
    auto image = s.createComponentSnapshot (s.getLocalBounds(), false, 1.0f);
    s.setLookAndFeel (nullptr);
    return image;
}

juce::Image renderToggle (vel01LAF& laf, const juce::String& name, int w, int h, bool on)
{
    juce::ToggleButton b (name);
    b.setName (name);
    b.setToggleState (on, juce::dontSendNotification);
    b.setLookAndFeel (&laf);
    b.setBounds (0, 0, w, h);
    auto image = b.createComponentSnapshot (b.getLocalBounds(), false, 1.0f);
    b.setLookAndFeel (nullptr);
    return image;
}

bool near (juce::Colour a, juce::Colour b, int tolerance = 3)
{
    return std::abs ((int) a.getRed() - (int) b.getRed()) <= tolerance
           && std::abs ((int) a.getGreen() - (int) b.getGreen()) <= tolerance
           && std::abs ((int) a.getBlue() - (int) b.getBlue()) <= tolerance
           && std::abs ((int) a.getAlpha() - (int) b.getAlpha()) <= tolerance;
}

::testing::AssertionResult hasColour (juce::Colour actual, juce::Colour expected)
{
    if (near (actual, expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << actual.toDisplayString (true) << ", expected "
                                         << expected.toDisplayString (true);
}
} // namespace

TEST (KnobValueText, FollowsTheRuleForEachName)
{
    struct Case
    {
        const char* name;
        double v;
        const char* text;
    };
    const Case cases[] = {
        { "timeslider", 999.94, "999.9" },
        { "timeslider", 1500.0, "1.5s" },
        { "TimeSlider", 1500.0, "1.5s" }, // names compare without regard to case
        { "freqslider", 250.0, "250.0" },
        { "filterhifreqslider", 12000.0, "12.0k" },
        { "filterlofreqslider", 1000.0, "1.0k" },
        { "ratioslider", 0.25, "4.0:1" },
        { "ratioslider", 4.0, "1:4.0" },
        { "ratioslider", 1.0, "1:1.0" },
        { "lfoshapeslider", 0.5, "ramp" },
        { "lfoshapeslider", 3.99, "square" },
        { "lfoshapeslider", 4.0, "rand" },
        { "lfoshapeslider3", 1.5, "tri" },
        { "lfoshapeslider3", 2.0, "rand" },
        { "lfoshapeslider6", 2.5, "square" },
        { "lfoshapeslider6", 3.5, "ramp+" },
        { "lfoshapeslider6", 4.5, "ramp-" },
        { "lfoshapeslider6", 5.0, "rand" },
        { "bandsslider", 700.0, "512" },
        { "bandsslider", 8192.0, "8192" },
        { "bandsslider", 8.0, "8" },
        { "voicesslider", 4.0, "4" },
        { "responseslider", 2.6, "3" },
        { "rateslider", 1.0, "1.00" },
        { "bandshiftslider", 12.345, "12.3" },
        { "phasenullslider", 1.234, "1.23" },
        { "phaseshiftslider", -3.14, "-3.14" },
        { "anything", -10.0, "-10.0" },
        { "anything", 9.999, "10.00" },
    };
    for (const auto& c : cases)
        EXPECT_EQ (veltrane::knobValueText (c.name, c.v, "pitch"), c.text) << c.name << " at " << c.v;

    EXPECT_EQ (veltrane::knobValueText ("pitchslider", 3.0, "+7 fifth"), "+7 fifth");
}

TEST (KnobDrawing, FormFollowsWidth)
{
    // The centre tells the forms apart: the tiny knob's value disc, the small knob's main
    // dot, the large knob's hub.
    ColouredLaf laf;
    struct Case
    {
        int width;
        juce::Colour centre;
    };
    const Case cases[] = {
        { 29, vel01LAF::valueColour (0.0f) }, { 30, mainC }, { 47, mainC }, { 48, hubC }, { 84, hubC },
    };
    for (const auto& c : cases)
    {
        // The value text is printed on the small knob's pointer and the large knob's centre;
        // a name whose text is empty keeps the centre clear.
        auto image = renderKnob (laf, "pitchslider", c.width, 0.0);
        const int centre = c.width / 2;
        EXPECT_TRUE (hasColour (image.getPixelAt (centre, centre - 1), c.centre)) << "width " << c.width;
    }
}

TEST (KnobDrawing, PointerSweepsClockwiseFromSevenThirty)
{
    // The value dot sits on the circle of radius 5w/12 at angle (1.5p - 0.75) pi,
    // 0 at twelve o'clock, clockwise.
    ColouredLaf laf;
    const int w = 96;
    for (double p : { 0.0, 0.25, 0.5, 1.0 })
    {
        auto image = renderKnob (laf, "pitchslider", w, p);
        const double a = (1.5 * p - 0.75) * juce::MathConstants<double>::pi;
        const double r = 5.0 * w / 12.0;
        const int px = (int) std::floor (w / 2.0 + r * std::sin (a));
        const int py = (int) std::floor (w / 2.0 - r * std::cos (a));
        EXPECT_TRUE (hasColour (image.getPixelAt (px, py), vel01LAF::valueColour ((float) p))) << "p " << p;
        // Half a turn away lies the face, not a dot.
        const int qx = (int) std::floor (w / 2.0 - r * std::sin (a));
        const int qy = (int) std::floor (w / 2.0 + r * std::cos (a));
        EXPECT_FALSE (hasColour (image.getPixelAt (qx, qy), vel01LAF::valueColour ((float) p))) << "p " << p;
    }
}

TEST (KnobDrawing, LevelMetersFillHalvesFromTheBottom)
{
    const juce::Colour red (0xffff0000u), green (0xff008000u);
    struct Case
    {
        float left, right;
        juce::Colour lowLeft, highLeft, lowRight, highRight;
    };
    const Case cases[] = {
        { 1.5f, -0.5f, red, red, mainC, mainC },    // above full scale: red and full; negative: nothing
        { 0.5f, 1.0f, green, mainC, green, green }, // half: the lower quarter only; 1 is still green
        { 0.0f, std::nanf (""), mainC, mainC, mainC, mainC },
    };
    const int w = 36;
    // Points on the meter ring (radius 12..15) below and above the knob's centre line.
    const int lowY = 18 + 9, highY = 18 - 9, leftX = 18 - 9, rightX = 18 + 9;
    for (const auto& c : cases)
    {
        ColouredLaf laf;
        laf.setVuLevels (c.left, c.right, 0.0f, 0.0f);
        auto image = renderKnob (laf, "inlevelslider", w, 0.5);
        EXPECT_TRUE (hasColour (image.getPixelAt (leftX, lowY), c.lowLeft)) << c.left;
        EXPECT_TRUE (hasColour (image.getPixelAt (leftX, highY), c.highLeft)) << c.left;
        EXPECT_TRUE (hasColour (image.getPixelAt (rightX, lowY), c.lowRight)) << c.right;
        EXPECT_TRUE (hasColour (image.getPixelAt (rightX, highY), c.highRight)) << c.right;

        // Other knobs and the output knob ignore the input levels.
        auto out = renderKnob (laf, "outlevelslider", w, 0.5);
        EXPECT_TRUE (hasColour (out.getPixelAt (leftX, lowY), mainC));
    }
}

TEST (KnobDrawing, MixKnobFillsLikeLiquid)
{
    ColouredLaf laf;
    const int w = 60;
    auto image = renderKnob (laf, "mixslider", w, 0.25);
    // Inner disc spans y 10..50; the level line is at 50 - 40 * 0.25 = 40.
    EXPECT_TRUE (hasColour (image.getPixelAt (22, 46), vel01LAF::valueColour (0.25f)));
    EXPECT_TRUE (hasColour (image.getPixelAt (14, 24), faceC));
}

TEST (ToggleDrawing, PillAndNarrowBoxes)
{
    ColouredLaf laf;
    // Pill: the inner band is the hub colour when on and the face colour when off (the
    // text is centred, so look at the rounded inner ends).
    EXPECT_TRUE (hasColour (renderToggle (laf, "scramble", 96, 18, true).getPixelAt (6, 9), hubC));
    EXPECT_TRUE (hasColour (renderToggle (laf, "scramble", 96, 18, false).getPixelAt (6, 9), faceC));
    EXPECT_TRUE (hasColour (renderToggle (laf, "scramble", 96, 18, false).getPixelAt (1, 9), mainC));

    // Narrow box 24 high: accent fill framed in the main colour; when on, the middle third
    // stays undrawn.
    auto on24 = renderToggle (laf, "k", 15, 24, true);
    EXPECT_TRUE (hasColour (on24.getPixelAt (2, 12), accentC));
    EXPECT_TRUE (hasColour (on24.getPixelAt (12, 12), accentC));
    EXPECT_EQ (on24.getPixelAt (7, 12).getAlpha(), 0);
    auto off20 = renderToggle (laf, "k", 15, 20, false);
    EXPECT_TRUE (hasColour (off20.getPixelAt (7, 10), mainC));

    auto play = renderToggle (laf, "play", 24, 24, false);
    EXPECT_TRUE (hasColour (play.getPixelAt (3, 12), juce::Colour (0xff006400u)));
}

TEST (SliderDrawing, TrackThumbAndValueDot)
{
    ColouredLaf laf;
    juce::Slider s (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    s.setName ("x");
    s.setRange (0.0, 1.0);
    s.setValue (0.5, juce::dontSendNotification);
    s.setLookAndFeel (&laf);
    s.setBounds (0, 0, 200, 24);
    const auto image = s.createComponentSnapshot (s.getLocalBounds(), false, 1.0f);
    s.setLookAndFeel (nullptr);

    // The thumb's left edge sits at the slider position; its centre disc shows the value
    // colour, the track runs along the bottom sixth in the main colour.
    const auto area = laf.getSliderLayout (s).sliderBounds;
    const float pos = (float) s.getPositionOfValue (0.5);
    const int t = (int) (pos - (float) area.getX());
    const int cy = area.getY() + area.getHeight() / 2;
    const int h = area.getHeight();
    EXPECT_TRUE (
        hasColour (image.getPixelAt (t + h / 2, cy + 1), vel01LAF::valueColour ((float) t / (float) area.getWidth())));
    EXPECT_TRUE (hasColour (image.getPixelAt (2, area.getY() + h - 1), mainC));
    EXPECT_TRUE (hasColour (image.getPixelAt (t + 1, area.getY() + 1), faceC)); // square behind the thumb's corner
}

TEST (KnobDrawing, ColoursNeverSetDrawBlack)
{
    vel01LAF laf;
    auto image = renderKnob (laf, "pitchslider", 84, 0.5);
    EXPECT_TRUE (hasColour (image.getPixelAt (42, 41), juce::Colours::black)); // hub
    EXPECT_TRUE (hasColour (image.getPixelAt (20, 42), juce::Colours::black)); // face
}

TEST (PanelFont, FallsBackToTheEmbeddedFace)
{
    const auto font = veltrane::panelFont (30.0f);
    EXPECT_FLOAT_EQ (font.getHeight(), 30.0f);
    if (veltrane::systemHasPanelTypeface())
    {
        EXPECT_EQ (font.getTypefaceName(), veltrane::panelTypefaceName);
        return;
    }
    auto embedded = veltrane::embeddedPanelTypeface();
    ASSERT_NE (embedded, nullptr) << "the build embedded no stand-in typeface";
    EXPECT_EQ (font.getTypefacePtr(), embedded);
    EXPECT_NE (embedded->getName(), juce::Font::getDefaultSansSerifFontName());

    // A font that asks for the panel family by name is served the stand-in too.
    vel01LAF laf;
    EXPECT_EQ (laf.getTypefaceForFont (juce::Font (veltrane::panelTypefaceName, veltrane::panelTypefaceStyle, 18.0f)),
               embedded);
}
