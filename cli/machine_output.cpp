#include "machine_output.h"

#include <charconv>
#include <cmath>

#include "cp932.h"
#include "record_fields.h"

namespace telvane::cli {
namespace {

// The shortest decimal that reads back as exactly the same double.
void AppendExact(std::string& out, double value) {
    char buffer[32];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void AppendJsonString(std::string& out, std::string_view cp932) {
    const std::string utf8 = FromCp932(cp932).toStdString();
    out += '"';
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendCsvText(std::string& out, std::string_view cp932) {
    const std::string utf8 = FromCp932(cp932).toStdString();
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
        out += utf8;
        return;
    }
    out += '"';
    for (const char c : utf8) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

// Writes one value; `json` chooses between the two renderings of absent and non-finite values.
void AppendValue(std::string& out, const FieldValue& value, bool json) {
    if (const auto* flag = std::get_if<bool>(&value)) {
        out += *flag ? "true" : "false";
    } else if (const auto* count = std::get_if<long long>(&value)) {
        char buffer[24];
        out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, *count).ptr);
    } else if (const auto* number = std::get_if<double>(&value)) {
        if (std::isfinite(*number)) {
            AppendExact(out, *number);
        } else if (json) {
            out += "null";
        } else {
            out += std::isnan(*number) ? "nan" : (*number > 0 ? "inf" : "-inf");
        }
    } else if (const auto* text = std::get_if<std::string_view>(&value)) {
        json ? AppendJsonString(out, *text) : AppendCsvText(out, *text);
    } else if (json) {
        out += "null";
    }
}

}  // namespace

std::string JsonRecord(const BeaconReadings& readings, std::string_view conversionTime) {
    std::string out;
    AppendJsonRecord(
        out, [&](const FieldVisitor& visit) { ForEachField(readings, conversionTime, visit); });
    return out;
}

void AppendJsonRecord(std::string& out, const FieldSource& fields) {
    char separator = '{';
    fields([&](std::string_view name, const FieldValue& value) {
        out += separator;
        separator = ',';
        out += '"';
        out += name;
        out += "\":";
        AppendValue(out, value, true);
    });
    out += "}\n";
}

std::string CsvHeader() {
    std::string out;
    ForEachField(BeaconReadings{}, "", [&](std::string_view name, const FieldValue&) {
        out += out.empty() ? "" : ",";
        out += name;
    });
    out += "\r\n";
    return out;
}

std::string CsvRow(const BeaconReadings& readings, std::string_view conversionTime) {
    std::string out;
    AppendCsvRow(out,
                 [&](const FieldVisitor& visit) { ForEachField(readings, conversionTime, visit); });
    return out;
}

void AppendCsvRow(std::string& out, const FieldSource& fields) {
    bool first = true;
    fields([&](std::string_view, const FieldValue& value) {
        out += first ? "" : ",";
        first = false;
        AppendValue(out, value, false);
    });
    out += "\r\n";
}

}  // namespace telvane::cli
