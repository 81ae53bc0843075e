#include "work_rate_decimator.h"

#include <liquid/liquid.h>

#include <algorithm>
#include <cmath>

namespace telvane::morse {
namespace {

constexpr double kLowestWorkRate = 5500.0;  // twice the band's top and a transition band
constexpr double kBandTop = 2500.0;
constexpr float kStopbandDb = 60.0F;

}  // namespace

struct WorkRateDecimator::Filter {
    firdecim_rrrf decimator = nullptr;
};

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
    unsigned int length = estimate_req_filter_len(static_cast<float>(transition), kStopbandDb);
    length = std::max(length, static_cast<unsigned int>(2 * factor_)) | 1U;
    std::vector<float> taps(length);
    liquid_firdes_kaiser(length, static_cast<float>(cutoff), kStopbandDb, 0.0F, taps.data());
    // Output k is taken after input k * factor + factor - 1, from taps centred (length - 1) / 2
    // back.
    delaySeconds_ = ((length - 1) / 2.0 - (factor_ - 1)) / inputRate;
    filter_ =
        new Filter{firdecim_rrrf_create(static_cast<unsigned int>(factor_), taps.data(), length)};
    firdecim_rrrf_set_scale(filter_->decimator, 1.0F);
}

WorkRateDecimator::~WorkRateDecimator() {
    if (filter_ != nullptr) {
        firdecim_rrrf_destroy(filter_->decimator);
        delete filter_;
    }
}

void WorkRateDecimator::Process(std::span<const float> input, std::vector<float>& output) {
    if (filter_ == nullptr) {
        output.insert(output.end(), input.begin(), input.end());
        return;
    }
    const auto factor = static_cast<std::size_t>(factor_);
    if (!pending_.empty()) {
        const std::size_t take = std::min(factor - pending_.size(), input.size());
        pending_.insert(pending_.end(), input.begin(), input.begin() + static_cast<long>(take));
        input = input.subspan(take);
        if (pending_.size() < factor) {
            return;
        }
        float sample = 0;
        firdecim_rrrf_execute(filter_->decimator, pending_.data(), &sample);
        output.push_back(sample);
        pending_.clear();
    }
    const std::size_t blocks = input.size() / factor;
    if (blocks > 0) {
        const std::size_t at = output.size();
        output.resize(at + blocks);
        // liquid takes non-const pointers but does not write through them.
        firdecim_rrrf_execute_block(filter_->decimator, const_cast<float*>(input.data()),
                                    static_cast<unsigned int>(blocks), output.data() + at);
    }
    pending_.assign(input.begin() + static_cast<long>(blocks * factor), input.end());
}

}  // namespace telvane::morse
