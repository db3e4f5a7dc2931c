#pragma once

#include <optional>
#include <string>

namespace veltrane
{
/** The value with exactly two decimals, rounded half away from zero on its exact
    binary value (so 0.125f reads 0.13 and -2.5f reads -2.50); "inf"/"nan" as such. */
std::string formatTwoDecimals (float value);

/** The number a user typed: optional spaces, a decimal number (C locale, "nan" and "inf"
    included), then optionally spaces and a unit of letters or "%". Nothing when the text
    holds anything else. */
std::optional<float> parseTypedNumber (const std::string& text);

/** printf's %.20g of the value widened to double, in the C locale whatever the
    process locale ("2", "0.5", "0.60000002384185791016"). */
std::string formatStateNumber (float value);
} // namespace veltrane
