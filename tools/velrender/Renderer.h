#pragma once

#include "RenderOptions.h"

#include <iosfwd>

namespace velrender
{
/** Runs a render (or --list) as the command line asked. Returns the exit status: 0 on
    success, 2 on any user error, in which case nothing has been written. */
int run (const RenderOptions& options, std::ostream& out, std::ostream& err);
} // namespace velrender
