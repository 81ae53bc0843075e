// Lines 1 and 2: the web address spelled out by the beacon and the internal time counter.

#include "beacon_layout.h"
#include "decoders.h"
#include "front_end.h"
#include "multibyte.h"
#include "number_format.h"
#include "readings.h"

namespace telvane {

void DecodeUrlLine(ConversionState& state) {
    std::string& line = state.m_strLine1;
    if (line.empty()) {
        return;
    }
    RemoveSpaces(line);
    MakeLowerMb(line);
    std::string& out = state.m_strResult;
    out += "VORTA URL\t\t\t\thttp://";
    out += line;
    out += "  (Does this show VORTA's web site correctly?)\r\n";
}

TimeReading ReadTimeLine(std::string_view field) {
    TimeReading reading{};
    reading.bytes = ReadByteFields<3>(field);
    const auto [a, b, c] = reading.bytes;
    reading.counter = ((long{a} * 256) + b) * 256 + c;
    return reading;
}

void DecodeTimeLine(ConversionState& state) {
    std::string& line = state.m_strLine2;
    if (line.empty()) {
        return;
    }
    CompactField(line, kLineWidths[1]);
    const std::string_view field(line);
    std::string& out = state.m_strResult;
    out += "ORBEL-K internal time\t\t";
    AppendInteger(out, ReadTimeLine(field).counter);
    out += "   (0x";
    out += field.substr(0, 6);
    out += ")\r\n";
}

}  // namespace telvane
