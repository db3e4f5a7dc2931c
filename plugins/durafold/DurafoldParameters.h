#pragma once

#include "ParameterInfo.h"
#include "PluginIdentity.h"

namespace durafold
{
/** The 13 rows of durafold's parameter table, indexed as DurafoldAudioProcessor::ParameterIndex. */
const veltrane::ParameterInfo* parameterTable() noexcept;

/** Name, state tag and MIDI input of the plug-in. */
const veltrane::PluginIdentity& identity() noexcept;
} // namespace durafold
