// The dialog program driven as an operator would: typing, buttons, keys and the save step.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>

#include "about_dlg.h"
#include "beacon_line_edit.h"
#include "converter_app.h"
#include "converter_dlg.h"
#include "cp932.h"
#include "dialog_fixture.h"
#include "private_home.h"

using namespace telvane;
using namespace telvane::testing;

namespace {

// Runs `action`, which is expected to open a modal box, closes whatever modal box opens and
// tells whether it was the About box.
bool OpensAboutBox(const std::function<void()>& action) {
    bool sawAbout = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            sawAbout = qobject_cast<CAboutDlg*>(modal) != nullptr;
            modal->close();
        }
    });
    action();
    QCoreApplication::processEvents();
    return sawAbout;
}

}  // namespace

class ConverterDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CConverterDlg> MakeDialog(std::deque<LocalTime> readings = {kConvertedAt}) {
        auto dialog = std::make_unique<CConverterDlg>(nullptr, std::make_unique<FakePrompts>(m_log),
                                                      std::make_unique<FakeClock>(readings));
        dialog->show();
        dialog->activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(dialog.get())); }();
        return dialog;
    }

    // Clicks into each box in turn and types its line.
    void TypeBeacon(CConverterDlg& dialog, const QStringList& lines) {
        for (int k = 0; k < lines.size(); ++k) {
            TypeInto(dialog.LineBox(k), lines[k]);
        }
    }

    static void TypeInto(QLineEdit* box, const QString& text) {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClicks(box, text);
    }

    PromptLog m_log;
    QTemporaryDir m_dir;
    QTemporaryDir m_home;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }
    void init() { m_log = PromptLog{}; }

    void convertSavesTheReportBytesExactly() {
        auto dialog = MakeDialog();
        const QStringList typed = {"zk1 ab cd/ef", "ZK2 01 23 45",    "zk3 25 38 02 00",
                                   "ZK4 37 A0 8C", "ZK5 4 3 2 1 0 5", "ZK6 8899AABB 5C"};
        TypeBeacon(*dialog, typed);
        m_log.answer = m_dir.filePath("report.txt");
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);

        QCOMPARE(m_log.informed,
                 QStringList{"FINISH|Finished the conversion.\n"
                             "Please designate the file name to save the results."});
        QCOMPARE(m_log.proposedNames, QStringList{"ORBEL_CW_240305_0907.txt"});
        QVERIFY(m_log.errors.isEmpty());
        std::array<std::string, kLineCount> lines;
        for (int k = 0; k < kLineCount; ++k) {
            lines[k] = typed[k].toStdString();
        }
        QCOMPARE(ReadAll(*m_log.answer), Bytes(ConvertBeacon(lines, kConvertedAt)));
        for (int k = 0; k < kLineCount; ++k) {
            QCOMPARE(dialog->LineBox(k)->text(), typed[k]);  // boxes keep what was typed
        }
    }

    void defaultNameIsReadAfterTheFinishBox() {
        auto dialog = MakeDialog({{2024, 12, 31, 23, 59, 50}, {2025, 1, 1, 0, 0, 5}});
        m_log.answer = m_dir.filePath("midnight.txt");
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QCOMPARE(m_log.proposedNames, QStringList{"ORBEL_CW_250101_0000.txt"});
        QVERIFY(ReadAll(*m_log.answer).contains("2024/12/31 23:59:50\r\n"));
    }

    void sixEmptyBoxesAreStillSavedInFull() {
        auto dialog = MakeDialog();
        m_log.answer = m_dir.filePath("empty.txt");
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QCOMPARE(ReadAll(*m_log.answer), Bytes(ConvertBeacon({}, kConvertedAt)));
    }

    void cancelWritesNothingAndKeepsTheReport() {
        auto dialog = MakeDialog();
        TypeInto(dialog->LineBox(1), "1A2B3C");
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QCOMPARE(m_log.proposedNames.size(), 1);
        QVERIFY(QDir(m_dir.path()).entryList(QDir::Files).filter("ORBEL").isEmpty());
        QVERIFY(dialog->State().m_strResult.find("1715004") != std::string::npos);
    }

    void replacingAnExistingFileReplacesItWhole() {
        auto dialog = MakeDialog();
        m_log.answer = m_dir.filePath("existing.txt");
        WriteAll(*m_log.answer, QByteArray(100000, 'x'));
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QCOMPARE(ReadAll(*m_log.answer), Bytes(dialog->State().m_strResult));
    }

    void unopenablePathIsReported() {
        auto dialog = MakeDialog();
        m_log.answer = m_dir.filePath("no/such/folder/report.txt");
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QCOMPARE(m_log.errors, QStringList{"ERROR|Cannot open the designated file!"});
        QVERIFY(!QFile::exists(*m_log.answer));
        QVERIFY(!dialog->State().m_strResult.empty());
    }

    void folderChosenAsFileIsReported() {
        auto dialog = MakeDialog();
        m_log.answer = m_dir.path();
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QCOMPARE(m_log.errors, QStringList{"ERROR|Cannot open the designated file!"});
        QVERIFY(QFileInfo(m_dir.path()).isDir());
    }

    void fileReplacedWhileTheSaveDialogIsOpenIsReplacedWhole() {
        auto dialog = MakeDialog();
        m_log.answer = m_dir.filePath("moving.txt");
        WriteAll(*m_log.answer, "first version");
        m_log.whileAsking = [this] {
            QFile::remove(*m_log.answer);
            WriteAll(*m_log.answer, QByteArray(50000, 'n'));  // another program's new file
        };
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QVERIFY(m_log.errors.isEmpty());
        QCOMPARE(ReadAll(*m_log.answer), Bytes(dialog->State().m_strResult));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter("moving").size(), 1);
    }

    void writeFailureIsReportedAndLeavesTheOldFileIntact() {
        auto dialog = MakeDialog();
        m_log.answer = m_dir.filePath("precious.txt");
        WriteAll(*m_log.answer, "an earlier report");
        // Any file may grow to 100 bytes at most from here: the report cannot be written.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tiny = saved;
        tiny.rlim_cur = 100;
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &tiny);
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        setrlimit(RLIMIT_FSIZE, &saved);

        QCOMPARE(m_log.errors.size(), 1);
        QVERIFY(m_log.errors[0].startsWith("ERROR|Cannot write the designated file!"));
        QCOMPARE(ReadAll(*m_log.answer), QByteArray("an earlier report"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter("precious").size(), 1);
    }

    void clearEmptiesBoxesAndReport() {
        auto dialog = MakeDialog();
        TypeBeacon(*dialog, {"zk1 a", "zk2 1", "zk3 ff ff", "zk4 10", "zk5 1", "zk6 1"});
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QVERIFY(dialog->State().m_bTrickle);
        QTest::mouseClick(Button(*dialog, "C&lear"), Qt::LeftButton);
        for (int k = 0; k < kLineCount; ++k) {
            QVERIFY(dialog->LineBox(k)->text().isEmpty());
        }
        QVERIFY(dialog->State().m_strResult.empty());
        QVERIFY(!dialog->State().m_bTrickle);
        QVERIFY(m_log.errors.isEmpty());
    }

    void startsOnExitAndTabsInTemplateOrder() {
        auto dialog = MakeDialog();
        QWidget* exitButton = Button(*dialog, "&Exit");
        QCOMPARE(QApplication::focusWidget(), exitButton);

        QList<QWidget*> expected;
        for (int k = 0; k < kLineCount; ++k) {
            expected << dialog->LineBox(k);
        }
        expected << Button(*dialog, "&Convert") << Button(*dialog, "C&lear") << exitButton;
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void enterInABoxConverts() {
        auto dialog = MakeDialog();
        TypeInto(dialog->LineBox(2), "ZK3 0080");
        QTest::keyClick(dialog->LineBox(2), Qt::Key_Return);
        QCOMPARE(m_log.informed.size(), 1);
        QVERIFY(dialog->State().m_strResult.find("Trickle Charge") != std::string::npos);
    }

    void exitEscapeAndCloseEndTheDialog() {
        const std::function<void(CConverterDlg&)> ways[] = {
            [](CConverterDlg& d) { QTest::mouseClick(Button(d, "&Exit"), Qt::LeftButton); },
            [](CConverterDlg&) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::AltModifier);
            },
            [](CConverterDlg& d) { QTest::keyClick(d.LineBox(0), Qt::Key_Escape); },
            [](CConverterDlg& d) { d.OnSysCommand(0xF060); },
            [](CConverterDlg& d) { d.OnSysCommand(0xF06B); },  // Close, low bits set
        };
        for (std::size_t i = 0; i < std::size(ways); ++i) {
            auto dialog = MakeDialog();
            QVERIFY(dialog->isVisible());
            ways[i](*dialog);
            // Access keys press their button the way a click would, after a moment.
            QTRY_VERIFY2(!dialog->isVisible(), qPrintable(QString("way %1").arg(i)));
        }
        QVERIFY(m_log.informed.isEmpty());  // nothing is converted or saved on the way out
    }

    void accessKeysConvertAndClear() {
        auto dialog = MakeDialog();
        TypeInto(dialog->LineBox(0), "abc");
        QTest::keyClick(dialog->LineBox(0), Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(m_log.informed.size(), 1);
        QTest::keyClick(dialog->LineBox(0), Qt::Key_L, Qt::AltModifier);
        QTRY_VERIFY(dialog->LineBox(0)->text().isEmpty());
    }

    void systemCommandMaskOpensAboutOnlyForItsCommands() {
        auto dialog = MakeDialog();
        for (unsigned id = 0x0010; id <= 0x001F; ++id) {
            QVERIFY2(OpensAboutBox([&] { dialog->OnSysCommand(id); }),
                     qPrintable(QString::number(id, 16)));
        }
        for (unsigned id : {0x0000u, 0x000Fu, 0x0020u, 0x0110u, 0xF010u, 0xF020u}) {
            QVERIFY(!OpensAboutBox([&] { dialog->OnSysCommand(id); }));
            QVERIFY(dialog->isVisible());
        }
    }

    void systemMenuHoldsCloseRecordingHistoryListenAndAbout() {
        auto dialog = MakeDialog();
        const QList<QAction*> items = dialog->SystemMenu()->actions();
        QCOMPARE(items.size(), 6);
        QCOMPARE(items[0]->text(), QString("&Close"));
        QCOMPARE(items[1]->text(), QString("&Open Recording\u2026"));
        QCOMPARE(items[1]->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(items[2]->text(), QString("&History\u2026"));
        QCOMPARE(items[2]->shortcut(), QKeySequence("Ctrl+H"));
        QCOMPARE(items[3]->text(), QString("&Listen\u2026"));
        QCOMPARE(items[3]->shortcut(), QKeySequence("Ctrl+L"));
        QVERIFY(items[4]->isSeparator());
        QCOMPARE(items[5]->text(), QString("&About Telvane..."));
        QVERIFY(OpensAboutBox([&] { items[5]->trigger(); }));
        items[0]->trigger();
        QVERIFY(!dialog->isVisible());
    }

    void aboutBoxShowsVersionAndEndsOnOk() {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QString("About Telvane"));
        QStringList texts;
        for (auto* label : about.findChildren<QLabel*>()) {
            texts << label->text();
        }
        QVERIFY(texts.contains("Telvane Version 1.0"));
        about.show();
        QTest::mouseClick(Button(about, "OK"), Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void japaneseTextReachesTheReportAsCodePage932() {
        auto dialog = MakeDialog();
        // Japanese is typed through an input method, which commits whole characters.
        TypeInto(dialog->LineBox(0), "zk1 ");
        QInputMethodEvent typed;
        typed.setCommitString(QString::fromUtf8("日本.é"));
        QApplication::sendEvent(dialog->LineBox(0), &typed);
        m_log.answer = m_dir.filePath("japanese.txt");
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        const QByteArray saved = ReadAll(*m_log.answer);
        QVERIFY(saved.contains("ZK1\t \x93\xFA\x96\x7B.?\r\n"));
        QVERIFY(saved.contains("http://\x93\xFA\x96\x7B.?  (Does"));
        QCOMPARE(dialog->LineBox(0)->text(), QString::fromUtf8("zk1 日本.é"));
    }

    void mainDialogLooksAsDesigned() {
        auto dialog = MakeDialog();
        QCOMPARE(dialog->windowTitle(), QString("Telvane"));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QTest::mouseClick(dialog->LineBox(3), Qt::LeftButton);
        QVERIFY(Button(*dialog, "&Convert")->isDefault());  // Enter in a box converts
        QStringList texts;
        for (auto* label : dialog->findChildren<QLabel*>()) {
            texts << label->text();
        }
        for (const char* text : {"ZK1", "ZK6", "Header          Received Data"}) {
            QVERIFY2(texts.contains(text), text);
        }
        // Rows keep the template's spacing: 22 units apart, 21 between lines 4 and 5.
        const int step = dialog->LineBox(1)->y() - dialog->LineBox(0)->y();
        QVERIFY(step > 0);
        QVERIFY(dialog->LineBox(4)->y() - dialog->LineBox(3)->y() <= step);
        QVERIFY(!dialog->windowIcon().isNull());
    }

    void pastingABeaconFillsTheBoxesByHeader() {
        auto dialog = MakeDialog();
        TypeInto(dialog->LineBox(5), "kept");
        QGuiApplication::clipboard()->setText(
            "zk2 01 23 45\r\n\r\n  ZK3 25 38 02 00\r\n37 A0 8C\r\nZK1 AB CD/EF\r\n");
        QTest::mouseClick(dialog->LineBox(3), Qt::LeftButton);
        QTest::keySequence(dialog->LineBox(3), QKeySequence::Paste);
        const QStringList expected = {
            "ZK1 AB CD/EF", "zk2 01 23 45", "  ZK3 25 38 02 00", "37 A0 8C", "", "kept"};
        for (int k = 0; k < kLineCount; ++k) {
            QCOMPARE(dialog->LineBox(k)->text(), expected[k]);
        }
    }

    void pastingOneLineBehavesAsUsual() {
        auto dialog = MakeDialog();
        TypeInto(dialog->LineBox(1), "ZK2 ");
        QGuiApplication::clipboard()->setText("ZK4 01 23");
        QTest::keySequence(dialog->LineBox(1), QKeySequence::Paste);
        QCOMPARE(dialog->LineBox(1)->text(), QString("ZK2 ZK4 01 23"));
        QVERIFY(dialog->LineBox(3)->text().isEmpty());
    }

    void misheardCharactersAreMarkedWhileTyping() {
        auto dialog = MakeDialog();
        BeaconLineEdit* box = dialog->LineBox(3);
        TypeInto(box, "ZK4 9G");
        QCOMPARE(box->toolTip(), QString("'G' at position 6 is not a hexadecimal digit: the "
                                         "battery voltage will read as 0"));
        QVERIFY(!box->styleSheet().isEmpty());
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, "F 80 90");
        QVERIFY(box->toolTip().isEmpty());
        QVERIFY(box->styleSheet().isEmpty());

        TypeInto(dialog->LineBox(1), "ZK3 00 11 22 33");
        QCOMPARE(dialog->LineBox(1)->toolTip().count('\n'), 1);  // the header and one extra
        QVERIFY(dialog->LineBox(1)->toolTip().startsWith("'ZK3' at position 1 is the header"));

        m_log.answer = m_dir.filePath("marked.txt");  // marks never stop a conversion
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QVERIFY(ReadAll(*m_log.answer).contains("ZK2\tZK3 00 11 22 33\r\n"));
    }

    void saveFailuresGiveTheSystemsReason() {
        const QString folderFile = m_dir.filePath("missing/report.txt");
        const QString readOnly = m_dir.filePath("read-only.txt");
        WriteAll(readOnly, "kept");
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        const struct {
            QString path;
            QString reason;
        } cases[] = {
            {folderFile, "No such file or directory"},
            {readOnly, "Permission denied"},  // not replaced, even by root
        };
        for (const auto& c : cases) {
            m_log = PromptLog{};
            auto dialog = MakeDialog();
            m_log.answer = c.path;
            QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
            QCOMPARE(m_log.errors, QStringList{"ERROR|Cannot open the designated file!"});
            QCOMPARE(m_log.reasons, QStringList{c.reason});
        }
        QCOMPARE(ReadAll(readOnly), QByteArray("kept"));
    }

    void savingOntoADeviceWritesItNeverReplacesIt() {
        auto dialog = MakeDialog();
        m_log.answer = QStringLiteral("/dev/zero");
        QTest::mouseClick(Button(*dialog, "&Convert"), Qt::LeftButton);
        QVERIFY(m_log.errors.isEmpty());
        struct stat status {};
        QCOMPARE(stat("/dev/zero", &status), 0);
        QVERIFY(S_ISCHR(status.st_mode));
    }

    void allFilesListsEveryFileAndKeepsTheTypedName() {
        WriteAll(m_dir.filePath("README"), "no extension");
        WriteAll(m_dir.filePath("old.txt"), "a report");
        const std::unique_ptr<QFileDialog> save = MakeSaveDialog(nullptr, "ORBEL_CW_240305_0907");
        save->setOption(QFileDialog::DontUseNativeDialog);
        save->setDirectory(m_dir.path());
        save->show();
        auto* types = save->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* name = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* files = save->findChild<QListView*>(QStringLiteral("listView"));
        QVERIFY(types && name && files);
        const auto listed = [files] {
            QStringList names;
            for (int row = 0; row < files->model()->rowCount(files->rootIndex()); ++row) {
                names << files->model()->index(row, 0, files->rootIndex()).data().toString();
            }
            return names;
        };
        QCOMPARE(types->currentText(), QStringLiteral("Text Files (*.txt)"));
        QTRY_VERIFY(listed().contains("old.txt"));
        QVERIFY(!listed().contains("README"));
        name->setText(QStringLiteral("pass of 5 March"));
        types->setCurrentIndex(1);
        emit types->activated(1);
        QCOMPARE(name->text(), QStringLiteral("pass of 5 March"));
        QTRY_VERIFY(listed().contains("README"));
    }

    void withoutTheCodePageConverterTheProgramSaysSoAndStops() {
        FakePrompts prompts(m_log);
        QVERIFY(CodePageReady(prompts, [] { return true; }));
        QVERIFY(m_log.errors.isEmpty());
        QVERIFY(!CodePageReady(prompts, [] { return false; }));
        QCOMPARE(m_log.errors.size(), 1);
        QVERIFY(m_log.errors[0].contains("code page 932"));
    }
};

QTEST_MAIN(ConverterDlgTest)
#include "converter_dlg_test.moc"
