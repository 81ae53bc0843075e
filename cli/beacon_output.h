#pragma once

// The beacons of one run, converted and written as the options ask: JSON Lines or CSV rows to
// the output, one report to the output, or with --batch one text report file per beacon in the
// output folder.

#include <array>
#include <memory>
#include <string>

#include "conversion_state.h"
#include "local_time.h"
#include "options.h"
#include "record_fields.h"
#include "report_output.h"

namespace telvane::cli {

class BeaconOutput {
public:
    BeaconOutput(const Options& options, const LocalTime& time);
    ~BeaconOutput();
    BeaconOutput(const BeaconOutput&) = delete;
    BeaconOutput& operator=(const BeaconOutput&) = delete;

    // Opens the output (CSV starts with its header); false with Error() on failure.
    bool Open();
    // Converts one beacon from its lines as typed or copied and writes it; `copy` carries what
    // the decoder measured of a beacon copied from a recording.
    bool Write(const std::array<std::string, kLineCount>& lines,
               const CopyMeasures* copy = nullptr);
    // The conversion time of the beacons written from now on.
    void SetTime(const LocalTime& time);
    // Passes what was written on to standard output or a device at once.
    bool Flush();
    // Completes the output; false with Error() when any write failed.
    bool Finish();
    const std::string& Error() const { return m_error; }

private:
    bool WriteReport();

    const Options& m_options;
    LocalTime m_time;
    std::string m_isoTime;
    std::string m_fileName;  // of report files
    ConversionState m_state;
    std::unique_ptr<OutputSink> m_sink;
    std::unique_ptr<NewFiles> m_files;
    bool m_written = true;
    std::string m_error;
};

// Whether the options write one text report file per beacon into a folder.
bool WritesReportFiles(const Options& options);

}  // namespace telvane::cli
