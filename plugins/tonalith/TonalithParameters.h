#pragma once

#include "ParameterInfo.h"
#include "PluginIdentity.h"

namespace tonalith
{
/** The 12 rows of tonalith's parameter table, indexed as TonalithAudioProcessor::ParameterIndex. */
const veltrane::ParameterInfo* parameterTable() noexcept;

/** Name, state tag and MIDI input of the plug-in. */
const veltrane::PluginIdentity& identity() noexcept;
} // namespace tonalith
