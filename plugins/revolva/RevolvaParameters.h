#pragma once

#include "ParameterInfo.h"
#include "PluginIdentity.h"

namespace revolva
{
/** The 42 rows of revolva's parameter table, indexed as RevolvaAudioProcessor::ParameterIndex. */
const veltrane::ParameterInfo* parameterTable() noexcept;

/** Name, state tag and MIDI input of the plug-in. */
const veltrane::PluginIdentity& identity() noexcept;
} // namespace revolva
