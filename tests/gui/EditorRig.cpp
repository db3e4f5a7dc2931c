#include "EditorRig.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace juce
{
// The message loop's own single step, as the plug-in client's Linux message thread uses it.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace veltrane::test
{
EditorRig::EditorRig (juce::AudioProcessor& processor, double sampleRate, int blockSize)
    : proc (processor),
      rate (sampleRate)
{
    const int channels = juce::jmax (1, proc.getTotalNumInputChannels(), proc.getTotalNumOutputChannels());
    buffer.setSize (channels, blockSize);
    proc.setRateAndBufferSizeDetails (sampleRate, blockSize);
    proc.prepareToPlay (sampleRate, blockSize);

    ed.reset (proc.createEditor());
    if (ed == nullptr)
        throw std::runtime_error ("the processor made no editor");
    if (auto* timer = dynamic_cast<juce::Timer*> (ed.get()))
        timer->stopTimer();
}

EditorRig::~EditorRig()
{
    pumpMessages();
    ed.reset();
    proc.releaseResources();
}

juce::Component* EditorRig::find (const juce::String& name) const
{
    std::function<juce::Component*(juce::Component&)> search = [&] (juce::Component& c) -> juce::Component* {
        for (auto* child : c.getChildren())
        {
            if (child->getName() == name)
                return child;
            if (auto* found = search (*child))
                return found;
        }
        return nullptr;
    };
    return search (*ed);
}

juce::Slider& EditorRig::slider (const juce::String& name) const
{
    if (auto* s = dynamic_cast<juce::Slider*> (find (name)))
        return *s;
    ADD_FAILURE() << "no slider named \"" << name << "\"";
    throw std::runtime_error ("missing slider");
}

juce::Button& EditorRig::button (const juce::String& name) const
{
    if (auto* b = dynamic_cast<juce::Button*> (find (name)))
        return *b;
    ADD_FAILURE() << "no button named \"" << name << "\"";
    throw std::runtime_error ("missing button");
}

void EditorRig::setHostParameter (int index, float normalized)
{
    auto& params = proc.getParameters();
    ASSERT_TRUE (index >= 0 && index < params.size()) << "parameter " << index;
    params[index]->setValue (normalized);
}

void EditorRig::processBlocks (int count, float level)
{
    const double step = juce::MathConstants<double>::twoPi * 1000.0 / rate;
    for (int b = 0; b < count; ++b)
    {
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const auto v = (float) (level * std::sin (phase));
            phase += step;
            for (int c = 0; c < buffer.getNumChannels(); ++c)
                buffer.setSample (c, i, v);
        }
        midi.clear();
        proc.processBlock (buffer, midi);
    }
}

void EditorRig::tick (int count)
{
    auto* timer = dynamic_cast<juce::Timer*> (ed.get());
    ASSERT_NE (timer, nullptr) << "the editor has no timer";
    for (int i = 0; i < count; ++i)
        timer->timerCallback();
}

void EditorRig::click (juce::Button& b)
{
    b.triggerClick();
    pumpMessages();
}

void EditorRig::moveSlider (juce::Slider& s, double value) { s.setValue (value, juce::sendNotificationSync); }

void EditorRig::dragSlider (juce::Slider& s, int pixels)
{
    const auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto start = s.getLocalBounds().getCentre().toFloat();
    const auto now = juce::Time::getCurrentTime();
    auto event = [&] (juce::Point<float> at, bool dragged) {
        return juce::MouseEvent (source, at, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1.0f, 0.0f,
                                 0.0f, 0.0f, 0.0f, &s, &s, now, start, now, 1, dragged);
    };
    s.mouseDown (event (start, false));
    for (int step = 1; step <= 4; ++step)
        s.mouseDrag (event (start.translated (0.0f, -(float) pixels * (float) step / 4.0f), true));
    s.mouseUp (event (start.translated (0.0f, (float) -pixels), true));
    pumpMessages();
}

void EditorRig::pumpMessages()
{
    for (int i = 0; i < 1000 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {
    }
}

juce::Image EditorRig::render (float scale) const
{
    return ed->createComponentSnapshot (ed->getLocalBounds(), true, scale);
}

//==============================================================================
juce::File referenceDirectory (const juce::String& plugin)
{
    return juce::File (VELTRANE_TEST_DATA_DIR).getChildFile ("plugins/" + plugin + "/references");
}

void expectDefaultImages (EditorRig& rig, const juce::String& plugin, const juce::File& referenceDir, int width,
                          int height, std::initializer_list<float> scales)
{
    rig.tick();
    for (float scale : scales)
    {
        const auto image = rig.render (scale);
        EXPECT_EQ (image.getWidth(), juce::roundToInt ((float) width * scale));
        EXPECT_EQ (image.getHeight(), juce::roundToInt ((float) height * scale));
        const auto name = plugin + "-default@" + juce::String ((int) scale) + "x.png";
        EXPECT_TRUE (matchesReference (image, referenceDir.getChildFile (name)));
        if (scale == 1.0f && updatingReferences())
        {
            const auto docs = juce::File (VELTRANE_TEST_DATA_DIR).getSiblingFile ("docs");
            EXPECT_TRUE (writePng (image, docs.getChildFile (plugin + "-editor.png")));
        }
    }
}

namespace
{
void collectSliders (juce::Component& c, std::vector<juce::Slider*>& out)
{
    for (auto* child : c.getChildren())
    {
        if (auto* s = dynamic_cast<juce::Slider*> (child))
            out.push_back (s);
        collectSliders (*child, out);
    }
}
} // namespace

void expectOutlandishValuesShownSafely (EditorRig& rig, const std::vector<int>& knobParameters)
{
    std::vector<juce::Slider*> sliders;
    collectSliders (rig.editor(), sliders);
    rig.tick();
    std::vector<double> before;
    for (auto* s : sliders)
        before.push_back (s->getValue());
    const auto image = rig.render();

    for (int i : knobParameters)
        rig.setHostParameter (i, std::numeric_limits<float>::quiet_NaN());
    rig.tick();
    for (size_t k = 0; k < sliders.size(); ++k)
        EXPECT_EQ (sliders[k]->getValue(), before[k]) << sliders[k]->getName();
    EXPECT_EQ (compareImages (image, rig.render(), 0).pixelsOverTolerance, 0);

    // Infinities and huge values: an end of the range, whatever the conversion makes of them.
    for (float huge :
         { std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(), 1.0e30f, -1.0e30f })
    {
        for (int i : knobParameters)
            rig.setHostParameter (i, huge);
        rig.tick();
        for (auto* s : sliders)
        {
            EXPECT_TRUE (std::isfinite (s->getValue())) << s->getName() << " at " << huge;
            EXPECT_GE (s->getValue(), s->getMinimum()) << s->getName();
            EXPECT_LE (s->getValue(), s->getMaximum()) << s->getName();
        }
        EXPECT_TRUE (rig.render().isValid());
    }
    rig.pumpMessages();
}

ImageDifference compareImages (const juce::Image& a, const juce::Image& b, int tolerance)
{
    ImageDifference d;
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight())
    {
        d.sizeDiffers = true;
        return d;
    }
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
        {
            const auto pa = a.getPixelAt (x, y), pb = b.getPixelAt (x, y);
            const int delta = juce::jmax (std::abs ((int) pa.getRed() - (int) pb.getRed()),
                                          std::abs ((int) pa.getGreen() - (int) pb.getGreen()),
                                          std::abs ((int) pa.getBlue() - (int) pb.getBlue()),
                                          std::abs ((int) pa.getAlpha() - (int) pb.getAlpha()));
            d.largestDelta = juce::jmax (d.largestDelta, delta);
            if (delta > tolerance)
                ++d.pixelsOverTolerance;
        }
    return d;
}

bool updatingReferences()
{
    const char* v = std::getenv ("VELTRANE_UPDATE_REFERENCES");
    return v != nullptr && juce::String (v).trim() == "1";
}

bool writePng (const juce::Image& image, const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);
    if (! out.openedOk())
        return false;
    juce::PNGImageFormat png;
    return png.writeImageToStream (image, out);
}

juce::Image readPng (const juce::File& file)
{
    juce::FileInputStream in (file);
    if (! in.openedOk())
        return {};
    juce::PNGImageFormat png;
    return png.decodeImage (in);
}

::testing::AssertionResult matchesReference (const juce::Image& image, const juce::File& reference, int tolerance,
                                             double allowedFraction)
{
    const juce::File renders = juce::File (VELTRANE_BUILD_DIR).getChildFile ("editor-renders");
    const auto actualFile = renders.getChildFile (reference.getFileName());
    writePng (image, actualFile);

    if (updatingReferences())
    {
        if (! writePng (image, reference))
            return ::testing::AssertionFailure() << "could not write " << reference.getFullPathName();
        return ::testing::AssertionSuccess() << "rewrote " << reference.getFullPathName();
    }

    const auto expected = readPng (reference);
    if (! expected.isValid())
        return ::testing::AssertionFailure() << "no reference image " << reference.getFullPathName()
                                             << " (run once with VELTRANE_UPDATE_REFERENCES=1 to create it)";

    const auto d = compareImages (image, expected, tolerance);
    const int allowed = (int) (allowedFraction * image.getWidth() * image.getHeight());
    if (d.sizeDiffers)
        return ::testing::AssertionFailure()
               << "size " << image.getWidth() << "x" << image.getHeight() << " differs from the reference "
               << expected.getWidth() << "x" << expected.getHeight() << "; render in " << actualFile.getFullPathName();
    if (d.pixelsOverTolerance > allowed)
        return ::testing::AssertionFailure()
               << d.pixelsOverTolerance << " pixels differ by more than " << tolerance << " (largest " << d.largestDelta
               << ", allowed " << allowed << ") from " << reference.getFullPathName() << "; render in "
               << actualFile.getFullPathName();
    return ::testing::AssertionSuccess();
}

juce::Colour pixelAt (const juce::Image& image, int x, int y, float scale)
{
    return image.getPixelAt (juce::roundToInt ((float) x * scale), juce::roundToInt ((float) y * scale));
}
} // namespace veltrane::test
