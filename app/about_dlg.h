#pragma once

#include <QDialog>

namespace telvane {

// The About box: the icon, the version and a short notice; OK, Escape or the close box end it.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace telvane
