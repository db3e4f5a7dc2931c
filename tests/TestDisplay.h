#pragma once

namespace veltrane::testing
{
/** Call before the first window of a test: a bare X server (the virtual one the tests run
    under) has no window manager, so atoms that JUCE only looks up, never creates, are
    missing and its first window fails. Creating them makes such a server look like a
    desktop. Does nothing without a display. */
void prepareDisplayForWindows();
} // namespace veltrane::testing
