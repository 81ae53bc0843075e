#pragma once

// What the dialog's tests share: prompts that answer as told and log what they were shown, a
// clock that reads as told, and small file and widget helpers.

#include <QFile>
#include <QPushButton>
#include <QWidget>
#include <QtTest>
#include <deque>
#include <functional>
#include <map>
#include <optional>

#include "archive.h"
#include "beacon_line_edit.h"
#include "converter_dlg.h"
#include "save_environment.h"
#include "stored_records.h"

namespace telvane::testing {

struct PromptLog {
    QStringList informed;               // "caption|text"
    QStringList errors;                 // "caption|text"
    QStringList reasons;                // the system's words shown with each error
    QStringList proposedNames;          // default names offered by the Save dialog
    std::optional<QString> answer;      // what the Save dialog returns
    std::function<void()> whileAsking;  // what other programs do while the Save dialog is open
    std::optional<QString> recording;   // what the Open Recording dialog returns
    QStringList choices;                // the beacons offered by the last choice
    int best = -1;                      // the one preselected
    std::optional<int> picked;          // what the choice returns
};

class FakePrompts final : public SavePrompts {
public:
    explicit FakePrompts(PromptLog& log) : m_log(log) {}
    void Inform(QWidget*, const QString& caption, const QString& text) override {
        m_log.informed << caption + '|' + text;
    }
    void ReportError(QWidget*, const QString& caption, const QString& text,
                     const QString& reason) override {
        m_log.errors << caption + '|' + text;
        m_log.reasons << reason;
    }
    std::optional<QString> AskSavePath(QWidget*, const QString& defaultName) override {
        m_log.proposedNames << defaultName;
        if (m_log.whileAsking) {
            m_log.whileAsking();
        }
        return m_log.answer;
    }
    std::optional<QString> AskRecordingPath(QWidget*) override { return m_log.recording; }
    std::optional<int> PickBeacon(QWidget*, const QStringList& choices, int best) override {
        m_log.choices = choices;
        m_log.best = best;
        return m_log.picked;
    }

private:
    PromptLog& m_log;
};

// Hands out the queued readings in turn, then keeps repeating the last one.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::deque<LocalTime> readings) : m_readings(std::move(readings)) {}
    LocalTime Now() override {
        const LocalTime now = m_readings.front();
        if (m_readings.size() > 1) {
            m_readings.pop_front();
        }
        return now;
    }

private:
    std::deque<LocalTime> m_readings;
};

inline constexpr LocalTime kConvertedAt{2024, 3, 5, 9, 7, 0};

// The real dialog, shown, with prompts that answer from `log` and a clock fixed at kConvertedAt.
inline std::unique_ptr<CConverterDlg> MakeDialog(PromptLog& log) {
    auto dialog = std::make_unique<CConverterDlg>(
        nullptr, std::make_unique<FakePrompts>(log),
        std::make_unique<FakeClock>(std::deque<LocalTime>{kConvertedAt}));
    dialog->show();
    return dialog;
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// What the six boxes hold, and six lines as the boxes would hold them.
inline QStringList Boxes(const CConverterDlg& dialog) {
    QStringList texts;
    for (int k = 0; k < kLineCount; ++k) {
        texts << dialog.LineBox(k)->text();
    }
    return texts;
}

inline QStringList Lines(const std::array<std::string, kLineCount>& lines) {
    QStringList texts;
    for (const std::string& line : lines) {
        texts << QString::fromStdString(line);
    }
    return texts;
}

// The one beacon in the default archive, its fields by name; Error() says why there is none.
class StoredBeacon {
public:
    StoredBeacon() {
        const auto stored =
            archive::Archive::Open(archive::DefaultArchivePath(), archive::Access::kRead, m_error);
        if (!stored) {
            return;
        }
        archive::StoredRecordReader reader(*stored, {});
        if (!reader.Next(m_batch, 10) || m_batch.Rows() != 1) {
            m_error = QStringLiteral("%1 beacons in the archive").arg(m_batch.Rows());
            return;
        }
        m_batch.Visit(0, [this](std::string_view name, const FieldValue& value) {
            m_fields[std::string(name)] = value;
        });
    }
    const QString& Error() const { return m_error; }
    const FieldValue& operator[](const std::string& name) { return m_fields[name]; }

private:
    archive::StoredBatch m_batch;  // holds the text the fields point into
    std::map<std::string, FieldValue> m_fields;
    QString m_error;
};

inline QPushButton* Button(QWidget& dialog, const QString& text) {
    for (auto* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

}  // namespace telvane::testing
