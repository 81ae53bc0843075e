#include "save_environment.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace telvane {
namespace {

class DialogPrompts final : public SavePrompts {
public:
    void Inform(QWidget* owner, const QString& caption, const QString& text) override {
        QMessageBox::information(owner, caption, text);
    }

    void ReportError(QWidget* owner, const QString& caption, const QString& text,
                     const QString& reason) override {
        QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
        box.setInformativeText(reason);
        box.exec();
    }

    std::optional<QString> AskSavePath(QWidget* owner, const QString& defaultName) override {
        const std::unique_ptr<QFileDialog> dialog = MakeSaveDialog(owner, defaultName);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog->selectedFiles().constFirst();
    }

    std::optional<QString> AskRecordingPath(QWidget* owner) override {
        const QString path = QFileDialog::getOpenFileName(
            owner, QStringLiteral("Open Recording"), QString(),
            QStringLiteral("Recordings (*.wav *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.au "
                           "*.w64 *.caf);;All Files (*)"));
        return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
    }

    std::optional<int> PickBeacon(QWidget* owner, const QStringList& choices, int best) override {
        bool ok = false;
        const QString chosen = QInputDialog::getItem(
            owner, QStringLiteral("Open Recording"),
            QStringLiteral("The recording holds %1 beacons. Copy which one?").arg(choices.size()),
            choices, best, false, &ok);
        return ok ? std::optional<int>(static_cast<int>(choices.indexOf(chosen))) : std::nullopt;
    }
};

class SystemClock final : public Clock {
public:
    LocalTime Now() override { return CurrentLocalTime(); }
};

}  // namespace

std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* owner, const QString& defaultName) {
    auto dialog = std::make_unique<QFileDialog>(owner, QStringLiteral("Save Results"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);  // a new file name must be accepted
    // The toolkit takes the pattern literally, and "*.*" would hide files without a dot and give
    // the typed name a ".*" ending: every file matches "*".
    dialog->setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")});
    dialog->selectFile(defaultName);
    return dialog;
}

std::unique_ptr<SavePrompts> MakeDialogPrompts() {
    return std::make_unique<DialogPrompts>();
}

std::unique_ptr<Clock> MakeSystemClock() {
    return std::make_unique<SystemClock>();
}

}  // namespace telvane
