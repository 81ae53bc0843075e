#include "work_rate_decimator.h"

#include <liquid/liquid.h>

#include <algorithm>
#include <cmath>

namespace telvane::morse {
namespace {

constexpr double kLowestWorkRate = 5500.0;  // twice the band's top and a transition band
constexpr double kBandTop = 2500.0;
constexpr float kStopbandDb = 60.0F;
constexpr int kOutputPerBlock = 512;  // decimated samples per transform: the block is 512 x factor

}  // namespace

WorkRateDecimator::WorkRateDecimator(double inputRate)
    : factor_(std::max(1, static_cast<int>(std::floor(inputRate / kLowestWorkRate)))),
      workRate_(inputRate / factor_) {
    if (factor_ == 1) {
        return;
    }
    // Pass the band, and stop everything that would fold back into it.
    const double stopband = workRate_ - kBandTop;
    const double transition = (stopband - kBandTop) / inputRate;
    const double cutoff = (stopband + kBandTop) / 2.0 / inputRate;
    const unsigned int length =
        std::max(estimate_req_filter_len(static_cast<float>(transition), kStopbandDb),
                 static_cast<unsigned int>(2 * factor_)) |
        1U;
    std::vector<float> taps(length);
    liquid_firdes_kaiser(length, static_cast<float>(cutoff), kStopbandDb, 0.0F, taps.data());
    delaySeconds_ = (length - 1) / 2.0 / inputRate;

    const int size = kOutputPerBlock * factor_;
    // The overlap is a whole number of outputs, so every block decimates on the same grid.
    overlap_ = ((static_cast<int>(length) - 1 + factor_ - 1) / factor_) * factor_;
    hop_ = size - overlap_;
    forward_ = std::make_unique<RealSpectrum>(size);
    inverse_ = std::make_unique<RealInverse>(kOutputPerBlock);
    std::span<float> input = forward_->Input();
    std::fill(input.begin(), input.end(), 0.0F);
    std::copy(taps.begin(), taps.end(), input.begin());
    const auto spectrum = forward_->Transform();
    // Inverse of the first 512/2+1 bins at 512 points keeps every factor-th output of the full
    // inverse; FFTW leaves both transforms unscaled.
    const float scale = 1.0F / static_cast<float>(size);
    response_.assign(spectrum.begin(), spectrum.begin() + kOutputPerBlock / 2 + 1);
    for (auto& bin : response_) {
        bin *= scale;
    }
    // The transform keeps its input: each block's samples go straight into it.
    std::fill(input.begin(), input.end(), 0.0F);
    filled_ = static_cast<std::size_t>(overlap_);
}

void WorkRateDecimator::Block(std::vector<float>& output) {
    const auto spectrum = forward_->Transform();
    std::span<std::complex<float>> product = inverse_->Input();
    for (std::size_t k = 0; k < response_.size(); ++k) {
        product[k] = spectrum[k] * response_[k];
    }
    const auto decimated = inverse_->Transform();
    // Outputs before the overlap wrapped around the block; the rest are the filter's.
    output.insert(output.end(), decimated.begin() + overlap_ / factor_, decimated.end());
    std::span<float> input = forward_->Input();
    std::copy(input.begin() + hop_, input.end(), input.begin());
    filled_ = static_cast<std::size_t>(overlap_);
}

void WorkRateDecimator::Process(std::span<const float> input, std::vector<float>& output) {
    if (factor_ == 1) {
        output.insert(output.end(), input.begin(), input.end());
        return;
    }
    const std::span<float> block = forward_->Input();
    while (!input.empty()) {
        const std::size_t take = std::min(block.size() - filled_, input.size());
        std::copy_n(input.begin(), take, block.begin() + static_cast<long>(filled_));
        filled_ += take;
        input = input.subspan(take);
        if (filled_ == block.size()) {
            Block(output);
        }
    }
}

void WorkRateDecimator::Flush(std::vector<float>& output) {
    if (factor_ == 1) {
        return;
    }
    const std::span<float> block = forward_->Input();
    for (int pass = 0; pass < 2; ++pass) {
        std::fill(block.begin() + static_cast<long>(filled_), block.end(), 0.0F);
        Block(output);
    }
}

}  // namespace telvane::morse
