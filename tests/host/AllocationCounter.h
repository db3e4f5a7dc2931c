#pragma once

#include <cstddef>

namespace veltrane::testing
{
/** Counts heap allocations made by the calling thread while a scope is open; the whole
    process's malloc family is routed through a counting hook in this test program. */
class AllocationCounter
{
public:
    /** With a library path part (such as "quorrel.vst3/"), only allocations made while code of
        such a library is on the stack count: a hosted plug-in's own, not its host's. */
    explicit AllocationCounter (const char* onlyFromLibrary = nullptr);
    ~AllocationCounter();
    std::size_t count() const;
    /** False in sanitizer builds, whose allocator cannot be replaced. */
    static bool available();
};
} // namespace veltrane::testing
