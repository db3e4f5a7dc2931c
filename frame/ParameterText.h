#pragma once

#include <string>

namespace veltrane
{
/** The value with exactly two decimals, rounded half away from zero on its exact
    binary value (so 0.125f reads 0.13 and -2.5f reads -2.50); "inf"/"nan" as such. */
std::string formatTwoDecimals (float value);

/** printf's %.20g of the value widened to double, in the C locale whatever the
    process locale ("2", "0.5", "0.60000002384185791016"). */
std::string formatStateNumber (float value);
} // namespace veltrane
