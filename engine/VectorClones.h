#pragma once

// Loops over bins are compiled for plain x86-64 and again for AVX2 and AVX-512, which give
// two and four times the lanes; the loader picks the version the machine runs. Every version
// evaluates the same operations in the same order (sources that use this are built without
// multiply-add contraction), so their results are identical.
// Sanitizer builds and other architectures keep the plain loops: the choice runs before a
// sanitizer's runtime is ready.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
 #define VELTRANE_SANITIZED 1
#elif defined(__has_feature)
 #if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(undefined_behavior_sanitizer)
  #define VELTRANE_SANITIZED 1
 #endif
#endif

#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__)) \
    && ! defined(VELTRANE_SANITIZED) && ! defined(VELTRANE_PLAIN_LOOPS)
 #define VELTRANE_VECTOR_CLONES __attribute__ ((target_clones ("avx512f", "avx2", "default")))
// Functions built once per vector width (the ...Lanes.cpp sources) are chosen by the loader.
 #define VELTRANE_VECTOR_WIDTHS 1
namespace veltrane
{
/** The widest vectors this machine runs: 16 lanes (AVX-512), 8 (AVX2 with FMA) or 4 (SSE2).
    Loader resolvers call it before relocations are done, so it calls nothing of ours. */
static inline int widestVectorLanes() noexcept
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports ("avx512f"))
        return 16;
    if (__builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("fma"))
        return 8;
    return 4;
}
} // namespace veltrane
#else
 #define VELTRANE_VECTOR_CLONES
#endif

// Helpers of a cloned function are inlined into every clone, so their loops are built for
// each clone's vectors too instead of once for the plain machine.
#if defined(__GNUC__) || defined(__clang__)
 #define VELTRANE_INLINE_IN_CLONES inline __attribute__ ((always_inline))
#else
 #define VELTRANE_INLINE_IN_CLONES inline
#endif
