#pragma once

// The first step at the input rate: low-pass and decimate to a work rate of 5.5 to 11 kHz, which
// still holds the whole 200-2500 Hz band the beacon's tone can be in. Everything after runs at
// the work rate or slower. The low-pass is a Kaiser FIR designed by liquid-dsp, applied by FFTW
// fast convolution (overlap-save) whose inverse transform is already the decimated length, so the
// input rate costs one forward real transform per block.

#include <memory>
#include <span>
#include <vector>

#include "fftw_plans.h"

namespace telvane::morse {

class WorkRateDecimator {
public:
    explicit WorkRateDecimator(double inputRate);

    double WorkRate() const { return workRate_; }
    // How far the output lags the input, in seconds.
    double DelaySeconds() const { return delaySeconds_; }
    // Appends the decimated samples of `input` to `output`; the result does not depend on how
    // the input is split into calls.
    void Process(std::span<const float> input, std::vector<float>& output);
    // Pushes out what the filter still holds of the input, as if silence followed.
    void Flush(std::vector<float>& output);

private:
    void Block(std::vector<float>& output);

    int factor_ = 1;
    double workRate_ = 0;
    double delaySeconds_ = 0;
    int overlap_ = 0;  // input samples each block repeats from the one before
    int hop_ = 0;      // new input samples per block
    std::vector<std::complex<float>> response_;  // of the low-pass, scaled for the inverse
    std::size_t filled_ = 0;  // of the forward transform's input, by the next block so far
    std::unique_ptr<RealSpectrum> forward_;
    std::unique_ptr<RealInverse> inverse_;
};

}  // namespace telvane::morse
