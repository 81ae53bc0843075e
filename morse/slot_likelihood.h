#pragma once

// Soft evidence from the slots: how much likelier a character's keying makes what was heard than
// silence would, deciding on whole key-down runs rather than on a threshold per slot.

#include <complex>
#include <span>

#include "copied_beacon.h"
#include "morse_code.h"

namespace telvane::morse {

// One dit-long slot of the received tone, scaled so that noise has unit variance.
struct Slot {
    std::complex<float> value;  // the tone integrated over the slot (phase kept)
    float amplitude = 0;        // the magnitude a key-down slot would have without noise
    double startSeconds = 0;
    double endSeconds = 0;
    SignalEstimate estimate;  // the tone, speed and SNR when the slot was cut
    // The carrier's phase for a run starting here, from the slots around it: a von Mises prior,
    // direction and concentration in one (zero when nothing tells it).
    std::complex<float> reference;
    // Cut from a window whose strength swings slowly: a key-down slot may have faded below
    // `amplitude`, which follows the swing only roughly through a deep fade.
    bool fading = false;
};

// ln I0(x), the modified Bessel function of the first kind, for x >= 0.
double LogBesselI0(double x);

// A faded key-down slot's energy is taken to lie anywhere up to this many times the key-down
// energy around it.
inline constexpr double kFadeCeiling = 2.0;

// Log-likelihood ratio of a slot of `magnitude` (over unit noise) keyed at `amplitude` against no
// keying there, its phase unknown; on a fading channel a share `fadedShare` of key-down slots is
// taken to have faded to any energy up to `ceiling` instead.
double KeyDownLogRatio(double magnitude, double amplitude, double fadedShare = 0,
                       double ceiling = 0);

// The longest key-down run: a dah.
inline constexpr int kLongestRun = 3;

// Log-likelihood ratio of one key-down run over `run` against no keying there: a tone whose phase
// the first slot's reference tells, its slots added with their phase (the carrier is continuous
// over a run) or, where that fits better because the tone wandered, each slot on its own.
double RunLikelihood(std::span<const Slot> run);

}  // namespace telvane::morse
