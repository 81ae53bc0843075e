#include "conversion.h"

#include <string_view>

#include "calibration.h"
#include "decoders.h"
#include "multibyte.h"
#include "report_layout.h"

namespace telvane {
namespace {

struct LineRole {
    std::string ConversionState::*line;
    std::string_view header;
    void (*decode)(ConversionState&);
};

// Line k of the beacon: its member, its header and its decoder, in decoding order. The order is
// fixed: line 3 raises the trickle flag, line 4 may recalibrate the reference, lines 5 and 6 use
// it.
constexpr std::array<LineRole, kLineCount> kLineRoles = {{
    {&ConversionState::m_strLine1, "ZK1", DecodeUrlLine},
    {&ConversionState::m_strLine2, "ZK2", DecodeTimeLine},
    {&ConversionState::m_strLine3, "ZK3", DecodeStatusLine},
    {&ConversionState::m_strLine4, "ZK4", DecodePowerLine},
    {&ConversionState::m_strLine5, "ZK5", DecodeCurrentLine},
    {&ConversionState::m_strLine6, "ZK6", DecodeTemperatureLine},
}};

// Removes the line's own header from its start. A line of the header alone is kept, so that it
// still shows in the report. The header is plain ASCII and none of its bytes is a code page 932
// lead byte, so comparing bytes cannot match half of a double-byte character.
void StripHeader(std::string& line, std::string_view header) {
    if (line.size() > header.size() && line.starts_with(header)) {
        line.erase(0, header.size());
    }
}

}  // namespace

void RunConversion(ConversionState& state, const LocalTime& time) {
    state.m_dVref = kNominalVref;
    state.m_bTrickle = false;
    for (const LineRole& role : kLineRoles) {
        std::string& line = state.*role.line;
        MakeUpperMb(line);
        StripHeader(line, role.header);
    }

    state.m_strResult.clear();
    state.m_strResult.reserve(2048);
    AppendReportHead(state, time);
    AppendInputEcho(state);
    state.m_strResult += "<RESULT OF CONVERSION>\r\n";
    for (const LineRole& role : kLineRoles) {
        role.decode(state);
    }
    AppendReportFooter(state);
}

std::string ConvertBeacon(const std::array<std::string, kLineCount>& lines, const LocalTime& time) {
    ConversionState state;
    for (int k = 0; k < kLineCount; ++k) {
        state.*kLineRoles[k].line = lines[k];
    }
    RunConversion(state, time);
    return std::move(state.m_strResult);
}

}  // namespace telvane
