// The archive against real SQLite files: what is recorded, kept once, read back, migrated, and
// what is never touched.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTimeZone>

#include "archive.h"
#include "archive_columns.h"
#include "archive_commands.h"
#include "archive_file_check.h"
#include "archive_stats.h"
#include "archive_test_support.h"
#include "beacon_readings.h"
#include "beacon_recorder.h"
#include "beacon_writer.h"
#include "conversion.h"
#include "machine_output.h"
#include "report_output.h"
#include "series_loader.h"
#include "stored_records.h"

namespace telvane::archive {
namespace {

using testing::kSampleLines;
using testing::Lines;
using testing::QueryCount;
using testing::QueryText;

constexpr LocalTime kTime{2024, 3, 5, 9, 7, 0};
const QDateTime kReceived = QDateTime(QDate(2024, 3, 5), QTime(0, 7), QTimeZone::utc());

class ArchiveTest : public ::testing::Test {
protected:
    QString Path(const QString& name = QStringLiteral("archive.sqlite")) const {
        return m_dir.filePath(name);
    }
    RecordResult Record(const Lines& lines, const BeaconSource& source = {},
                        SourcePosition position = {}) const {
        BeaconRecorder recorder(Path(), source, kTime, kReceived);
        recorder.Add(lines, position);
        return recorder.Finish();
    }
    long long Count() const { return QueryCount(Path(), "SELECT count(*) FROM beacons"); }

    QTemporaryDir m_dir;
};

// Beacons that exercise every kind of stored value: text in code page 932, empty lines,
// an infinite reference (zero battery count in trickle charge) and what follows from it.
const std::vector<Lines> kVariedBeacons = {
    kSampleLines,
    {"ZK1 AB CD/EF", "", "", "", "", ""},
    {"ZK1 \x83\x65\x83\x58\x83\x67", "ZK2 FF FF FF", "ZK3 25 B8 02 00", "ZK4 00 A0 8C",
     "ZK5 F F F F F F", "ZK6 FFFFFFFF FF"},
    {"", "ZK2 00 00 01", "ZK3 25 B8 02 00", "ZK4 30 10 00", "ZK5 0 0 0 0 0 0", "ZK6 00000000 00"},
    {"ZK1 a,b\"c", "ZK2 1", "ZK3 zz", "ZK4 3", "ZK5 12345", "ZK6 1"},
    {"ZK1 X", "ZK2 FF FF FF", "ZK3 25 B8 02 00", "ZK4 00 00 8C", "ZK5 0 0 0 0 0 0",
     "ZK6 00000000 00"},  // 0 V solar times an infinite reference: not a number
};

TEST_F(ArchiveTest, ExportReadsBackExactlyWhatTheConverterWrites) {
    BeaconRecorder recorder(Path(), {SourceKind::kLog, QStringLiteral("/logs/a.txt")}, kTime,
                            kReceived);
    std::vector<std::string> expectedJson;
    std::vector<std::string> expectedCsv;
    const std::string iso = FormatIso8601(kTime);
    for (std::size_t k = 0; k < kVariedBeacons.size(); ++k) {
        recorder.Add(kVariedBeacons[k], {static_cast<long long>(k) * 6 + 1, std::nullopt});
        ConversionState state;
        SetLines(state, kVariedBeacons[k]);
        RunConversion(state, kTime);
        const BeaconOrigin origin = OriginOf(kVariedBeacons[k]);
        expectedJson.push_back(cli::JsonRecord(ReadingsOf(state), iso, origin));
        expectedCsv.push_back(cli::CsvRow(ReadingsOf(state), iso, origin));
    }
    const RecordResult result = recorder.Finish();
    ASSERT_TRUE(result.warning.isEmpty()) << result.warning.toStdString();
    EXPECT_EQ(result.added, kVariedBeacons.size());

    QString error;
    const auto archive = Archive::Open(Path(), Access::kRead, error);
    ASSERT_TRUE(archive) << error.toStdString();
    StoredRecordReader reader(*archive, {});
    StoredBatch batch;
    std::size_t row = 0;
    while (reader.Next(batch, 2)) {  // small batches: rows cross batch boundaries
        for (std::size_t k = 0; k < batch.Rows(); ++k, ++row) {
            const cli::FieldSource fields = [&](const FieldVisitor& v) { batch.Visit(k, v); };
            ASSERT_LT(row, expectedJson.size());
            std::string json = "before\n";  // records are appended after what is there
            std::string csv = "before\r\n";
            cli::AppendJsonRecord(json, fields);
            cli::AppendCsvRow(csv, fields);
            EXPECT_EQ(json, "before\n" + expectedJson[row]) << "beacon " << row;
            EXPECT_EQ(csv, "before\r\n" + expectedCsv[row]) << "beacon " << row;
        }
    }
    EXPECT_TRUE(reader.Error().isEmpty());
    EXPECT_EQ(row, kVariedBeacons.size());
}

// What the single reader and the converter's rendering give for `range`: an export's reference.
std::string ReferenceExport(const Archive& archive, const TimeRange& range, bool json) {
    StoredRecordReader reader(archive, range);
    StoredBatch batch;
    std::string out;
    while (reader.Next(batch, 500)) {
        for (std::size_t k = 0; k < batch.Rows(); ++k) {
            const cli::FieldSource fields = [&](const FieldVisitor& v) { batch.Visit(k, v); };
            json ? cli::AppendJsonRecord(out, fields) : cli::AppendCsvRow(out, fields);
        }
    }
    EXPECT_TRUE(reader.Error().isEmpty()) << reader.Error().toStdString();
    return out;
}

TEST_F(ArchiveTest, AnExportInPartsKeepsEveryBeaconOnceAndInOrder) {
    // A log's beacons all share the millisecond it was received at; a recording's, made later
    // and so with higher row ids, lie half a second apart before, at and after it. Every third
    // beacon of the recording has the decoder's measures (lists).
    const qint64 logMs = kReceived.toMSecsSinceEpoch();
    BeaconRecorder log(Path(), {SourceKind::kLog, QStringLiteral("/logs/a.txt")}, kTime, kReceived);
    for (long long k = 0; k < 1500; ++k) {
        log.Add(kVariedBeacons[k % kVariedBeacons.size()], {k * 6 + 1, std::nullopt});
    }
    ASSERT_EQ(log.Finish().added, 1500U);
    CopyMeasures copy{1.5, 9.25, 812.5, 21.0, 14.75, {}};
    for (int line = 0; line < kLineCount; ++line) {
        copy.confidence[line] = {1.0, 0.5, 1.0 / 3, 0.25 * line};
    }
    BeaconRecorder recording(Path(), {SourceKind::kRecording, QStringLiteral("/rec/a.wav")}, kTime,
                             kReceived.addSecs(-1000));
    for (int k = 0; k < 2400; ++k) {
        recording.Add(kVariedBeacons[k % kVariedBeacons.size()], {std::nullopt, k * 0.5},
                      k % 3 == 0 ? &copy : nullptr);
    }
    ASSERT_EQ(recording.Finish().added, 2400U);

    QString error;
    const auto archive = Archive::Open(Path(), Access::kRead, error);
    ASSERT_TRUE(archive) << error.toStdString();
    const std::vector<std::pair<std::string, TimeRange>> ranges = {
        {"all", {}},
        {"from the shared millisecond", {logMs, std::nullopt}},
        {"up to the shared millisecond", {std::nullopt, logMs}},
        {"the shared millisecond alone", {logMs, logMs + 1}},
        {"odd bounds", {logMs - 777'777, logMs + 123'457}},
        {"nothing", {logMs + 10'000'000, std::nullopt}},
        {"an empty span", {logMs, logMs}},
        {"everything before the earliest time", {std::nullopt, std::numeric_limits<qint64>::min()}},
    };
    const std::size_t partRows[] = {1, 7, 1499, 1500, 1501, 100000};
    for (const bool json : {true, false}) {
        for (const auto& [name, range] : ranges) {
            const std::string expected = ReferenceExport(*archive, range, json);
            for (const std::size_t rows : partRows) {
                for (const unsigned readers : {1U, 3U}) {
                    const QString out = Path(QStringLiteral("export.out"));
                    cli::OutputSink sink(out.toStdString());
                    ASSERT_TRUE(sink.Open()) << sink.Error();
                    StoredParts parts(*archive, range, rows);
                    QString readError;
                    EXPECT_TRUE(cli::ExportParts(parts, json, sink, readers, readError));
                    EXPECT_TRUE(readError.isEmpty()) << readError.toStdString();
                    ASSERT_TRUE(sink.Finish()) << sink.Error();
                    EXPECT_EQ(testing::ReadBytes(out).toStdString(), expected)
                        << name << ", " << rows << " beacons a part, " << readers << " readers, "
                        << (json ? "JSON" : "CSV");
                }
            }
        }
    }
    const std::string all = ReferenceExport(*archive, {}, true);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3900);
}

TEST_F(ArchiveTest, AnExportLeavesOutBeaconsAddedWhileItRuns) {
    ASSERT_TRUE(Record(kSampleLines).warning.isEmpty());
    QString error;
    const auto archive = Archive::Open(Path(), Access::kRead, error);
    ASSERT_TRUE(archive) << error.toStdString();
    const std::string before = ReferenceExport(*archive, {}, true);
    StoredParts parts(*archive, {}, 1);
    // Received at the same millisecond as the first beacon, and after it: both within the
    // part's time span.
    for (const int seconds : {0, 60}) {
        BeaconRecorder later(Path(), {SourceKind::kLog, QStringLiteral("/logs/later.txt")}, kTime,
                             kReceived.addSecs(seconds));
        later.Add(kVariedBeacons[2], {seconds + 1, std::nullopt});
        ASSERT_EQ(later.Finish().added, 1U);
    }

    const QString out = Path(QStringLiteral("export.out"));
    cli::OutputSink sink(out.toStdString());
    ASSERT_TRUE(sink.Open());
    QString readError;
    EXPECT_TRUE(cli::ExportParts(parts, true, sink, 2, readError));
    EXPECT_TRUE(readError.isEmpty()) << readError.toStdString();
    ASSERT_TRUE(sink.Finish());
    EXPECT_EQ(testing::ReadBytes(out).toStdString(), before);
    EXPECT_EQ(Count(), 3);
}

TEST_F(ArchiveTest, KeepsTheLinesAsReceivedAndWhereTheyCameFrom) {
    const Lines lines = {"ZK1 \x83\x65\x83\x58\x83\x67", "ZK2 01 23 45", "", "", "", ""};
    ASSERT_TRUE(Record(lines, {SourceKind::kLog, QStringLiteral("/logs/b.txt")}, {13, std::nullopt})
                    .warning.isEmpty());
    EXPECT_EQ(QueryText(Path(), "SELECT received_line1_utf8 FROM beacons"), "ZK1 テスト");
    EXPECT_EQ(QueryText(Path(), "SELECT hex(received_line1_cp932) FROM beacons"),
              "5A4B3120836583588367");
    EXPECT_EQ(QueryText(Path(), "SELECT received_line3_cp932 IS NOT NULL FROM beacons"), "1");
    EXPECT_EQ(QueryText(Path(),
                        "SELECT source_kind || ' ' || source_name || ':' || source_line "
                        "FROM beacons"),
              "log /logs/b.txt:13");
    EXPECT_EQ(QueryCount(Path(), "SELECT received_utc_ms FROM beacons"),
              kReceived.toMSecsSinceEpoch());
    EXPECT_EQ(QueryText(Path(), "SELECT internal_time_counter FROM beacons"), "74565");
    EXPECT_EQ(QueryText(Path(), "SELECT conversion_time FROM beacons"), FormatIso8601(kTime));
}

TEST_F(ArchiveTest, TheSameBeaconFromTheSamePlaceIsKeptOnce) {
    const BeaconSource log{SourceKind::kLog, QStringLiteral("/logs/a.txt")};
    const BeaconSource otherLog{SourceKind::kLog, QStringLiteral("/logs/b.txt")};
    const BeaconSource recording{SourceKind::kRecording, QStringLiteral("/rec/a.wav")};
    Lines changed = kSampleLines;
    changed[1] = "ZK2 01 23 46";
    struct Step {
        Lines lines;
        BeaconSource source;
        SourcePosition position;
        long long countAfter;
    };
    const std::vector<Step> steps = {
        {kSampleLines, {}, {}, 1},                           // typed in the dialog
        {kSampleLines, {}, {}, 1},                           // converted again: kept once
        {changed, {}, {}, 2},                                // another beacon typed
        {kSampleLines, log, {1, std::nullopt}, 3},           // from a log
        {kSampleLines, log, {1, std::nullopt}, 3},           // the log imported again
        {kSampleLines, log, {7, std::nullopt}, 4},           // heard again later in the log
        {kSampleLines, otherLog, {1, std::nullopt}, 5},      // another log
        {kSampleLines, recording, {std::nullopt, 12.5}, 6},  // a recording
        {kSampleLines, recording, {std::nullopt, 12.5}, 6},  // decoded again
        {kSampleLines, recording, {std::nullopt, 98.0}, 7},  // later in the recording
    };
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const RecordResult result = Record(steps[k].lines, steps[k].source, steps[k].position);
        ASSERT_TRUE(result.warning.isEmpty()) << result.warning.toStdString();
        EXPECT_EQ(result.added + result.duplicates, 1u);
        EXPECT_EQ(Count(), steps[k].countAfter) << "step " << k;
    }
    // A recording's beacon was heard at the recording's start plus its offset.
    EXPECT_EQ(QueryCount(Path(), "SELECT received_utc_ms FROM beacons WHERE source_offset_s = 98"),
              kReceived.toMSecsSinceEpoch() + 98000);
}

struct ForeignFile {
    const char* name;
    QByteArray bytes;
    FileState expected;
};

TEST_F(ArchiveTest, AFileThatIsNotAnArchiveIsNeverWrittenTo) {
    QByteArray otherDatabase;
    {
        const QString path = Path(QStringLiteral("other.db"));
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        otherDatabase = testing::ReadBytes(path);
    }
    QByteArray damaged = QByteArray("SQLite format 3", 16) + QByteArray(40, '\x01');
    const std::vector<ForeignFile> files = {
        {"text", "ZK1 AB CD/EF\nnot a database\n", FileState::kForeign},
        {"empty", "", FileState::kForeign},
        {"other-database", otherDatabase, FileState::kForeign},
        {"damaged", damaged, FileState::kForeign},
    };
    for (const ForeignFile& file : files) {
        const QString path = Path(QString::fromLatin1(file.name));
        testing::WriteBytes(path, file.bytes);
        const QDateTime modified = QFileInfo(path).lastModified();
        EXPECT_EQ(CheckArchiveFile(path).state, file.expected) << file.name;

        BeaconRecorder recorder(path, {}, kTime, kReceived);
        recorder.Add(kSampleLines);
        const RecordResult result = recorder.Finish();
        EXPECT_TRUE(result.warning.contains(QStringLiteral("not a Telvane archive"))) << file.name;
        EXPECT_TRUE(result.warning.contains(QStringLiteral("left untouched"))) << file.name;
        EXPECT_EQ(result.added, 0u);
        EXPECT_EQ(testing::ReadBytes(path), file.bytes) << file.name;
        EXPECT_EQ(QFileInfo(path).lastModified(), modified) << file.name;
        EXPECT_FALSE(QFileInfo::exists(path + "-wal")) << file.name;
        EXPECT_FALSE(QFileInfo::exists(path + "-journal")) << file.name;
    }
    QString error;
    EXPECT_FALSE(Archive::Open(m_dir.path(), Access::kWrite, error));  // a folder
    EXPECT_TRUE(error.contains(QStringLiteral("not a regular file")));
}

TEST_F(ArchiveTest, OneCallRecordsABeaconInTheDefaultArchiveOrSaysWhyNot) {
    const QByteArray home = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", Path(QStringLiteral("home")).toUtf8());
    const QString defaultPath = DefaultArchivePath();
    EXPECT_EQ(defaultPath, Path(QStringLiteral("home/Telvane/archive.sqlite")));
    const BeaconSource single{SourceKind::kLog, QStringLiteral("/in/beacon.txt")};
    const RecordResult first = RecordBeacon({}, single, kSampleLines, kTime, kReceived);
    const RecordResult again = RecordBeacon({}, single, kSampleLines, kTime, kReceived);
    qputenv("XDG_DATA_HOME", home);
    EXPECT_TRUE(first.warning.isEmpty()) << first.warning.toStdString();
    EXPECT_EQ(first.added, 1u);
    EXPECT_EQ(again.added, 0u);
    EXPECT_EQ(again.duplicates, 1u);
    EXPECT_EQ(QueryCount(defaultPath, "SELECT count(*) FROM beacons"), 1);
    EXPECT_EQ(QueryText(defaultPath, "SELECT received_utc_ms FROM beacons"),
              std::to_string(kReceived.toMSecsSinceEpoch()));

    testing::WriteBytes(Path(QStringLiteral("notes.txt")), "notes\n");
    const RecordResult refused =
        RecordBeacon(Path(QStringLiteral("notes.txt")), single, kSampleLines, kTime, kReceived);
    EXPECT_EQ(refused.warning.count(u'\n'), 0);
    EXPECT_TRUE(refused.warning.startsWith(QStringLiteral("beacons are not recorded: ")))
        << refused.warning.toStdString();
    EXPECT_EQ(refused.added, 0u);
}

TEST_F(ArchiveTest, ANewArchiveIsMadeWhereNothingIsAndMarkedAsOurs) {
    const QString path = m_dir.filePath(QStringLiteral("deeper/still/archive.sqlite"));
    EXPECT_EQ(CheckArchiveFile(path).state, FileState::kMissing);
    QString error;
    EXPECT_FALSE(Archive::Open(path, Access::kRead, error));
    EXPECT_FALSE(QFileInfo::exists(path));  // reading never creates
    // What an earlier creation by a process of the same id left when it was killed.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        testing::WriteBytes(path + QStringLiteral(".new-%1%2").arg(::getpid()).arg(suffix), "x");
    }
    ASSERT_TRUE(Archive::Open(path, Access::kWrite, error)) << error.toStdString();
    EXPECT_EQ(CheckArchiveFile(path).state, FileState::kArchive);
    EXPECT_EQ(QueryText(path, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(QueryText(path, "PRAGMA user_version"), std::to_string(kSchemaVersion));
    EXPECT_EQ(QueryText(path, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(QDir(m_dir.filePath(QStringLiteral("deeper/still")))
                  .entryList(QDir::Files)
                  .filter(".new-")
                  .size(),
              0);
}

TEST_F(ArchiveTest, NewFieldsBecomeColumnsWhenAnOlderArchiveIsOpened) {
    ASSERT_TRUE(Record(kSampleLines).warning.isEmpty());
    // An archive from before rssi_dbu and temperature_battery_c existed.
    sqlite3* db = nullptr;
    sqlite3_open(Path().toUtf8().constData(), &db);
    ASSERT_EQ(sqlite3_exec(db,
                           "ALTER TABLE beacons DROP COLUMN rssi_dbu;"
                           "ALTER TABLE beacons DROP COLUMN temperature_battery_c;"
                           "DELETE FROM archive_fields WHERE name IN "
                           "('rssi_dbu', 'temperature_battery_c');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    Lines changed = kSampleLines;
    changed[1] = "ZK2 00 00 02";
    ASSERT_TRUE(Record(changed).warning.isEmpty());
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(QueryText(Path(), "SELECT count(rssi_dbu) FROM beacons"), "1");  // old row: NULL
    EXPECT_EQ(QueryText(Path(), "SELECT kind FROM archive_fields WHERE name = 'rssi_dbu'"),
              "number");
    EXPECT_EQ(QueryCount(Path(), "SELECT count(*) FROM archive_fields"),
              static_cast<long long>(FieldColumns().size()));
    EXPECT_EQ(QueryText(Path(), "PRAGMA integrity_check"), "ok");
}

TEST_F(ArchiveTest, AnArchiveFromANewerTelvaneIsReadButNotWritten) {
    ASSERT_TRUE(Record(kSampleLines).warning.isEmpty());
    sqlite3* db = nullptr;
    sqlite3_open(Path().toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const QByteArray before = testing::ReadBytes(Path());

    Lines changed = kSampleLines;
    changed[1] = "ZK2 00 00 02";
    const RecordResult result = Record(changed);
    EXPECT_TRUE(result.warning.contains(QStringLiteral("newer version")))
        << result.warning.toStdString();
    EXPECT_EQ(testing::ReadBytes(Path()), before);
    QString error;
    const auto archive = Archive::Open(Path(), Access::kRead, error);
    ASSERT_TRUE(archive) << error.toStdString();
    ArchiveSummary summary;
    ASSERT_TRUE(SummarizeArchive(*archive, summary, error));
    EXPECT_EQ(summary.beacons, 1);
}

TEST_F(ArchiveTest, EveryFieldHasAColumnOfItsValuesKind) {
    ConversionState state;
    SetLines(state, kSampleLines);
    RunConversion(state, kTime);
    const auto& columns = FieldColumns();
    std::size_t k = 0;
    const CopyMeasures copy;
    BeaconOrigin origin;
    origin.copy = &copy;  // a copied beacon fills every field
    ForEachField(ReadingsOf(state), "2024-03-05T09:07:00+09:00", origin,
                 [&](std::string_view name, const FieldValue& value) {
                     ASSERT_LT(k, columns.size());
                     EXPECT_EQ(columns[k].name, name);
                     FieldKind kind{};
                     ASSERT_TRUE(KindOf(value, kind)) << name;  // the sample fills every field
                     EXPECT_EQ(columns[k].kind, kind) << name;
                     ++k;
                 });
    EXPECT_EQ(k, columns.size());
}

TEST_F(ArchiveTest, SummaryAndSeriesSkipValuesThatAreNotFinite) {
    BeaconRecorder recorder(Path(), {SourceKind::kLog, QStringLiteral("/l.txt")}, kTime, kReceived);
    for (std::size_t k = 0; k < kVariedBeacons.size(); ++k) {
        recorder.Add(kVariedBeacons[k], {static_cast<long long>(k), std::nullopt});
    }
    ASSERT_TRUE(recorder.Finish().warning.isEmpty());
    QString error;
    const auto archive = Archive::Open(Path(), Access::kRead, error);
    ArchiveSummary summary;
    ASSERT_TRUE(SummarizeArchive(*archive, summary, error)) << error.toStdString();
    EXPECT_EQ(summary.beacons, static_cast<long long>(kVariedBeacons.size()));
    ASSERT_EQ(summary.bySource.size(), 1u);
    EXPECT_EQ(summary.bySource[0].first, "log");
    const auto solar = std::find_if(summary.fields.begin(), summary.fields.end(),
                                    [](auto& f) { return f.name == "solar_array_voltage_v"; });
    ASSERT_NE(solar, summary.fields.end());
    ASSERT_TRUE(solar->maximum);
    EXPECT_TRUE(std::isfinite(*solar->maximum));
    EXPECT_LT(solar->count, static_cast<long long>(kVariedBeacons.size()));

    SeriesData data;
    ASSERT_TRUE(
        LoadSeries(*archive, {}, {"solar_array_voltage_v", "reference_voltage_v"}, data, error));
    ASSERT_EQ(data.times.size(), kVariedBeacons.size());
    for (const auto& series : data.values) {
        for (const double value : series) {
            EXPECT_TRUE(std::isnan(value) || std::isfinite(value));
        }
    }
    EXPECT_EQ(std::count(data.recalibrated.begin(), data.recalibrated.end(), true), 3);
    EXPECT_FALSE(LoadSeries(*archive, {}, {"url"}, data, error));
    EXPECT_FALSE(LoadSeries(*archive, {}, {"rssi_dbu; DROP TABLE beacons"}, data, error));
}

TEST_F(ArchiveTest, TimeRangesSelectByReceptionTime) {
    const BeaconSource log{SourceKind::kLog, QStringLiteral("/l.txt")};
    for (int hour = 0; hour < 5; ++hour) {
        BeaconRecorder recorder(Path(), log, kTime, kReceived.addSecs(hour * 3600));
        recorder.Add(kSampleLines, {hour, std::nullopt});
        ASSERT_TRUE(recorder.Finish().warning.isEmpty());
    }
    QString error;
    const auto archive = Archive::Open(Path(), Access::kRead, error);
    const qint64 base = kReceived.toMSecsSinceEpoch();
    struct Case {
        TimeRange range;
        std::size_t expected;
    };
    const std::vector<Case> cases = {
        {{}, 5},
        {{base + 3600000, std::nullopt}, 4},
        {{std::nullopt, base + 3600000}, 1},
        {{base + 3600000, base + 3 * 3600000}, 2},
        {{base + 9 * 3600000, std::nullopt}, 0},
    };
    for (const Case& c : cases) {
        SeriesData data;
        ASSERT_TRUE(LoadSeries(*archive, c.range, {"rssi_dbu"}, data, error));
        EXPECT_EQ(data.times.size(), c.expected);
        EXPECT_TRUE(std::is_sorted(data.times.begin(), data.times.end()));
    }
    EXPECT_EQ(LastPassStartMs(*archive, 20 * 60), base + 4 * 3600000);
    EXPECT_EQ(LastPassStartMs(*archive, 2 * 3600), base);
}

TEST_F(ArchiveTest, SeriesAndSummaryFollowReceptionTimeWhateverTheOrderOfRecording) {
    // Logs imported late hold older beacons; two beacons share a time.
    const int hours[] = {5, 1, 3, 1, 0};
    for (int k = 0; k < 5; ++k) {
        Lines lines = kSampleLines;
        lines[3] = "ZK4 3" + std::to_string(k) + " A0 8C";  // the battery tells them apart
        BeaconRecorder recorder(Path(), {SourceKind::kLog, QStringLiteral("/l%1.txt").arg(k)},
                                kTime, kReceived.addSecs(hours[k] * 3600));
        recorder.Add(lines, {1, std::nullopt});
        ASSERT_TRUE(recorder.Finish().warning.isEmpty());
    }
    QString error;
    const auto archive = Archive::Open(Path(), Access::kRead, error);
    const qint64 base = kReceived.toMSecsSinceEpoch();
    SeriesData all;
    SeriesData bounded;  // read through the time index instead
    ASSERT_TRUE(LoadSeries(*archive, {}, {"battery_voltage_count", "rssi_dbu"}, all, error));
    ASSERT_TRUE(LoadSeries(*archive, {base - 1, base + 6 * 3600000},
                           {"battery_voltage_count", "rssi_dbu"}, bounded, error));
    const std::vector<double> batteries = {0x34, 0x31, 0x33, 0x32, 0x30};  // by time, then entry
    const std::vector<qint64> ids = {5, 2, 4, 3, 1};
    for (const SeriesData* data : {&all, &bounded}) {
        EXPECT_EQ(data->values[0], batteries);
        EXPECT_EQ(data->rowIds, ids);
        EXPECT_EQ(data->times.front(), static_cast<double>(base) / 1000.0);
        EXPECT_TRUE(std::is_sorted(data->times.begin(), data->times.end()));
        EXPECT_EQ(data->values[1], all.values[1]);
    }
    ArchiveSummary summary;
    ASSERT_TRUE(SummarizeArchive(*archive, summary, error));
    const auto battery = std::find_if(summary.fields.begin(), summary.fields.end(),
                                      [](auto& f) { return f.name == "battery_voltage_count"; });
    ASSERT_NE(battery, summary.fields.end());
    EXPECT_EQ(battery->count, 5);
    EXPECT_EQ(battery->minimum, 0x30);
    EXPECT_EQ(battery->maximum, 0x34);
    EXPECT_EQ(battery->latest, 0x30);  // the newest beacon was recorded first
    EXPECT_EQ(summary.firstMs, base);
    EXPECT_EQ(summary.lastMs, base + 5 * 3600000);
}

TEST_F(ArchiveTest, LargeImportsAreStoredWholeAcrossBatches) {
    const BeaconSource log{SourceKind::kLog, QStringLiteral("/logs/long.txt")};
    const auto import = [&](int count) {
        BeaconRecorder recorder(Path(), log, kTime, kReceived);
        for (int k = 0; k < count; ++k) {
            Lines lines = kSampleLines;
            lines[1] =
                "ZK2 00 " + std::to_string(10 + k / 100 % 90) + ' ' + std::to_string(10 + k % 90);
            recorder.Add(lines, {6LL * k + 1, std::nullopt});
        }
        return recorder.Finish();
    };
    const RecordResult first = import(3000);
    const RecordResult second = import(5000);  // the first 3000 again, then 2000 more
    EXPECT_TRUE(first.warning.isEmpty() && second.warning.isEmpty());
    EXPECT_EQ(first.added, 3000u);
    EXPECT_EQ(second.added, 2000u);
    EXPECT_EQ(second.duplicates, 3000u);
    EXPECT_EQ(Count(), 5000);
    EXPECT_EQ(QueryCount(Path(), "SELECT count(DISTINCT source_line) FROM beacons"), 5000);
    EXPECT_EQ(QueryText(Path(),
                        "SELECT received_line2_utf8 FROM beacons WHERE source_line = "
                        "6 * 4321 + 1"),
              "ZK2 00 53 11");
    QString error;
    const auto archive = Archive::Open(Path(), Access::kRead, error);
    std::atomic<bool> cancel{true};
    SeriesData data;
    EXPECT_FALSE(LoadSeries(*archive, {}, {"rssi_dbu"}, data, error, &cancel));
    EXPECT_EQ(error, kLoadCancelled);
    cancel = false;
    EXPECT_TRUE(LoadSeries(*archive, {}, {"rssi_dbu"}, data, error, &cancel));
    EXPECT_EQ(data.times.size(), 5000u);
}

}  // namespace
}  // namespace telvane::archive
