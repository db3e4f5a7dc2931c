#include "TonalithParameters.h"

namespace tonalith
{
namespace
{
using veltrane::Conversion;
using veltrane::ParameterInfo;

const ParameterInfo table[] = {
    // name, kind, a, b, c, min, max, scaled default, normalized default, at construction
    { "pitchshift", Conversion::linear, 24.0f, -12.0f, 1.0f / 24.0f, -12.0f, 12.0f, 0.0f, 0.5f, 0.5f },
    { "octave", Conversion::linear, 6.0f, -3.0f, 1.0f / 6.0f, -3.0f, 3.0f, 0.0f, 0.5f, 0.5f },
    { "bands", Conversion::exp2, 10.0f, 3.0f, 0.1f, 8.0f, 8192.0f, 512.0f, 0.6f, 0.5f },
    { "threshold", Conversion::linear, 120.0f, -120.0f, 1.0f / 120.0f, -120.0f, 0.0f, -120.0f, 0.0f, 0.0f },
    { "cents", Conversion::linear, 200.0f, -100.0f, 1.0f / 200.0f, -100.0f, 100.0f, 0.0f, 0.5f, 0.5f },
    { "harmonics", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 20.0f, 1.0f, 1.0f },
    { "unknown", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "unknown", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "just", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f },
    { "ingain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "outgain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    // Beyond the reported tables: min 0, max 1, defaults 0.
    { "color", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
};
static_assert (sizeof (table) / sizeof (table[0]) == 12, "tonalith has 12 parameters");

const veltrane::PluginIdentity plugin { "++tonalith", "tonalith", true, false };
} // namespace

const ParameterInfo* parameterTable() noexcept { return table; }
const veltrane::PluginIdentity& identity() noexcept { return plugin; }
} // namespace tonalith
