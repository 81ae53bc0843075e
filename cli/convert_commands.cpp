#include "convert_commands.h"

#include <unistd.h>

#include <iostream>

#include "batch_log.h"
#include "beacon_input.h"
#include "beacon_readings.h"
#include "conversion.h"
#include "cp932.h"
#include "machine_output.h"
#include "report_output.h"

namespace telvane::cli {
namespace {

constexpr std::size_t kProgressEvery = 10000;

// One converted beacon in the chosen format (a CSV row without the header).
std::string Render(const Options& options, const ConversionState& state, std::string_view isoTime) {
    switch (options.format) {
        case Format::kJson:
            return JsonRecord(ReadingsOf(state), isoTime);
        case Format::kCsv:
            return CsvRow(ReadingsOf(state), isoTime);
        case Format::kText:
            break;
    }
    return options.outputEncoding == Encoding::kUtf8 ? FromCp932(state.m_strResult).toStdString()
                                                     : state.m_strResult;
}

std::string IsoTime(const LocalTime& time) {
    return FormatIso8601(time, UtcOffsetMinutes(time));
}

int WriteAll(const Options& options, std::string_view bytes) {
    OutputSink sink(options.outputPath);
    if (!sink.Open() || !sink.Write(bytes) || !sink.Finish()) {
        return Fail(kExitOutputFailure, sink.Error());
    }
    return 0;
}

void ReportSkipped(std::size_t line, std::string_view problem) {
    std::cerr << "telvane-convert: line " << line << ": skipped, " << problem << '\n';
}

void ShowProgress(std::size_t converted, bool done) {
    static const bool terminal = ::isatty(STDERR_FILENO) != 0;
    if (terminal && (done || converted % kProgressEvery == 0)) {
        std::cerr << "\rtelvane-convert: " << converted << " beacons converted"
                  << (done ? "\n" : "") << std::flush;
    }
}

// Text reports of a batch: one new file per beacon in the output folder.
int WriteReportFiles(const Options& options, std::string_view input, const LocalTime& time) {
    const std::string fileName = DefaultFileName(time);
    std::string error;
    std::size_t converted = 0;
    ConversionState state;
    SplitLog(
        input, options.inputEncoding,
        [&](const LogBeacon& beacon) {
            if (!error.empty()) {
                return;
            }
            SetLines(state, beacon.lines);
            RunConversion(state, time);
            error = WriteNewFile(Render(options, state, {}), options.outputPath, fileName);
            ShowProgress(++converted, false);
        },
        ReportSkipped);
    ShowProgress(converted, true);
    return error.empty() ? 0 : Fail(kExitOutputFailure, error);
}

}  // namespace

int Fail(int status, std::string_view message) {
    std::cerr << "telvane-convert: " << message << '\n';
    return status;
}

int ConvertSingle(const Options& options, std::string_view input, const LocalTime& time) {
    const BeaconInput beacon = ReadBeaconLines(input, options.inputEncoding);
    if (!beacon.error.empty()) {
        return Fail(kExitBadInput, beacon.error);
    }
    ConversionState state;
    SetLines(state, beacon.lines);
    RunConversion(state, time);
    const std::string record = Render(options, state, IsoTime(time));
    return WriteAll(options, options.format == Format::kCsv ? CsvHeader() + record : record);
}

int ConvertBatch(const Options& options, std::string_view input, const LocalTime& time) {
    if (options.format == Format::kText) {
        if (options.outputPath.empty()) {
            return Fail(kExitBadInput, "--batch with text reports needs -o FOLDER");
        }
        return WriteReportFiles(options, input, time);
    }
    OutputSink sink(options.outputPath);
    if (!sink.Open()) {
        return Fail(kExitOutputFailure, sink.Error());
    }
    bool written = options.format != Format::kCsv || sink.Write(CsvHeader());
    const std::string isoTime = IsoTime(time);
    std::size_t converted = 0;
    ConversionState state;
    SplitLog(
        input, options.inputEncoding,
        [&](const LogBeacon& beacon) {
            SetLines(state, beacon.lines);
            RunConversion(state, time);
            written = written && sink.Write(Render(options, state, isoTime));
            ShowProgress(++converted, false);
        },
        ReportSkipped);
    ShowProgress(converted, true);
    return written && sink.Finish() ? 0 : Fail(kExitOutputFailure, sink.Error());
}

}  // namespace telvane::cli
