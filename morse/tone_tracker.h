#pragma once

// Finds the beacon's tone in 200-2500 Hz and follows it: a spectrogram (FFTW) and a fixed-lag
// Viterbi path through its bins that may drift by the largest Doppler rate, or jump to a new tone
// at a cost. The decided frequencies are smoothed by a local weighted mean less the drift (slope
// and bend) that a parabola through the strong frames tells: a Doppler curve is followed without
// lagging, and a steady tone is smoothed as by the mean.
// A second CW signal beside the beacon pulls such a path over whenever the beacon is key-up, so
// two steadier paths are followed as well, on each bin's emission averaged over the frames
// around, each kept well away from where the other is. Once both carry keying of their own, the
// first of them is the main tone, and the second is handed out too, for decoding on its own. Where
// the two paths cross over (one station fell silent a while), they are exchanged back, so that
// each goes on following its own station.

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
    // its FrameLength() samples. Appends the frames decided by it to `decided`, those of the
    // tone away from it to `second`, and, while no second tone is heard, those of the first steady
    // path (the main tone from then on) to `steady`.
    void AddFrame(std::span<const float> samples, std::vector<ToneFrame>& decided,
                  std::vector<ToneFrame>& second, std::vector<ToneFrame>& steady);
    // The work-rate sample from which a second tone was heard; -1 while none has been.
    double SecondToneFrom() const { return secondFrom_; }
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
    // A path through the bins, and its frames decided but not yet smoothed.
    struct Path {
        std::vector<double> score;
        // A frame on the path not yet decided: the scores it was reached from (with bins no
        // path comes from beyond both edges, as many as a step spans), the best of them, and the
        // bin the last trace back went through (-1 before one has).
        struct Step {
            std::vector<double> before;
            long top;
            int traced = -1;
        };
        std::deque<Step> steps;
        std::deque<Decision> decisions;
        std::vector<double> spare;  // a decided frame's scores, for reuse
        double lastFrequency = 0;
        long head = 0;  // the first of the best-scoring bins
        void FindHead();
    };
    struct Frame {
        std::vector<float> emission;  // this frame's alone
        std::vector<float> power;
        double noise;
    };
    Frame& Middle();
    void HeldEmission(std::vector<float>& held) const;
    void Step(std::vector<ToneFrame>& decided, std::vector<ToneFrame>& second,
              std::vector<ToneFrame>& steady);
    void HearSecond(const ToneFrame& first, const ToneFrame& away);
    void Apart(const std::vector<float>& held, long head, std::vector<float>& apart) const;
    void Viterbi(Path& path, const std::vector<float>& emission);
    int Origin(const Path::Step& step, int bin) const;
    void Decide(Path& path, std::vector<ToneFrame>& decided);
    void Trace(Path& path);
    void KeepStations();
    Decision DecisionAt(const Path& path, std::size_t index, int bin) const;
    int LoudestSaturated(const std::vector<float>& power, double noise, int bin) const;
    void Smooth(Path& path, std::vector<ToneFrame>& decided) const;
    void Provisional(const Path& path, std::vector<ToneFrame>& frames) const;
    double Smoothed(const std::deque<Decision>& decisions, std::size_t first, std::size_t last,
                    std::size_t centre, double previous) const;

    int frameLength_;
    int frameHop_;
    int firstBin_;
    int binCount_;
    double binHz_;
    double slopeLimit_;  // Hz per frame
    double bendLimit_;   // Hz per frame^2
    std::vector<float> window_;
    double windowEnergy_ = 0;
    RealSpectrum spectrum_;
    std::int64_t frames_ = 0;
    double noise_ = 0;
    bool floorInSilence_ = false;  // the floor was found in a frame partly silent
    std::deque<Frame> held_;       // the newest frames, around the next one on the paths
    Path path_;                    // each frame's own emission
    Path strongest_;               // the held emission
    Path away_;                    // the held emission, away from the strongest
    std::deque<std::vector<float>> powers_;
    // Each frame's emissions as the paths take them, kept from frame to frame so that no frame
    // allocates them.
    struct Scratch {
        std::vector<float> followed;  // near the tone picked
        std::vector<float> held;
        std::vector<float> apart;
    };
    Scratch scratch_;
    std::deque<double> frameNoise_;
    struct KeyedAt {
        double frequency = 0;
        std::int64_t frame = -1;  // of the comparison
    };
    // What the two steady paths heard, frame by frame, since they last met.
    struct Comparison {
        std::int64_t frames = 0;
        double firstLevel = 0;  // strength along each path, averaged over the last frames
        double awayLevel = 0;
        double firstAlone = 0;  // the share of frames key-down on one path and key-up on the other
        double awayAlone = 0;
        double together = 0;    // the share of frames key-down on both
        double firstPower = 0;  // key-down strength along each, over the last key-down frames
        double awayPower = 0;
        KeyedAt firstKeyed;  // where each path was last keyed, well above noise
        KeyedAt awayKeyed;
    };
    Comparison compared_;
    double secondFrom_ = -1;
    double awayOffset_ = 0;  // the away path's tone less the first's, both key-down, once heard
    bool following_ = false;
};

}  // namespace telvane::morse
