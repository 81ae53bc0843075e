#pragma once

// Finds the beacon's tone in 200-2500 Hz and follows it: a spectrogram (FFTW) and a fixed-lag
// Viterbi path through its bins that may drift by the largest Doppler rate, or jump to a new tone
// at a cost. The decided frequencies are smoothed by a local weighted mean less the drift (slope
// and bend) that a parabola through the strong frames tells: a Doppler curve is followed without
// lagging, and a steady tone is smoothed as by the mean.

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "fftw_plans.h"

namespace telvane::morse {

// The tone as decided for one spectrogram frame.
struct ToneFrame {
    double centreSample = 0;   // work-rate sample at the frame's centre
    double frequency = 0;      // Hz
    double noiseVariance = 0;  // of one work-rate sample, in the band around the tone
    double strength = 0;       // the tone's power in its bin over the noise floor
};

class ToneTracker {
public:
    explicit ToneTracker(double workRate);

    int FrameLength() const { return frameLength_; }
    int FrameHop() const { return frameHop_; }
    // Work-rate samples needed beyond a frame's centre before it is decided.
    int LatencySamples() const;
    // Analyses the frame starting at work-rate sample `frameIndex * FrameHop()`; `samples` holds
    // its FrameLength() samples. Appends the frames decided by it to `decided`.
    void AddFrame(std::span<const float> samples, std::vector<ToneFrame>& decided);
    // Follows the tone nearest `hz` from the next frame on, and no tone further than
    // kFollowWidthHz from where it drifts; 0 goes back to finding the tone alone.
    void Follow(double hz);
    // The frames not yet decided, as they would be if the recording ended now: the tone a live
    // display follows while the path has yet to settle.
    void Provisional(std::vector<ToneFrame>& frames) const;

private:
    struct Decision {
        double centreSample;
        double frequency;
        double noiseVariance;
        double strength;
    };
    void Viterbi(const std::vector<float>& emission);
    void Decide(std::vector<ToneFrame>& decided);
    Decision DecisionAt(std::size_t index, int bin) const;
    void Smooth(std::vector<ToneFrame>& decided);
    double Smoothed(const std::deque<Decision>& decisions, std::size_t first, std::size_t last,
                    std::size_t centre, double previous) const;

    int frameLength_;
    int frameHop_;
    int firstBin_;
    int binCount_;
    int maxStep_;
    double binHz_;
    double slopeLimit_;  // Hz per frame
    double bendLimit_;   // Hz per frame^2
    std::vector<float> window_;
    double windowEnergy_ = 0;
    RealSpectrum spectrum_;
    std::int64_t frames_ = 0;
    double noise_ = 0;
    bool floorInSilence_ = false;  // the floor was found in a frame partly silent
    std::vector<double> score_;
    std::deque<std::vector<std::int16_t>> back_;
    std::deque<std::vector<float>> powers_;
    std::deque<double> frameNoise_;
    std::deque<Decision> decisions_;
    double lastFrequency_ = 0;
    bool following_ = false;
};

}  // namespace telvane::morse
