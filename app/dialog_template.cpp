#include "dialog_template.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <cmath>

#include "beacon_line_edit.h"
#include "resource_ids.h"

namespace telvane {
namespace {

constexpr const char* kIntroduction =
    "This software converts the ORBEL's CW data into the status information.\n"
    "Please fill the blank below with the data you received.";
constexpr const char* kRequest =
    "The data you received are very precious for us. Please send them to our laboratory.\n"
    "We are also waiting for your opinions or impressions.";
constexpr const char* kContactBlock =
    "VORTA Laboratory, Ulmstead Institute of Technology\n"
    "1-2-3 Observatory Road, Ulmstead 000-0000\n"
    "E-mail: orbel-k@vorta.example\n"
    "Web: http://www.vorta.example/";

constexpr std::array kMainControls = {
    ControlTemplate{ControlKind::kPushButton, IDOK, "&Exit", 260, 187, 63, 22},
    ControlTemplate{ControlKind::kText, 0, kIntroduction, 17, 10, 235, 20},
    ControlTemplate{ControlKind::kText, 0, kRequest, 17, 216, 297, 20},
    ControlTemplate{ControlKind::kText, 0, "Header          Received Data", 17, 39, 98, 9},
    ControlTemplate{ControlKind::kHeaderLabel, 0, "ZK1", 17, 50, 28, 15},
    ControlTemplate{ControlKind::kEdit, IDC_LINE1, "", 60, 50, 263, 15},
    ControlTemplate{ControlKind::kHeaderLabel, 0, "ZK2", 17, 72, 28, 15},
    ControlTemplate{ControlKind::kEdit, IDC_LINE1 + 1, "", 60, 72, 263, 15},
    ControlTemplate{ControlKind::kHeaderLabel, 0, "ZK3", 17, 94, 28, 15},
    ControlTemplate{ControlKind::kEdit, IDC_LINE1 + 2, "", 60, 94, 263, 15},
    ControlTemplate{ControlKind::kHeaderLabel, 0, "ZK4", 17, 116, 28, 15},
    ControlTemplate{ControlKind::kEdit, IDC_LINE1 + 3, "", 60, 116, 263, 15},
    ControlTemplate{ControlKind::kHeaderLabel, 0, "ZK5", 17, 137, 28, 15},
    ControlTemplate{ControlKind::kEdit, IDC_LINE1 + 4, "", 60, 137, 263, 15},
    ControlTemplate{ControlKind::kHeaderLabel, 0, "ZK6", 17, 159, 28, 15},
    ControlTemplate{ControlKind::kEdit, IDC_LINE1 + 5, "", 60, 159, 263, 15},
    ControlTemplate{ControlKind::kDefaultButton, IDC_CONVERT, "&Convert", 17, 187, 173, 22},
    ControlTemplate{ControlKind::kPushButton, IDC_CLEAR, "C&lear", 193, 187, 63, 22},
    ControlTemplate{ControlKind::kPicture, 0, kLogoResource, 260, 238, 15, 15},
    ControlTemplate{ControlKind::kText, 0, kContactBlock, 17, 238, 196, 61},
    ControlTemplate{ControlKind::kPicture, 0, kIconResource, 292, 11, 23, 23},
};

constexpr std::array kAboutControls = {
    ControlTemplate{ControlKind::kPicture, 0, kIconResource, 11, 17, 20, 20},
    ControlTemplate{ControlKind::kText, 0, "Telvane Version 1.0", 40, 10, 119, 8},
    ControlTemplate{ControlKind::kText, 0,
                    "Copyright (C) VORTA Laboratory\nfor the ORBEL-K ground stations", 40, 25, 119,
                    16},
    ControlTemplate{ControlKind::kDefaultButton, IDOK, "OK", 178, 7, 50, 14},
};

// Dialog base units: pixels per four horizontal and per eight vertical dialog units.
struct BaseUnits {
    double x;
    double y;
};

// Starts from the dialog font's average Latin letter width and line height. The template was
// drawn for a narrower font than most desktops have, so the horizontal unit grows where needed
// for every line of the template's own texts to fit its control, rather than being cut off.
BaseUnits BaseUnitsOf(const QFont& font, std::span<const ControlTemplate> controls) {
    const QFontMetricsF metrics(font);
    double x = metrics.horizontalAdvance(
                   QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
               52;
    for (const ControlTemplate& control : controls) {
        if (control.kind != ControlKind::kText) {
            continue;
        }
        for (const QString& line : QString::fromUtf8(control.text).split(u'\n')) {
            x = std::max(x, std::ceil(metrics.horizontalAdvance(line) + 1) * 4 / control.width);
        }
    }
    return {x, metrics.height()};
}

QRect ToPixels(const BaseUnits& units, int x, int y, int width, int height) {
    auto horizontal = [&](int dlu) { return static_cast<int>(std::lround(dlu * units.x / 4)); };
    auto vertical = [&](int dlu) { return static_cast<int>(std::lround(dlu * units.y / 8)); };
    return QRect(horizontal(x), vertical(y), horizontal(width), vertical(height));
}

QWidget* CreateControl(QDialog& dialog, const ControlTemplate& control) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
        case ControlKind::kPushButton:
        case ControlKind::kDefaultButton: {
            auto* button = new QPushButton(text, &dialog);
            button->setDefault(control.kind == ControlKind::kDefaultButton);
            return button;
        }
        case ControlKind::kText: {
            auto* label = new QLabel(text, &dialog);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::kHeaderLabel: {
            auto* label = new QLabel(text, &dialog);
            label->setAlignment(Qt::AlignCenter);
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return label;
        }
        case ControlKind::kEdit:
            return new BeaconLineEdit(&dialog);
        case ControlKind::kPicture: {
            auto* picture = new QLabel(&dialog);
            picture->setPixmap(QPixmap(text));
            return picture;
        }
    }
    return nullptr;
}

}  // namespace

const DialogTemplate kMainDialogTemplate{"Telvane", 330, 305, kMainControls};
const DialogTemplate kAboutDialogTemplate{"About Telvane", 235, 55, kAboutControls};

QHash<int, QWidget*> BuildDialog(QDialog& dialog, const DialogTemplate& layout) {
    dialog.setWindowTitle(QString::fromUtf8(layout.caption));
    const BaseUnits units = BaseUnitsOf(dialog.font(), layout.controls);
    dialog.setFixedSize(ToPixels(units, 0, 0, layout.width, layout.height).size());

    QHash<int, QWidget*> byId;
    for (const ControlTemplate& control : layout.controls) {
        QWidget* widget = CreateControl(dialog, control);
        QRect area = ToPixels(units, control.x, control.y, control.width, control.height);
        if (control.kind == ControlKind::kPicture) {
            area.setSize(widget->sizeHint());  // a picture takes its own size
        }
        widget->setGeometry(area);
        if (control.id != 0) {
            byId.insert(control.id, widget);
        }
    }
    return byId;
}

}  // namespace telvane
