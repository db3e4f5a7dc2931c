#include "RealFft.h"

#include <fftw3.h>

#include <cstring>
#include <mutex>
#include <new>

namespace veltrane
{
namespace
{
struct PlanTable
{
    fftwf_plan forward[RealFft::maxLog2Size + 1] {};
    fftwf_plan inverse[RealFft::maxLog2Size + 1] {};

    PlanTable()
    {
        // FFTW's planner is not thread-safe; every instance of every plug-in in this binary
        // comes through here once, so one mutex around the planning is enough.
        static std::mutex plannerMutex;
        std::lock_guard<std::mutex> lock (plannerMutex);
        auto* real = fftwf_alloc_real (RealFft::maxSize);
        auto* cplx = fftwf_alloc_complex (RealFft::maxSize / 2 + 1);
        for (int l = RealFft::minLog2Size; l <= RealFft::maxLog2Size; ++l)
        {
            const int n = 1 << l;
            forward[l] = fftwf_plan_dft_r2c_1d (n, real, cplx, FFTW_ESTIMATE);
            inverse[l] = fftwf_plan_dft_c2r_1d (n, cplx, real, FFTW_ESTIMATE);
        }
        fftwf_free (real);
        fftwf_free (cplx);
    }

    // The plans live as long as the binary; a host that unloads the plug-in and loads it
    // again would otherwise keep every earlier copy's plans (about 360 kB each time).
    ~PlanTable()
    {
        for (int l = RealFft::minLog2Size; l <= RealFft::maxLog2Size; ++l)
        {
            fftwf_destroy_plan (forward[l]);
            fftwf_destroy_plan (inverse[l]);
        }
        fftwf_cleanup();
    }
};

const PlanTable& plans()
{
    static const PlanTable table; // thread-safe one-time initialisation
    return table;
}
} // namespace

RealFft::RealFft()
{
    plans();
    complexWork = allocateAligned (maxSize + 2);
}

RealFft::~RealFft() { freeAligned (complexWork); }

float* RealFft::allocateAligned (std::size_t count)
{
    auto* p = fftwf_alloc_real (count);
    if (p == nullptr)
        throw std::bad_alloc();
    std::memset (p, 0, count * sizeof (float));
    return p;
}

void RealFft::freeAligned (float* p) noexcept
{
    if (p != nullptr)
        fftwf_free (p);
}

void RealFft::forward (const float* input, float* hc, int log2Size) noexcept
{
    const int n = 1 << log2Size;
    const int half = n / 2;
    auto* c = reinterpret_cast<fftwf_complex*> (complexWork);
    fftwf_execute_dft_r2c (plans().forward[log2Size], const_cast<float*> (input), c);
    // The suite's forward transform is twice the plain DFT; the factor is folded into the repack.
    hc[0] = 2.0f * c[0][0];
    hc[half] = 2.0f * c[half][0];
    for (int k = 1; k < half; ++k)
    {
        hc[k] = 2.0f * c[k][0];
        hc[n - k] = 2.0f * c[k][1];
    }
}

void RealFft::inverse (const float* hc, float* output, int log2Size) noexcept
{
    const int n = 1 << log2Size;
    const int half = n / 2;
    auto* c = reinterpret_cast<fftwf_complex*> (complexWork);
    c[0][0] = hc[0];
    c[0][1] = 0.0f;
    c[half][0] = hc[half];
    c[half][1] = 0.0f;
    for (int k = 1; k < half; ++k)
    {
        c[k][0] = hc[k];
        c[k][1] = hc[n - k];
    }
    fftwf_execute_dft_c2r (plans().inverse[log2Size], c, output);
}
} // namespace veltrane
