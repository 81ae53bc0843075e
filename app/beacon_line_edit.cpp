#include "beacon_line_edit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <limits>

namespace telvane {

QStringList PastedLines(const QString& text) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(lineEnd);
    if (lines.size() > 1 && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

BeaconLineEdit::BeaconLineEdit(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(std::numeric_limits<int>::max());  // no limit of the program's own
}

bool BeaconLineEdit::TakeMultiLine(const QString& text) {
    if (PastedLines(text).size() < 2) {
        return false;
    }
    emit multiLinePasted(text);
    return true;
}

void BeaconLineEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) &&
        TakeMultiLine(QGuiApplication::clipboard()->text())) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void BeaconLineEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, [this] {
            if (!TakeMultiLine(QGuiApplication::clipboard()->text())) {
                this->paste();
            }
        });
    }
    menu->popup(event->globalPos());
}

void BeaconLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() &&
        TakeMultiLine(clipboard->text(QClipboard::Selection))) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

}  // namespace telvane
