#pragma once

#include <QLineEdit>

namespace telvane {

// A beacon line box. A paste of several lines is handed to the dialog, which spreads the lines
// over the boxes; anything else behaves as in any line edit.
class BeaconLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit BeaconLineEdit(QWidget* parent = nullptr);

signals:
    void multiLinePasted(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Passes `text` on when it holds more than one line; false leaves it to the usual paste.
    bool TakeMultiLine(const QString& text);
};

// The lines of pasted text, without their line ends; a final line end starts no new line.
QStringList PastedLines(const QString& text);

}  // namespace telvane
