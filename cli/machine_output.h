#pragma once

// JSON and CSV renderings of a beacon's readings, UTF-8, with the field names of record_fields.h.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "beacon_readings.h"
#include "record_fields.h"

namespace telvane::archive {
class StoredRow;
}

namespace telvane::cli {

// One JSON object on one line, ended by a line feed (JSON Lines). Values that are not finite
// (a zero battery count during trickle charge) are null; lists of numbers are arrays.
std::string JsonRecord(const BeaconReadings& readings, std::string_view conversionTime,
                       const BeaconOrigin& origin);

// The header row and one data row, each ended by CR LF (RFC 4180). Absent values are empty;
// values that are not finite are written inf, -inf or nan; lists are space-separated numbers.
std::string CsvHeader();
std::string CsvRow(const BeaconReadings& readings, std::string_view conversionTime,
                   const BeaconOrigin& origin);

// The same renderings of fields from elsewhere (a beacon stored in the archive), visited in
// ForEachField's order, appended to `out`.
using FieldSource = std::function<void(const FieldVisitor&)>;
void AppendJsonRecord(std::string& out, const FieldSource& fields);
void AppendCsvRow(std::string& out, const FieldSource& fields);

// Rendered bytes, grown as needed without clearing what it adds. A writer asks for Room, writes
// there, and hands back the end of what it wrote.
class RenderBuffer {
public:
    // Where `bytes` more can be written, after what is already there.
    char* Room(std::size_t bytes) { return Room(m_data.get() + m_size, bytes); }
    // The same with writing under way at `at`: `at` itself if there is room after it, else
    // where its bytes have moved to.
    char* Room(char* at, std::size_t bytes) {
        return static_cast<std::size_t>(m_end - at) >= bytes ? at : Grow(at, bytes);
    }
    void Commit(const char* end) { m_size = static_cast<std::size_t>(end - m_data.get()); }
    std::string_view View() const { return {m_data.get(), m_size}; }
    void Clear() { m_size = 0; }

private:
    char* Grow(const char* at, std::size_t bytes);

    std::unique_ptr<char[]> m_data;
    char* m_end = nullptr;
    std::size_t m_size = 0;
};

// The same renderings straight from beacons stored in the archive (archive::StoredRow), field
// by field in FieldColumns() order without going through FieldValue: what an export of a
// million beacons spends its time on. It remembers numbers it has written: one per thread.
class StoredRowWriter {
public:
    explicit StoredRowWriter(bool json);
    ~StoredRowWriter();
    StoredRowWriter(const StoredRowWriter&) = delete;
    StoredRowWriter& operator=(const StoredRowWriter&) = delete;
    void Append(RenderBuffer& out, const archive::StoredRow& row);

private:
    struct Column;
    class Numbers;
    bool m_json;
    std::vector<Column> m_columns;
    std::vector<Numbers> m_numbers;
    std::size_t m_fixedBytes = 0;  // room for a row without its text and lists
    std::string m_end;
};

}  // namespace telvane::cli
