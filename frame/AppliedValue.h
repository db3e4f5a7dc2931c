#pragma once

#include <cmath>

namespace veltrane
{
/** A parameter's value as the processing last acted on it (audio thread). A value is new
    unless it equals the last one as a float (so 0 and -0 are the same) or both are NaN;
    an unset one takes the first value it is shown as a change, so the construction or
    restored values are applied at the first block whatever they are. */
class AppliedValue
{
public:
    AppliedValue() = default;
    /** Already applied at `initial` (a switch that starts off, say). */
    explicit AppliedValue (float initial)
        : last (initial),
          seen (true)
    {
    }

    /** True (and remembered) when v is new. */
    bool update (float v) noexcept
    {
        if (seen && (v == last || (std::isnan (v) && std::isnan (last))))
            return false;
        last = v;
        seen = true;
        return true;
    }
    /** Records v as applied without asking whether it is new. */
    void set (float v) noexcept
    {
        last = v;
        seen = true;
    }
    /** The value last applied (0 while unset). */
    float value() const noexcept { return last; }
    /** Forgets the value, so the next update applies whatever it is shown. */
    void reset() noexcept { seen = false; }

private:
    float last = 0.0f;
    bool seen = false;
};
} // namespace veltrane
