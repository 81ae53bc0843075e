// What reaches the boxes, however the operator puts it there: pastes, drops and typing.

#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QtTest>

#include "beacon_line_edit.h"
#include "converter_dlg.h"
#include "dialog_fixture.h"
#include "private_home.h"

using namespace telvane;
using namespace telvane::testing;

namespace {

// Counts the style changes a widget goes through.
class StyleChanges : public QObject {
public:
    explicit StyleChanges(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::StyleChange ? 1 : 0;
        return false;
    }
};

// A drag that enters the box and drops `text` near its right end.
void Drop(QWidget* box, const QString& text) {
    QMimeData data;
    data.setText(text);
    const QPoint at(box->width() - 2, box->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &drop);
}

// Pastes through the box's own context menu.
void PasteFromMenu(QWidget* box) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), box->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(box, &event);
    QMenu* menu = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* candidate = qobject_cast<QMenu*>(top); candidate && candidate->isVisible()) {
            menu = candidate;
        }
    }
    QVERIFY(menu != nullptr);
    QAction* paste = nullptr;
    for (QAction* action : menu->actions()) {
        paste = action->text().startsWith(QStringLiteral("&Paste")) ? action : paste;
    }
    QVERIFY(paste != nullptr);
    paste->trigger();
    menu->close();
}

}  // namespace

class OperatorInputTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CConverterDlg> MakeDialog() { return telvane::testing::MakeDialog(m_log); }

    PromptLog m_log;
    QTemporaryDir m_home;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }
    void init() { m_log = PromptLog{}; }

    void aSingleLinePastedOrDroppedKeepsNoLineEnd() {
        const std::function<void(BeaconLineEdit*, const QString&)> routes[] = {
            [](BeaconLineEdit* box, const QString& text) {
                QGuiApplication::clipboard()->setText(text);
                QTest::keySequence(box, QKeySequence::Paste);
            },
            [](BeaconLineEdit* box, const QString& text) {
                QGuiApplication::clipboard()->setText(text);
                PasteFromMenu(box);
            },
            [](BeaconLineEdit* box, const QString& text) { Drop(box, text); },
        };
        for (const QString& end :
             {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")}) {
            for (std::size_t route = 0; route < std::size(routes); ++route) {
                auto dialog = MakeDialog();
                BeaconLineEdit* box = dialog->LineBox(3);
                routes[route](box, QStringLiteral("ZK4 37 A0 8") + end);
                QCOMPARE(box->text(), QStringLiteral("ZK4 37 A0 8"));
                QVERIFY2(m_log.informed.isEmpty(), qPrintable(QString::number(route)));
            }
        }
        // Converted, the line reads as typed: no line break reaches the report.
        auto dialog = MakeDialog();
        QGuiApplication::clipboard()->setText(QStringLiteral("ZK4 37 A0 8\n"));
        QTest::keySequence(dialog->LineBox(3), QKeySequence::Paste);
        dialog->OnConvert();
        QVERIFY(dialog->State().m_strResult.find("ZK4\t 37 A0 8\r\n") != std::string::npos);
        QVERIFY(dialog->State().m_strResult.find("Battery temperature\t\t13.7") !=
                std::string::npos);
    }

    void pastedTextEndsAtANul() {
        auto dialog = MakeDialog();
        QGuiApplication::clipboard()->setText(QStringLiteral("ZK4 37") + QChar(u'\0') +
                                              QStringLiteral("\nZK5 1 2"));
        QTest::keySequence(dialog->LineBox(3), QKeySequence::Paste);
        QCOMPARE(dialog->LineBox(3)->text(), QStringLiteral("ZK4 37"));
        QVERIFY(dialog->LineBox(4)->text().isEmpty());
    }

    void aDroppedBeaconIsSpreadOverTheBoxes() {
        auto dialog = MakeDialog();
        Drop(dialog->LineBox(4), QStringLiteral("ZK1 AB CD/EF\r\nZK2 01 23 45\r\n"));
        QCOMPARE(dialog->LineBox(0)->text(), QStringLiteral("ZK1 AB CD/EF"));
        QCOMPARE(dialog->LineBox(1)->text(), QStringLiteral("ZK2 01 23 45"));
        QVERIFY(dialog->LineBox(4)->text().isEmpty());
    }

    void linesThatCannotBePlacedAreCountedAndTold() {
        const struct {
            QString pasted;
            int box;
            QStringList boxes;
            QString told;  // empty: nothing to tell
        } cases[] = {
            {"1\n2\n3\n4\n5\n6\n7\n8\n",
             2,
             {"", "", "1", "2", "3", "4"},
             "4 pasted lines were not placed"},
            {"ZK1 A\nZK2 01\nZK6 1\nZK1 B\nZK2 02\n",
             0,
             {"ZK1 A", "ZK2 01", "", "", "", "ZK6 1"},
             "2 pasted lines were not placed"},
            {"ZK5 1\nZK6 2\nextra\n\n",
             0,
             {"", "", "", "", "ZK5 1", "ZK6 2"},
             "1 pasted line was not placed"},
            {"ZK2 01\nZK1 A\n", 3, {"ZK1 A", "ZK2 01", "", "", "", ""}, ""},
        };
        for (const auto& c : cases) {
            m_log = PromptLog{};
            auto dialog = MakeDialog();
            QGuiApplication::clipboard()->setText(c.pasted);
            QTest::keySequence(dialog->LineBox(c.box), QKeySequence::Paste);
            for (int k = 0; k < kLineCount; ++k) {
                QCOMPARE(dialog->LineBox(k)->text(), c.boxes[k]);
            }
            if (c.told.isEmpty()) {
                QVERIFY(m_log.informed.isEmpty());
            } else {
                QCOMPARE(m_log.informed.size(), 1);
                QVERIFY2(m_log.informed[0].startsWith("Paste|" + c.told), qPrintable(c.told));
                QVERIFY(m_log.informed[0].contains("telvane-convert --batch"));
            }
        }
    }

    void aLineLongerThanABoxHoldsIsCutAndTold() {
        const QString line = QStringLiteral("ZK1 ") + QString(40000, u'A');
        for (const QString& pasted : {line, line + QStringLiteral("\nZK2 01")}) {
            m_log = PromptLog{};
            auto dialog = MakeDialog();
            QGuiApplication::clipboard()->setText(pasted);
            QTest::keySequence(dialog->LineBox(0), QKeySequence::Paste);
            QCOMPARE(dialog->LineBox(0)->text(), line.left(BeaconLineEdit::kMaxCharacters));
            QCOMPARE(m_log.informed.size(), 1);
            QVERIFY(m_log.informed[0].startsWith("Paste|A pasted line is longer than a box"));
        }
    }

    void aKeystrokeThatChangesNoMarkLeavesTheStyleAlone() {
        auto dialog = MakeDialog();
        BeaconLineEdit* box = dialog->LineBox(3);
        box->setText(QStringLiteral("ZK4 9G 80 90") + QString(1 << 20, u'7'));
        const QString marks = box->toolTip();
        QVERIFY(marks.contains("battery voltage"));
        const StyleChanges changes(box);
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClicks(box, "12");
        QCOMPARE(box->toolTip(), marks);
        QCOMPARE(changes.count, 0);
    }
};

QTEST_MAIN(OperatorInputTest)
#include "operator_input_test.moc"
