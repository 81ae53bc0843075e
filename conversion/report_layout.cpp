#include "report_layout.h"

#include "beacon_layout.h"

namespace telvane {
namespace {

// The laboratory's web host, shown in the two addresses of the footer.
constexpr const char* kLaboratoryHost = "www.vorta.example";

}  // namespace

void AppendReportHead(ConversionState& state, const LocalTime& time) {
    std::string& out = state.m_strResult;
    out += "Telvane  -  VORTA, Ulmstead\r\n";
    out += "Conversion Time\x81\x46\x81\x40";  // full-width colon and space in code page 932
    out += FormatReportTime(time);
    out += "\r\n\r\n";
}

void AppendInputEcho(ConversionState& state) {
    std::string& out = state.m_strResult;
    out += "<INPUT DATA>\r\n";
    for (std::size_t k = 0; k < kLineMembers.size(); ++k) {
        out += kLineHeaders[k];
        out += '\t';
        out += state.*kLineMembers[k];
        out += "\r\n";
    }
    out += "\r\n";
}

void AppendReportFooter(ConversionState& state) {
    std::string& out = state.m_strResult;
    out += "\r\n* Results are not shown for the blank data.\r\n";
    out += "* If there are some decoding mistakes, this software may offer unexpected results.\r\n";
    out += "\r\nThank you for your receiving the signal from ORBEL-K.\r\n";
    out += "Please refer the VORTA's web site to know the details of the data format.\r\n";
    out += "http://";
    out += kLaboratoryHost;
    out += "/qorn_gs/satelliteinfo.html\r\n";
    out += "\r\nVortalis  CubeSat Project\r\n";
    out += "http://";
    out += kLaboratoryHost;
    out += "/cubesat/index-e.html\r\n";
}

}  // namespace telvane
