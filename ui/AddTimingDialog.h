#pragma once

#include <QDialog>

#include "foundation/Clock.h"
#include "menubar/ManualTimingDraft.h"

class QComboBox;
class QDateEdit;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTimeEdit;

namespace ravelong {

class ManagedObjectContext;
class TimedEntryEditor;
class ZRCDTask;

// "Add Timing": a task without subtasks, a day, a start and a duration (typed as "1:30",
// "1:30:00", "1.5" or "1h 30m"), and a note. Add stays disabled while the draft cannot be added;
// a refusal of the editor is shown in the dialog, which then stays open with what was typed.
class AddTimingDialog final : public QDialog {
    Q_OBJECT

public:
    AddTimingDialog(ManagedObjectContext& context, TimedEntryEditor& editor, const Clock& clock,
                    ZRCDTask* preselected, QWidget* parent = nullptr);

    const ManualTimingDraft& draft() const { return draft_; }
    QComboBox* taskBox() const { return tasks_; }
    QDateEdit* dayEdit() const { return day_; }
    QTimeEdit* startEdit() const { return start_; }
    QLineEdit* durationEdit() const { return duration_; }
    QLineEdit* noteEdit() const { return note_; }
    QString message() const;
    // Adds the timing; false (with the reason shown) when it was refused.
    bool add();

private:
    void updateDraft();

    TimedEntryEditor& editor_;
    ManualTimingDraft draft_;
    std::vector<ZRCDTask*> taskList_;
    QComboBox* tasks_;
    QDateEdit* day_;
    QTimeEdit* start_;
    QLineEdit* duration_;
    QLineEdit* note_;
    QLabel* message_;
    QDialogButtonBox* buttons_;
};

}  // namespace ravelong
