#include "converter_dlg.h"

#include <QContextMenuEvent>
#include <QIcon>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>

#include "about_dlg.h"
#include "archive.h"
#include "beacon_line_edit.h"
#include "copied_lines.h"
#include "cp932.h"
#include "dialog_recording.h"
#include "dialog_template.h"
#include "history_window.h"
#include "listen_window.h"
#include "misreadings.h"
#include "paste_routing.h"
#include "recording_decoding.h"
#include "recording_opener.h"
#include "recording_time.h"
#include "resource_ids.h"

// The pictures live in the program's resources, linked from a static library.
static void InitResources() {
    Q_INIT_RESOURCE(telvane);
}

namespace telvane {
namespace {

// The one local file dropped on the window: a recording to open as with Ctrl+O.
QString DroppedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1 ||
        !mime->urls().constFirst().isLocalFile()) {
        return {};
    }
    return mime->urls().constFirst().toLocalFile();
}

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
        BeaconLineEdit* box = static_cast<BeaconLineEdit*>(controls.value(IDC_LINE1 + k));
        m_lineBoxes[k] = box;
        connect(box, &BeaconLineEdit::multiLinePasted, this,
                [this, k](const QString& text) { PasteBeacon(k, text); });
        connect(box, &QLineEdit::textChanged, this, [this, k] { MarkMisreadings(k); });
        connect(box, &BeaconLineEdit::pastedLineCut, this, &CConverterDlg::TellLineCut);
    }
    connect(static_cast<QPushButton*>(controls.value(IDOK)), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(static_cast<QPushButton*>(controls.value(IDC_CONVERT)), &QPushButton::clicked, this,
            &CConverterDlg::OnConvert);
    connect(static_cast<QPushButton*>(controls.value(IDC_CLEAR)), &QPushButton::clicked, this,
            &CConverterDlg::OnClear);
    setWindowIcon(QIcon(kIconResource));
    m_recording = new DialogRecording(this);
    connect(m_recording, &DialogRecording::failed, this, [this](const QString& warning) {
        m_prompts->ReportError(this, QStringLiteral("Telemetry archive"), warning, QString());
    });
    m_opener = new RecordingOpener(this);
    connect(m_opener, &RecordingOpener::decoded, this, &CConverterDlg::ChooseCopiedBeacon);
    connect(m_opener, &RecordingOpener::failed, this,
            [this](const QString& path, const QString& reason) {
                m_prompts->ReportError(this, QStringLiteral("Open Recording"),
                                       QStringLiteral("Cannot read the recording '%1'.").arg(path),
                                       reason);
            });
    setAcceptDrops(true);
    AddSystemMenu();
    controls.value(IDOK)->setFocus();  // the first tab stop of the template
}

CConverterDlg::~CConverterDlg() = default;

// Window managers here keep the title-bar menu to themselves, so the dialog carries its own:
// right-click on the background or Alt+Space.
void CConverterDlg::AddSystemMenu() {
    m_systemMenu = new QMenu(this);
    m_systemMenu->addAction(QStringLiteral("&Close"), this, [this] { OnSysCommand(SC_CLOSE); });
    QAction* open = m_systemMenu->addAction(QStringLiteral("&Open Recording\u2026"),
                                            QKeySequence(QStringLiteral("Ctrl+O")), this,
                                            &CConverterDlg::OnOpenRecording);
    addAction(open);
    QAction* history = m_systemMenu->addAction(QStringLiteral("&History\u2026"),
                                               QKeySequence(QStringLiteral("Ctrl+H")), this,
                                               &CConverterDlg::OnHistory);
    addAction(history);  // Ctrl+H works with the menu closed too
    QAction* listen = m_systemMenu->addAction(QStringLiteral("&Listen\u2026"),
                                              QKeySequence(QStringLiteral("Ctrl+L")), this,
                                              &CConverterDlg::OnListen);
    addAction(listen);
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

void CConverterDlg::PasteBeacon(int box, const QString& text) {
    const QStringList lines = PastedLines(text);
    std::vector<std::string> utf8;
    utf8.reserve(lines.size());
    for (const QString& line : lines) {
        utf8.push_back(line.toStdString());
    }
    const std::vector<std::string_view> views(utf8.begin(), utf8.end());
    const std::vector<int> boxes = RoutePastedLines(views, box);
    qsizetype notPlaced = 0;
    bool cut = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const int target = boxes[static_cast<std::size_t>(i)]; target >= 0) {
            cut = cut || lines[i].size() > BeaconLineEdit::kMaxCharacters;
            m_lineBoxes[target]->setText(lines[i]);
        } else if (!lines[i].trimmed().isEmpty()) {
            ++notPlaced;
        }
    }
    if (notPlaced > 0) {
        m_prompts->Inform(this, QStringLiteral("Paste"), NotPlacedMessage(notPlaced));
    }
    if (cut) {
        TellLineCut();
    }
}

void CConverterDlg::TellLineCut() {
    m_prompts->Inform(this, QStringLiteral("Paste"),
                      QStringLiteral("A pasted line is longer than a box holds (%1 characters): "
                                     "only its beginning was kept.\n"
                                     "To convert such a line whole, use telvane-convert.")
                          .arg(BeaconLineEdit::kMaxCharacters));
}

QString CConverterDlg::NotPlacedMessage(qsizetype count) {
    return (count == 1 ? QStringLiteral("1 pasted line was not placed")
                       : QStringLiteral("%1 pasted lines were not placed").arg(count)) +
           QStringLiteral(
               ": the boxes hold one beacon, the first in the pasted text.\n"
               "To convert a whole log of beacons, use telvane-convert --batch.");
}

void CConverterDlg::MarkMisreadings(int box) {
    // A dashed frame and a pale fill: visible without colour too.
    static const QString kMarked =
        QStringLiteral("QLineEdit { border: 2px dashed #a01818; background: #fff3c4; }");
    QStringList reasons;
    for (const Misreading& misreading : FindMisreadings(box, ToCp932(m_lineBoxes[box]->text()))) {
        reasons << FromCp932(Describe(misreading, box));
    }
    std::optional<morse::CopiedLine>& copied = m_copied[box];
    if (copied && m_lineBoxes[box]->text() != QString::fromStdString(copied->text)) {
        copied.reset();  // the operator has corrected the line: the decoder's doubts are moot
    }
    if (copied) {
        reasons << DoubtfulCharacters(*copied);
    }
    const QString description = reasons.join(u'\n');
    BeaconLineEdit* edit = m_lineBoxes[box];
    if (description == edit->toolTip() && edit->styleSheet().isEmpty() == reasons.isEmpty()) {
        return;  // restyling a box costs more than a keystroke may
    }
    edit->setStyleSheet(reasons.isEmpty() ? QString() : kMarked);
    edit->setToolTip(description);
    edit->setAccessibleDescription(description);
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
    } else if ((id & 0xFFF0) == SC_CLOSE) {
        close();
    }
}

void CConverterDlg::OnConvert() {
    DoDataExchange(true);
    std::array<std::string, kLineCount> lines;  // as typed: the conversion compacts the state's
    for (int k = 0; k < kLineCount; ++k) {
        lines[k] = m_state.*kLineMembers[k];
    }
    const LocalTime now = m_clock->Now();
    RunConversion(m_state, now);
    // Recorded before the save step, which the operator may cancel.
    m_recording->Record(lines, now, CopiedSource(lines));
    SaveResults();
}

void CConverterDlg::OnHistory() {
    if (m_history == nullptr) {
        m_history = new HistoryWindow(archive::DefaultArchivePath(), this);
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void CConverterDlg::OnListen() {
    if (m_listen == nullptr) {
        m_listen = new ListenWindow(this);
        connect(m_listen, &ListenWindow::beaconHeard, this, &CConverterDlg::ShowHeardBeacon);
        connect(m_listen, &ListenWindow::beaconUnderway, this, &CConverterDlg::ShowUnderwayBeacon);
        connect(m_listen, &ListenWindow::underwayDropped, this, &CConverterDlg::DropUnderwayBeacon);
        connect(m_listen, &ListenWindow::failed, this, [this](const QString& message) {
            m_prompts->ReportError(m_listen, QStringLiteral("Listen"), message, QString());
        });
    }
    m_listen->show();
    m_listen->raise();
    m_listen->Toggle();
}

void CConverterDlg::ShowHeardBeacon(const morse::CopiedBeacon& beacon,
                                    const DialogRecording::Copied& source) {
    m_beforeUnderway.reset();
    ShowCopiedBeacon(beacon);
    m_copiedLines = LinesOf(beacon);
    m_copiedSource = source;
    // In the archive as soon as it is heard; a later Convert of the same lines is the same entry.
    m_recording->Record(m_copiedLines, m_clock->Now(), source);
}

void CConverterDlg::ShowUnderwayBeacon(const morse::CopiedBeacon& beacon,
                                       const DialogRecording::Copied& source) {
    if (!m_beforeUnderway) {
        Boxes& before = m_beforeUnderway.emplace();
        for (int k = 0; k < kLineCount; ++k) {
            before.texts[k] = m_lineBoxes[k]->text();
        }
        before.copied = m_copied;
        before.copiedLines = m_copiedLines;
        before.copiedSource = m_copiedSource;
    }
    ShowCopiedBeacon(beacon);
    m_copiedLines = LinesOf(beacon);
    m_copiedSource = source;
}

void CConverterDlg::DropUnderwayBeacon() {
    if (!m_beforeUnderway) {
        return;
    }
    m_copied = m_beforeUnderway->copied;
    m_copiedLines = m_beforeUnderway->copiedLines;
    m_copiedSource = m_beforeUnderway->copiedSource;
    for (int k = 0; k < kLineCount; ++k) {
        m_lineBoxes[k]->setText(m_beforeUnderway->texts[k]);
        MarkMisreadings(k);
    }
    m_beforeUnderway.reset();
}

void CConverterDlg::OnClear() {
    for (auto member : kLineMembers) {
        (m_state.*member).clear();
    }
    DoDataExchange(false);
    m_state.m_bTrickle = false;
    m_state.m_strResult.clear();
}

void CConverterDlg::OnOpenRecording() {
    if (const std::optional<QString> path = m_prompts->AskRecordingPath(this)) {
        OpenRecording(*path);
    }
}

void CConverterDlg::OpenRecording(const QString& path) {
    m_opener->Open(path);
}

std::optional<DialogRecording::Copied> CConverterDlg::CopiedSource(
    const std::array<std::string, kLineCount>& lines) const {
    return lines == m_copiedLines ? m_copiedSource : std::nullopt;
}

void CConverterDlg::ChooseCopiedBeacon(const QString& path,
                                       const std::vector<morse::CopiedBeacon>& beacons,
                                       double seconds) {
    if (beacons.empty()) {
        m_prompts->Inform(this, QStringLiteral("Open Recording"),
                          QStringLiteral("No beacon was found in the recording '%1'.").arg(path));
        return;
    }
    const auto best = std::max_element(beacons.begin(), beacons.end(), [](auto& a, auto& b) {
        return a.confidence < b.confidence;
    });
    std::optional<int> chosen = static_cast<int>(best - beacons.begin());
    if (beacons.size() > 1) {
        QStringList choices;
        for (const morse::CopiedBeacon& beacon : beacons) {
            choices << ChoiceLabel(beacon);
        }
        chosen = m_prompts->PickBeacon(this, choices, *chosen);
    }
    if (!chosen || *chosen < 0 || *chosen >= static_cast<int>(beacons.size())) {
        return;
    }
    const morse::CopiedBeacon& beacon = beacons[static_cast<std::size_t>(*chosen)];
    ShowCopiedBeacon(beacon);
    m_copiedLines = LinesOf(beacon);
    m_copiedSource =
        DialogRecording::Copied{{archive::SourceKind::kRecording, archive::SourceNameOf(path)},
                                archive::RecordingStartUtc(path, seconds),
                                beacon.startSeconds,
                                MeasuresOf(beacon)};
}

void CConverterDlg::ShowCopiedBeacon(const morse::CopiedBeacon& beacon) {
    for (int k = 0; k < kLineCount; ++k) {
        m_copied[k] = beacon.lines[k];
        m_lineBoxes[k]->setText(QString::fromStdString(beacon.lines[k].text));
        MarkMisreadings(k);  // setText marks only when the text changed
    }
}

void CConverterDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CConverterDlg::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (!path.isEmpty()) {
        event->acceptProposedAction();
        OpenRecording(path);
    }
}

}  // namespace telvane
