#include "beacon_output.h"

#include "beacon_readings.h"
#include "conversion.h"
#include "cp932.h"
#include "machine_output.h"

namespace telvane::cli {

bool WritesReportFiles(const Options& options) {
    return options.batch && options.format == Format::kText;
}

BeaconOutput::BeaconOutput(const Options& options, const LocalTime& time)
    : m_options(options),
      m_time(time),
      m_isoTime(FormatIso8601(time)),
      m_fileName(DefaultFileName(time)) {}

BeaconOutput::~BeaconOutput() = default;

bool BeaconOutput::Open() {
    if (WritesReportFiles(m_options)) {
        m_files = std::make_unique<NewFiles>(m_options.outputPath);
        return true;
    }
    m_sink = std::make_unique<OutputSink>(m_options.outputPath);
    if (!m_sink->Open() || (m_options.format == Format::kCsv && !m_sink->Write(CsvHeader()))) {
        m_error = m_sink->Error();
        return false;
    }
    return true;
}

bool BeaconOutput::WriteReport() {
    std::string& report = m_state.m_strResult;
    if (m_options.outputEncoding == Encoding::kUtf8) {
        report = FromCp932(report).toStdString();
    }
    if (m_files) {
        m_error = m_files->Write(report, m_fileName);
        return m_error.empty();
    }
    return m_sink->Write(report);
}

bool BeaconOutput::Write(const std::array<std::string, kLineCount>& lines,
                         const CopyMeasures* copy) {
    if (!m_written) {
        return false;
    }
    SetLines(m_state, lines);
    RunConversion(m_state, m_time);
    if (m_options.format == Format::kText) {
        m_written = WriteReport();
        return m_written;
    }
    const BeaconOrigin origin = OriginOf(lines, copy);
    const BeaconReadings readings = ReadingsOf(m_state);
    m_written =
        m_sink->Write(m_options.format == Format::kJson ? JsonRecord(readings, m_isoTime, origin)
                                                        : CsvRow(readings, m_isoTime, origin));
    return m_written;
}

void BeaconOutput::SetTime(const LocalTime& time) {
    m_time = time;
    m_isoTime = FormatIso8601(time);
    m_fileName = DefaultFileName(time);
}

bool BeaconOutput::Flush() {
    if (m_sink && !m_sink->Flush()) {
        m_error = m_sink->Error();
        m_written = false;
    }
    return m_written;
}

bool BeaconOutput::Finish() {
    if (m_sink && !(m_written && m_sink->Finish())) {
        m_error = m_sink->Error();
        return false;
    }
    return m_written;
}

}  // namespace telvane::cli
