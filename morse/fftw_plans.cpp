#include "fftw_plans.h"

#include <mutex>

namespace telvane::morse {
namespace {

// FFTW's planner is not thread-safe; decoders may be made on several threads.
std::mutex& PlannerLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

RealSpectrum::RealSpectrum(int size)
    : size_(size),
      input_(fftwf_alloc_real(static_cast<std::size_t>(size))),
      output_(fftwf_alloc_complex(static_cast<std::size_t>(size) / 2 + 1)) {
    const std::lock_guard guard(PlannerLock());
    plan_ = fftwf_plan_dft_r2c_1d(size, input_, output_, FFTW_ESTIMATE);
}

RealSpectrum::~RealSpectrum() {
    const std::lock_guard guard(PlannerLock());
    fftwf_destroy_plan(plan_);
    fftwf_free(input_);
    fftwf_free(output_);
}

std::span<const std::complex<float>> RealSpectrum::Transform() {
    fftwf_execute(plan_);
    return {reinterpret_cast<const std::complex<float>*>(output_),
            static_cast<std::size_t>(size_ / 2 + 1)};
}

RealInverse::RealInverse(int size)
    : size_(size),
      input_(fftwf_alloc_complex(static_cast<std::size_t>(size) / 2 + 1)),
      output_(fftwf_alloc_real(static_cast<std::size_t>(size))) {
    const std::lock_guard guard(PlannerLock());
    plan_ = fftwf_plan_dft_c2r_1d(size, input_, output_, FFTW_ESTIMATE);
}

RealInverse::~RealInverse() {
    const std::lock_guard guard(PlannerLock());
    fftwf_destroy_plan(plan_);
    fftwf_free(input_);
    fftwf_free(output_);
}

std::span<std::complex<float>> RealInverse::Input() {
    return {reinterpret_cast<std::complex<float>*>(input_),
            static_cast<std::size_t>(size_ / 2 + 1)};
}

std::span<const float> RealInverse::Transform() {
    // c2r destroys its input; the caller fills it anew for every transform.
    fftwf_execute(plan_);
    return {output_, static_cast<std::size_t>(size_)};
}

ComplexSpectrum::ComplexSpectrum(int size)
    : size_(size),
      input_(fftwf_alloc_complex(static_cast<std::size_t>(size))),
      output_(fftwf_alloc_complex(static_cast<std::size_t>(size))) {
    const std::lock_guard guard(PlannerLock());
    plan_ = fftwf_plan_dft_1d(size, input_, output_, FFTW_FORWARD, FFTW_ESTIMATE);
}

ComplexSpectrum::~ComplexSpectrum() {
    const std::lock_guard guard(PlannerLock());
    fftwf_destroy_plan(plan_);
    fftwf_free(input_);
    fftwf_free(output_);
}

std::span<std::complex<float>> ComplexSpectrum::Input() {
    return {reinterpret_cast<std::complex<float>*>(input_), static_cast<std::size_t>(size_)};
}

std::span<const std::complex<float>> ComplexSpectrum::Transform() {
    fftwf_execute(plan_);
    return {reinterpret_cast<const std::complex<float>*>(output_), static_cast<std::size_t>(size_)};
}

}  // namespace telvane::morse
