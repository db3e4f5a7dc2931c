#include "RenderOptions.h"
#include "Renderer.h"

#include <juce_events/juce_events.h>

#include <iostream>

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::String error;
    const auto parsed = velrender::argumentsFromBytes (std::vector<std::string> (argv + 1, argv + argc), error);
    if (! parsed)
    {
        std::cerr << "velrender: " << error << "\n";
        return 2;
    }
    const auto& args = *parsed;
    if (args.contains ("--help") || args.contains ("-h"))
    {
        std::cout << velrender::usage();
        return 0;
    }
    auto options = velrender::parseOptions (args, error);
    if (! options)
    {
        std::cerr << "velrender: " << error << "\n" << velrender::usage();
        return 2;
    }
    return velrender::run (*options, std::cout, std::cerr);
}
