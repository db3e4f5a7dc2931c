#pragma once

namespace veltrane
{
/** Transform size N for a "bands" value p: 2 x 2^int(10p + 3), kept in 16..16384 whatever
    value a restored state holds; a p that is not a number counts as valueForNaN. */
int transformSizeForBands (float bands, float valueForNaN = 0.0f) noexcept;
} // namespace veltrane
