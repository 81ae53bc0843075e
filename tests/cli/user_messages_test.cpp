// What telvane-convert tells its user, and what it refuses: warnings about characters that will
// not read as typed, times that do not exist, cells a spreadsheet would run, and progress.

#include "process_fixture.h"

namespace telvane {
namespace {

using namespace telvane::testing;

TEST_F(ConvertProcess, WarnsOfEachMisreadingWithoutChangingTheResult) {
    const std::string input = "ZK1 AB\nZK2 01\n\tZK3 25 38 02 00\nZK4 3G A0 8C\n";
    const Outcome warned = Convert(kTimeOption, input);
    const Outcome quiet = Convert(std::string(kTimeOption) + "--quiet", input);
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.out, quiet.out);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(warned.err,
              "telvane-convert: warning: line 3: '\\t' at position 1 is not a hexadecimal "
              "digit: the uplink and camera counts will read as 0\n"
              "telvane-convert: warning: line 3: 'K' at position 3 is not a hexadecimal digit: "
              "the SEL count, antenna, duty ratio, reset and charging status will read as 0\n"
              "telvane-convert: warning: line 3: '0' at position 12 and what follows go beyond "
              "the 8 digits of line 3: they will not be read\n"
              "telvane-convert: warning: line 4: 'G' at position 6 is not a hexadecimal digit: "
              "the battery voltage will read as 0\n");

    const Outcome batch = Convert("--batch --format csv", "ZK1 AB\nZK4 3G\nZK1 CD\nZK4 30\n");
    EXPECT_EQ(batch.err,
              "telvane-convert: warning: line 2: 'G' at position 6 is not a hexadecimal digit: "
              "the battery voltage will read as 0\n");
}

TEST_F(ConvertProcess, TimesFollowTheLocalZonesSummerTime) {
    const struct {
        const char* zone;
        const char* time;
        int status;
        const char* shown;  // in the error, or the conversion time in the output
    } cases[] = {
        {"America/New_York", "2024-03-10 02:30:00", 2, "does not exist in the local time zone"},
        {"America/New_York", "2024-11-03 01:30:00", 0, "2024-11-03T01:30:00-04:00"},
        {"Europe/London", "2024-10-27 01:30:00", 0, "2024-10-27T01:30:00+01:00"},
        {"Asia/Tokyo", "2024-03-05 09:07:00", 0, "2024-03-05T09:07:00+09:00"},
    };
    for (const auto& c : cases) {
        const Outcome run = Convert(std::string("--format json --time '") + c.time + "'", kBeacon,
                                    "", std::string("TZ=") + c.zone + " ");
        EXPECT_EQ(run.status, c.status) << c.zone << ' ' << c.time;
        EXPECT_NE((run.status == 0 ? run.out : run.err).find(c.shown), std::string::npos)
            << run.out << run.err;
    }
}

// The cells of the first data row of CSV output that holds no quoted cell.
std::vector<std::string> FirstRow(const std::string& csv) {
    std::vector<std::string> cells;
    std::istringstream row(
        csv.substr(csv.find("\r\n") + 2, csv.rfind("\r\n") - csv.find("\r\n") - 2));
    for (std::string cell; std::getline(row, cell, ',');) {
        cells.push_back(cell);
    }
    return cells;
}

TEST_F(ConvertProcess, CsvTextCellsNeverRunAsSpreadsheetFormulas) {
    for (const std::string start : {"=1+2", "+1", "-1", "@sum(a1)"}) {
        const Outcome run = Convert("--format csv", "ZK1 " + start + "\n\n\n\n\nZK6 00\n");
        const std::vector<std::string> cells = FirstRow(run.out);
        ASSERT_GT(cells.size(), 8u) << run.out;
        EXPECT_EQ(cells[7], "'" + start) << "the url cell";
        // Numbers stay numbers: with all counts 0 the sensors read below zero.
        EXPECT_EQ(std::count_if(cells.begin(), cells.end(),
                                [](const std::string& cell) { return cell.starts_with("'"); }),
                  1);
        EXPECT_TRUE(std::any_of(cells.begin(), cells.end(),
                                [](const std::string& cell) { return cell.starts_with("-"); }));
    }
}

// On a terminal, the progress line is cleared before any other message.
TEST_F(ConvertProcess, ProgressNeverRunsIntoAMessage) {
    std::string log;
    for (int k = 0; k < 10000; ++k) {
        log += "ZK1 AB\n";
    }
    log += "not a beacon line\n";
    WriteFile(dir_ / "log.txt", log);
    const std::string command = std::string(TELVANE_CONVERT) + " --batch --format json " +
                                Quote(dir_ / "log.txt") + " > /dev/null";
    const Outcome run =
        RunShell("script -qec " + Quote(command) + " " + Quote(dir_ / "terminal") + " >/dev/null");
    const std::string terminal = ReadFile(dir_ / "terminal");
    const std::size_t progress = terminal.find("10000 beacons converted");
    const std::size_t message = terminal.find("telvane-convert: line 10001: skipped");
    ASSERT_NE(progress, std::string::npos) << terminal;
    ASSERT_NE(message, std::string::npos) << terminal;
    EXPECT_NE(terminal.substr(progress, message - progress).find("\r\x1B[K"), std::string::npos)
        << terminal;
    EXPECT_EQ(run.status, 0);
}

}  // namespace
}  // namespace telvane
