#include "ui/AddTimingDialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

#include "core/durations/ZRDurationFormatter.h"
#include "core/model/ZRCDTask.h"
#include "foundation/Instant.h"
#include "menubar/TimedEntryEditor.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {

QDateTime localTime(Instant instant) {
    return QDateTime::fromMSecsSinceEpoch(
        static_cast<qint64>(unixTimeFromInstant(instant) * 1000.0));
}

Instant instantOf(const QDateTime& time) {
    return instantFromUnixTime(static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0);
}

// Seconds of a typed duration, or -1 when it cannot be read.
double readDuration(const QString& text) {
    const std::string typed = text.trimmed().toStdString();
    if (typed.empty())
        return -1.0;
    for (int form : {11, 10, 20, 2}) {
        const double seconds = ZRDurationFormatter(form).durationFromString(typed);
        if (seconds >= 0.0)
            return seconds;
    }
    return -1.0;
}

}  // namespace

AddTimingDialog::AddTimingDialog(ManagedObjectContext& context, TimedEntryEditor& editor,
                                 const Clock& clock, ZRCDTask* preselected, QWidget* parent)
    : QDialog(parent),
      editor_(editor),
      draft_(clock),
      tasks_(new QComboBox(this)),
      day_(new QDateEdit(this)),
      start_(new QTimeEdit(this)),
      duration_(new QLineEdit(this)),
      note_(new QLineEdit(this)),
      message_(new QLabel(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setObjectName(QStringLiteral("addTimingDialog"));
    setWindowTitle(tr("Add Timing"));
    for (ZRCDTask* task : ZRCDTask::getAllUnarchivedTasks_inContext(context)) {
        if (!task->childTasks().empty())
            continue;
        taskList_.push_back(task);
        tasks_->addItem(shownTaskPath(task->getFullTaskName()));
        if (task == preselected)
            tasks_->setCurrentIndex(tasks_->count() - 1);
    }
    const QDateTime start = localTime(draft_.start());
    day_->setCalendarPopup(true);
    day_->setDate(start.date());
    start_->setTime(start.time());
    duration_->setPlaceholderText(tr("1:30"));
    message_->setWordWrap(true);
    buttons_->button(QDialogButtonBox::Ok)->setText(tr("Add"));

    auto* form = new QFormLayout(this);
    form->addRow(tr("Task:"), tasks_);
    form->addRow(tr("Day:"), day_);
    form->addRow(tr("Start:"), start_);
    form->addRow(tr("Duration:"), duration_);
    form->addRow(tr("Note:"), note_);
    form->addRow(message_);
    form->addRow(buttons_);

    connect(day_, &QDateEdit::dateChanged, this, &AddTimingDialog::updateDraft);
    connect(start_, &QTimeEdit::timeChanged, this, &AddTimingDialog::updateDraft);
    connect(duration_, &QLineEdit::textChanged, this, &AddTimingDialog::updateDraft);
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (add())
            accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateDraft();
}

QString AddTimingDialog::message() const {
    return message_->text();
}

void AddTimingDialog::updateDraft() {
    draft_.setDay(instantOf(QDateTime(day_->date(), QTime(12, 0))));
    draft_.setStart(instantOf(QDateTime(day_->date(), start_->time())));
    const double seconds = readDuration(duration_->text());
    draft_.setDuration(std::max(0.0, seconds));
    QString text;
    if (!duration_->text().trimmed().isEmpty() && seconds < 0.0)
        text = tr("The duration cannot be read; type it as 1:30, 1.5 or 1h 30m.");
    else if (draft_.startTimeDoesNotExist())
        text = tr("This time does not exist on that day (the clocks skip it).");
    else if (!draft_.dateIsValid())
        text = tr("The start lies outside the days timings can have.");
    else if (taskList_.empty())
        text = tr("There is no task without subtasks to add the timing to.");
    message_->setText(text);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(draft_.canAdd() && !taskList_.empty());
}

bool AddTimingDialog::add() {
    updateDraft();
    const int index = tasks_->currentIndex();
    if (!draft_.canAdd() || index < 0 || static_cast<std::size_t>(index) >= taskList_.size())
        return false;
    const auto added = editor_.addTiming(taskList_[static_cast<std::size_t>(index)], draft_,
                                         note_->text().toStdString(), false);
    if (!added.ok()) {
        message_->setText(qt(added.error().description));
        return false;
    }
    return true;
}

}  // namespace ravelong
