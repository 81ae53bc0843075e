#pragma once

// What the save step asks of the outside world: the prompts it shows and the clock it reads.
// The dialog holds these through interfaces so that tests can answer the prompts and set the time.

#include <QString>
#include <memory>
#include <optional>

#include "local_time.h"

class QFileDialog;
class QWidget;

namespace telvane {

class SavePrompts {
public:
    virtual ~SavePrompts() = default;
    // A modal information box with one OK button.
    virtual void Inform(QWidget* owner, const QString& caption, const QString& text) = 0;
    // A modal error box with one OK button; `reason` (the system's words) is its informative text.
    virtual void ReportError(QWidget* owner, const QString& caption, const QString& text,
                             const QString& reason) = 0;
    // The Save dialog; nothing when the user cancels.
    virtual std::optional<QString> AskSavePath(QWidget* owner, const QString& defaultName) = 0;
    // The Open dialog for a recording; nothing when the user cancels.
    virtual std::optional<QString> AskRecordingPath(QWidget* owner) = 0;
    // A choice among the beacons of a recording, `best` preselected; nothing when cancelled.
    virtual std::optional<int> PickBeacon(QWidget* owner, const QStringList& choices, int best) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
};

// The Save dialog of the save step: "Save Results", the proposed name, text files or all files.
std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* owner, const QString& defaultName);

// The real prompts: message boxes and the toolkit's Save dialog.
std::unique_ptr<SavePrompts> MakeDialogPrompts();

// The system clock, in local time.
std::unique_ptr<Clock> MakeSystemClock();

}  // namespace telvane
