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

// UTF-8 text with JSON's escapes, copied in runs between the characters that need one.
void AppendEscaped(std::string& out, std::string_view utf8) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20) {
            continue;
        }
        out.append(utf8.substr(run, i - run));
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        }
        run = i + 1;
    }
    out.append(utf8.substr(run));
}

void AppendJsonString(std::string& out, std::string_view cp932) {
    out += '"';
    if (IsPlainAscii(cp932)) {
        AppendEscaped(out, cp932);  // the same bytes in UTF-8
    } else {
        ForEachUtf8Piece(cp932, [&out](std::string_view utf8) { AppendEscaped(out, utf8); });
    }
    out += '"';
}

// A spreadsheet runs a cell that starts with one of these as a formula.
bool LooksLikeAFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string::npos;
}

void AppendCsvText(std::string& out, std::string_view cp932) {
    std::string utf8 = LooksLikeAFormula(cp932) ? "'" : "";
    ForEachUtf8Piece(cp932, [&utf8](std::string_view piece) { utf8 += piece; });
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

void AppendNumber(std::string& out, double number, bool json) {
    if (std::isfinite(number)) {
        AppendExact(out, number);
    } else if (json) {
        out += "null";
    } else {
        out += std::isnan(number) ? "nan" : (number > 0 ? "inf" : "-inf");
    }
}

void AppendList(std::string& out, std::span<const double> numbers, bool json) {
    out += json ? "[" : "";
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        out += k == 0 ? "" : (json ? "," : " ");
        AppendNumber(out, numbers[k], json);
    }
    out += json ? "]" : "";
}

// Writes one value; `json` chooses between the two renderings of absent and non-finite values.
void AppendValue(std::string& out, const FieldValue& value, bool json) {
    if (const auto* flag = std::get_if<bool>(&value)) {
        out += *flag ? "true" : "false";
    } else if (const auto* count = std::get_if<long long>(&value)) {
        char buffer[24];
        out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, *count).ptr);
    } else if (const auto* number = std::get_if<double>(&value)) {
        AppendNumber(out, *number, json);
    } else if (const auto* list = std::get_if<std::span<const double>>(&value)) {
        AppendList(out, *list, json);
    } else if (const auto* text = std::get_if<std::string_view>(&value)) {
        json ? AppendJsonString(out, *text) : AppendCsvText(out, *text);
    } else if (json) {
        out += "null";
    }
}

// Room for a whole record at once, so that a long line is never copied while it grows: a
// double-byte character takes at most three bytes of UTF-8, and a confidence about 20.
std::size_t RecordCapacity(const BeaconReadings& readings, const BeaconOrigin& origin) {
    constexpr std::size_t kValues = 4096;
    std::size_t capacity = kValues + (readings.url ? readings.url->size() * 3 / 2 + 2 : 0);
    for (int k = 0; k < kLineCount; ++k) {
        capacity += origin.lines[k].size() * 3 / 2 + 2;
        capacity += origin.copy != nullptr ? origin.copy->confidence[k].size() * 20 : 0;
    }
    return capacity;
}

}  // namespace

std::string JsonRecord(const BeaconReadings& readings, std::string_view conversionTime,
                       const BeaconOrigin& origin) {
    std::string out;
    out.reserve(RecordCapacity(readings, origin));
    AppendJsonRecord(out, [&](const FieldVisitor& visit) {
        ForEachField(readings, conversionTime, origin, visit);
    });
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
    ForEachField(BeaconReadings{}, "", BeaconOrigin{},
                 [&](std::string_view name, const FieldValue&) {
                     out += out.empty() ? "" : ",";
                     out += name;
                 });
    out += "\r\n";
    return out;
}

std::string CsvRow(const BeaconReadings& readings, std::string_view conversionTime,
                   const BeaconOrigin& origin) {
    std::string out;
    out.reserve(RecordCapacity(readings, origin));
    AppendCsvRow(out, [&](const FieldVisitor& visit) {
        ForEachField(readings, conversionTime, origin, visit);
    });
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
