#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "conversion.h"
#include "copied_beacon.h"
#include "dialog_recording.h"
#include "save_environment.h"

class QMenu;
class QPushButton;

namespace telvane {

class BeaconLineEdit;
class HistoryWindow;
class ListenWindow;
class RecordingOpener;

// The main dialog: six boxes for the beacon lines, Convert, Clear and Exit. It owns the
// conversion state; every conversion reads the boxes afresh and ends in the save step.
class CConverterDlg : public QDialog {
    Q_OBJECT

public:
    explicit CConverterDlg(QWidget* parent = nullptr);
    CConverterDlg(QWidget* parent, std::unique_ptr<SavePrompts> prompts,
                  std::unique_ptr<Clock> clock);
    ~CConverterDlg() override;

    // Boxes to line members (true) or line members to boxes (false), through code page 932.
    void DoDataExchange(bool saveAndValidate);

    // Commands of the window menu, told apart by their upper twelve bits: the About item, Close,
    // or nothing.
    void OnSysCommand(unsigned id);

    const ConversionState& State() const { return m_state; }
    BeaconLineEdit* LineBox(int index) const { return m_lineBoxes[index]; }
    QMenu* SystemMenu() const { return m_systemMenu; }

    void OnConvert();
    void OnClear();
    // Opens the history window, or brings it to the front.
    void OnHistory();
    HistoryWindow* History() const { return m_history; }
    DialogRecording* Recording() const { return m_recording; }

    // Opens the listening window and starts or stops listening (Ctrl+L).
    void OnListen();
    ListenWindow* Listener() const { return m_listen; }

    // Asks for a recording and copies its beacon into the boxes (Ctrl+O).
    void OnOpenRecording();
    // Copies the beacon of `path` into the boxes, decoding on a worker thread.
    void OpenRecording(const QString& path);
    RecordingOpener* Opener() const { return m_opener; }
    // Fills the boxes with a copied beacon; its doubtful characters are marked.
    void ShowCopiedBeacon(const morse::CopiedBeacon& beacon);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void SaveResults();
    void AddSystemMenu();
    // Spreads the lines of a multi-line paste into box `box` over the boxes.
    void PasteBeacon(int box, const QString& text);
    // Marks box `box` when the conversion will not read all of it as typed, saying why.
    void MarkMisreadings(int box);
    static QString NotPlacedMessage(qsizetype count);
    void TellLineCut();
    // A beacon heard while listening: into the boxes and the archive.
    void ShowHeardBeacon(const morse::CopiedBeacon& beacon, const DialogRecording::Copied& source);
    // A beacon still being heard: into the boxes, keeping what they held before it; the archive
    // has it once it completes, or when it is converted.
    void ShowUnderwayBeacon(const morse::CopiedBeacon& beacon,
                            const DialogRecording::Copied& source);
    // It was no beacon after all: the boxes go back to what they held.
    void DropUnderwayBeacon();
    void ChooseCopiedBeacon(const QString& path, const std::vector<morse::CopiedBeacon>& beacons,
                            double seconds);
    // The converted lines, and where they came from if the boxes still hold a copied beacon.
    std::optional<DialogRecording::Copied> CopiedSource(
        const std::array<std::string, kLineCount>& lines) const;

    ConversionState m_state;
    std::array<BeaconLineEdit*, kLineCount> m_lineBoxes{};
    QMenu* m_systemMenu = nullptr;
    std::unique_ptr<SavePrompts> m_prompts;
    std::unique_ptr<Clock> m_clock;
    DialogRecording* m_recording = nullptr;
    HistoryWindow* m_history = nullptr;
    RecordingOpener* m_opener = nullptr;
    ListenWindow* m_listen = nullptr;
    // The lines as copied from a recording, while the boxes still hold them.
    std::array<std::optional<morse::CopiedLine>, kLineCount> m_copied;
    // The boxes as they were before a beacon under way was shown in them.
    struct Boxes {
        std::array<QString, kLineCount> texts;
        std::array<std::optional<morse::CopiedLine>, kLineCount> copied;
        std::array<std::string, kLineCount> copiedLines;
        std::optional<DialogRecording::Copied> copiedSource;
    };
    std::optional<Boxes> m_beforeUnderway;
    // The last beacon copied, and where from.
    std::optional<DialogRecording::Copied> m_copiedSource;
    std::array<std::string, kLineCount> m_copiedLines;
};

}  // namespace telvane
