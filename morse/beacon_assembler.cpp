#include "beacon_assembler.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "beacon_layout.h"

namespace telvane::morse {
namespace {

constexpr int kHeaderLength = 3;
// Below this the keying grid has not found keying at all: headers "heard" there are noise.
constexpr double kFaintestBeaconSnrDb = -19.0;
// A beacon broken off (a garbled stretch read as other traffic) is continued by its next lines
// heard within this time; after it, it comes out as it is.
constexpr double kResumeSeconds = 20.0;

// Whether a beacon's characters were heard above the noise on average (`snrSum` over the
// `estimates` of them).
bool AboveNoise(double snrSum, double estimates) {
    return estimates > 0 && snrSum / estimates >= kFaintestBeaconSnrDb;
}

// Characters a complete line holds, for the beacon's confidence; line 1's text counts as heard.
double ExpectedCharacters(int line, const CopiedLine& copied) {
    const std::size_t width = kLineWidths[static_cast<std::size_t>(line)];
    if (width > 0) {
        return kHeaderLength + static_cast<double>(width);
    }
    double heard = 0;
    for (const char c : copied.text) {
        heard += c == ' ' ? 0 : 1;
    }
    return std::max(heard, kHeaderLength + 1.0);
}

}  // namespace

double LineSureness(const CopiedLine& line) {
    double sure = 0;
    for (std::size_t i = 0; i < line.text.size(); ++i) {
        sure += line.text[i] == ' ' ? 0 : line.confidence[i];
    }
    return sure;
}

double BeaconConfidence(const CopiedBeacon& beacon) {
    double sure = 0;
    double expected = 0;
    for (int k = 0; k < kLineCount; ++k) {
        const CopiedLine& line = beacon.lines[static_cast<std::size_t>(k)];
        expected += ExpectedCharacters(k, line);
        sure += LineSureness(line);
    }
    return expected > 0 ? sure / expected : 0;
}

bool HoldsDigits(const CopiedBeacon& beacon) {
    for (std::size_t k = 0; k < beacon.lines.size(); ++k) {
        const std::string& text = beacon.lines[k].text;
        if (kLineWidths[k] > 0 &&
            text.find_first_not_of(' ', kLineHeaders[k].size()) != std::string::npos) {
            return true;
        }
    }
    return false;
}

BeaconAssembler::BeaconAssembler() : grammar_(TheBeaconGrammar()) {}

void BeaconAssembler::Transcribe(const HeardCharacter& heard) {
    if (heard.afterWordGap && lastEnd_ >= 0) {
        transcript_.push_back({lastEnd_, heard.startSeconds, " "});
    }
    transcript_.push_back({heard.startSeconds, heard.endSeconds, std::string(1, heard.character)});
    lastEnd_ = heard.endSeconds;
}

void BeaconAssembler::Append(CopiedLine& line, char character, double confidence,
                             char alternative) {
    line.text.push_back(character);
    line.confidence.push_back(confidence);
    line.alternative.push_back(alternative);
}

// Sets `line` to the header letters `before`, keeping those already heard.
void BeaconAssembler::FillHeader(CopiedLine& line, std::string_view before) {
    if (!before.starts_with(line.text)) {
        line = {};
    }
    for (const char c : before.substr(line.text.size())) {
        Append(line, c, 0.0, '\0');
    }
}

void BeaconAssembler::Add(const HeardCharacter& heard) {
    const SignalEstimate& estimate = heard.estimate;
    Transcribe(heard);
    if (Lapsed(held_, heard.startSeconds)) {
        Release();
    }
    const GrammarNode& to = grammar_.nodes[static_cast<std::size_t>(heard.toNode)];
    const GrammarNode& from = grammar_.nodes[static_cast<std::size_t>(heard.fromNode)];
    if (to.line < 0) {
        Close();
        return;
    }
    const bool startsBeacon = to.headerCharacters == 1 && (from.line < 0 || from.beaconComplete);
    if (startsBeacon || !open_) {
        Close();
        open_ = Resume(to, heard.startSeconds);
    }
    Open& open = *open_;
    open.lastLine = std::max(open.lastLine, to.line);
    CopiedLine& line = open.beacon.lines[static_cast<std::size_t>(to.line)];
    if (heard.kind == ArcKind::kHeader) {
        // The header's letters before this one, as the line's place says. A header started
        // again replaces what came before it. Letters that are not there were lost in a fade, or
        // were decided as something else before the search settled on this path (it commits its
        // characters as it goes): they read as the header says, not heard at all.
        const std::string_view header = kLineHeaders[static_cast<std::size_t>(to.line)];
        FillHeader(line, header.substr(0, static_cast<std::size_t>(to.headerCharacters) - 1));
        // A line's number heard as another character is still the number its place says.
        const char expected = header[static_cast<std::size_t>(to.headerCharacters) - 1];
        if (heard.character == expected) {
            Append(line, expected, heard.confidence, heard.alternative);
        } else {
            Append(line, expected, 0.0, heard.character);
        }
        open.headerHeard[static_cast<std::size_t>(to.line)] = to.headerCharacters;
    } else {
        // A header begun is complete once the line's text follows it, whatever the search
        // committed of its last letters before settling on this path. A line's text after no
        // header at all is traffic the search took for line 1 a while: it says nothing.
        int& header = open.headerHeard[static_cast<std::size_t>(to.line)];
        if (header > 0 && header < kHeaderLength) {
            FillHeader(line, kLineHeaders[static_cast<std::size_t>(to.line)]);
            header = kHeaderLength;
        }
        const bool first = from.bodyCharacters == 0 || line.text.size() == kHeaderLength;
        if (first || heard.afterWordGap) {
            Append(line, ' ', 1.0, '\0');
        }
        Append(line, heard.character, heard.confidence, heard.alternative);
    }
    open.beacon.endSeconds = heard.endSeconds;
    open.beacon.toneHz += estimate.toneHz;
    open.beacon.speedWpm += estimate.speedWpm;
    open.beacon.snrDb += estimate.snrDb;
    open.estimates += 1;
    if (to.beaconComplete) {
        open.complete = true;
        Close();
    }
}

// The held beacon when `to` comes after its last line, or further into a header it broke off in,
// in time; else a new beacon.
BeaconAssembler::Open BeaconAssembler::Resume(const GrammarNode& to, double startSeconds) {
    const auto further = [&to](const Open& held) {
        const int header = held.headerHeard[static_cast<std::size_t>(held.lastLine)];
        return to.line > held.lastLine ||
               (to.line == held.lastLine && header > 0 && to.headerCharacters > header);
    };
    if (held_ && further(*held_) && !Lapsed(held_, startSeconds)) {
        Open resumed = std::move(*held_);
        held_.reset();
        return resumed;
    }
    Release();
    Open open;
    open.beacon.startSeconds = startSeconds;
    return open;
}

void BeaconAssembler::Passed(double seconds) {
    if (Lapsed(open_, seconds)) {
        Close();
    }
    if (Lapsed(held_, seconds)) {
        Release();
    }
}

// Whether the rest of `beacon` can no longer come at `seconds`.
bool BeaconAssembler::Lapsed(const std::optional<Open>& beacon, double seconds) {
    return beacon && seconds - beacon->beacon.endSeconds > kResumeSeconds;
}

void BeaconAssembler::Close() {
    if (!open_) {
        return;
    }
    Open open = std::move(*open_);
    open_.reset();
    if (open.complete) {
        Emit(std::move(open));
    } else {
        Release();
        held_ = std::move(open);
    }
}

void BeaconAssembler::Release() {
    if (held_) {
        Open open = std::move(*held_);
        held_.reset();
        Emit(std::move(open));
    }
}

void BeaconAssembler::Emit(Open open) {
    bool anyHeader = false;
    for (int k = 0; k < kLineCount; ++k) {
        CopiedLine& line = open.beacon.lines[static_cast<std::size_t>(k)];
        if (open.headerHeard[static_cast<std::size_t>(k)] < kHeaderLength) {
            line = {};  // a header heard only in part says nothing of its line
        }
        anyHeader = anyHeader || !line.text.empty();
    }
    if (!anyHeader || !AboveNoise(open.beacon.snrDb, open.estimates)) {
        return;
    }
    CopiedBeacon& beacon = open.beacon;
    beacon.toneHz /= open.estimates;
    beacon.speedWpm /= open.estimates;
    beacon.snrDb /= open.estimates;
    beacon.confidence = BeaconConfidence(beacon);
    beacons_.push_back(std::move(beacon));
}

bool BeaconAssembler::Copying() const {
    const auto heard = [](const std::optional<Open>& open) {
        return open && AboveNoise(open->beacon.snrDb, open->estimates);
    };
    return heard(open_) || heard(held_);
}

double BeaconAssembler::UnderWaySince() const {
    double since = std::numeric_limits<double>::infinity();
    for (const std::optional<Open>* beacon : {&open_, &held_}) {
        if (*beacon) {
            since = std::min(since, (*beacon)->beacon.startSeconds);
        }
    }
    return since;
}

void BeaconAssembler::Finish() {
    Close();
    Release();
}

std::optional<CopiedBeacon> BeaconAssembler::Provisional(
    std::span<const HeardCharacter> ahead) const {
    BeaconAssembler copy = *this;
    copy.beacons_.clear();
    for (const HeardCharacter& heard : ahead) {
        copy.Add(heard);
    }
    copy.Finish();
    if (copy.beacons_.empty()) {
        return std::nullopt;
    }
    return std::move(copy.beacons_.back());
}

}  // namespace telvane::morse
