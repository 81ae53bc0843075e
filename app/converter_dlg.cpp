#include "converter_dlg.h"

#include <QContextMenuEvent>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include "about_dlg.h"
#include "cp932.h"
#include "dialog_template.h"
#include "resource_ids.h"

// The pictures live in the program's resources, linked from a static library.
static void InitResources() {
    Q_INIT_RESOURCE(telvane);
}

namespace telvane {
namespace {

// The line members in box order.
constexpr std::array<std::string ConversionState::*, kLineCount> kLineMembers = {
    &ConversionState::m_strLine1, &ConversionState::m_strLine2, &ConversionState::m_strLine3,
    &ConversionState::m_strLine4, &ConversionState::m_strLine5, &ConversionState::m_strLine6,
};

}  // namespace

CConverterDlg::CConverterDlg(QWidget* parent)
    : CConverterDlg(parent, MakeDialogPrompts(), MakeSystemClock()) {}

CConverterDlg::CConverterDlg(QWidget* parent, std::unique_ptr<SavePrompts> prompts,
                             std::unique_ptr<Clock> clock)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_prompts(std::move(prompts)),
      m_clock(std::move(clock)) {
    InitResources();
    const QHash<int, QWidget*> controls = BuildDialog(*this, kMainDialogTemplate);
    for (int k = 0; k < kLineCount; ++k) {
        m_lineBoxes[k] = static_cast<QLineEdit*>(controls.value(IDC_LINE1 + k));
    }
    connect(static_cast<QPushButton*>(controls.value(IDOK)), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(static_cast<QPushButton*>(controls.value(IDC_CONVERT)), &QPushButton::clicked, this,
            &CConverterDlg::OnConvert);
    connect(static_cast<QPushButton*>(controls.value(IDC_CLEAR)), &QPushButton::clicked, this,
            &CConverterDlg::OnClear);
    setWindowIcon(QIcon(kIconResource));
    AddSystemMenu();
    controls.value(IDOK)->setFocus();  // the first tab stop of the template
}

CConverterDlg::~CConverterDlg() = default;

// Window managers here keep the title-bar menu to themselves, so the dialog carries its own:
// right-click on the background or Alt+Space.
void CConverterDlg::AddSystemMenu() {
    m_systemMenu = new QMenu(this);
    m_systemMenu->addAction(QStringLiteral("&Close"), this, [this] { OnSysCommand(SC_CLOSE); });
    m_systemMenu->addSeparator();
    m_systemMenu->addAction(QString::fromUtf8(IDS_ABOUTBOX), this,
                            [this] { OnSysCommand(IDM_ABOUTBOX); });
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Alt+Space")), this);
    connect(shortcut, &QShortcut::activated, this,
            [this] { m_systemMenu->popup(mapToGlobal(QPoint(0, 0))); });
}

void CConverterDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_systemMenu->popup(event->globalPos());
}

void CConverterDlg::DoDataExchange(bool saveAndValidate) {
    for (int k = 0; k < kLineCount; ++k) {
        std::string& line = m_state.*kLineMembers[k];
        if (saveAndValidate) {
            line = ToCp932(m_lineBoxes[k]->text());
        } else {
            m_lineBoxes[k]->setText(FromCp932(line));
        }
    }
}

void CConverterDlg::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.exec();
    } else if (id == SC_CLOSE) {
        close();
    }
}

void CConverterDlg::OnConvert() {
    DoDataExchange(true);
    RunConversion(m_state, m_clock->Now());
    SaveResults();
}

void CConverterDlg::OnClear() {
    for (auto member : kLineMembers) {
        (m_state.*member).clear();
    }
    DoDataExchange(false);
    m_state.m_bTrickle = false;
    m_state.m_strResult.clear();
}

}  // namespace telvane
