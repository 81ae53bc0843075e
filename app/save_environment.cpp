#include "save_environment.h"

#include <QFileDialog>
#include <QMessageBox>

namespace telvane {
namespace {

class DialogPrompts final : public SavePrompts {
public:
    void Inform(QWidget* owner, const QString& caption, const QString& text) override {
        QMessageBox::information(owner, caption, text);
    }

    void ReportError(QWidget* owner, const QString& caption, const QString& text) override {
        QMessageBox::critical(owner, caption, text);
    }

    std::optional<QString> AskSavePath(QWidget* owner, const QString& defaultName) override {
        QFileDialog dialog(owner, QStringLiteral("Save Results"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);  // a new file name must be accepted
        dialog.setNameFilters(
            {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")});
        dialog.selectFile(defaultName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().constFirst();
    }
};

class SystemClock final : public Clock {
public:
    LocalTime Now() override { return CurrentLocalTime(); }
};

}  // namespace

std::unique_ptr<SavePrompts> MakeDialogPrompts() {
    return std::make_unique<DialogPrompts>();
}

std::unique_ptr<Clock> MakeSystemClock() {
    return std::make_unique<SystemClock>();
}

}  // namespace telvane
