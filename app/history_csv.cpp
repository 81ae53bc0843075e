#include "history_csv.h"

#include <QDateTime>
#include <QTimeZone>
#include <charconv>
#include <cmath>

namespace telvane {
namespace {

void AppendNumber(std::string& out, double value) {
    if (std::isnan(value)) {
        return;
    }
    char buffer[32];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace

std::string HistoryCsv(const archive::SeriesData& data, const std::vector<std::string>& fields) {
    std::string out = "received_utc,reference_recalibrated";
    for (const std::string& field : fields) {
        out += ',' + field;
    }
    out += "\r\n";
    for (std::size_t row = 0; row < data.times.size(); ++row) {
        out +=
            QDateTime::fromMSecsSinceEpoch(std::llround(data.times[row] * 1000.0), QTimeZone::utc())
                .toString(Qt::ISODateWithMs)
                .toStdString();
        out += data.recalibrated[row] ? ",true" : ",false";
        for (std::size_t k = 0; k < fields.size(); ++k) {
            out += ',';
            AppendNumber(out, data.values[k][row]);
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace telvane
