#include "decoder.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <iterator>
#include <limits>
#include <utility>

#include "beacon_assembler.h"
#include "beacon_pairing.h"
#include "downconverter.h"
#include "keying_grid.h"
#include "sequence_decoder.h"
#include "tone_tracker.h"
#include "work_rate_decimator.h"

namespace telvane::morse {
namespace {

constexpr double kBasebandRate = 500.0;  // samples per second after the mixer
// Slots the sequence decoder looks ahead before deciding: near the noise floor a wrong turn shows
// only a line or two later, where the line's width or the next header does not fit it.
constexpr int kDecisionLagSlots = 192;
// The second tone's grid starts this long before it was first heard; its mixed baseband is kept
// that long and for the tone path's decision lag besides.
constexpr double kSecondLeadSeconds = 10.0;
constexpr double kHistorySeconds = kSecondLeadSeconds + 5.0;
// The steady path's and the main tone's frames, and the samples, kept until a second tone is
// heard: a beacon under way is read again from the last character decided, which the sequence
// decoder's lag puts up to 30 s back at 8 WPM.
constexpr double kSteadyKeptSeconds = 35.0;
// Room beyond it for the tone tracker's lag and a block fed, of a few seconds each.
constexpr double kKeptMarginSeconds = 4.0;
// The main tone has left the steady path where they are this far apart.
constexpr double kAstrayHz = 25.0;
// The away path has gone over to another signal where its tone moves this far from one frame to
// the next: many times what any Doppler drift moves it.
constexpr double kJumpHz = 110.0;
constexpr auto kKeptHistory = static_cast<std::size_t>(kHistorySeconds * kBasebandRate);
constexpr double kNoEnd = std::numeric_limits<double>::infinity();
// Slots further apart than this have noise alone between them, which the grid cut nothing from.
constexpr double kQuietGapSeconds = 1.0;
// A beacon less sure than this is noise read after a stray header, a stray header heard in
// traffic (a lone later line at -13 dB comes out at 0.10 to 0.16, a beacon at 0.7 or more), or
// one heard in another station's traffic on the second tone.
constexpr double kLeastConfidence = 0.2;

// Too unsure, or line 1 alone: free text after a header is what noise after a beacon, or traffic
// keyed after it, reads as in a weak signal, and without a digit it tells the report nothing.
bool Doubtful(const CopiedBeacon& beacon) {
    return beacon.confidence < kLeastConfidence || !HoldsDigits(beacon);
}

// Which copies of a beacon the pairing takes first: the main tone's, its rereads', the second
// tone's.
enum CopyRank { kMainCopy, kRereadCopy, kAwayRereadCopy, kSecondCopy };

// Doubtful, and no line 1 for the pairing to lend to a copy on the other tone that lacks it.
bool Unpaired(const CopiedBeacon& beacon) {
    return Doubtful(beacon) && (HoldsDigits(beacon) || beacon.lines[0].text.empty());
}

// How many of `frames`, in time order, are centred before work-rate sample `sample`.
std::size_t FramesBefore(std::span<const ToneFrame> frames, double sample) {
    const auto after = std::partition_point(
        frames.begin(), frames.end(),
        [sample](const ToneFrame& frame) { return frame.centreSample < sample; });
    return static_cast<std::size_t>(after - frames.begin());
}

}  // namespace

// The stages after the tone tracker, for one tone.
struct Chain {
    Chain(double workRate, int hop, const BeaconAssembler& copying = BeaconAssembler())
        : downconverter(workRate, hop), assembler(copying) {
        StartSequence(-1);
    }

    // Mixes `work` (from work-rate sample `workStart` on) along `tones`, for the keying grid from
    // baseband sample `gridFrom` on.
    void Run(std::span<const ToneFrame> tones, std::span<const float> work,
             std::int64_t workStart) {
        if (ended) {
            return;
        }
        for (const ToneFrame& tone : tones) {
            downconverter.AddTone(tone);
        }
        const auto mixFrom = static_cast<std::size_t>(downconverter.Position() - workStart);
        baseband.clear();
        downconverter.Process(work.subspan(mixFrom), baseband);
        const auto mixed = static_cast<std::int64_t>(baseband.size());
        const std::int64_t skip = std::clamp<std::int64_t>(gridFrom - basebandCount, 0, mixed);
        basebandCount += mixed;
        if (!grid) {
            // What was heard lately is kept for a grid started later, moved down only once twice
            // as much is held: each sample is moved a bounded number of times, however small the
            // blocks fed.
            history.insert(history.end(), baseband.begin(), baseband.end());
            if (history.size() > 2 * kKeptHistory) {
                history.erase(history.begin(),
                              history.begin() + static_cast<long>(history.size() - kKeptHistory));
            }
            return;
        }
        slots.clear();
        grid->Add(std::span<const BasebandSample>(baseband).subspan(static_cast<std::size_t>(skip)),
                  slots);
        Decide();
    }

    // Starts the keying grid with what was heard from baseband sample `from` on, or from the
    // oldest kept if that is later.
    void StartGrid(std::int64_t from, double basebandRate, double offsetSeconds) {
        const auto kept = static_cast<std::int64_t>(std::min(history.size(), kKeptHistory));
        const std::int64_t oldest = basebandCount - kept;
        gridFrom = std::max(from, oldest);
        grid.emplace(basebandRate, static_cast<double>(gridFrom) / basebandRate + offsetSeconds);
        const std::int64_t skip =
            static_cast<std::int64_t>(history.size()) - kept + std::min(gridFrom - oldest, kept);
        slots.clear();
        grid->Add(std::span<const BasebandSample>(history).subspan(static_cast<std::size_t>(skip)),
                  slots);
        history = {};
        Decide();
    }

    // Decides on the slots the grid cut, and assembles the characters starting before `until`.
    void Decide(double until = kNoEnd) {
        for (const Slot& slot : slots) {
            // After a quiet stretch the search starts afresh in traffic: whatever it was reading
            // before did not go on through it.
            if (slotsUntil >= 0 && slot.startSeconds - slotsUntil > kQuietGapSeconds) {
                Restart(until);
            }
            sequence->Push(slot);
            slotsUntil = slot.endSeconds;
        }
        Assemble(until);
        // What was heard before a quiet stretch is decided when it begins, not when the keying
        // comes back; nothing more is heard before where it has reached.
        const double quiet = grid->QuietUntil();
        if (quiet >= 0 && !ended) {
            if (slotsUntil >= 0) {
                Restart(until);
            }
            quietUntil = quiet;
            assembler.Passed(quiet);
            CheckEnd();
        }
    }

    // How far the decisions have reached: the last character's end, or a quiet stretch's.
    double DecidedUntil() const { return std::max(heardUntil, quietUntil); }

    // How far the copies handed to the pairing reach: the decisions, but not past the start of a
    // beacon still under way, whose copy may yet overlap one waiting there.
    double PairedUntil() const { return std::min(DecidedUntil(), assembler.UnderWaySince()); }

    void Restart(double until) {
        sequence->Finish();
        Assemble(until);
        StartSequence(-1);
    }

    // A new search from grammar node `node` (-1: in traffic).
    void StartSequence(int node) {
        sequence.emplace(kDecisionLagSlots, node);
        slotsUntil = -1;
    }

    void Assemble(double until = kNoEnd) {
        for (const HeardCharacter& heard : sequence->TakeHeard()) {
            if (ended || heard.startSeconds >= until) {
                continue;
            }
            assembler.Add(heard);
            heardUntil = heard.endSeconds;
            heardNode = heard.toNode;
            CheckEnd();
        }
    }

    // A chain that reads only up to `endAfter` ends at the first decision past it with no beacon
    // under way: checked character by character, so that where it ends does not depend on how
    // the recording came in blocks.
    void CheckEnd() { ended = ended || (DecidedUntil() > endAfter && !assembler.Copying()); }

    // Decides everything heard, keeping the characters starting before `until`.
    void Settle(double until = kNoEnd) {
        if (grid) {
            slots.clear();
            grid->Finish(slots);
            Decide(until);
        }
        sequence->Finish();
        Assemble(until);
    }

    void Finish() {
        if (ended) {
            return;
        }
        Settle();
        assembler.Finish();
    }

    // The tone has moved to the one `mixer` follows: what was heard on the old one is decided, and
    // a new grid and sequence read `mixed`, mixed by it from baseband sample `from` on. The
    // characters decided from there on the old tone are dropped: they were the other signal's,
    // which the second tone's chain reads from there too. A beacon begun before `from` goes on
    // where its last character left the grammar: read as traffic, the rest of its line was lost.
    void MoveTo(Downconverter mixer, std::vector<BasebandSample> mixed, std::int64_t from,
                double basebandRate, double offsetSeconds) {
        Settle(static_cast<double>(from) / basebandRate + offsetSeconds);
        Read(std::move(mixer), std::move(mixed), from, basebandRate, offsetSeconds,
             assembler.Copying() ? heardNode : -1);
    }

    // A new grid and sequence read `mixed`, mixed by `mixer` from baseband sample `from` on; the
    // sequence goes on from grammar node `node` (-1: in traffic).
    void Read(Downconverter mixer, std::vector<BasebandSample> mixed, std::int64_t from,
              double basebandRate, double offsetSeconds, int node) {
        downconverter = std::move(mixer);
        history = std::move(mixed);
        basebandCount = from + static_cast<std::int64_t>(history.size());
        grid.reset();
        StartSequence(node);
        StartGrid(from, basebandRate, offsetSeconds);
    }

    Downconverter downconverter;
    std::optional<KeyingGrid> grid;
    std::optional<SequenceDecoder> sequence;  // started again when the tone moves
    BeaconAssembler assembler;
    std::int64_t basebandCount = 0;       // mixed so far
    std::vector<BasebandSample> history;  // the latest mixed, while there is no grid
    std::int64_t gridFrom = 0;            // the first baseband sample the grid hears
    double slotsUntil = -1;               // the end of the last slot decided on
    double heardUntil = 0;                // the end of the last character decided
    double quietUntil = 0;                // the end of the last quiet stretch reached
    int heardNode = -1;                   // the grammar node it led to
    double endAfter = kNoEnd;             // see CheckEnd()
    bool ended = false;
    std::vector<BasebandSample> baseband;
    std::vector<Slot> slots;
};

struct Decoder::Pipeline {
    explicit Pipeline(double sampleRate)
        : rate(std::clamp(sampleRate, kLowestRate, kHighestRate)),
          decimator(rate),
          tracker(decimator.WorkRate()),
          hop(std::max(1, static_cast<int>(std::lround(decimator.WorkRate() / kBasebandRate)))),
          main(decimator.WorkRate(), hop),
          second(decimator.WorkRate(), hop) {
        main.grid.emplace(BasebandRate(), -decimator.DelaySeconds());
        // The samples kept reach twice the steady path's span (and the tracker's lag) before they
        // are moved down: room for that from the start spares the copies and fresh pages of
        // growing into it.
        work.reserve(static_cast<std::size_t>(2 * (kSteadyKeptSeconds + kKeptMarginSeconds) *
                                              decimator.WorkRate()));
    }

    double BasebandRate() const { return decimator.WorkRate() / hop; }

    void Run() {
        const auto frameLength = static_cast<std::size_t>(tracker.FrameLength());
        std::vector<ToneFrame> tones;
        std::vector<ToneFrame> secondTones;
        std::vector<ToneFrame> steadyTones;
        for (;;) {
            const std::int64_t start = nextFrame * tracker.FrameHop() - workStart;
            if (start + static_cast<std::int64_t>(frameLength) >
                static_cast<std::int64_t>(work.size())) {
                break;
            }
            tracker.AddFrame(
                std::span<const float>(work).subspan(static_cast<std::size_t>(start), frameLength),
                tones, secondTones, steadyTones);
            ++nextFrame;
        }
        const bool hearing = !second.grid;
        HearSecondTone();
        std::size_t awayMixed = 0;  // of `secondTones`, those the away path's reread has mixed
        if (hearing && second.grid) {
            awayMixed = HandOverMainTone(tones, steadyTones, secondTones);
        } else {
            RunMain(tones);
            if (!second.grid) {
                KeepSteady(tones, steadyTones, secondTones);
            }
        }
        second.Run(secondTones, work, workStart);
        if (awayReread) {
            awayReread->Run(std::span<const ToneFrame>(secondTones).subspan(awayMixed), work,
                            workStart);
        }
        Collect();
        std::int64_t keepFrom =
            std::min({nextFrame * tracker.FrameHop(), main.downconverter.Position(),
                      second.downconverter.Position()});
        for (const std::optional<Chain>* chain : {&reread, &awayReread}) {
            if (*chain) {
                keepFrom = std::min(keepFrom, (*chain)->downconverter.Position());
            }
        }
        if (!second.grid) {
            keepFrom = std::min(keepFrom, SteadyKeptFrom());
        }
        // The samples still needed are moved down only once as many are done with: each is moved
        // a bounded number of times, however small the blocks fed.
        const std::int64_t done = keepFrom - workStart;
        if (2 * done >= static_cast<std::int64_t>(work.size())) {
            work.erase(work.begin(), work.begin() + done);
            workStart = keepFrom;
        }
    }

    // Once a second tone is heard, its own grid starts a while before it was first heard (a
    // beacon under way then is copied from its start): the second tone's later stages cost
    // nothing while there is none.
    void HearSecondTone() {
        if (second.grid || tracker.SecondToneFrom() < 0) {
            return;
        }
        second.StartGrid(SecondLeadFrom(), BasebandRate(), -decimator.DelaySeconds());
    }

    // The baseband sample the second tone's grid starts from.
    std::int64_t SecondLeadFrom() const {
        const auto heard = static_cast<std::int64_t>(std::ceil(tracker.SecondToneFrom() / hop));
        const auto before = static_cast<std::int64_t>(kSecondLeadSeconds * BasebandRate());
        return std::max<std::int64_t>(0, heard - before);
    }

    // Once a second tone is heard the main tone is the first steady path's (`tones` change over at
    // the frame it was heard in). Unless a beacon is under way on the main tone, the main chain
    // reads the steady path's last seconds, mixed from the second tone's lead on: the tone it
    // followed there may have hopped between the two stations, or been the other one, so the
    // start of a beacon on the steady path's station was mixed on another tone. Returns how many
    // of `secondTones` came before the second tone was heard.
    std::size_t HandOverMainTone(std::span<const ToneFrame> tones,
                                 std::span<const ToneFrame> steadyTones,
                                 std::span<const ToneFrame> secondTones) {
        const double heard = tracker.SecondToneFrom();
        const std::size_t mainBefore = FramesBefore(tones, heard);
        const std::size_t awayBefore = FramesBefore(secondTones, heard);
        main.Run(tones.first(mainBefore), work, workStart);
        KeepSteady(tones.first(mainBefore), steadyTones, secondTones.first(awayBefore));
        if (!main.assembler.Copying()) {
            const std::int64_t from = SecondLeadFrom();
            auto [mixer, mixed] = MixAlong(steady, from);
            main.MoveTo(std::move(mixer), std::move(mixed), from, BasebandRate(),
                        -decimator.DelaySeconds());
        } else {
            StartReread();
            StartAwayReread();
        }
        steady = {};
        followed = {};
        away = {};
        RunMain(tones.subspan(mainBefore));
        return awayBefore;
    }

    // A beacon under way on the main tone when a second tone is heard goes on being copied as it
    // was, and is also read again along the steady path from the last character decided, where the
    // main tone left that path since: one of the two followed the beacon's station there, and the
    // pairing keeps each line from the copy surer of it.
    void StartReread() {
        const std::int64_t from = RereadFrom();
        if (main.heardNode < 0 || from * hop < SteadyKeptFrom() ||
            !MainLeftSteady(static_cast<double>(from * hop))) {
            return;
        }
        ReadAgain(reread, steady, from);
    }

    // Where the away path jumped to another signal in the second tone's lead, it may have taken
    // the main tone's station over: a second station came near, and the main tone went over to
    // it. A beacon under way is then read again as the main tone followed it up to that jump, and
    // along the away path from there on.
    void StartAwayReread() {
        const double heard = tracker.SecondToneFrom();
        double jumped = -1;
        for (std::size_t i = 1; i < away.size() && away[i].centreSample < heard; ++i) {
            if (std::abs(away[i].frequency - away[i - 1].frequency) > kJumpHz) {
                jumped = away[i].centreSample;
            }
        }
        const std::int64_t from = RereadFrom();
        if (jumped < 0 || main.heardNode < 0 || from * hop < SteadyKeptFrom()) {
            return;
        }
        std::deque<ToneFrame> track;
        std::copy_if(followed.begin(), followed.end(), std::back_inserter(track),
                     [jumped](const ToneFrame& tone) { return tone.centreSample < jumped; });
        std::copy_if(away.begin(), away.end(), std::back_inserter(track),
                     [jumped](const ToneFrame& tone) { return tone.centreSample >= jumped; });
        ReadAgain(awayReread, track, from);
    }

    // The baseband sample of the main tone's last character decided, where a reread starts.
    std::int64_t RereadFrom() const {
        return static_cast<std::int64_t>(
            std::ceil((main.heardUntil + decimator.DelaySeconds()) * BasebandRate()));
    }

    // Starts `chain` reading the beacon under way on the main tone again, along `track` from
    // baseband sample `from` on, until a while after the second tone was heard.
    void ReadAgain(std::optional<Chain>& chain, const std::deque<ToneFrame>& track,
                   std::int64_t from) {
        const double delay = decimator.DelaySeconds();
        chain.emplace(decimator.WorkRate(), hop, main.assembler);
        chain->assembler.TakeBeacons();  // the main tone's, out already
        chain->assembler.TakeTranscript();
        chain->heardUntil = main.heardUntil;
        rereadUntil = tracker.SecondToneFrom() / decimator.WorkRate() - delay;
        chain->endAfter = rereadUntil;
        auto [mixer, mixed] = MixAlong(track, from);
        chain->Read(std::move(mixer), std::move(mixed), from, BasebandRate(), -delay,
                    main.heardNode);
    }

    // The work samples from baseband sample `from` on, mixed along `track`.
    std::pair<Downconverter, std::vector<BasebandSample>> MixAlong(
        const std::deque<ToneFrame>& track, std::int64_t from) const {
        Downconverter mixer(decimator.WorkRate(), hop, from * hop);
        for (const ToneFrame& tone : track) {
            mixer.AddTone(tone);
        }
        std::vector<BasebandSample> mixed;
        mixer.Process(
            std::span<const float>(work).subspan(static_cast<std::size_t>(from * hop - workStart)),
            mixed);
        return {std::move(mixer), std::move(mixed)};
    }

    // Whether the main tone was more than kAstrayHz from the steady path at any frame from
    // work-rate sample `from` on.
    bool MainLeftSteady(double from) const {
        auto own = followed.begin();
        for (const ToneFrame& tone : steady) {
            if (tone.centreSample < from) {
                continue;
            }
            while (own != followed.end() && own->centreSample < tone.centreSample) {
                ++own;
            }
            if (own == followed.end()) {
                return false;
            }
            if (std::abs(own->frequency - tone.frequency) > kAstrayHz) {
                return true;
            }
        }
        return false;
    }

    void RunMain(std::span<const ToneFrame> tones) {
        main.Run(tones, work, workStart);
        if (reread) {
            reread->Run(tones, work, workStart);
        }
    }

    // The first steady path's frames of the last seconds, and the main tone's and the away
    // path's, for mixing them once a second tone is heard: mixed only then, since it seldom is.
    void KeepSteady(std::span<const ToneFrame> mainTones, std::span<const ToneFrame> tones,
                    std::span<const ToneFrame> awayTones) {
        steady.insert(steady.end(), tones.begin(), tones.end());
        followed.insert(followed.end(), mainTones.begin(), mainTones.end());
        away.insert(away.end(), awayTones.begin(), awayTones.end());
        const auto from = static_cast<double>(SteadyKeptFrom());
        for (std::deque<ToneFrame>* frames : {&steady, &followed, &away}) {
            while (frames->size() >= 2 && (*frames)[1].centreSample <= from) {
                frames->pop_front();
            }
        }
    }

    // The first work-rate sample that may still be mixed along the steady path: the second tone's
    // lead before its newest frame, and the tone path's decision lag besides.
    std::int64_t SteadyKeptFrom() const {
        if (steady.empty()) {
            return 0;
        }
        const double kept = kSteadyKeptSeconds * decimator.WorkRate();
        return std::max<std::int64_t>(
            0, static_cast<std::int64_t>(std::floor(steady.back().centreSample - kept)));
    }

    // The main tone's beacons go straight out until a second tone is heard; from then on the two
    // tones' copies are paired.
    void Collect() {
        std::vector<CopiedBeacon> mainBeacons = main.assembler.TakeBeacons();
        std::erase_if(mainBeacons, second.grid ? Unpaired : Doubtful);
        if (!second.grid) {
            beacons.insert(beacons.end(), std::make_move_iterator(mainBeacons.begin()),
                           std::make_move_iterator(mainBeacons.end()));
            return;
        }
        for (CopiedBeacon& beacon : mainBeacons) {
            pairing.Add(std::move(beacon), kMainCopy);
        }
        const double mainHeard = PairReread(reread, main.PairedUntil(), kRereadCopy);
        const double secondHeard = PairReread(awayReread, second.PairedUntil(), kAwayRereadCopy);
        std::vector<CopiedBeacon> secondBeacons = second.assembler.TakeBeacons();
        std::erase_if(secondBeacons, Unpaired);
        for (CopiedBeacon& beacon : secondBeacons) {
            pairing.Add(std::move(beacon), kSecondCopy);
        }
        second.assembler.TakeTranscript();  // the transcript is the main tone's
        pairing.Heard(0, mainHeard);
        pairing.Heard(1, secondHeard);
        std::vector<CopiedBeacon> paired = pairing.Take();
        beacons.insert(beacons.end(), std::make_move_iterator(paired.begin()),
                       std::make_move_iterator(paired.end()));
    }

    // Pairs what `chain` read again, and drops it once it has ended past the second tone's first
    // hearing. Returns `heard`, or how far its copies reach if less (see Chain::PairedUntil()).
    double PairReread(std::optional<Chain>& chain, double heard, int rank) {
        if (!chain) {
            return heard;
        }
        std::vector<CopiedBeacon> again = chain->assembler.TakeBeacons();
        chain->assembler.TakeTranscript();
        // A beacon begun after the second tone was heard is the main and second tones' to copy:
        // a reread still copying the beacon before it may go on into it.
        std::erase_if(again, [this](const CopiedBeacon& beacon) {
            return Unpaired(beacon) || beacon.startSeconds >= rereadUntil;
        });
        for (CopiedBeacon& beacon : again) {
            pairing.Add(std::move(beacon), rank);
        }
        heard = std::min(heard, chain->PairedUntil());
        if (chain->ended) {
            chain.reset();
        }
        return heard;
    }

    SignalEstimate Estimate() const { return main.grid->Estimate(); }

    // Every stage after the decimator runs ahead on copies, over what it has not yet decided.
    std::optional<CopiedBeacon> Provisional() const {
        std::vector<ToneFrame> tones;
        tracker.Provisional(tones);
        Downconverter mixer = main.downconverter;
        for (const ToneFrame& tone : tones) {
            mixer.AddTone(tone);
        }
        std::vector<BasebandSample> ahead;
        mixer.Process(std::span<const float>(work).subspan(
                          static_cast<std::size_t>(mixer.Position() - workStart)),
                      ahead);
        std::vector<Slot> cut;
        main.grid->Provisional(ahead, cut);
        return main.assembler.Provisional(main.sequence->Provisional(cut));
    }

    // Zeros after the end push the last real samples through every stage's look-ahead.
    void Flush() {
        const double workRate = decimator.WorkRate();
        const auto tail = static_cast<std::size_t>(tracker.LatencySamples() +
                                                   (main.grid->LatencySamples() + 1024) *
                                                       static_cast<std::int64_t>(hop) +
                                                   static_cast<std::int64_t>(workRate));
        decimator.Flush(work);
        work.resize(work.size() + tail, 0.0F);
        Run();
        main.Finish();
        for (std::optional<Chain>* chain : {&reread, &awayReread}) {
            if (*chain) {
                (*chain)->Finish();
            }
        }
        second.Finish();
        Collect();
        pairing.Finish();
        std::vector<CopiedBeacon> paired = pairing.Take();
        beacons.insert(beacons.end(), std::make_move_iterator(paired.begin()),
                       std::make_move_iterator(paired.end()));
    }

    double rate;
    WorkRateDecimator decimator;
    ToneTracker tracker;
    int hop;
    Chain main;
    Chain second;                     // the tone away from the main one, once one is heard
    std::deque<ToneFrame> steady;     // the first steady path's last frames, until a second tone
    std::deque<ToneFrame> followed;   // the main tone's over the same time
    std::deque<ToneFrame> away;       // the away path's over the same time
    std::optional<Chain> reread;      // a beacon under way read again on the steady path
    std::optional<Chain> awayReread;  // ... and on the path that took its station over
    double rereadUntil = 0;           // the second tone was heard here: the rereads end after it
    BeaconPairing pairing;
    std::vector<CopiedBeacon> beacons;
    std::vector<float> work;
    std::int64_t workStart = 0;
    std::int64_t nextFrame = 0;
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
    return std::exchange(pipeline_->beacons, {});
}

std::optional<CopiedBeacon> Decoder::Provisional() const {
    if (pipeline_->finished) {
        return std::nullopt;
    }
    return pipeline_->Provisional();
}

std::vector<HeardText> Decoder::TakeTranscript() {
    return pipeline_->main.assembler.TakeTranscript();
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
