#pragma once

// FFTW plans and buffers owned by the classes that use them. Plans are made with FFTW_ESTIMATE so
// that the same input always takes the same arithmetic (no timing-dependent plan choice).

#include <fftw3.h>

#include <complex>
#include <span>

namespace telvane::morse {

// A real-to-complex transform of a fixed size.
class RealSpectrum {
public:
    explicit RealSpectrum(int size);
    ~RealSpectrum();
    RealSpectrum(const RealSpectrum&) = delete;
    RealSpectrum& operator=(const RealSpectrum&) = delete;

    std::span<float> Input() { return {input_, static_cast<std::size_t>(size_)}; }
    // Transforms Input(); bins 0..size/2.
    std::span<const std::complex<float>> Transform();
    int Size() const { return size_; }

private:
    int size_;
    float* input_;
    fftwf_complex* output_;
    fftwf_plan plan_;
};

// A complex-to-real (inverse) transform of a fixed size, unscaled.
class RealInverse {
public:
    explicit RealInverse(int size);
    ~RealInverse();
    RealInverse(const RealInverse&) = delete;
    RealInverse& operator=(const RealInverse&) = delete;

    // Bins 0..size/2 of a Hermitian spectrum.
    std::span<std::complex<float>> Input();
    std::span<const float> Transform();

private:
    int size_;
    fftwf_complex* input_;
    float* output_;
    fftwf_plan plan_;
};

// A complex forward transform of a fixed size.
class ComplexSpectrum {
public:
    explicit ComplexSpectrum(int size);
    ~ComplexSpectrum();
    ComplexSpectrum(const ComplexSpectrum&) = delete;
    ComplexSpectrum& operator=(const ComplexSpectrum&) = delete;

    std::span<std::complex<float>> Input();
    std::span<const std::complex<float>> Transform();
    int Size() const { return size_; }

private:
    int size_;
    fftwf_complex* input_;
    fftwf_complex* output_;
    fftwf_plan plan_;
};

}  // namespace telvane::morse
