#include "DurafoldParameters.h"

namespace durafold
{
namespace
{
using veltrane::Conversion;
using veltrane::ParameterInfo;

const ParameterInfo table[] = {
    // name, kind, a, b, c, min, max, scaled default, normalized default, at construction
    { "stretch", Conversion::exp10, 2.0f, 0.0f, 0.5f, 1.0f, 100.0f, 10.0f, 0.5f, 0.0f },
    { "rate", Conversion::exp10, 1.20412f, -0.60206f, 0.830482f, 0.25f, 4.0f, 1.0f, 0.5f, 0.5f },
    { "bands", Conversion::exp2, 10.0f, 3.0f, 0.1f, 8.0f, 8192.0f, 512.0f, 0.6f, 0.6f },
    { "grainsize", Conversion::exp10, 2.0f, -1.5f, 0.5f, 0.3f, 3.16f, 0.3f, 0.3f, 0.0f },
    { "shimmer", Conversion::linear, 100.0f, 0.0f, 0.01f, 0.0f, 100.0f, 25.0f, 0.25f, 0.25f },
    { "grainorpvoc", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "tempolock", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "voices", Conversion::stepped, 6.0f, 2.0f, 1.0f / 6.0f, 2.0f, 8.0f, 5.0f, 0.5f, 0.5f },
    { "wetdry", Conversion::linear, 100.0f, 0.0f, 0.01f, 0.0f, 100.0f, 70.0f, 0.7f, 0.5f },
    { "ingain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "outgain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "color", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    // The window shape of the phase vocoder has never had a name of its own.
    { "unknown", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f },
};
static_assert (sizeof (table) / sizeof (table[0]) == 13, "durafold has 13 parameters");

const veltrane::PluginIdentity plugin { "++durafold", "durafold", false, false };
} // namespace

const ParameterInfo* parameterTable() noexcept { return table; }
const veltrane::PluginIdentity& identity() noexcept { return plugin; }
} // namespace durafold
