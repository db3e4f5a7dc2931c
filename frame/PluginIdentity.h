#pragma once

namespace veltrane
{
/** What a plug-in of the suite reports about itself besides its parameters. */
struct PluginIdentity
{
    const char* displayName; // getName, e.g. "++quorrel"
    const char* stateTag;    // root tag of the saved state, e.g. "quorrel"
    bool acceptsMidi;
    bool programNameIsPreset; // the program's name is the stored preset name (quorrel)
};
} // namespace veltrane
