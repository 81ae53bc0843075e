#include "decoder.h"

#include <algorithm>
#include <cmath>

#include "beacon_assembler.h"
#include "downconverter.h"
#include "keying_grid.h"
#include "sequence_decoder.h"
#include "tone_tracker.h"
#include "work_rate_decimator.h"

namespace telvane::morse {
namespace {

constexpr double kBasebandRate = 500.0;  // samples per second after the mixer
constexpr int kDecisionLagSlots = 96;    // slots the sequence decoder looks ahead before deciding

}  // namespace

struct Decoder::Pipeline {
    explicit Pipeline(double sampleRate)
        : rate(std::clamp(sampleRate, kLowestRate, kHighestRate)),
          decimator(rate),
          tracker(decimator.WorkRate()),
          downconverter(
              decimator.WorkRate(),
              std::max(1, static_cast<int>(std::lround(decimator.WorkRate() / kBasebandRate)))),
          grid(decimator.WorkRate() / downconverter.Hop(), -decimator.DelaySeconds()),
          sequence(kDecisionLagSlots) {}

    void Run() {
        const auto frameLength = static_cast<std::size_t>(tracker.FrameLength());
        std::vector<ToneFrame> tones;
        for (;;) {
            const std::int64_t start = nextFrame * tracker.FrameHop() - workStart;
            if (start + static_cast<std::int64_t>(frameLength) >
                static_cast<std::int64_t>(work.size())) {
                break;
            }
            tracker.AddFrame(
                std::span<const float>(work).subspan(static_cast<std::size_t>(start), frameLength),
                tones);
            ++nextFrame;
        }
        for (const ToneFrame& tone : tones) {
            downconverter.AddTone(tone);
        }
        const auto mixFrom = static_cast<std::size_t>(downconverter.Position() - workStart);
        baseband.clear();
        downconverter.Process(std::span<const float>(work).subspan(mixFrom), baseband);
        slots.clear();
        grid.Add(baseband, slots);
        for (const Slot& slot : slots) {
            sequence.Push(slot);
        }
        Assemble();
        const std::int64_t keepFrom =
            std::min(nextFrame * tracker.FrameHop(), downconverter.Position());
        // The samples still needed are moved down only once as many are done with: each is moved
        // a bounded number of times, however small the blocks fed.
        const std::int64_t done = keepFrom - workStart;
        if (2 * done >= static_cast<std::int64_t>(work.size())) {
            work.erase(work.begin(), work.begin() + done);
            workStart = keepFrom;
        }
    }

    void Assemble() {
        for (const HeardCharacter& heard : sequence.TakeHeard()) {
            assembler.Add(heard);
        }
    }

    SignalEstimate Estimate() const { return grid.Estimate(); }

    // Every stage after the decimator runs ahead on copies, over what it has not yet decided.
    std::optional<CopiedBeacon> Provisional() const {
        std::vector<ToneFrame> tones;
        tracker.Provisional(tones);
        Downconverter mixer = downconverter;
        for (const ToneFrame& tone : tones) {
            mixer.AddTone(tone);
        }
        std::vector<BasebandSample> ahead;
        mixer.Process(std::span<const float>(work).subspan(
                          static_cast<std::size_t>(mixer.Position() - workStart)),
                      ahead);
        std::vector<Slot> cut;
        grid.Provisional(ahead, cut);
        return assembler.Provisional(sequence.Provisional(cut));
    }

    // Zeros after the end push the last real samples through every stage's look-ahead.
    void Flush() {
        const double workRate = decimator.WorkRate();
        const auto tail = static_cast<std::size_t>(
            tracker.LatencySamples() +
            (grid.LatencySamples() + 1024) * static_cast<std::int64_t>(downconverter.Hop()) +
            static_cast<std::int64_t>(workRate));
        decimator.Flush(work);
        work.resize(work.size() + tail, 0.0F);
        Run();
        slots.clear();
        grid.Finish(slots);
        for (const Slot& slot : slots) {
            sequence.Push(slot);
        }
        sequence.Finish();
        Assemble();
        assembler.Finish();
    }

    double rate;
    WorkRateDecimator decimator;
    ToneTracker tracker;
    Downconverter downconverter;
    KeyingGrid grid;
    SequenceDecoder sequence;
    BeaconAssembler assembler;
    std::vector<float> work;
    std::int64_t workStart = 0;
    std::int64_t nextFrame = 0;
    std::vector<BasebandSample> baseband;
    std::vector<Slot> slots;
    std::int64_t samplesFed = 0;
    bool finished = false;
};

Decoder::Decoder(double sampleRate) : pipeline_(std::make_unique<Pipeline>(sampleRate)) {}

Decoder::~Decoder() = default;

void Decoder::Feed(std::span<const float> samples) {
    if (pipeline_->finished || samples.empty()) {
        return;
    }
    pipeline_->samplesFed += static_cast<std::int64_t>(samples.size());
    pipeline_->decimator.Process(samples, pipeline_->work);
    pipeline_->Run();
}

void Decoder::Finish() {
    if (pipeline_->finished) {
        return;
    }
    pipeline_->finished = true;
    pipeline_->Flush();
}

std::vector<CopiedBeacon> Decoder::TakeBeacons() {
    return pipeline_->assembler.TakeBeacons();
}

std::optional<CopiedBeacon> Decoder::Provisional() const {
    if (pipeline_->finished) {
        return std::nullopt;
    }
    return pipeline_->Provisional();
}

std::vector<HeardText> Decoder::TakeTranscript() {
    return pipeline_->assembler.TakeTranscript();
}

double Decoder::SecondsFed() const {
    return static_cast<double>(pipeline_->samplesFed) / pipeline_->rate;
}

SignalEstimate Decoder::Estimate() const {
    return pipeline_->Estimate();
}

void Decoder::FollowTone(double hz) {
    pipeline_->tracker.Follow(hz);
}

}  // namespace telvane::morse
