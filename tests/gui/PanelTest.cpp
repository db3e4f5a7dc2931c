#include "EditorRig.h"
#include "PanelColours.h"
#include "PanelPainter.h"
#include "vel01LAF.h"

namespace
{
void expectSameColour (juce::Colour actual, juce::Colour expected, const char* what)
{
    EXPECT_EQ (actual.getARGB(), expected.getARGB())
        << what << ": " << actual.toDisplayString (true) << " vs " << expected.toDisplayString (true);
}
} // namespace

TEST (PanelColours, ColourZeroGivesTheConstructionColours)
{
    const auto c = veltrane::panelColoursFor (0.0f);
    expectSameColour (c.main, juce::Colour::fromHSV (0.666f, 1.0f, 0.0f, 1.0f), "main");
    expectSameColour (c.face, juce::Colour::fromHSV (0.333f, 0.0f, 1.0f, 1.0f), "face");
    expectSameColour (c.hub, juce::Colour::fromHSV (0.0f, 0.0f, 0.5f, 1.0f), "hub");
    expectSameColour (c.main, juce::Colours::black, "main is black");
    expectSameColour (c.face, juce::Colours::white, "face is white");
}

TEST (PanelColours, HuesFoldBackIntoTheWheel)
{
    struct Case
    {
        float c;
        float mainHue, faceHue;
    };
    // 0.333 + 3c and 0.666 + 3c, folded by the offsets 2.667 / 2.334, then by 2, then by 1.
    const Case cases[] = {
        { 1.0f, 0.666f, 0.333f },  // 3.666 -> 0.666, 3.333 -> 0.333
        { 0.5f, 0.166f, 0.833f },  // 2.166 -> 0.166, 1.833 -> 0.833
        { 0.25f, 0.416f, 0.083f }, // 1.416 -> 0.416, 1.083 -> 0.083
        { 0.1f, 0.966f, 0.633f },  // no fold
    };
    for (const auto& k : cases)
    {
        const auto colours = veltrane::panelColoursFor (k.c);
        expectSameColour (colours.main, juce::Colour::fromHSV (k.mainHue, 1.0f, k.c * 0.5f, 1.0f), "main");
        expectSameColour (colours.face, juce::Colour::fromHSV (k.faceHue, k.c * 0.5f, 1.0f, 1.0f), "face");
        expectSameColour (colours.hub, juce::Colour::fromHSV (k.c, k.c * 0.5f, 0.5f, 1.0f), "hub");
    }
    // At 1 the hub is red at half saturation and brightness.
    const auto one = veltrane::panelColoursFor (1.0f).hub;
    EXPECT_NEAR (one.getFloatRed(), 0.5f, 0.01f);
    EXPECT_NEAR (one.getFloatGreen(), 0.25f, 0.01f);
    EXPECT_NEAR (one.getFloatBlue(), 0.25f, 0.01f);
}

TEST (PanelColours, AppliedToEditorAndLookAndFeel)
{
    juce::Component editor;
    vel01LAF laf;
    const auto colours = veltrane::panelColoursFor (0.7f);
    veltrane::applyPanelColours (editor, laf, colours);
    for (auto [id, expected] :
         { std::pair { 1200, colours.main }, std::pair { 1201, colours.face }, std::pair { 1203, colours.hub } })
    {
        expectSameColour (editor.findColour (id), expected, "editor");
        expectSameColour (laf.findColour (id), expected, "look and feel");
    }
    EXPECT_FALSE (laf.isColourSpecified (1202));
    EXPECT_FALSE (laf.isColourSpecified (1204));
}

TEST (PanelPainter, BarsUseTheirColoursAndShapes)
{
    // A small panel with the bars at their usual places; pixels inside each band tell
    // that the layers went down in order.
    struct Panel : juce::Component
    {
        void paint (juce::Graphics& g) override
        {
            namespace panel = veltrane::panel;
            panel::paintBackground (g, *this);
            panel::paintTitleBar (g, *this, { 272, 266, 278 });
            panel::paintStatusBar (g, *this, { 106, 450, 174, 344 });
        }
    } p;
    const juce::Colour main (0xff000080u), face (0xfff0f0f0u), hub (0xff808000u), accent (0xffc00000u);
    p.setColour (vel01LAF::mainColourId, main);
    p.setColour (vel01LAF::faceColourId, face);
    p.setColour (vel01LAF::hubColourId, hub);
    p.setColour (vel01LAF::accentColourId, accent);
    p.setBounds (0, 0, 474, 198);
    const auto image = p.createComponentSnapshot (p.getLocalBounds(), true, 1.0f);

    struct Probe
    {
        int x, y;
        juce::Colour expected;
    };
    const Probe probes[] = {
        { 200, 100, face }, // background
        { 200, 7, main },   // outer title band
        { 200, 10, face },  // rim
        { 200, 24, main },  // inner band
        { 60, 24, accent }, // highlight under the brand word
        { 300, 24, main },  // right cap of the inner band
        { 303, 24, face },  // rim around the right end
        { 200, 175, hub },  // status bar rim
        { 200, 183, main }, // status bar band
        { 460, 183, main }, // right end of the status band
        { 466, 183, hub },  // its rim
        { 100, 183, face }, // left of the status bar
    };
    for (const auto& pr : probes)
        expectSameColour (image.getPixelAt (pr.x, pr.y), pr.expected,
                          ("pixel " + std::to_string (pr.x) + "," + std::to_string (pr.y)).c_str());
}
