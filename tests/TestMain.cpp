#include "TestDisplay.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <X11/Xlib.h>

#include <cstdlib>

namespace veltrane::testing
{
void prepareDisplayForWindows()
{
    static bool done = false;
    if (done || std::getenv ("DISPLAY") == nullptr)
        return;
    done = true;
    if (Display* d = XOpenDisplay (nullptr))
    {
        for (const char* name :
             { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE", "WM_STATE",
               "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WM_WINDOW_TYPE_NORMAL",
               "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_FRAME_EXTENTS", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_ABOVE",
               "_MOTIF_WM_HINTS" })
            XInternAtom (d, name, False);
        XSync (d, False);
        // Kept open: an X server drops its atoms when its last client leaves.
        static Display* keepAlive = d;
        (void) keepAlive;
    }
}
} // namespace veltrane::testing

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
