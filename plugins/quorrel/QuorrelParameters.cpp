#include "QuorrelParameters.h"

namespace quorrel
{
namespace
{
using veltrane::Conversion;
using veltrane::ParameterInfo;

const ParameterInfo table[] = {
    // name, kind, a, b, c, min, max, scaled default, normalized default, at construction
    { "bands", Conversion::exp2, 10.0f, 3.0f, 0.1f, 8.0f, 8192.0f, 512.0f, 0.6f, 0.6f },
    { "bandshift", Conversion::linear, 100.0f, -50.0f, 0.01f, -50.0f, 50.0f, 0.0f, 0.5f, 0.5f },
    { "phaseshift", Conversion::linear, 6.28f, -3.14f, 0.1592356687898089f, -3.14f, 3.14f, 0.0f, 0.5f, 0.5f },
    { "phasenull", Conversion::linear, 100.0f, 0.0f, 0.01f, 0.0f, 100.0f, 0.0f, 0.0f, 0.0f },
    { "phasenoise", Conversion::linear, 100.0f, 0.0f, 0.01f, 0.0f, 100.0f, 0.0f, 0.0f, 0.0f },
    { "scramble", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "phasereset", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "ingain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "outgain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "color", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
};
static_assert (sizeof (table) / sizeof (table[0]) == 10, "quorrel has 10 parameters");

const veltrane::PluginIdentity plugin { "++quorrel", "quorrel", false, true };
} // namespace

const ParameterInfo* parameterTable() noexcept { return table; }
const veltrane::PluginIdentity& identity() noexcept { return plugin; }
} // namespace quorrel
