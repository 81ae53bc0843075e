#pragma once

// Finds the keying's timing and cuts the baseband into dit-long slots. The satellite keys by
// machine, so every edge falls on one grid of dit-long slots: the grid whose slots, summed with
// their phase, catch the most energy gives the speed and the slot boundaries.
// Each window also measures the tone's small remaining frequency offset (so a slot and a run of
// slots can be summed with their phase) and the key-down amplitude against the noise. A faint
// tone makes the tracker wander and the mixer retune with it; where the window's tone line comes
// out sharper so, its baseband is turned as if the mixer had held still.

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "downconverter.h"
#include "fftw_plans.h"
#include "slot_likelihood.h"
#include "speed_evidence.h"

namespace telvane::morse {

class KeyingGrid {
public:
    // `basebandRate` in samples per second; `offsetSeconds` is added to every time given out.
    KeyingGrid(double basebandRate, double offsetSeconds);

    // Baseband samples needed beyond a slot before it is cut.
    int LatencySamples() const;
    void Add(std::span<const BasebandSample> samples, std::vector<Slot>& slots);
    // The end of the recording: the segments still waiting for the speed to settle are cut on the
    // grids found for them.
    void Finish(std::vector<Slot>& slots);
    // The slots heard so far that are not yet cut, `ahead` being the baseband beyond what was
    // added, cut as if the recording ended there; nothing changes.
    void Provisional(std::span<const BasebandSample> ahead, std::vector<Slot>& slots) const;

    double DitSeconds() const { return period_ / rate_; }
    double SlotSnr() const { return slotSnr_; }  // key-down energy of a slot over the noise density
    double ToneHz() const { return toneHz_; }
    bool KeyingFound() const { return keyingFound_; }
    // Where the last segment cut ends, in seconds, when it was noise alone at a glance and no
    // slots came from it; -1 when it was not.
    double QuietUntil() const { return quietUntil_; }
    SignalEstimate Estimate() const;

private:
    struct Window {
        std::int64_t start = 0;
        std::vector<std::complex<float>> value;  // derotated
        std::vector<float> noise;
        std::vector<float> mixerHz;  // the frequency each sample was mixed with
        std::size_t firstHeard = 0;  // samples before it come before the recording
    };
    // A segment analysed, waiting to be cut into slots on the grid found for it.
    struct Pending {
        Window window;
        std::int64_t segment = 0;
        std::vector<double> points;
        double period = 0;
        double amplitude = 0;
        SignalEstimate estimate;  // its own, for its slots: not the newest window's
        bool quiet = false;       // noise alone at a glance: no slots are cut from it
    };
    SignalEstimate EstimateOf(double toneHz, double period, double slotSnr, bool keyed) const;
    Window Gather(std::int64_t start, std::span<const BasebandSample> ahead = {}) const;
    std::vector<std::complex<double>> Cumulative(const Window& window);
    // The tone's remaining offset from 0 Hz in a window, and how far its line stands above the
    // median bin (its offset is 0 when it stands too little).
    struct ToneLine {
        double offsetHz = 0;
        double strength = 0;
    };
    ToneLine FineOffset(const Window& window);
    // Turns the window as if the mixer had held still at `heldHz` throughout (nothing when it is
    // 0), counting phase from `segmentStart`; returns the turn over that segment.
    double HoldMixer(Window& window, std::int64_t segmentStart, double heldHz) const;
    // The window as mixed, or as if the mixer had held still at its median frequency: whichever
    // shows the sharper tone line. Returns that line; `turn` is the turn over the segment.
    ToneLine SteadiestMix(Window& window, std::int64_t segmentStart, double& turn);
    void Derotate(Window& window, std::int64_t segmentStart, double offsetHz) const;
    double ChangeCost(double period) const;
    // The period around `centre` (within +-`span`, in steps of `step`, relative) catching the
    // most, trying every `sparse`th step first when there are many.
    std::pair<double, double> BestPeriod(const std::vector<std::complex<double>>& cumulative,
                                         double centre, double span, double step, int phases,
                                         int sparse) const;
    std::pair<double, double> Track(const std::vector<std::complex<double>>& cumulative,
                                    double period, bool close, int sparse) const;
    // Whether a quick search catches enough to make keying likely (see kGlanceShare).
    bool KeyingGlimpsed(const std::vector<std::complex<double>>& cumulative) const;
    // What a window's search found: noise alone at a glance, no grid to trust, or the grid.
    enum class Found { kQuiet, kNoGrid, kGrid };
    Found FindGrid(const Window& window, double& period, std::vector<double>& points);
    double Amplitude(const Window& window, const std::vector<double>& points) const;
    void Recut();
    std::complex<double> SlotSum(const Window& window, double from, double to, double& noise) const;
    double SegmentEnd(const Pending& held) const;
    double CutAmplitude() const;
    void NoteCut(const Pending& held);
    // Cuts slots from `boundary` on, up to the first one starting at `segmentEnd` or later.
    void CutSegment(const Pending& held, double segmentEnd, double& boundary,
                    std::vector<Slot>& slots) const;

    double rate_;
    double offsetSeconds_;
    int windowLength_;
    int segmentLength_;
    std::deque<BasebandSample> buffer_;
    std::int64_t bufferStart_ = 0;
    std::int64_t segment_ = 0;
    double phase_ = 0;
    double period_;
    std::vector<double> gridPoints_;  // slot boundaries found in the last window with keying
    double boundary_ = -1;
    bool keyingFound_ = false;
    double quietUntil_ = -1;
    int settledSegments_ = 0;  // in a row, keying found at the same speed (short pauses aside)
    int lostSegments_ = 0;     // in a row, no keying found
    double slotSnr_ = 0;
    double keyedAmplitude_ = 0;  // of the last window with keying, until a quiet one
    double sampleExcess_ = 0;    // the window's mean sample energy beyond noise
    double toneHz_ = 0;
    double lastOffset_ = 0;  // the tone's fine offset found in the last window, Hz
    double heldHz_ = 0;      // the last window's mixer held still here (0: as mixed)
    ComplexSpectrum toneSpectrum_;
    std::vector<float> hann_;     // over the whole window
    std::vector<float> weights_;  // the window's, for the heard part of this window
    std::vector<float> heard_;    // 1 where this window was heard, 0 before the recording began
    std::deque<Pending> pending_;
    bool released_ = false;  // the speed has settled once: segments are cut as they come
    SpeedEvidence evidence_;
};

}  // namespace telvane::morse
