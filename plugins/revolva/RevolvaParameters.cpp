#include "RevolvaParameters.h"

namespace revolva
{
namespace
{
using veltrane::Conversion;
using veltrane::ParameterInfo;

constexpr ParameterInfo sw (const char* name)
{
    return { name, Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f };
}
constexpr ParameterInfo pitch (const char* name, float initial)
{
    return { name, Conversion::linear, 72.0f, -36.0f, 0.013888889f, -36.0f, 36.0f, 0.0f, 0.5f, initial };
}
constexpr ParameterInfo percent (const char* name, float normalizedDefault, float initial)
{
    return { name, Conversion::linear, 100.0f, 0.0f, 0.01f, 0.0f, 1.0f, 0.0f, normalizedDefault, initial };
}
constexpr ParameterInfo gain (const char* name)
{
    return { name, Conversion::linear, 60.0f, -60.0f, 0.016666668f, -60.0f, 0.0f, 0.0f, 1.0f, 1.0f };
}

// name, kind, a, b, c, min, max, scaled default, normalized default, at construction, meta
const ParameterInfo table[] = {
    { "stretch", Conversion::exp10, 2.0f, 0.0f, 0.5f, 1.0f, 128.0f, 1.0f, 0.25f, 0.25f },
    { "bands", Conversion::exp2, 10.0f, 3.0f, 0.1f, 8.0f, 8192.0f, 512.0f, 0.6f, 0.75f },
    { "attack", Conversion::linear, 4.995f, 0.005f, 0.2002002f, 0.01f, 5.0f, 0.5f, 0.1f, 0.1f },
    { "release", Conversion::linear, 4.995f, 0.005f, 0.2002002f, 0.01f, 5.0f, 0.5f, 0.1f, 0.1f },
    { "bpm", Conversion::exp2, 4.0f, 4.9068904f, 0.25f, 30.0f, 480.0f, 120.0f, 0.5f, 0.5f, true },
    { "bpmlock", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, true },
    sw ("layer"),
    sw ("play1"),
    sw ("play2"),
    sw ("play3"),
    sw ("play4"),
    sw ("record1"),
    sw ("record2"),
    sw ("record3"),
    sw ("record4"),
    sw ("file1"),
    sw ("file2"),
    sw ("file3"),
    sw ("file4"),
    pitch ("pitch1", 0.5f),
    pitch ("pitch2", 0.5f),
    pitch ("pitch3", 0.333333313f),
    pitch ("pitch4", 0.666666627f),
    percent ("start1", 0.0f, 0.0f),
    percent ("start2", 0.0f, 0.0f),
    percent ("start3", 0.0f, 0.0f),
    percent ("start4", 0.0f, 0.0f),
    percent ("end1", 1.0f, 1.0f),
    percent ("end2", 1.0f, 1.0f),
    percent ("end3", 1.0f, 1.0f),
    percent ("end4", 1.0f, 1.0f),
    gain ("gain1"),
    gain ("gain2"),
    gain ("gain3"),
    gain ("gain4"),
    percent ("filepos1", 0.0f, 0.0f),
    percent ("filepos2", 0.0f, 0.0f),
    percent ("filepos3", 0.0f, 0.0f),
    percent ("filepos4", 0.0f, 0.0f),
    { "ingain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "outgain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    sw ("color"),
};
static_assert (sizeof (table) / sizeof (table[0]) == 42, "revolva has 42 parameters");

const veltrane::PluginIdentity plugin { "++revolva", "revolva", true, false };
} // namespace

const ParameterInfo* parameterTable() noexcept { return table; }
const veltrane::PluginIdentity& identity() noexcept { return plugin; }
} // namespace revolva
