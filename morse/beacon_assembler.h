#pragma once

// Turns the decided characters into beacons and the raw transcript: the grammar node of each
// character says which line it belongs to and when a beacon is complete.

#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "copied_beacon.h"
#include "sequence_decoder.h"

namespace telvane::morse {

// What a line's characters are sure of, summed.
double LineSureness(const CopiedLine& line);
// What a beacon's characters are sure of, over the characters its six lines hold when complete.
double BeaconConfidence(const CopiedBeacon& beacon);
// Whether any of the hexadecimal lines holds a digit after its header.
bool HoldsDigits(const CopiedBeacon& beacon);

class BeaconAssembler {
public:
    BeaconAssembler();

    void Add(const HeardCharacter& heard);
    // Nothing more is heard before `seconds`: a beacon waiting for the rest of its lines is given
    // up once they can no longer come.
    void Passed(double seconds);
    // The end of the recording: a beacon cut short comes out with what was heard of it.
    void Finish();
    std::vector<CopiedBeacon> TakeBeacons() { return std::exchange(beacons_, {}); }
    std::vector<HeardText> TakeTranscript() { return std::exchange(transcript_, {}); }
    // The newest beacon as it would come out if `ahead` were the last characters heard: the
    // beacon under way, for a live display; nothing changes.
    std::optional<CopiedBeacon> Provisional(std::span<const HeardCharacter> ahead) const;
    // Whether a beacon heard above the noise has begun and is not yet out.
    bool Copying() const;
    // Where the beacon begun and not yet out (however faint) began; infinity when there is none.
    double UnderWaySince() const;

private:
    struct Open {
        CopiedBeacon beacon;
        std::array<int, kLineCount> headerHeard{};
        double estimates = 0;
        int lastLine = 0;
        bool complete = false;
    };
    void Transcribe(const HeardCharacter& heard);
    void Append(CopiedLine& line, char character, double confidence, char alternative);
    void FillHeader(CopiedLine& line, std::string_view before);
    Open Resume(const GrammarNode& to, double startSeconds);
    void Close();
    void Release();
    static bool Lapsed(const std::optional<Open>& beacon, double seconds);
    void Emit(Open open);

    const BeaconGrammar& grammar_;
    std::optional<Open> open_;
    // A beacon broken off before its last line, kept a while in case its next lines follow.
    std::optional<Open> held_;
    double lastEnd_ = -1;
    std::vector<CopiedBeacon> beacons_;
    std::vector<HeardText> transcript_;
};

}  // namespace telvane::morse
