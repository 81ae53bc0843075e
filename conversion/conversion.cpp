#include "conversion.h"

#include <string_view>

#include "calibration.h"
#include "decoders.h"
#include "multibyte.h"
#include "report_layout.h"

namespace telvane {
namespace {

// Line k's decoder, in decoding order. The order is fixed: line 3 raises the trickle flag, line 4
// may recalibrate the reference, lines 5 and 6 are scaled by it.
constexpr std::array<void (*)(ConversionState&), kLineCount> kDecoders = {
    DecodeUrlLine,   DecodeTimeLine,    DecodeStatusLine,
    DecodePowerLine, DecodeCurrentLine, DecodeTemperatureLine,
};

// Removes the line's own header from its start. A line of the header alone is kept, so that it
// still shows in the report. The header is plain ASCII and none of its bytes is a code page 932
// lead byte, so comparing bytes cannot match half of a double-byte character.
void StripHeader(std::string& line, std::string_view header) {
    if (line.size() > header.size() && line.starts_with(header)) {
        line.erase(0, header.size());
    }
}

// Room for the whole report at once: the fixed text, every line in the echo, and line 1 again as
// the web address. A long line is then never copied while the report grows.
std::size_t ReportCapacity(const ConversionState& state) {
    constexpr std::size_t kFixedText = 4096;
    std::size_t capacity = kFixedText + state.m_strLine1.size();
    for (const auto member : kLineMembers) {
        capacity += (state.*member).size();
    }
    return capacity;
}

}  // namespace

void RunConversion(ConversionState& state, const LocalTime& time) {
    state.m_dVref = kNominalVref;
    state.m_bTrickle = false;
    for (int k = 0; k < kLineCount; ++k) {
        std::string& line = state.*kLineMembers[k];
        MakeUpperMb(line);
        StripHeader(line, kLineHeaders[k]);
    }

    state.m_strResult.clear();
    state.m_strResult.reserve(ReportCapacity(state));
    AppendReportHead(state, time);
    AppendInputEcho(state);
    state.m_strResult += "<RESULT OF CONVERSION>\r\n";
    for (const auto decode : kDecoders) {
        decode(state);
    }
    AppendReportFooter(state);
}

void SetLines(ConversionState& state, const std::array<std::string, kLineCount>& lines) {
    for (int k = 0; k < kLineCount; ++k) {
        state.*kLineMembers[k] = lines[k];
    }
}

std::string ConvertBeacon(const std::array<std::string, kLineCount>& lines, const LocalTime& time) {
    ConversionState state;
    SetLines(state, lines);
    RunConversion(state, time);
    return std::move(state.m_strResult);
}

}  // namespace telvane
