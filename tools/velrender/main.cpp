#include "RenderOptions.h"
#include "Renderer.h"

#include <juce_events/juce_events.h>

#include <iostream>

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));
    if (args.contains ("--help") || args.contains ("-h"))
    {
        std::cout << velrender::usage();
        return 0;
    }
    juce::String error;
    auto options = velrender::parseOptions (args, error);
    if (! options)
    {
        std::cerr << "velrender: " << error << "\n" << velrender::usage();
        return 2;
    }
    return velrender::run (*options, std::cout, std::cerr);
}
