#include "StateEnvelope.h"
#include "StateFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using veltrane::StateFormat;

namespace
{
const std::vector<juce::String> names { "bands", "unknown", "unknown", "color" };

using veltrane_test::stateEnvelope;

juce::uint32 bitsOf (float v)
{
    juce::uint32 b;
    std::memcpy (&b, &v, sizeof b);
    return b;
}

std::optional<StateFormat::Restored> readBack (const juce::MemoryBlock& b)
{
    return StateFormat::read (b.getData(), (int) b.getSize(), "test", names);
}
} // namespace

TEST (StateFormat, WritesTheExactEnvelopeAndKeepsRepeatedNamesOnce)
{
    auto b = StateFormat::write ("test", "a&b", names, { 0.6f, 0.0f, 1.0f, 0.5f });
    const std::string xml =
        R"(<test pluginVersion="2" presetName="a&amp;b" bands="0.60000002384185791016" unknown="1" color="0.5"/>)";
    ASSERT_EQ (b.getSize(), xml.size() + 9);
    const auto* bytes = static_cast<const char*> (b.getData());
    EXPECT_EQ (std::string (bytes, 4), "VC2!");
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (juce::uint32) xml.size());
    EXPECT_EQ (std::string (bytes + 8, xml.size()), xml);
    EXPECT_EQ (bytes[b.getSize() - 1], 0);

    auto r = readBack (b);
    ASSERT_TRUE (r.has_value());
    EXPECT_EQ (r->presetName, "a&b");
    EXPECT_EQ (r->values, (std::vector<float> { 0.6f, 1.0f, 1.0f, 0.5f }));
}

TEST (StateFormat, RestoringRules)
{
    // Tag compared without case; attribute names with case; missing or non-numeric gives 0;
    // values are not clamped; a declaration is accepted.
    auto r = readBack (
        stateEnvelope (R"(<?xml version="1.0" encoding="UTF-8"?> <TEST Bands="0.3" unknown="1.5" color="abc"/>)"));
    ASSERT_TRUE (r.has_value());
    EXPECT_EQ (r->presetName, "");
    EXPECT_EQ (r->values, (std::vector<float> { 0.0f, 1.5f, 1.5f, 0.0f }));
}

TEST (StateFormat, NumbersReadAsJuceReadsThemSafelyAndZerosKeepTheirSign)
{
    // Texts JUCE's reader handles are read as it reads them, but a zero keeps its sign;
    // exponents too long for its int (undefined behaviour there, caught by the sanitizer
    // build) mean infinity or zero.
    struct Case
    {
        const char* text;
        double expected; // what the text means; NaN for "the same as JUCE"
    };
    const double same = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        { "0.60000002384185791016", same },
        { " -1.5e3", same },
        { "+2E-2", same },
        { "1e0000000000005", same },
        { "123456789012345678901234567890", same },
        { "1.5e308", same },
        { "1e999999", same },
        { "-nan", same },
        { "Inf", same },
        { "abc", same },
        { ".e5", same },
        { "5e", same },
        { "-0", -0.0 }, // JUCE: +0, so a saved negative zero came back positive
        { " -0.000", -0.0 },
        { "-.0", -0.0 },
        { "0", 0.0 },
        { "-1e-999", -0.0 },
        { "1e5814208984", inf },
        { "-0.9E58142089844", -inf },
        { "2.5e-5814208984", 0.0 },
        { "1e+00000000000000000123456789", inf },
        { "7e-1234567", 0.0 },
    };
    for (const auto& c : cases)
    {
        const auto r = readBack (stateEnvelope (std::string ("<test bands=\"") + c.text + "\"/>"));
        ASSERT_TRUE (r.has_value()) << c.text;
        const float expected = (float) (std::isnan (c.expected) ? juce::String (c.text).getDoubleValue() : c.expected);
        if (std::isnan (expected))
            EXPECT_TRUE (std::isnan (r->values[0])) << c.text;
        else
            EXPECT_EQ (bitsOf (r->values[0]), bitsOf (expected)) << c.text;
    }
    // 10,000 saved values (the first a negative zero) read back to themselves.
    juce::Random random (7);
    for (int i = 0; i < 10000; ++i)
    {
        const float v =
            i == 0 ? -0.0f : (random.nextFloat() - 0.5f) * std::pow (10.0f, (float) random.nextInt ({ -40, 39 }));
        auto b = StateFormat::write ("test", "", names, { v, v, v, v });
        auto r = readBack (b);
        ASSERT_TRUE (r.has_value());
        ASSERT_EQ (bitsOf (r->values[0]), bitsOf (v)) << v;
    }
}

TEST (StateFormat, BadDataIsIgnored)
{
    const std::string good = R"(<test bands="0.3"/>)";
    auto wrongMagic = stateEnvelope (good);
    static_cast<char*> (wrongMagic.getData())[0] = 'X';
    juce::MemoryBlock eightBytes (stateEnvelope (good).getData(), 8);
    struct Case
    {
        const char* what;
        juce::MemoryBlock data;
    };
    const Case cases[] = {
        { "wrong magic", wrongMagic },
        { "eight bytes", eightBytes },
        { "zero length", stateEnvelope (good, -(int) good.size()) },
        { "other tag", stateEnvelope (R"(<quorrel bands="0.3"/>)") },
        { "not xml", stateEnvelope ("garbage <<< >") },
        { "truncated xml", stateEnvelope (good.substr (0, 6)) },
        // A lead byte claiming more bytes than follow: JUCE's decoder read past the text.
        { "not UTF-8 (lead byte)", stateEnvelope ("<test bands=\"0.3\" a=\"\xff\xff\xff\"/>") },
        { "not UTF-8 (lone continuation)", stateEnvelope ("<test bands=\"0.3\" a=\"\x80\"/>") },
        { "not UTF-8 at the end", stateEnvelope ("<test bands=\"0.3\"/>\xf0") },
        // JUCE's own check lets these through; its copies re-encoded them and overran.
        { "overlong two-byte form", stateEnvelope ("<test bands=\"0.3\" a=\"\xc1\x81\"/>") },
        { "overlong four-byte form", stateEnvelope ("<test bands=\"0.3\" a=\"\xf0\x81\x81\x81\"/>") },
        { "a surrogate's bytes", stateEnvelope ("<test bands=\"0.3\" a=\"\xed\xa0\x80\"/>") },
        { "beyond U+10FFFF", stateEnvelope ("<test bands=\"0.3\" a=\"\xf4\x90\x80\x80\"/>") },
        // JUCE's parser never returned from this one.
        { "processing instruction in the element", stateEnvelope ("<test bands=\"0.3\"><?x?>text</test>") },
        { "a second declaration", stateEnvelope ("<?xml version=\"1.0\"?><?xml?><test bands=\"0.3\"/>") },
        // JUCE's parser reads an unknown entity's name as XML, and stepped past the end of
        // this one at its unfinished hex escape.
        { "unknown entity holding XML", stateEnvelope ("<test bands=\"0.3\">&<a>&#X;</test>") },
        { "unknown entity", stateEnvelope ("<test bands=\"0.3\" a=\"&nbsp;\"/>") },
        { "lone ampersand", stateEnvelope ("<test bands=\"0.3\" a=\"&\"/>") },
        { "unfinished character number", stateEnvelope ("<test bands=\"0.3\" a=\"&#x;&#;\"/>") },
        // JUCE takes any number, and saved a text that is not UTF-8 for these.
        { "no such character", stateEnvelope ("<test bands=\"0.3\" presetName=\"&#Xeeeeeee;\"/>") },
        { "beyond the last character", stateEnvelope ("<test bands=\"0.3\" presetName=\"&#1114112;\"/>") },
        { "a surrogate", stateEnvelope ("<test bands=\"0.3\" presetName=\"&#xd800;\"/>") },
        { "character zero", stateEnvelope ("<test bands=\"0.3\" presetName=\"&#0;\"/>") },
    };
    for (auto& c : cases)
        EXPECT_FALSE (readBack (c.data).has_value()) << c.what;
    EXPECT_FALSE (StateFormat::read (nullptr, 100, "test", names).has_value());
}

TEST (StateFormat, XmlEscapesAreRead)
{
    // Every escape XML defines, as other writers may use them, in any case JUCE accepts.
    auto r = readBack (stateEnvelope (
        "<test bands=\"0.25\" presetName=\"&amp;&lt;&gt;&quot;&apos;&#65;&#x42;&#X63;&AMP;&#1;&#x10FFFF;\"/>"));
    ASSERT_TRUE (r.has_value());
    EXPECT_EQ (r->values[0], 0.25f);
    EXPECT_EQ (r->presetName,
               juce::String ("&<>\"'ABc&") + juce::String::charToString (1) + juce::String::charToString (0x10ffff));
    // and saved again, it reads back the same
    auto again = readBack (StateFormat::write ("test", r->presetName, names, r->values));
    ASSERT_TRUE (again.has_value());
    EXPECT_EQ (again->presetName, r->presetName);
}

TEST (StateFormat, TextEndsAtItsFirstZeroByte)
{
    // What follows a zero byte is not read, whatever it holds.
    auto r = readBack (stateEnvelope (std::string ("<test bands=\"0.25\"/>\0\xff\xfe garbage", 31)));
    ASSERT_TRUE (r.has_value());
    EXPECT_EQ (r->values[0], 0.25f);
    EXPECT_FALSE (readBack (stateEnvelope (std::string ("<test bands=\"0.25\"\0/>", 21))).has_value());
}

TEST (StateFormat, LengthBeyondTheDataIsCutToTheData)
{
    auto r = readBack (stateEnvelope (R"(<test bands="0.25"/>)", 1000));
    ASSERT_TRUE (r.has_value());
    EXPECT_EQ (r->values[0], 0.25f);
}

TEST (StateFormat, ExtrasFollowTheParametersAndReadersOfThePlainFormatIgnoreThem)
{
    const std::vector<float> values { 0.3f, 1.0f, 0.25f, 0.5f };
    const auto plain = StateFormat::write ("test", "p", names, values);
    const auto withExtras = StateFormat::write (
        "test", "p", names, values,
        { { "layerfile1", juce::String::fromUTF8 ("/tmp/a & \"b\" <é>.wav") }, { "layerstart1", "42" } });
    const std::string a = veltrane_test::stateXml (plain), b = veltrane_test::stateXml (withExtras);
    ASSERT_EQ (b.compare (0, a.size() - 2, a, 0, a.size() - 2), 0) << "the plain attributes come first, unchanged";
    EXPECT_NE (b.find ("layerfile1=\"/tmp/a &amp; &quot;b&quot; &lt;é&gt;.wav\" layerstart1=\"42\"/>"),
               std::string::npos)
        << b;

    const auto plainReader = readBack (withExtras);
    ASSERT_TRUE (plainReader.has_value());
    EXPECT_EQ (plainReader->values, (std::vector<float> { 0.3f, 0.25f, 0.25f, 0.5f }));
    const auto extrasReader = StateFormat::read (withExtras.getData(), (int) withExtras.getSize(), "test", names,
                                                 { "layerfile1", "layerstart1", "layerfile2" });
    ASSERT_TRUE (extrasReader.has_value());
    EXPECT_EQ (extrasReader->extras,
               (std::vector<juce::String> { juce::String::fromUTF8 ("/tmp/a & \"b\" <é>.wav"), "42", "" }));
}
