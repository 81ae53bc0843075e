#include "recording_commands.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "beacon_archiving.h"
#include "beacon_output.h"
#include "convert_commands.h"
#include "recording_decoding.h"
#include "recording_time.h"
#include "report_output.h"
#include "terminal_messages.h"

namespace telvane::cli {
namespace {

constexpr std::size_t kProgressSeconds = 60;
constexpr std::string_view kDecoded = "s of the recording decoded";

// "12.345\t12.456\tE": start and end in seconds, and what was heard (a space for a word gap).
std::string TranscriptText(const std::vector<morse::HeardText>& heard) {
    std::string out;
    char times[64];
    for (const morse::HeardText& entry : heard) {
        std::snprintf(times, sizeof times, "%.3f\t%.3f\t", entry.startSeconds, entry.endSeconds);
        out += times + entry.text + "\n";
    }
    return out;
}

int WriteTranscript(const Options& options, const DecodedRecording& decoded) {
    OutputSink sink(options.outputPath);
    const bool written =
        sink.Open() && sink.Write(TranscriptText(decoded.transcript)) && sink.Finish();
    return written ? 0 : Fail(kExitOutputFailure, sink.Error());
}

// The beacons to convert: every one in order with --batch, else the one copied best.
std::vector<const morse::CopiedBeacon*> Chosen(const Options& options,
                                               const DecodedRecording& decoded) {
    std::vector<const morse::CopiedBeacon*> chosen;
    for (const morse::CopiedBeacon& beacon : decoded.beacons) {
        chosen.push_back(&beacon);
    }
    if (!options.batch) {
        const auto best = std::max_element(chosen.begin(), chosen.end(), [](auto* a, auto* b) {
            return a->confidence < b->confidence;
        });
        chosen = {*best};
    }
    return chosen;
}

int WriteBeacons(const Options& options, const LocalTime& time, const DecodedRecording& decoded) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(options.audioPath));
    BeaconArchiving archiving(options,
                              {archive::SourceKind::kRecording, archive::SourceNameOf(path)}, time,
                              archive::RecordingStartUtc(path, decoded.seconds));
    BeaconOutput output(options, time);
    bool written = output.Open();
    for (const morse::CopiedBeacon* beacon : Chosen(options, decoded)) {
        const std::array<std::string, kLineCount> lines = LinesOf(*beacon);
        const CopyMeasures copy = MeasuresOf(*beacon);
        archiving.Add(lines, {std::nullopt, beacon->startSeconds}, &copy);
        written = written && output.Write(lines, &copy);
    }
    archiving.Finish();
    return output.Finish() && written ? 0 : Fail(kExitOutputFailure, output.Error());
}

}  // namespace

int ConvertRecording(const Options& options, const LocalTime& time) {
    if (!options.transcript && WritesReportFiles(options) &&
        (options.outputPath.empty() || options.outputPath == "-")) {
        return Fail(kExitBadInput, "--batch with text reports needs -o FOLDER");
    }
    const std::string name = "'" + options.audioPath + "'";
    DecodeControl control;
    control.keepTranscript = options.transcript;
    control.progress = [](double, double seconds) {
        StandardMessages().Progress(static_cast<std::size_t>(seconds), kDecoded, false,
                                    kProgressSeconds);
        return true;
    };
    const DecodedRecording decoded = DecodeRecording(options.audioPath, control);
    if (!decoded.error.empty()) {
        return Fail(kExitBadInput, "cannot read " + name + ": " + decoded.error);
    }
    StandardMessages().Progress(static_cast<std::size_t>(decoded.seconds), kDecoded, true,
                                kProgressSeconds);
    if (options.transcript) {
        return WriteTranscript(options, decoded);
    }
    if (decoded.beacons.empty()) {
        return Fail(kExitNoBeacon, "no beacon found in " + name);
    }
    return WriteBeacons(options, time, decoded);
}

}  // namespace telvane::cli
