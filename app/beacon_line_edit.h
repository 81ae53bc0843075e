#pragma once

#include <QLineEdit>

namespace telvane {

// A beacon line box. Every way of pasting (Ctrl+V, the context menu, middle-click, drag and drop)
// goes through one place: the text ends at a NUL, as clipboard text does; a paste of several lines
// is handed to the dialog, which spreads the lines over the boxes; a single line is inserted
// without its line end, so that a box never holds a line break.
class BeaconLineEdit : public QLineEdit {
    Q_OBJECT

public:
    // What a box holds at most, as the classic single-line edit box: far beyond any beacon line,
    // and short enough for the toolkit to lay the line out again at every keystroke in a blink
    // (its cost grows with the line).
    static constexpr int kMaxCharacters = 32767;

    explicit BeaconLineEdit(QWidget* parent = nullptr);

signals:
    void multiLinePasted(const QString& text);
    void pastedLineCut();  // a pasted line was longer than the box could take

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void InsertPasted(const QString& text);
    // Tells when `line`, inserted in place of the selection, will not fit.
    void CheckFits(const QString& line);
};

// The lines of pasted text, without their line ends (LF, CR LF or CR); the text ends at a NUL
// and a final line end starts no new line.
QStringList PastedLines(const QString& text);

}  // namespace telvane
