#pragma once

#include "ParameterInfo.h"
#include "PluginIdentity.h"

namespace quorrel
{
/** The 10 rows of quorrel's parameter table, indexed as QuorrelAudioProcessor::ParameterIndex. */
const veltrane::ParameterInfo* parameterTable() noexcept;

/** Name, state tag and MIDI input of the plug-in. */
const veltrane::PluginIdentity& identity() noexcept;
} // namespace quorrel
