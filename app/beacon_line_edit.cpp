#include "beacon_line_edit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>

namespace telvane {

namespace {

// The Paste item of the toolkit's standard menu. This toolkit version names it only by its text,
// looked up in the same translation the toolkit uses.
QAction* PasteAction(const QMenu& menu) {
    const QString text = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction* action : menu.actions()) {
        if (action->objectName() == QStringLiteral("edit-paste") ||
            action->text().section(u'\t', 0, 0) == text) {
            return action;
        }
    }
    return nullptr;
}

// A dropped file is a recording for the window to open, not text for the box.
bool CarriesFiles(const QMimeData* mime) {
    return mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().constFirst().isLocalFile();
}

}  // namespace

QStringList PastedLines(const QString& text) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.left(text.indexOf(QChar(u'\0'))).split(lineEnd);
    if (lines.size() > 1 && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

BeaconLineEdit::BeaconLineEdit(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(kMaxCharacters);
}

void BeaconLineEdit::CheckFits(const QString& line) {
    if (text().size() - selectedText().size() + line.size() > maxLength()) {
        emit pastedLineCut();
    }
}

void BeaconLineEdit::InsertPasted(const QString& text) {
    const QStringList lines = PastedLines(text);
    if (lines.size() > 1) {
        emit multiLinePasted(text);
    } else {
        CheckFits(lines.constFirst());
        insert(lines.constFirst());
    }
}

void BeaconLineEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) && !isReadOnly()) {
        InsertPasted(QGuiApplication::clipboard()->text());
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void BeaconLineEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (QAction* paste = PasteAction(*menu)) {
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this,
                [this] { InsertPasted(QGuiApplication::clipboard()->text()); });
    }
    menu->popup(event->globalPos());
}

void BeaconLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !isReadOnly()) {
        deselect();
        InsertPasted(clipboard->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void BeaconLineEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (CarriesFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void BeaconLineEdit::dropEvent(QDropEvent* event) {
    if (CarriesFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    if (!event->mimeData()->hasText() || isReadOnly()) {
        QLineEdit::dropEvent(event);
        return;
    }
    const QStringList lines = PastedLines(event->mimeData()->text());
    if (lines.size() > 1) {
        emit multiLinePasted(event->mimeData()->text());
        event->acceptProposedAction();
        return;
    }
    // The toolkit places the text where it was dropped: hand it the one line, line end removed.
    CheckFits(lines.constFirst());
    QMimeData line;
    line.setText(lines.constFirst());
    QDropEvent cleaned(event->position(), event->possibleActions(), &line, event->buttons(),
                       event->modifiers(), event->type());
    cleaned.setDropAction(event->dropAction());
    QLineEdit::dropEvent(&cleaned);
    event->setDropAction(cleaned.dropAction());
    event->setAccepted(cleaned.isAccepted());
}

}  // namespace telvane
