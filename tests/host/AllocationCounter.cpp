#include "AllocationCounter.h"

#include <csignal>
#include <cstdlib>

#if ! defined(__SANITIZE_THREAD__) && ! defined(__SANITIZE_ADDRESS__)
 #define VELTRANE_COUNT_ALLOCATIONS 1
#else
 #define VELTRANE_COUNT_ALLOCATIONS 0 // sanitizers bring their own allocator
#endif

namespace
{
thread_local bool counting = false;
thread_local std::size_t allocations = 0;

// With VELTRANE_TRAP_ALLOCATIONS set, a counted allocation stops the program under a
// debugger, so the culprit's stack can be read.
const bool trapAllocations = std::getenv ("VELTRANE_TRAP_ALLOCATIONS") != nullptr;

inline void note() noexcept
{
    if (counting)
    {
        ++allocations;
        if (trapAllocations)
            std::raise (SIGTRAP);
    }
}
} // namespace

#if VELTRANE_COUNT_ALLOCATIONS
// glibc's own allocator entry points; the replacements below count and delegate to them.
extern "C" void* __libc_malloc (std::size_t);
extern "C" void* __libc_calloc (std::size_t, std::size_t);
extern "C" void* __libc_realloc (void*, std::size_t);
extern "C" void* __libc_memalign (std::size_t, std::size_t);

// Defined in the executable, these take precedence over libc's for every library the
// process loads, hosted plug-ins included.
extern "C" void* malloc (std::size_t n)
{
    note();
    return __libc_malloc (n);
}

extern "C" void* calloc (std::size_t n, std::size_t size)
{
    note();
    return __libc_calloc (n, size);
}

extern "C" void* realloc (void* p, std::size_t n)
{
    note();
    return __libc_realloc (p, n);
}

extern "C" int posix_memalign (void** out, std::size_t alignment, std::size_t n)
{
    note();
    void* p = __libc_memalign (alignment, n);
    if (p == nullptr)
        return 12; // ENOMEM
    *out = p;
    return 0;
}

#endif

namespace veltrane::testing
{
bool AllocationCounter::available() { return VELTRANE_COUNT_ALLOCATIONS != 0; }

AllocationCounter::AllocationCounter()
{
    allocations = 0;
    counting = true;
}

AllocationCounter::~AllocationCounter() { counting = false; }

std::size_t AllocationCounter::count() const { return allocations; }
} // namespace veltrane::testing
