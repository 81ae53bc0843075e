#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>

#include "beacon_readings.h"
#include "machine_output.h"
#include "number_format.h"

namespace telvane::cli {
namespace {

constexpr LocalTime kTime{2024, 3, 5, 9, 7, 0};

// A converted beacon with the lines it came in with.
struct Converted {
    explicit Converted(const std::array<std::string, kLineCount>& typed) : lines(typed) {
        SetLines(state, lines);
        RunConversion(state, kTime);
    }
    std::array<std::string, kLineCount> lines;
    ConversionState state;
};

BeaconOrigin Origin(const Converted& beacon, const CopyMeasures* copy = nullptr) {
    return OriginOf(beacon.lines, copy);
}

QJsonObject Json(const Converted& beacon, const CopyMeasures* copy = nullptr) {
    const std::string record =
        JsonRecord(ReadingsOf(beacon.state), "2024-03-05T09:07:00+09:00", Origin(beacon, copy));
    EXPECT_TRUE(record.ends_with("}\n"));
    EXPECT_EQ(record.find('\n'), record.size() - 1) << "one record, one line";
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(record), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << record;
    return document.object();
}

std::string OneDecimal(double value) {
    std::string text;
    AppendOneDecimal(text, value);
    return text;
}

// Every value the report prints, next to the JSON field that must hold it.
TEST(JsonRecord, ReadsBackToTheReportsValues) {
    const Converted beacon({"ZK1 AB CD/EF", "ZK2 01 23 45", "ZK3 25 B8 02", "ZK4 32 A0 8C",
                            "ZK5 4 3 2 1 0 5", "ZK6 8899AABB 5C"});
    const QJsonObject json = Json(beacon);
    const std::string& report = beacon.state.m_strResult;
    const struct {
        const char* field;
        const char* reportLine;  // label and tabs as the report prints them
    } pairs[] = {
        {"battery_voltage_v", "Battery voltage\t\t\t"},
        {"battery_temperature_c", "Battery temperature\t\t"},
        {"solar_array_voltage_v", "Solar array voltage\t\t"},
        {"current_plus_x_panel_ma", "  +X panel\t\t\t\t"},
        {"temperature_transmitter_c", "  Transmitter\t\t\t"},
        {"rssi_dbu", "RSSI\t\t\t\t\t"},
    };
    for (const auto& pair : pairs) {
        ASSERT_TRUE(json.value(pair.field).isDouble()) << pair.field;
        const std::string expected =
            pair.reportLine + OneDecimal(json.value(pair.field).toDouble());
        EXPECT_NE(report.find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(json.value("url").toString(), "abcd/ef");
    EXPECT_EQ(json.value("internal_time_counter").toInteger(), 74565);
    EXPECT_EQ(json.value("battery_trickle_charge").toBool(), true);
    EXPECT_EQ(json.value("reference_recalibrated").toBool(), true);
    EXPECT_EQ(json.value("reference_voltage_v").toDouble(), 261.375 / 50);
    EXPECT_EQ(json.value("battery_voltage_count").toInteger(), 50);
    EXPECT_EQ(json.value("conversion_time").toString(), "2024-03-05T09:07:00+09:00");
    EXPECT_EQ(json.value("line6_empty").toBool(), false);
    EXPECT_EQ(json.value("line3_text").toString(), "ZK3 25 B8 02");
    EXPECT_TRUE(json.value("tone_hz").isNull()) << "typed lines have no audio measures";
    EXPECT_TRUE(json.value("line1_confidence").isNull());
    EXPECT_EQ(json.size(), 79);
}

TEST(JsonRecord, EmptyLinesGiveNullsAndNonFiniteValuesGiveNull) {
    const Converted beacon({"", "", "ZK3 0080", "ZK4 008090", "", ""});
    const QJsonObject json = Json(beacon);
    EXPECT_TRUE(json.value("line1_empty").toBool());
    EXPECT_FALSE(json.value("line4_empty").toBool());
    EXPECT_TRUE(json.value("url").isNull());
    EXPECT_TRUE(json.value("internal_time_counter").isNull());
    EXPECT_TRUE(json.value("rssi_dbu").isNull());
    EXPECT_TRUE(json.value("reference_voltage_v").isNull());  // infinite
    EXPECT_TRUE(json.value("solar_array_voltage_v").isNull());
    EXPECT_EQ(json.value("battery_voltage_v").toDouble(), 4.1);
}

TEST(JsonRecord, EscapesTextAndConvertsItToUtf8) {
    const Converted beacon({"zk1 \"a\\b\"\t\x93\xFA", "", "", "", "", ""});
    const QJsonObject json = Json(beacon);
    EXPECT_EQ(json.value("url").toString(), QString::fromUtf8("\"a\\b\"\t日"));
    EXPECT_EQ(json.value("line1_text").toString(), QString::fromUtf8("zk1 \"a\\b\"\t日"));
}

TEST(JsonRecord, CopiedBeaconsCarryTheDecodersMeasures) {
    const Converted beacon({"ZK1 A", "ZK2 01", "", "", "", ""});
    CopyMeasures copy;
    copy.startSeconds = 1.5;
    copy.endSeconds = 60.25;
    copy.snrDb = -9.5;
    copy.confidence[0] = {1, 1, 1, 0.5, 0.25};
    copy.confidence[1] = {1, 1, 1, 0.5, 0.75, 0.125};
    const QJsonObject json = Json(beacon, &copy);
    EXPECT_EQ(json.value("audio_start_s").toDouble(), 1.5);
    EXPECT_EQ(json.value("audio_end_s").toDouble(), 60.25);
    EXPECT_EQ(json.value("snr_db").toDouble(), -9.5);
    const QJsonArray line2 = json.value("line2_confidence").toArray();
    ASSERT_EQ(line2.size(), 6);
    EXPECT_EQ(line2.at(5).toDouble(), 0.125);
    EXPECT_TRUE(json.value("line3_confidence").toArray().isEmpty()) << "a line not heard";

    const std::string row = CsvRow(ReadingsOf(beacon.state), "", Origin(beacon, &copy));
    EXPECT_NE(row.find(",1 1 1 0.5 0.75 0.125,"), std::string::npos) << row;
}

// Splits one CSV row (RFC 4180) into its cells.
std::vector<std::string> Cells(std::string_view row) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
            cells.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

TEST(Csv, HeaderAndRowsLineUp) {
    const std::string header = CsvHeader();
    ASSERT_TRUE(header.ends_with("\r\n"));
    const std::vector<std::string> names = Cells(header.substr(0, header.size() - 2));
    EXPECT_EQ(names.size(), 79u);
    EXPECT_EQ(names.front(), "conversion_time");
    EXPECT_EQ(names.back(), "line6_confidence");

    const Converted beacon({"zk1 a,\"b", "", "ZK3 0080", "ZK4 008090", "ZK5 1", ""});
    const std::string row =
        CsvRow(ReadingsOf(beacon.state), "2024-03-05T09:07:00Z", Origin(beacon));
    const std::vector<std::string> cells = Cells(row.substr(0, row.size() - 2));
    ASSERT_EQ(cells.size(), names.size());
    std::map<std::string, std::string> byName;
    for (std::size_t i = 0; i < names.size(); ++i) {
        byName[names[i]] = cells[i];
    }
    EXPECT_EQ(byName["url"], "a,\"b");
    EXPECT_EQ(byName["internal_time_counter"], "");
    EXPECT_EQ(byName["reference_voltage_v"], "inf");
    EXPECT_EQ(byName["current_plus_x_panel_count"], "1");
    EXPECT_EQ(byName["current_plus_x_panel_ma"], "0");  // nan, clamped to 0 as in the report
    EXPECT_EQ(byName["battery_trickle_charge"], "true");
    EXPECT_EQ(byName["line1_text"], "zk1 a,\"b");
    EXPECT_EQ(byName["line1_confidence"], "");
}

}  // namespace
}  // namespace telvane::cli
