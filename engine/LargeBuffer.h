#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

#if defined(__linux__)
 #include <sys/mman.h>
#endif

namespace veltrane
{
/** An allocator for the work buffers of a megabyte or more (histories, loop layers). They are
    zeroed at construction, so that the audio thread never takes a page fault on them; in
    pages of 4 kB that zeroing costs thousands of faults and tens of milliseconds of a host's
    instantiation. Such blocks are aligned to 2 MB and offered to the kernel for huge pages,
    which makes it a handful. Where the kernel has none, it is ordinary memory. */
template <typename T>
struct LargeAllocator
{
    using value_type = T;
    static constexpr std::size_t largeBytes = std::size_t (1) << 20;
    static constexpr std::size_t hugePage = std::size_t (2) << 20;

    LargeAllocator() noexcept = default;
    template <typename U>
    LargeAllocator (const LargeAllocator<U>&) noexcept
    {
    }

    T* allocate (std::size_t count)
    {
        const std::size_t bytes = count * sizeof (T);
        if (bytes < largeBytes)
            return static_cast<T*> (::operator new (bytes));
        void* p = nullptr;
        if (posix_memalign (&p, hugePage, bytes) != 0)
            throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        madvise (p, bytes, MADV_HUGEPAGE); // advice only: without huge pages, ordinary ones
#endif
        return static_cast<T*> (p);
    }

    void deallocate (T* p, std::size_t count) noexcept
    {
        if (count * sizeof (T) < largeBytes)
            ::operator delete (p);
        else
            std::free (p);
    }

    template <typename U>
    bool operator== (const LargeAllocator<U>&) const noexcept
    {
        return true;
    }
    template <typename U>
    bool operator!= (const LargeAllocator<U>&) const noexcept
    {
        return false;
    }
};

/** A vector whose storage comes from LargeAllocator. */
template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
} // namespace veltrane
