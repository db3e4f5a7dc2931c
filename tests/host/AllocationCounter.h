#pragma once

#include <cstddef>

namespace veltrane::testing
{
/** Counts heap allocations made by the calling thread while a scope is open; the whole
    process's malloc family is routed through a counting hook in this test program. */
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();
    std::size_t count() const;
    /** False in sanitizer builds, whose allocator cannot be replaced. */
    static bool available();
};
} // namespace veltrane::testing
