#include "AllocationCounter.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

// Sanitizers bring their own allocator (GCC names them by macro, clang by feature).
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
 #define VELTRANE_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
 #if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  #define VELTRANE_COUNT_ALLOCATIONS 0
 #endif
#endif
#ifndef VELTRANE_COUNT_ALLOCATIONS
 #define VELTRANE_COUNT_ALLOCATIONS 1
#endif

namespace
{
thread_local bool counting = false;
thread_local bool inNote = false;
thread_local const char* onlyFrom = nullptr;
thread_local std::size_t allocations = 0;

// With VELTRANE_TRAP_ALLOCATIONS set, a counted allocation stops the program under a
// debugger, so the culprit's stack can be read.
const bool trapAllocations = std::getenv ("VELTRANE_TRAP_ALLOCATIONS") != nullptr;

// The unwinder loads its library on first use; that happens here, before anything counts.
[[maybe_unused]] const bool unwinderReady = [] {
    void* frames[2];
    return backtrace (frames, 2) >= 0;
}();

/** Whether code of a library whose path contains `part` is on the calling thread's stack. */
bool calledFrom (const char* part) noexcept
{
    void* frames[48];
    const int n = backtrace (frames, 48);
    for (int i = 0; i < n; ++i)
    {
        Dl_info info {};
        if (dladdr (frames[i], &info) != 0 && info.dli_fname != nullptr
            && std::strstr (info.dli_fname, part) != nullptr)
            return true;
    }
    return false;
}

inline void note() noexcept
{
    if (counting && ! inNote)
    {
        inNote = true;
        if (onlyFrom == nullptr || calledFrom (onlyFrom))
        {
            ++allocations;
            if (trapAllocations)
                std::raise (SIGTRAP);
        }
        inNote = false;
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

AllocationCounter::AllocationCounter (const char* onlyFromLibrary)
{
    allocations = 0;
    onlyFrom = onlyFromLibrary;
    counting = true;
}

AllocationCounter::~AllocationCounter()
{
    counting = false;
    onlyFrom = nullptr;
}

std::size_t AllocationCounter::count() const { return allocations; }
} // namespace veltrane::testing
