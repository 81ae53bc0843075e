#include "machine_output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "archive_columns.h"
#include "cp932.h"
#include "record_fields.h"
#include "stored_records.h"

namespace telvane::cli {
namespace {

// The most a number, a count or a flag takes written out ("-2.2250738585072014e-308").
constexpr std::size_t kValueRoom = 32;

// The shortest decimal that reads back as exactly the same double.
char* WriteExact(char* out, double value) {
    return std::to_chars(out, out + kValueRoom, value).ptr;
}

char* WriteCount(char* out, long long count) {
    return std::to_chars(out, out + kValueRoom, count).ptr;
}

char* WriteText(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// A number; `json` chooses between the two renderings of non-finite values.
char* WriteNumber(char* out, double number, bool json) {
    if (std::isfinite(number)) {
        return WriteExact(out, number);
    }
    if (json) {
        return WriteText(out, "null");
    }
    return WriteText(out, std::isnan(number) ? "nan" : (number > 0 ? "inf" : "-inf"));
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
    char buffer[kValueRoom];
    out.append(buffer, WriteNumber(buffer, number, json));
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
        char buffer[kValueRoom];
        out.append(buffer, WriteCount(buffer, *count));
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

char* RenderBuffer::Grow(const char* at, std::size_t bytes) {
    const auto used = static_cast<std::size_t>(at - m_data.get());
    const std::size_t capacity =
        std::max(used + bytes, 2 * static_cast<std::size_t>(m_end - m_data.get()));
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (used > 0) {
        std::memcpy(data.get(), m_data.get(), used);
    }
    m_data = std::move(data);
    m_end = m_data.get() + capacity;
    return m_data.get() + used;
}

namespace {

// JSON text of plain ASCII with its escapes, at `out` (which has room for six bytes a byte);
// nothing when the text is not plain ASCII.
char* WriteAsciiJsonString(char* out, std::string_view text) {
    *out++ = '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            return nullptr;
        }
        if (c == '"' || c == '\\') {
            *out++ = '\\';
        } else if (byte < 0x20) {
            constexpr char kHex[] = "0123456789abcdef";
            out = WriteText(out, "\\u00");
            *out++ = kHex[byte >> 4];
            c = kHex[byte & 0xF];
        }
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

// A CSV cell of plain ASCII that needs neither quotes nor a guard against formulas; nothing for
// any other text.
char* WritePlainCsvText(char* out, std::string_view text) {
    if (LooksLikeAFormula(text)) {
        return nullptr;
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == ',' || c == '"' || c == '\r' ||
            c == '\n') {
            return nullptr;
        }
        *out++ = c;
    }
    return out;
}

}  // namespace

// A field's prefix is copied as a block of this many bytes, which a compiler does in a few
// moves; the bytes after the prefix are overwritten by what follows.
constexpr std::size_t kPrefixBlock = 64;

struct StoredRowWriter::Column {
    archive::FieldKind kind;
    std::string prefix;  // what comes before the value: separator, and in JSON the name
    std::array<char, kPrefixBlock> block{};  // the prefix, when it fits
    std::size_t numbers = 0;                 // a number's entry in m_numbers
};

// A field's finite numbers as written before, found by their bits. Readings are made from
// 8-bit counts and repeat from beacon to beacon; the shortest decimal of a double costs more
// than everything else about its field.
class StoredRowWriter::Numbers {
public:
    char* Write(char* out, double number) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        Entry& entry = m_entries[(bits * 0x9E3779B97F4A7C15ULL) >> (64 - kBits)];
        if (entry.bits != bits) {
            entry.size = static_cast<std::uint8_t>(WriteExact(entry.text.data(), number) -
                                                   entry.text.data());
            entry.bits = bits;
        }
        std::memcpy(out, entry.text.data(), kValueRoom);
        return out + entry.size;
    }

private:
    static constexpr int kBits = 8;
    struct Entry {
        std::uint64_t bits = ~std::uint64_t{0};  // a NaN: never looked up
        std::uint8_t size = 0;
        std::array<char, kValueRoom> text{};
    };
    std::array<Entry, std::size_t{1} << kBits> m_entries{};
};

StoredRowWriter::StoredRowWriter(bool json) : m_json(json), m_end(json ? "}\n" : "\r\n") {
    for (const archive::FieldColumn& field : archive::FieldColumns()) {
        std::string prefix = m_columns.empty() ? (json ? "{" : "") : ",";
        if (json) {
            prefix += '"' + field.name + "\":";
        }
        m_fixedBytes += prefix.size() + kValueRoom;
        Column column{field.kind, std::move(prefix), {}, m_numbers.size()};
        std::copy_n(column.prefix.data(), std::min(column.prefix.size(), kPrefixBlock),
                    column.block.begin());
        if (field.kind == archive::FieldKind::kNumber) {
            m_numbers.emplace_back();
        }
        m_columns.push_back(std::move(column));
    }
    m_fixedBytes += m_end.size() + kPrefixBlock;
}

StoredRowWriter::~StoredRowWriter() = default;

void StoredRowWriter::Append(RenderBuffer& out, const archive::StoredRow& row) {
    char* at = out.Room(m_fixedBytes);
    std::string slow;  // text that is not plain ASCII, rendered through the converter
    for (std::size_t k = 0; k < m_columns.size(); ++k) {
        const Column& column = m_columns[k];
        if (column.prefix.size() <= kPrefixBlock) {
            std::memcpy(at, column.block.data(), kPrefixBlock);
            at += column.prefix.size();
        } else {
            at = WriteText(at, column.prefix);
        }
        const archive::StoredValue value = row.Field(k);
        if (value.IsNull()) {
            at = m_json ? WriteText(at, "null") : at;
            continue;
        }
        switch (column.kind) {
            case archive::FieldKind::kFlag:
                at = WriteText(at, value.Count() != 0 ? "true" : "false");
                break;
            case archive::FieldKind::kCount:
                at = WriteCount(at, value.Count());
                break;
            case archive::FieldKind::kNumber: {
                const double number = value.Number();
                at = std::isfinite(number) ? m_numbers[column.numbers].Write(at, number)
                                           : WriteNumber(at, number, m_json);
                break;
            }
            case archive::FieldKind::kText: {
                const std::string_view text = value.Bytes();
                at = out.Room(at, text.size() * 6 + 2 + m_fixedBytes);
                char* end = m_json ? WriteAsciiJsonString(at, text) : WritePlainCsvText(at, text);
                if (end == nullptr) {
                    slow.clear();
                    m_json ? AppendJsonString(slow, text) : AppendCsvText(slow, text);
                    at = out.Room(at, slow.size() + m_fixedBytes);
                    end = WriteText(at, slow);
                }
                at = end;
                break;
            }
            case archive::FieldKind::kList: {
                const std::string_view bytes = value.Bytes();
                const std::size_t count = bytes.size() / sizeof(double);
                at = out.Room(at, count * (kValueRoom + 1) + 2 + m_fixedBytes);
                at = m_json ? WriteText(at, "[") : at;
                for (std::size_t n = 0; n < count; ++n) {
                    double number = 0;
                    std::memcpy(&number, bytes.data() + n * sizeof(double), sizeof(double));
                    if (n > 0) {
                        *at++ = m_json ? ',' : ' ';
                    }
                    at = WriteNumber(at, number, m_json);
                }
                at = m_json ? WriteText(at, "]") : at;
                break;
            }
        }
    }
    at = WriteText(at, m_end);
    out.Commit(at);
}

}  // namespace telvane::cli
