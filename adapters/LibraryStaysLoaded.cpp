// An LV2 host loads a plug-in's library for every new instance and unloads it with the last
// one, so each instance that starts alone would load it again: its relocations, JUCE's static
// set-up and the planning of every transform size, most of an instantiation's time. The
// library keeps itself loaded from its first load to the end of the host's process instead
// (nothing of it is ever unloaded while a thread of it may still run).

#include <dlfcn.h>

namespace
{
void anchor() {}

struct LibraryStaysLoaded
{
    LibraryStaysLoaded()
    {
        Dl_info info {};
        if (dladdr (reinterpret_cast<void*> (&anchor), &info) != 0 && info.dli_fname != nullptr)
            dlopen (info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
} libraryStaysLoaded;
} // namespace
