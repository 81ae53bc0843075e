#include "beacon_writer.h"

#include <QCryptographicHash>
#include <bit>
#include <charconv>
#include <cmath>

#include "archive_columns.h"
#include "beacon_readings.h"
#include "conversion.h"
#include "line_text.h"
#include "record_fields.h"
#include "sqlite_statement.h"

namespace telvane::archive {
namespace {

std::string InsertSql() {
    std::string names;
    std::string marks;
    const auto add = [&](const std::string& name) {
        names += (names.empty() ? "" : ",") + name;
        marks += marks.empty() ? "?" : ",?";
    };
    for (const EntryColumn& column : EntryColumns()) {
        add(column.name);
    }
    for (const FieldColumn& column : FieldColumns()) {
        add(column.name);
    }
    return "INSERT OR IGNORE INTO " + std::string(kBeaconTable) + " (" + names + ") VALUES (" +
           marks + ")";
}

void AppendBigEndian(QByteArray& out, std::uint64_t value) {
    for (int shift = 56; shift >= 0; shift -= 8) {
        out.append(static_cast<char>(value >> shift & 0xFF));
    }
}

void AppendNumber(QCryptographicHash& hash, auto value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    hash.addData(QByteArrayView(buffer, end - buffer));
    hash.addData(QByteArrayView("\0", 1));
}

// A source as the dedup key and the table hold it.
struct SourceBytes {
    SourceKind kind = SourceKind::kDialog;
    QString name;
    QByteArray utf8Name;
    QByteArray identity;  // kind and name
    QByteArray prefix;    // the first bytes of the identity's digest
};

void Remember(SourceBytes& cached, const BeaconSource& source) {
    if (!cached.identity.isEmpty() && cached.kind == source.kind && cached.name == source.name) {
        return;
    }
    cached.kind = source.kind;
    cached.name = source.name;
    cached.utf8Name = source.name.toUtf8();
    const std::string_view kind = SourceKindName(source.kind);
    cached.identity =
        QByteArray(kind.data(), static_cast<qsizetype>(kind.size())) + '\0' + cached.utf8Name;
    cached.prefix = QCryptographicHash::hash(cached.identity, QCryptographicHash::Sha256).left(4);
}

// The same beacon from the same place in the same source gives the same key, whenever and
// however often it is converted. The key leads with the source and the place in it, so that
// the beacons of one log or recording go into the index in order, and ends with a digest of
// everything: 128 bits in all would have to match by chance.
QByteArray DedupKey(const SourceBytes& source, const ReceivedBeacon& beacon) {
    const long long line = beacon.position.line.value_or(-1);
    const double offset = beacon.position.offsetSeconds.value_or(-1.0);
    QByteArray key = source.prefix;
    AppendBigEndian(key, static_cast<std::uint64_t>(line));
    AppendBigEndian(key, std::bit_cast<std::uint64_t>(offset));
    QCryptographicHash digest(QCryptographicHash::Sha256);
    digest.addData(source.identity);
    AppendNumber(digest, line);
    AppendNumber(digest, offset);
    for (const std::string& text : beacon.lines) {
        AppendNumber(digest, text.size());
        digest.addData(text);
    }
    return key + digest.result().left(8);
}

// Bound bytes are not copied: every caller keeps them alive until the row is stored.
void BindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void BindBlob(sqlite3_stmt* statement, int index, std::string_view bytes) {
    sqlite3_bind_blob(statement, index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_STATIC);
}

template <typename T>
void BindOptional(sqlite3_stmt* statement, int index, const std::optional<T>& value) {
    if (!value) {
        return;  // cleared bindings are NULL
    }
    if constexpr (std::is_floating_point_v<T>) {
        sqlite3_bind_double(statement, index, *value);
    } else {
        sqlite3_bind_int64(statement, index, *value);
    }
}

// SQLite turns a bound NaN into NULL; the text keeps it apart from an absent value.
void BindField(sqlite3_stmt* statement, int index, const FieldValue& value) {
    if (const auto* flag = std::get_if<bool>(&value)) {
        sqlite3_bind_int(statement, index, *flag ? 1 : 0);
    } else if (const auto* count = std::get_if<long long>(&value)) {
        sqlite3_bind_int64(statement, index, *count);
    } else if (const auto* number = std::get_if<double>(&value)) {
        std::isnan(*number) ? BindText(statement, index, "nan")
                            : static_cast<void>(sqlite3_bind_double(statement, index, *number));
    } else if (const auto* text = std::get_if<std::string_view>(&value)) {
        BindBlob(statement, index, *text);
    } else if (const auto* list = std::get_if<std::span<const double>>(&value)) {
        BindBlob(statement, index,
                 std::string_view(reinterpret_cast<const char*>(list->data()), list->size_bytes()));
    }
}

}  // namespace

struct BeaconPreparer::Cache {
    explicit Cache(const LocalTime& time) : conversionTime(time) {}
    LocalTime conversionTime;
    SourceBytes source;
    ConversionState state;
};

BeaconPreparer::BeaconPreparer(const LocalTime& conversionTime)
    : m_cache(std::make_unique<Cache>(conversionTime)) {}

BeaconPreparer::~BeaconPreparer() = default;

void BeaconPreparer::Prepare(const BeaconSource& source, const ReceivedBeacon& beacon,
                             PreparedBeacon& out) {
    Cache& c = *m_cache;
    Remember(c.source, source);
    out.key = DedupKey(c.source, beacon);
    out.receivedMs = beacon.receivedUtc.toMSecsSinceEpoch();
    out.position = beacon.position;
    out.lines = beacon.lines;
    out.copy = beacon.copy;
    for (std::size_t k = 0; k < kLineCount; ++k) {
        Utf8Of(beacon.lines[k], out.utf8[k]);
    }
    SetLines(c.state, beacon.lines);
    RunConversion(c.state, c.conversionTime);
    out.readings = ReadingsOf(c.state);
}

struct BeaconWriter::Prepared {
    Prepared(sqlite3* db, const LocalTime& time)
        : insert(db, InsertSql()), isoTime(FormatIso8601(time)), preparer(time) {}
    Statement insert;
    std::string isoTime;
    BeaconPreparer preparer;
    PreparedBeacon beacon;
    SourceBytes source;
};

BeaconWriter::BeaconWriter(Archive& archive, const LocalTime& conversionTime)
    : m_db(archive.Handle()), m_prepared(std::make_unique<Prepared>(m_db, conversionTime)) {
    m_open = m_prepared->insert.Ok() && ExecuteSql(m_db, "BEGIN IMMEDIATE", m_error);
    if (!m_open && m_error.isEmpty()) {
        m_error = SqliteError(m_db);
    }
}

BeaconWriter::~BeaconWriter() {
    if (m_open) {
        QString ignored;
        ExecuteSql(m_db, "ROLLBACK", ignored);
    }
}

bool BeaconWriter::Fail() {
    m_error = SqliteError(m_db);
    QString ignored;
    ExecuteSql(m_db, "ROLLBACK", ignored);
    m_open = false;
    return false;
}

bool BeaconWriter::Add(const BeaconSource& source, const ReceivedBeacon& beacon) {
    m_prepared->preparer.Prepare(source, beacon, m_prepared->beacon);
    return Store(source, m_prepared->beacon);
}

bool BeaconWriter::Store(const BeaconSource& source, const PreparedBeacon& beacon) {
    if (!m_open) {
        return false;
    }
    Prepared& p = *m_prepared;
    sqlite3_stmt* statement = p.insert.Get();
    p.insert.Reset();
    Remember(p.source, source);
    BindBlob(statement, 1,
             std::string_view(beacon.key.constData(), static_cast<std::size_t>(beacon.key.size())));
    sqlite3_bind_int64(statement, 2, beacon.receivedMs);
    BindText(statement, 3, SourceKindName(source.kind));
    const QByteArray& name = p.source.utf8Name;
    BindText(statement, 4,
             std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
    BindOptional(statement, 5, beacon.position.line);
    BindOptional(statement, 6, beacon.position.offsetSeconds);
    for (std::size_t k = 0; k < kLineCount; ++k) {
        const int column = static_cast<int>(k) + 1;
        BindBlob(statement, kFirstCp932LineColumn + column, beacon.lines[k]);
        BindText(statement, kFirstUtf8LineColumn + column, beacon.utf8[k]);
    }
    int index = static_cast<int>(EntryColumns().size());
    const BeaconOrigin origin = OriginOf(beacon.lines, beacon.copy ? &*beacon.copy : nullptr);
    ForEachField(
        beacon.readings, p.isoTime, origin,
        [&](std::string_view, const FieldValue& value) { BindField(statement, ++index, value); });
    if (p.insert.Step() != SQLITE_DONE) {
        return Fail();
    }
    ++(sqlite3_changes(m_db) > 0 ? m_added : m_duplicates);
    return true;
}

bool BeaconWriter::Commit() {
    if (!m_open) {
        return false;
    }
    m_prepared->insert.Reset();
    if (!ExecuteSql(m_db, "COMMIT", m_error)) {
        return Fail();
    }
    m_open = false;
    return true;
}

}  // namespace telvane::archive
