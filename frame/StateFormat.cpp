#include "StateFormat.h"

#include "ParameterText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace veltrane
{
namespace
{
void appendEscaped (std::string& out, const juce::String& text)
{
    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto ch = p.getAndAdvance();
        switch (ch)
        {
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                if (ch < 32)
                    out += "&#" + std::to_string ((int) ch) + ";";
                else
                    out += juce::String::charToString (ch).toStdString();
        }
    }
}

/** A number attribute as JUCE reads it, without the undefined behaviour of its reader on a
    long exponent (it sums the exponent's digits in an int, which overflows past nine
    digits). An exponent of seven or more significant digits is beyond double's range either
    way, so it is read as 999999 with its sign: infinity or zero, as the text means. Every
    other text reads as JUCE reads it. */
double readJuceNumber (const juce::String& text)
{
    auto p = text.getCharPointer().findEndOfWhitespace();
    if (*p == '-' || *p == '+')
        ++p;
    // The mantissa as JUCE's reader takes it: digits with at most one point.
    bool point = false, digits = false;
    for (;; ++p)
    {
        if (p.isDigit())
            digits = true;
        else if (*p == '.' && ! point)
            point = true;
        else
            break;
    }
    if (! digits || (*p != 'e' && *p != 'E'))
        return text.getDoubleValue();
    ++p;
    if (*p == '-' || *p == '+')
        ++p;
    const auto exponentStart = p;
    while (*p == '0')
        ++p;
    int significant = 0;
    for (auto q = p; q.isDigit(); ++q)
        ++significant;
    if (significant < 7)
        return text.getDoubleValue();
    auto end = p;
    while (end.isDigit())
        ++end;
    const auto before = juce::String (text.getCharPointer(), exponentStart);
    return (before + "999999" + juce::String (end)).getDoubleValue();
}

/** As above, except that a zero keeps the text's sign: JUCE reads "-0" as +0, so a negative
    zero saved as "-0" would come back as another value. */
/** Whether the bytes are UTF-8 in its one valid form: no overlong sequence, no surrogate,
    nothing beyond U+10FFFF, no sequence cut short. */
bool isStrictUtf8 (const char* text, std::size_t size) noexcept
{
    const auto* b = reinterpret_cast<const unsigned char*> (text);
    std::size_t i = 0;
    while (i < size)
    {
        const unsigned char c = b[i];
        if (c < 0x80)
        {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xbf; // the range of the second byte
        if (c >= 0xc2 && c <= 0xdf)
            length = 2;
        else if (c >= 0xe0 && c <= 0xef)
        {
            length = 3;
            low = c == 0xe0 ? 0xa0 : 0x80;
            high = c == 0xed ? 0x9f : 0xbf;
        }
        else if (c >= 0xf0 && c <= 0xf4)
        {
            length = 4;
            low = c == 0xf0 ? 0x90 : 0x80;
            high = c == 0xf4 ? 0x8f : 0xbf;
        }
        else
            return false;
        if (size - i < (std::size_t) length || b[i + 1] < low || b[i + 1] > high)
            return false;
        for (int k = 2; k < length; ++k)
            if ((b[i + (std::size_t) k] & 0xc0) != 0x80)
                return false;
        i += (std::size_t) length;
    }
    return true;
}

/** Whether every '&' of the text starts an escape of XML's own: a predefined name (amp, lt,
    gt, quot, apos) or the number of a character (not zero, not a surrogate, at most
    0x10FFFF), decimal or hex, each ending in ';'. JUCE's parser
    reads any other entity's name as XML of its own, and an unfinished hex escape there
    steps past the end of that name. Walked in place, without a copy. */
bool escapesArePlain (juce::CharPointer_UTF8 p) noexcept
{
    static constexpr const char* names[] = { "amp;", "lt;", "gt;", "quot;", "apos;" };
    constexpr std::uint32_t lastCharacter = 0x10ffff;
    for (; ! p.isEmpty(); ++p)
    {
        if (*p != '&')
            continue;
        ++p;
        if (*p == '#')
        {
            ++p;
            const bool hex = *p == 'x' || *p == 'X';
            if (hex)
                ++p;
            int digits = 0;
            std::uint32_t code = 0; // held at the first value past the last character
            for (; hex ? juce::CharacterFunctions::getHexDigitValue (*p) >= 0 : (*p >= '0' && *p <= '9'); ++p)
            {
                ++digits;
                const auto digit = (std::uint32_t) (hex ? juce::CharacterFunctions::getHexDigitValue (*p) : *p - '0');
                code = std::min<std::uint32_t> (code * (hex ? 16u : 10u) + digit, lastCharacter + 1);
            }
            // A character number must name a character: JUCE takes any number, and the text
            // it then saves is not UTF-8.
            const bool character = code >= 1 && code <= lastCharacter && (code < 0xd800 || code > 0xdfff);
            if (digits == 0 || *p != ';' || ! character)
                return false;
            continue; // at the ';'
        }
        bool known = false;
        for (const char* name : names)
        {
            const int length = (int) std::strlen (name);
            if (p.compareIgnoreCaseUpTo (juce::CharPointer_ASCII (name), length) == 0)
            {
                p += length - 1; // at the ';'
                known = true;
                break;
            }
        }
        if (! known)
            return false;
    }
    return true;
}

double readNumber (const juce::String& text)
{
    const double v = readJuceNumber (text);
    return v == 0.0 && *text.getCharPointer().findEndOfWhitespace() == '-' ? -0.0 : v;
}
} // namespace

juce::MemoryBlock StateFormat::write (const juce::String& tag, const juce::String& presetName,
                                      const std::vector<juce::String>& names, const std::vector<float>& values,
                                      const std::vector<Extra>& extras)
{
    std::vector<std::pair<juce::String, std::string>> attributes;
    attributes.emplace_back ("pluginVersion", "2");
    attributes.emplace_back ("presetName", std::string());
    for (size_t i = 0; i < names.size(); ++i)
    {
        const auto text = formatStateNumber (values[i]);
        bool replaced = false;
        for (auto& a : attributes)
            if (a.first == names[i])
            {
                a.second = text;
                replaced = true;
                break;
            }
        if (! replaced)
            attributes.emplace_back (names[i], text);
    }

    std::string xml = "<" + tag.toStdString();
    for (auto& a : attributes)
    {
        xml += " " + a.first.toStdString() + "=\"";
        if (a.first == "presetName")
            appendEscaped (xml, presetName);
        else
            xml += a.second;
        xml += "\"";
    }
    for (const auto& extra : extras)
    {
        xml += " " + extra.name.toStdString() + "=\"";
        appendEscaped (xml, extra.text);
        xml += "\"";
    }
    xml += "/>";

    juce::MemoryOutputStream out;
    out.writeInt ((int) magic);
    out.writeInt ((int) xml.size());
    out.write (xml.data(), xml.size());
    out.writeByte (0);
    return out.getMemoryBlock();
}

std::optional<StateFormat::Restored> StateFormat::read (const void* data, int size, const juce::String& tag,
                                                        const std::vector<juce::String>& names,
                                                        const std::vector<juce::String>& extraNames)
{
    if (data == nullptr || size <= 8)
        return std::nullopt;
    const auto* bytes = static_cast<const juce::uint8*> (data);
    if (juce::ByteOrder::littleEndianInt (bytes) != magic)
        return std::nullopt;
    const juce::uint32 length = juce::ByteOrder::littleEndianInt (bytes + 4);
    if (length == 0)
        return std::nullopt;
    const size_t available = (size_t) size - 8;
    // The text ends at its first zero byte, as a JUCE string does. Bytes that are not UTF-8
    // would let JUCE's decoder step over the end of the text, and JUCE's copies re-encode the
    // overlong forms its own check lets through, overrunning the copy; such a blob is refused
    // whole.
    const auto* textStart = reinterpret_cast<const char*> (bytes + 8);
    const size_t textBytes = strnlen (textStart, std::min ((size_t) length, available));
    if (! isStrictUtf8 (textStart, textBytes))
        return std::nullopt;
    const auto text = juce::String::fromUTF8 (textStart, (int) textBytes);
    // A complete element ends with '>'; a cut blob is refused whole rather than restored half.
    if (! text.trimEnd().endsWithChar ('>'))
        return std::nullopt;
    // JUCE's parser loops for ever on a processing instruction inside an element that text
    // follows; a state holds none but the declaration its text may begin with.
    // (Counted in place: JUCE's string copies re-encode, and overran an overlong sequence.)
    int bodyStart = 0;
    auto body = text.getCharPointer();
    for (; body.isWhitespace(); ++body)
        ++bodyStart;
    if (body[0] == '<' && body[1] == '?')
        bodyStart += 2;
    if (text.indexOf (bodyStart, "<?") >= 0)
        return std::nullopt;
    // Any other entity would be an error of the parse (refused below) if the parser read it
    // safely; it does not, so such a text is refused before it.
    if (! escapesArePlain (text.getCharPointer()))
        return std::nullopt;
    juce::XmlDocument document (text);
    auto element = document.getDocumentElement();
    if (element == nullptr || document.getLastParseError().isNotEmpty()
        || ! element->getTagName().equalsIgnoreCase (tag))
        return std::nullopt;

    // Each attribute by name, the first of a repeated one as JUCE's own lookup finds it; one
    // pass, where a lookup per name would walk them all again.
    struct Hash
    {
        size_t operator() (const juce::String& s) const noexcept { return (size_t) s.hash(); }
    };
    std::unordered_map<juce::String, const juce::String*, Hash> attributes;
    attributes.reserve ((size_t) element->getNumAttributes());
    for (int i = 0; i < element->getNumAttributes(); ++i)
        attributes.emplace (element->getAttributeName (i), &element->getAttributeValue (i));
    auto attribute = [&] (const juce::String& name) -> const juce::String* {
        const auto it = attributes.find (name);
        return it == attributes.end() ? nullptr : it->second;
    };

    Restored r;
    if (const auto* preset = attribute ("presetName"))
        r.presetName = *preset;
    r.values.reserve (names.size());
    for (const auto& name : names)
    {
        const auto* value = attribute (name);
        r.values.push_back (value != nullptr ? (float) readNumber (*value) : 0.0f);
    }
    for (const auto& name : extraNames)
    {
        const auto* value = attribute (name);
        r.extras.push_back (value != nullptr ? *value : juce::String());
    }
    return r;
}
} // namespace veltrane
