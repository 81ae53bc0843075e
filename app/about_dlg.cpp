#include "about_dlg.h"

#include <QPushButton>

#include "dialog_template.h"
#include "resource_ids.h"

namespace telvane {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    const QHash<int, QWidget*> controls = BuildDialog(*this, kAboutDialogTemplate);
    connect(static_cast<QPushButton*>(controls.value(IDOK)), &QPushButton::clicked, this,
            &QDialog::accept);
}

}  // namespace telvane
