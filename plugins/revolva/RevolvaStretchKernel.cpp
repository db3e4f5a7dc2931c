// The per-layer phase vocoder of revolva: loop reads, rotated analysis and synthesis,
// and the band-ordered transfer of bins to their transposed frequencies.
#include "RevolvaAudioProcessor.h"

#include "PhaseMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

// The per-bin loops are compiled twice, for plain x86-64 and for AVX2 (twice the lanes for
// their double-precision phase maths), and the loader picks the one the processor runs.
// The results are the same bits: no fused multiply-add, IEEE division and square root.
// Sanitizer builds keep the plain loops: the loader runs the clone resolver before the
// sanitizer's runtime is up.
#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__)) \
    && ! defined(__SANITIZE_THREAD__) && ! defined(__SANITIZE_ADDRESS__)
 #define VELTRANE_BIN_LOOP __attribute__ ((target_clones ("avx2", "default"), noinline))
#else
 #define VELTRANE_BIN_LOOP
#endif

void ChannelState::clearArrays() noexcept
{
    std::fill (phaseMemory.begin(), phaseMemory.end(), 0.0f);
    std::fill (phaseSum.begin(), phaseSum.end(), 0.0f);
    std::fill (layerAccumulator.begin(), layerAccumulator.end(), 0.0f);
    std::fill (sourceFrame.begin(), sourceFrame.end(), 0.0f);
}

namespace
{
/** One turn each way: for |x| <= 2.5 pi the same value as veltrane::wrapPhase, without branches. */
inline float wrapOnce (float x, float pi, float twoPi) noexcept
{
    x = x > pi ? x - twoPi : x;
    return x < -pi ? x + twoPi : x;
}
} // namespace

void RevolvaAudioProcessor::playLayer (int index, float* out0, float* out1, int n) noexcept
{
    LoopLayer& layer = layers[index];
    ChannelState& ls = layer.leftState;
    ChannelState& rs = layer.rightState;
    const float gain = layer.layerGain * outputGain;
    int i = 0, remaining = n;
    while (remaining > 0)
    {
        int c = std::min (remaining, synthesisHop - ls.hopPosition);
        if (c > 0)
        {
            const float* accL = ls.layerAccumulator.data() + ls.hopPosition;
            const float* accR = rs.layerAccumulator.data() + rs.hopPosition;
            for (int j = 0; j < c; ++j)
            {
                advanceEnvelope (layer, sampleClock + i + j);
                const float level = layer.envelope * layer.envelope;
                out0[i + j] += level * accL[j] * gain;
                if (out1 != nullptr)
                    out1[i + j] += level * accR[j] * gain;
            }
            ls.hopPosition += c;
            if (out1 != nullptr)
                rs.hopPosition += c;
        }
        if (ls.hopPosition >= synthesisHop)
            newHop (index);
        if (c < 0)
            c = 0;
        i += c;
        remaining -= c;
    }
}

void RevolvaAudioProcessor::newHop (int index) noexcept
{
    LoopLayer& layer = layers[index];
    const int n = fftSize;
    const int mask = n - 1;
    const int ha = analysisHop, hs = synthesisHop;
    ChannelState* states[2] = { &layer.leftState, &layer.rightState };

    for (int c = 0; c <= stereo; ++c)
    {
        ChannelState& s = *states[c];
        s.hopPosition = 0;
        s.inRotation = (s.inRotation + ha) & mask;
        s.outRotation = (s.outRotation + hs) & mask;
    }

    auto shiftAccumulator = [n, hs] (ChannelState& s) {
        float* acc = s.layerAccumulator.data();
        std::memmove (acc, acc + hs, sizeof (float) * (size_t) (n - hs));
        std::memset (acc + n - hs, 0, sizeof (float) * (size_t) hs);
    };
    auto analyse = [this, n, ha, index] (ChannelState& s, int c) {
        float* frame = s.sourceFrame.data();
        std::memmove (frame, frame + ha, sizeof (float) * (size_t) (n - ha));
        getSamples (frame + n - ha, ha, index, c, layers[index].playPosition);
        float* in = fftInput[c];
        const float* w = analysisWindow;
        const int r = s.inRotation;
        // Element (rotation + k) AND mask, as two straight runs.
        const int firstRun = n - r;
        for (int k = 0; k < firstRun; ++k)
            in[r + k] = frame[k] * w[k];
        for (int k = firstRun; k < n; ++k)
            in[k - firstRun] = frame[k] * w[k];
        forwardTransform (in, spectrum[c]);
    };
    auto synthesise = [this, n, &layer] (ChannelState& s, int c) {
        stretchShift (outputSpectrum[c], spectrum[c], s.phaseMemory.data(), s.phaseSum.data(), layer.layerPitch);
        float* t = timeBuffer[c];
        inverseTransform (outputSpectrum[c], t);
        float* acc = s.layerAccumulator.data();
        const float* w = synthesisWindow;
        const int r = s.outRotation;
        const int firstRun = n - r;
        for (int k = 0; k < firstRun; ++k)
            acc[k] += t[r + k] * w[k];
        for (int k = firstRun; k < n; ++k)
            acc[k] += t[k - firstRun] * w[k];
    };

    shiftAccumulator (layer.leftState);
    // The right read runs first and stores nothing, so both channels read the same span.
    if (stereo == 1)
    {
        shiftAccumulator (layer.rightState);
        analyse (layer.rightState, 1);
    }
    analyse (layer.leftState, 0);
    synthesise (layer.leftState, 0);
    if (stereo == 1)
        synthesise (layer.rightState, 1);
    (void) mask;
}

void RevolvaAudioProcessor::getSamples (float* dst, int sampleCount, int layerIndex, int channel, int from) noexcept
{
    LoopLayer& layer = layers[layerIndex];
    const bool left = channel == 0;
    const float e = (float) layer.startPosition + layer.loopSourceLength + fractionCarry;
    const float truncated = std::trunc (e);
    // The loop lengths are bounded by the buffer, but keep the index well inside int.
    const int end = (int) std::max (-4194304.0f, std::min (4194304.0f, std::isnan (truncated) ? 0.0f : truncated));
    if (left)
        fractionCarry = std::isfinite (e - truncated) ? e - truncated : 0.0f;

    double c = hopClock;
    double d = layer.loopEndBeat;
    int pos = from;
    const float* buf = left ? layer.leftBuffer : layer.rightBuffer;
    const double step = (double) beatsPerSample;
    const double cycle = (double) std::fabs (layer.loopOutputLength) * step;
    const bool equalEnds = lastApplied[start1Param + layerIndex] == lastApplied[end1Param + layerIndex];
    const int mask = LoopLayer::layerMask;

    if (end > from)
    {
        const int restart = layer.startPosition - (equalEnds ? fftSize : 0);
        for (int k = 0; k < sampleCount; ++k)
        {
            dst[k] = buf[pos & mask];
            ++pos;
            c += step;
            if (pos >= end || c >= d)
            {
                if (left)
                    layer.loopStartBeat = std::floor (c + 1.0);
                d += cycle;
                pos = restart;
            }
        }
    }
    else
    {
        const int restart = layer.startPosition + (equalEnds ? fftSize : 0);
        for (int k = 0; k < sampleCount; ++k)
        {
            dst[k] = buf[pos & mask];
            --pos;
            c += step;
            if (pos <= end || c >= d)
            {
                if (left)
                    layer.loopStartBeat = std::floor (c + 1.0);
                d += cycle;
                pos = restart;
            }
        }
    }
    if (left)
    {
        layer.loopEndBeat = d;
        layer.playPosition = pos;
        hopClock = c;
    }
}

namespace
{
constexpr float largestFloat = 3.40282347e38f;

/** Polar form of bins 1..half-1 of a halfcomplex spectrum. Squares of floats are exact in
    double, so the magnitude is hypot's value; the phase is the correctly rounded atan2,
    negated. Returns non-zero when a magnitude or phase is not finite. */
VELTRANE_BIN_LOOP int polarPass (const float* in, int n, float* mag, float* phase) noexcept
{
    const int half = n / 2;
    int unusual = 0;
    for (int k = 1; k < half; ++k)
    {
        const float re = in[k], im = in[n - k];
        const float m = (float) std::sqrt ((double) re * (double) re + (double) im * (double) im);
        const float ph = -veltrane::atan2Rounded (im, re);
        mag[k] = m;
        phase[k] = ph;
        unusual |= ! (m <= largestFloat) | (ph != ph);
    }
    return unusual;
}

/** Replaces each phase by its advance since the last hop and remembers the phase.
    Returns non-zero when an advance is beyond limit (or not a number). */
VELTRANE_BIN_LOOP int advancePass (float* phaseToDelta, float* phaseMemory, int count, float limit) noexcept
{
    int farOff = 0;
    for (int k = 0; k < count; ++k)
    {
        const float phase = phaseToDelta[k];
        const float delta = phaseMemory[k] - phase;
        phaseMemory[k] = phase;
        farOff |= ! (std::fabs (delta) <= limit);
        phaseToDelta[k] = delta;
    }
    return farOff;
}

/** Advance to frequency in cycles per sample, transposed: the wrap as one turn each way. */
VELTRANE_BIN_LOOP void frequencyPass (float* deltaToFreq, int count, float invN, float hopRatio, float invTwoPiHs,
                                      float ratio, float bend, float pi, float twoPi) noexcept
{
    for (int k = 0; k < count; ++k)
    {
        const float delta = wrapOnce (deltaToFreq[k], pi, twoPi);
        deltaToFreq[k] = ((float) k * invN + delta * hopRatio * invTwoPiHs) * ratio * bend; // ratio, then bend
    }
}

/** Target bin of each source (-1 for none) and the phase step that moves it there. */
VELTRANE_BIN_LOOP void targetPass (const float* freq, int count, int n, float invN, float hsTwoPi, int* targets,
                                   float* steps) noexcept
{
    const int half = n / 2;
    const float fn = (float) n;
    for (int i = 0; i < count; ++i)
    {
        const float f = freq[i];
        const float x = fn * f;
        const bool inRange = x > -1.0f && x < fn;
        const float xs = inRange ? x : 0.0f;
        // Conversion truncates toward zero: trunc for the small values in range.
        const int truncated = (int) xs;
        const int target = truncated + (xs - (float) truncated > 0.5f ? 1 : 0);
        targets[i] = inRange && target >= 0 && target < half ? target : -1;
        steps[i] = ((float) target * invN - f) * hsTwoPi;
    }
}

/** Output phase of every target that some source reached: the winning source's step added to the
    target's running phase, each wrapped; the running phase keeps it. */
VELTRANE_BIN_LOOP void phasePass (const float* mag, const float* winnerStep, float* phaseSum, float* phase, int count,
                                  float pi, float twoPi) noexcept
{
    for (int t = 0; t < count; ++t)
    {
        const float phi = wrapOnce (wrapOnce (winnerStep[t], pi, twoPi) + phaseSum[t], pi, twoPi);
        const bool reached = mag[t] != 0.0f;
        phase[t] = phi;
        phaseSum[t] = reached ? phi : phaseSum[t];
    }
}

/** Halfcomplex bins 1..half-1 from (magnitude, phase); magnitude 0 gives zeros. Returns
    non-zero when a phase is beyond the fast sine and cosine's range. */
VELTRANE_BIN_LOOP int cartesianPass (const float* mag, const float* phase, int n, float* out) noexcept
{
    const int half = n / 2;
    int outside = 0;
    for (int i = 1; i < half; ++i)
    {
        const float m = mag[i];
        const float phi = phase[i];
        float sn, cs;
        veltrane::sinCosRounded (phi, sn, cs);
        outside |= ! (std::fabs (phi) <= veltrane::sinCosRoundedLimit);
        const float re = cs * m, im = -(m * sn);
        const bool silent = m == 0.0f;
        out[i] = silent ? 0.0f : re;
        out[n - i] = silent ? 0.0f : im;
    }
    return outside;
}
} // namespace

void RevolvaAudioProcessor::stretchShift (float* out, const float* in, float* phaseMemory, float* phaseSum, float ratio) noexcept
{
    const int n = fftSize;
    const int half = n / 2;
    const float t = pitchBend * ratio;
    int bins = half;
    if (t > 1.0f)
        bins = (int) std::min ((float) half, (float) half / t);
    const float piF = pi, twoPiF = twoPi;

    // Planar scratch: magnitudes in the first half of each array, the input's phases (then
    // frequencies) and the output's phases in the second, so the bin loops run on
    // contiguous floats.
    float* const inMag = polarIn.data();
    float* const inFreq = polarIn.data() + polarPlane;
    float* const outMag = polarOut.data();
    float* const outPhase = polarOut.data() + polarPlane;
    std::fill (outMag, outMag + half + 1, 0.0f);
    std::fill (binWinner.begin(), binWinner.begin() + half + 1, 0.0f);

    // Polar form of the analysis spectrum.
    for (int k : { 0, half })
    {
        inMag[k] = std::fabs (in[k]);
        inFreq[k] = -veltrane::atan2Rounded (0.0f, in[k]);
    }
    int unusual = polarPass (in, n, inMag, inFreq);
    for (int k : { 0, half })
        unusual |= ! (inMag[k] <= largestFloat) | (inFreq[k] != inFreq[k]);
    if (unusual != 0)
    {
        // Non-finite input: a magnitude that is not a number has phase 0, infinities take
        // the library's atan2.
        for (int k = 0; k <= half; ++k)
        {
            const float m = inMag[k];
            if (inFreq[k] == inFreq[k] && m <= largestFloat)
                continue;
            const float re = in[k];
            const float im = (k == 0 || k == half) ? 0.0f : in[n - k];
            inFreq[k] = std::isnan (m) ? 0.0f : -std::atan2 (im, re);
        }
    }

    // Phase advance since the last hop, wrapped, as frequency in cycles per sample,
    // transposed. Phases lie in [-pi, pi], so an advance needs at most one turn each way;
    // only a phase memory filled from elsewhere takes the general wrap.
    const float invN = 1.0f / (float) n;
    const float hopRatio = (float) synthesisHop / (float) analysisHop;
    const float invTwoPiHs = 1.0f / (twoPi * (float) synthesisHop);
    if (advancePass (inFreq, phaseMemory, half, 2.5f * piF) == 0)
        frequencyPass (inFreq, half, invN, hopRatio, invTwoPiHs, ratio, pitchBend, piF, twoPiF);
    else
        for (int k = 0; k < half; ++k)
        {
            const float delta = veltrane::wrapPhase (inFreq[k], piF, twoPiF);
            inFreq[k] = ((float) k * invN + delta * hopRatio * invTwoPiHs) * ratio * pitchBend;
        }

    // Targets and phase steps for all sources at once; only the transfer itself, which
    // depends on which targets are taken, is serial. A step is at most pi x Hs / N in size
    // for a target in range, so one turn of wrap suffices.
    int* const targets = binTarget.data();
    float* const steps = binStep.data();
    targetPass (inFreq, bins, n, invN, twoPi * (float) synthesisHop, targets, steps);

    // Sources sorted by magnitude band (loudest first), bin order kept within a band: the
    // same order as scanning all bins once per band. Sources without a target take no part.
    // Four tallies taken in turn, so neighbouring bins of one band do not wait on each
    // other's increment.
    int counts[4][maxBands + 1] {};
    unsigned char* const band = binBand.data();
    for (int i = 0; i < bins; ++i)
    {
        const int noTarget = -(int) (targets[i] < 0);
        const int b = (bandOf (inMag[i]) & ~noTarget) | (numBands & noTarget);
        band[i] = (unsigned char) b;
        ++counts[i & 3][b];
    }
    int starts[maxBands + 1] {};
    int sum = 0;
    for (int b = 0; b <= numBands; ++b)
    {
        starts[b] = sum;
        sum += counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];
    }
    const int active = starts[numBands];
    int* const order = bandOrder.data();
    for (int i = 0; i < bins; ++i)
        order[starts[band[i]]++] = i;

    // Magnitudes add up in that order; the first source to reach a target (its magnitude
    // still exactly 0) is the one whose phase the target takes. Only this is serial.
    // The winner's phase step is kept per target; later sources write theirs to a spare
    // slot instead of branching around the store.
    float* const winner = binWinner.data();
    const int spareSlot = (int) binWinner.size() - 1;
    for (int q = 0; q < active; ++q)
    {
        const int i = order[q];
        const int target = targets[i];
        const float before = outMag[target];
        outMag[target] = before + inMag[i]; // 0 + m is m
        // Masks rather than a conditional, which the compiler would turn back into a branch.
        const int freeMask = -(int) (before == 0.0f);
        winner[spareSlot + ((target - spareSlot) & freeMask)] = steps[i];
    }
    phasePass (outMag, winner, phaseSum, outPhase, half, piF, twoPiF);

    // Back to the halfcomplex form; phases are wrapped, so the fast sine and cosine serve
    // (the library takes any phase beyond their range).
    int outside = cartesianPass (outMag, outPhase, n, out);
    for (int i : { 0, half })
    {
        float sn, cs;
        veltrane::sinCosRounded (outPhase[i], sn, cs);
        outside |= ! (std::fabs (outPhase[i]) <= veltrane::sinCosRoundedLimit);
        out[i] = outMag[i] == 0.0f ? 0.0f : cs * outMag[i];
    }
    if (outside != 0)
    {
        for (int i = 0; i <= half; ++i)
        {
            const float m = outMag[i];
            const float phi = outPhase[i];
            if (m == 0.0f || std::fabs (phi) <= veltrane::sinCosRoundedLimit)
                continue;
            out[i] = std::cos (phi) * m;
            if (i > 0 && i < half)
                out[n - i] = -(m * std::sin (phi));
        }
    }
}
