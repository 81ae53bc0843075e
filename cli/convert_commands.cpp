#include "convert_commands.h"

#include <cerrno>
#include <cstring>

#include "batch_log.h"
#include "beacon_archiving.h"
#include "beacon_input.h"
#include "beacon_output.h"
#include "beacon_readings.h"
#include "conversion.h"
#include "cp932.h"
#include "machine_output.h"
#include "misreadings.h"
#include "report_output.h"
#include "terminal_messages.h"

namespace telvane::cli {
namespace {

constexpr std::string_view kConverted = "beacons converted";

std::string InputName(const Options& options) {
    return options.inputPath.empty() || options.inputPath == "-" ? "standard input"
                                                                 : "'" + options.inputPath + "'";
}

// The input could not be read to its end: nothing may be written from part of it.
int ReadFailure(const Options& options, const LineReader& input) {
    return Fail(kExitBadInput,
                "cannot read " + InputName(options) + ": " + std::strerror(input.Error()));
}

// A beacon's values as one JSON object or one CSV row (without the header).
std::string MachineRecord(const Options& options, const BeaconReadings& readings,
                          std::string_view isoTime, const BeaconOrigin& origin) {
    return options.format == Format::kJson ? JsonRecord(readings, isoTime, origin)
                                           : CsvRow(readings, isoTime, origin);
}

// A converted beacon's report, in the chosen encoding, handed to `sink` in pieces so that a huge
// line is never held twice.
bool WriteReport(const Options& options, const ConversionState& state, OutputSink& sink) {
    if (options.outputEncoding == Encoding::kCp932) {
        return sink.Write(state.m_strResult);
    }
    bool written = true;
    ForEachUtf8Piece(state.m_strResult,
                     [&](std::string_view piece) { written = written && sink.Write(piece); });
    return written;
}

// One warning per character that will not read as typed, on standard error.
void WarnMisreadings(const Options& options, const std::array<std::string, kLineCount>& lines,
                     const std::array<std::size_t, kLineCount>& lineNumbers) {
    if (options.quiet) {
        return;
    }
    for (int box = 0; box < kLineCount; ++box) {
        for (const Misreading& misreading : FindMisreadings(box, lines[box])) {
            StandardMessages().Say("warning: line " + std::to_string(lineNumbers[box]) + ": " +
                                   FromCp932(Describe(misreading, box)).toStdString());
        }
    }
}

void ReportSkipped(std::size_t line, std::string_view problem) {
    StandardMessages().Say("line " + std::to_string(line) + ": skipped, " + std::string(problem));
}

// Where a log's beacon starts: the number of its first line.
archive::SourcePosition PositionOf(const LogBeacon& beacon) {
    return {static_cast<long long>(beacon.firstLine), std::nullopt};
}

}  // namespace

int Fail(int status, std::string_view message) {
    StandardMessages().Say(message);
    return status;
}

int ConvertSingle(const Options& options, LineReader& input, const LocalTime& time) {
    BeaconInput beacon = ReadBeacon(input, options.inputEncoding);
    if (!beacon.error.empty()) {
        return Fail(kExitBadInput, beacon.error);
    }
    if (input.Error() != 0) {
        return ReadFailure(options, input);
    }
    WarnMisreadings(options, beacon.lines, {1, 2, 3, 4, 5, 6});
    ConversionState state;
    const bool text = options.format == Format::kText;
    // A report needs no copy of a long line; JSON, CSV and the archive keep the lines as typed.
    const bool keepLines = !text || options.archivePath;
    for (int k = 0; k < kLineCount; ++k) {
        state.*kLineMembers[k] = keepLines ? beacon.lines[k] : std::move(beacon.lines[k]);
    }
    RunConversion(state, time);
    BeaconArchiving archiving(options, LogSource(options), time, LogReceptionTime(options));
    archiving.Add(beacon.lines, {1, std::nullopt});
    archiving.Finish();
    OutputSink sink(options.outputPath);
    bool written = sink.Open() && (options.format != Format::kCsv || sink.Write(CsvHeader()));
    if (text) {
        written = written && WriteReport(options, state, sink);
    } else {
        std::string().swap(state.m_strResult);  // not needed: free it before copying values
        const BeaconReadings readings = ReadingsOf(state);
        { const ConversionState released = std::move(state); }
        written = written && sink.Write(MachineRecord(options, readings, FormatIso8601(time),
                                                      OriginOf(beacon.lines)));
    }
    return written && sink.Finish() ? 0 : Fail(kExitOutputFailure, sink.Error());
}

int ConvertBatch(const Options& options, LineReader& input, const LocalTime& time) {
    if (WritesReportFiles(options) && (options.outputPath.empty() || options.outputPath == "-")) {
        return Fail(kExitBadInput, "--batch with text reports needs -o FOLDER");
    }
    BeaconOutput output(options, time);
    if (!output.Open()) {
        return Fail(kExitOutputFailure, output.Error());
    }
    BeaconArchiving archiving(options, LogSource(options), time, LogReceptionTime(options));
    std::size_t converted = 0;
    bool written = true;
    SplitLog(
        input, options.inputEncoding,
        [&](const LogBeacon& beacon) {
            if (!written) {
                return;  // the output failed: nothing more is converted
            }
            WarnMisreadings(options, beacon.lines, beacon.lineNumbers);
            archiving.Add(beacon.lines, PositionOf(beacon));
            written = output.Write(beacon.lines);
            StandardMessages().Progress(++converted, kConverted);
        },
        ReportSkipped);
    StandardMessages().Progress(converted, kConverted, true);
    if (written && input.Error() != 0) {
        return ReadFailure(options, input);  // an output file is left as it was
    }
    archiving.Finish();
    return output.Finish() ? 0 : Fail(kExitOutputFailure, output.Error());
}

}  // namespace telvane::cli
