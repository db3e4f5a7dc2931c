#include "ParameterText.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace veltrane
{
std::string formatTwoDecimals (float value)
{
    if (std::isnan (value))
        return "nan";
    if (std::isinf (value))
        return value < 0 ? "-inf" : "inf";

    // The exact decimal expansion of a float needs at most 149 fraction digits; three are
    // enough once they are exact, and to_chars with that many digits is exact here.
    const bool negative = std::signbit (value);
    char buf[400];
    auto res = std::to_chars (buf, buf + sizeof (buf), std::fabs ((double) value), std::chars_format::fixed, 160);
    std::string s (buf, res.ptr);
    const auto dot = s.find ('.');
    std::string intPart = s.substr (0, dot);
    std::string frac = s.substr (dot + 1, 3);
    const bool roundUp = frac[2] >= '5';
    std::string digits = intPart + frac.substr (0, 2);
    if (roundUp)
    {
        int i = (int) digits.size() - 1;
        while (i >= 0 && digits[(size_t) i] == '9')
            digits[(size_t) i--] = '0';
        if (i < 0)
            digits.insert (digits.begin(), '1');
        else
            digits[(size_t) i]++;
    }
    std::string out = digits.substr (0, digits.size() - 2) + "." + digits.substr (digits.size() - 2);
    return negative ? "-" + out : out;
}

std::string formatStateNumber (float value)
{
    char buf[64];
    auto res = std::to_chars (buf, buf + sizeof (buf), (double) value, std::chars_format::general, 20);
    return std::string (buf, res.ptr);
}
std::optional<float> parseTypedNumber (const std::string& text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && std::isspace ((unsigned char) *p))
        ++p;
    if (p < end && *p == '+') // from_chars takes no plus sign
        ++p;
    float value = 0.0f;
    const auto res = std::from_chars (p, end, value);
    if (res.ec != std::errc())
        return std::nullopt;
    p = res.ptr;
    while (p < end && std::isspace ((unsigned char) *p))
        ++p;
    while (p < end && (std::isalpha ((unsigned char) *p) || *p == '%'))
        ++p;
    while (p < end && std::isspace ((unsigned char) *p))
        ++p;
    if (p != end)
        return std::nullopt;
    return value;
}
} // namespace veltrane
