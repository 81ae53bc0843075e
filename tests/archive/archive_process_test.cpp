// telvane-archive run as scripts run it: several at once, killed half-way, on a full disk, on
// an archive it may not write, and with the command lines operators type.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>

#include "archive_test_support.h"

namespace telvane::archive {
namespace {

using testing::QueryCount;
using testing::QueryText;

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

Outcome RunArchive(const QStringList& arguments) {
    return RunProgram(QStringLiteral(TELVANE_ARCHIVE), arguments);
}

// A log of `count` different beacons, the first with time counter `first`.
QByteArray MakeLog(int count, int first = 0) {
    QByteArray log;
    for (int k = 0; k < count; ++k) {
        const int counter = first + k;
        log += QStringLiteral(
                   "ZK1 AB CD/EF\nZK2 %1 %2 %3\nZK3 25 38 02 00\nZK4 37 A0 8C\n"
                   "ZK5 4 3 2 1 0 5\nZK6 8899AABB %4\n")
                   .arg(counter >> 16 & 0xFF, 2, 16, QChar(u'0'))
                   .arg(counter >> 8 & 0xFF, 2, 16, QChar(u'0'))
                   .arg(counter & 0xFF, 2, 16, QChar(u'0'))
                   .arg(0x40 + counter % 64, 2, 16, QChar(u'0'))
                   .toUpper()
                   .toLatin1();
    }
    return log;
}

class ArchiveProcessTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString ArchivePath() const { return Path(QStringLiteral("archive.sqlite")); }
    QString WriteLog(const QString& name, int count, int first = 0) const {
        testing::WriteBytes(Path(name), MakeLog(count, first));
        return Path(name);
    }
    long long Count() const { return QueryCount(ArchivePath(), "SELECT count(*) FROM beacons"); }

    QTemporaryDir m_dir;
};

TEST_F(ArchiveProcessTest, TwoImportsAtOnceBothSucceedAndLoseNothing) {
    constexpr int kEach = 1500;
    const QString first = WriteLog(QStringLiteral("a.log"), kEach, 0);
    const QString second = WriteLog(QStringLiteral("b.log"), kEach, kEach);
    // Neither finds an archive: they also race to create it.
    QProcess one;
    QProcess two;
    one.start(QStringLiteral(TELVANE_ARCHIVE), {"import", "--archive", ArchivePath(), first});
    two.start(QStringLiteral(TELVANE_ARCHIVE), {"import", "--archive", ArchivePath(), second});
    ASSERT_TRUE(one.waitForFinished(120000));
    ASSERT_TRUE(two.waitForFinished(120000));
    EXPECT_EQ(one.exitCode(), 0) << one.readAllStandardError().toStdString();
    EXPECT_EQ(two.exitCode(), 0) << two.readAllStandardError().toStdString();
    EXPECT_EQ(Count(), 2 * kEach);
    EXPECT_EQ(QueryText(ArchivePath(), "PRAGMA integrity_check"), "ok");
}

TEST_F(ArchiveProcessTest, AKilledImportKeepsEveryCommittedBeaconAndNoHalfOne) {
    ASSERT_EQ(RunArchive({"import", "--archive", ArchivePath(), WriteLog("first.log", 50)}).status,
              0);
    long long committed = 50;
    constexpr int kLarge = 20000;
    for (const int delayMs : {50, 250, 600, 1200}) {
        const QString log = WriteLog(QStringLiteral("large-%1.log").arg(delayMs), kLarge);
        QProcess import;
        import.start(QStringLiteral(TELVANE_ARCHIVE), {"import", "--archive", ArchivePath(), log});
        ASSERT_TRUE(import.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(delayMs));
        ::kill(static_cast<pid_t>(import.processId()), SIGKILL);
        import.waitForFinished();
        EXPECT_EQ(QueryText(ArchivePath(), "PRAGMA integrity_check"), "ok") << delayMs;
        const long long count = Count();
        // All of the killed import or none of it.
        EXPECT_TRUE(count == committed || count == committed + kLarge) << count;
        committed = count;
    }
    EXPECT_EQ(RunArchive({"import", "--archive", ArchivePath(), Path("first.log")}).status, 0);
    EXPECT_EQ(Count(), committed);
}

TEST_F(ArchiveProcessTest, AFullDiskGivesOneMessageAndKeepsTheArchiveWhole) {
    ASSERT_EQ(RunArchive({"import", "--archive", ArchivePath(), WriteLog("first.log", 20)}).status,
              0);
    const QString log = WriteLog(QStringLiteral("large.log"), 20000);
    // The file size limit stands in for a full disk: writes past it fail.
    const Outcome run =
        RunProgram(QStringLiteral("/bin/sh"),
                   {"-c", QStringLiteral("ulimit -f 2048; exec '%1' import --archive '%2' '%3'")
                              .arg(QStringLiteral(TELVANE_ARCHIVE), ArchivePath(), log)});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("telvane-archive: beacons are not recorded")))
        << run.err.toStdString();
    EXPECT_EQ(QueryText(ArchivePath(), "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Count(), 20);
}

TEST_F(ArchiveProcessTest, AnArchiveThatMayNotBeWrittenIsLeftAsItWas) {
    ASSERT_EQ(RunArchive({"import", "--archive", ArchivePath(), WriteLog("first.log", 5)}).status,
              0);
    const QString log = WriteLog(QStringLiteral("more.log"), 5, 100);
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
    QFile::setPermissions(ArchivePath(), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    QFile::setPermissions(log, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    const QByteArray before = testing::ReadBytes(ArchivePath());
    // The superuser may write anything: run as nobody to meet a file that cannot be written.
    const Outcome run = ::geteuid() == 0
                            ? RunProgram(QStringLiteral("setpriv"),
                                         {"--reuid=65534", "--regid=65534", "--clear-groups",
                                          QStringLiteral(TELVANE_ARCHIVE), "import", "--archive",
                                          ArchivePath(), log})
                            : RunArchive({"import", "--archive", ArchivePath(), log});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("telvane-archive: beacons are not recorded")));
    EXPECT_EQ(testing::ReadBytes(ArchivePath()), before);
    EXPECT_EQ(Count(), 5);
}

TEST_F(ArchiveProcessTest, ExportWritesWhatTelvaneConvertWrites) {
    const QString log = WriteLog(QStringLiteral("a.log"), 300);
    const QStringList time = {"--time", "2024-03-05 09:07:00"};
    ASSERT_EQ(RunArchive(QStringList{"import", "--archive", ArchivePath(), log} + time).status, 0);
    for (const QString format : {"json", "csv"}) {
        const Outcome converted =
            RunProgram(QStringLiteral(TELVANE_CONVERT),
                       QStringList{"--batch", "--format", format, log} + time);
        const Outcome exported =
            RunArchive({"export", "--archive", ArchivePath(), "--format", format});
        EXPECT_EQ(exported.status, 0) << exported.err.toStdString();
        EXPECT_EQ(exported.out, converted.out) << format.toStdString();
        EXPECT_GT(exported.out.size(), 300 * 100);
    }
    const QString out = Path(QStringLiteral("out.jsonl"));
    ASSERT_EQ(RunArchive({"export", "--archive", ArchivePath(), "-o", out}).status, 0);
    EXPECT_EQ(QString::fromUtf8(testing::ReadBytes(out)).count(u'\n'), 300);
    struct Range {
        QStringList options;
        int lines;
    };
    const Range ranges[] = {
        {{"--from", "2024-03-05 09:07:00"}, 300},
        {{"--from", "2024-03-05 09:07:01"}, 0},
        {{"--to", "2024-03-05"}, 300},  // the whole day
        {{"--to", "2024-03-05T09:07:00"}, 0},
    };
    for (const Range& range : ranges) {
        const Outcome run =
            RunArchive(QStringList{"export", "--archive", ArchivePath()} + range.options);
        EXPECT_EQ(run.out.count(u'\n'), range.lines) << range.options.join(' ').toStdString();
    }
}

TEST_F(ArchiveProcessTest, ImportingAgainAddsNothingAndSaysSo) {
    const QString log = WriteLog(QStringLiteral("a.log"), 40);
    Outcome run = RunArchive({"import", "--archive", ArchivePath(), log});
    EXPECT_TRUE(run.out.contains(QStringLiteral("40 beacons added, 0 already")))
        << run.out.toStdString();
    run = RunArchive({"import", "--archive", ArchivePath(), log});
    EXPECT_TRUE(run.out.contains(QStringLiteral("0 beacons added, 40 already")))
        << run.out.toStdString();
    run = RunArchive({"stats", "--archive", ArchivePath()});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("beacons: 40\n")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("from log: 40\n")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("battery_voltage_v")));
}

TEST_F(ArchiveProcessTest, PlotsAreDrawnIntoEachFormat) {
    for (int hour = 0; hour < 6; ++hour) {
        const QString log = WriteLog(QStringLiteral("%1.log").arg(hour), 10, hour * 10);
        const QString time = QStringLiteral("2024-03-05 %1:00:00").arg(hour + 10);
        ASSERT_EQ(RunArchive({"import", "--archive", ArchivePath(), "--time", time, log}).status,
                  0);
    }
    const QString png = Path(QStringLiteral("plot.png"));
    Outcome run = RunArchive({"plot", "battery_voltage_v", "rssi_dbu", "--archive", ArchivePath(),
                              "-o", png, "--width", "640", "--height", "480"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QImage image(png);
    ASSERT_EQ(image.size(), QSize(640, 480));
    // The first series is drawn in its colour; the second panel in another.
    int firstColour = 0;
    int secondColour = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
            firstColour += pixel == 0x1f77b4;
            secondColour += pixel == 0xd62728;
        }
    }
    EXPECT_GT(firstColour, 50);
    EXPECT_GT(secondColour, 50);
    for (const auto& [suffix, start] : {std::pair{"svg", "<?xml"}, std::pair{"pdf", "%PDF"}}) {
        const QString path = Path(QStringLiteral("plot.") + suffix);
        run = RunArchive(
            {"plot", "temperature_plus_x_panel_c", "--archive", ArchivePath(), "-o", path});
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(testing::ReadBytes(path).startsWith(start)) << suffix;
    }
}

struct Refusal {
    QStringList arguments;
    int status;
    const char* message;
};

TEST_F(ArchiveProcessTest, RefusesWhatItCannotDoWithOneLineAndTheRightStatus) {
    testing::WriteBytes(Path("text.txt"), "not an archive\n");
    const QString a = ArchivePath();
    const std::vector<Refusal> refusals = {
        {{}, 2, "no command given"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"import", "--archive", a}, 2, "import needs at least one log"},
        {{"export", "--format", "xml", "--archive", a}, 2, "unknown format 'xml'"},
        {{"export", "--from", "2024-13-01", "--archive", a}, 2, "malformed or non-existent --from"},
        {{"plot", "rssi_dbu", "--archive", a}, 2, "plot needs -o FILE.png"},
        {{"plot", "rssi_dbu", "-o", "x.gif", "--archive", a}, 2, "plot needs -o FILE.png"},
        {{"plot", "url", "-o", Path("x.png"), "--archive", a}, 2, "'url' is not a field"},
        {{"stats", "extra", "--archive", a}, 2, "unexpected argument 'extra'"},
        {{"export", "--bogus"}, 2, "Unknown option 'bogus'"},
        {{"import", "--archive", a, Path("missing.log")}, 2, "cannot open"},
        {{"export", "--archive", Path("none.sqlite")}, 1, "there is no archive at"},
        {{"import", "--archive", Path("text.txt"), Path("text.txt")},
         1,
         "is not a Telvane archive"},
        {{"stats", "--archive", Path("text.txt")}, 1, "is not a Telvane archive"},
    };
    for (const Refusal& refusal : refusals) {
        const Outcome run = RunArchive(refusal.arguments);
        const std::string label = refusal.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, refusal.status) << label;
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("telvane-archive: "))) << label;
        EXPECT_EQ(run.err.count(u'\n'), 1) << label << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(refusal.message)))
            << label << ": " << run.err.toStdString();
    }
    EXPECT_EQ(testing::ReadBytes(Path("text.txt")), "not an archive\n");
}

}  // namespace
}  // namespace telvane::archive
