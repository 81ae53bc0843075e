#pragma once

// The first step at the input rate: low-pass and decimate to a work rate of 5.5 to 11 kHz, which
// still holds the whole 200-2500 Hz band the beacon's tone can be in. Everything after runs at
// the work rate or slower.

#include <span>
#include <vector>

namespace telvane::morse {

class WorkRateDecimator {
public:
    explicit WorkRateDecimator(double inputRate);
    ~WorkRateDecimator();
    WorkRateDecimator(const WorkRateDecimator&) = delete;
    WorkRateDecimator& operator=(const WorkRateDecimator&) = delete;

    double WorkRate() const { return workRate_; }
    // How far the output lags the input, in seconds.
    double DelaySeconds() const { return delaySeconds_; }
    // Appends the decimated samples of `input` to `output`; the result does not depend on how
    // the input is split into calls.
    void Process(std::span<const float> input, std::vector<float>& output);

private:
    struct Filter;
    int factor_ = 1;
    double workRate_ = 0;
    double delaySeconds_ = 0;
    Filter* filter_ = nullptr;  // liquid-dsp decimator, absent when the factor is 1
    std::vector<float> pending_;
};

}  // namespace telvane::morse
