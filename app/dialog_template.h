#pragma once

// Dialogs described as data: each control with its kind, identifier, text and rectangle in
// dialog units, in template order, which is also the tab order.

#include <QHash>
#include <span>

class QDialog;
class QWidget;

namespace telvane {

enum class ControlKind {
    kPushButton,
    kDefaultButton,
    kText,         // left-aligned static text, word-wrapped
    kHeaderLabel,  // a line label: centred in a sunken frame
    kEdit,         // single-line edit box without length limit
    kPicture,      // a picture that takes its own size; the text names the image resource
};

struct ControlTemplate {
    ControlKind kind;
    int id;  // 0 for controls the program never addresses
    const char* text;
    int x, y, width, height;  // dialog units
};

struct DialogTemplate {
    const char* caption;
    int width, height;  // dialog units
    std::span<const ControlTemplate> controls;
};

// The main dialog (IDD_MAIN_DIALOG) and the About box (IDD_ABOUTBOX).
extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kAboutDialogTemplate;

// Gives `dialog` its caption, fixed size and controls, converting dialog units through the
// dialog font's metrics. Returns the controls that have an identifier, by identifier.
QHash<int, QWidget*> BuildDialog(QDialog& dialog, const DialogTemplate& layout);

}  // namespace telvane
