#include "ui/TimerPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>

#include "app/ZRPreferenceController.h"
#include "core/timer/TimerTexts.h"
#include "ui/QtText.h"

namespace ravelong {

TimerPane::TimerPane(ZRPreferenceController& controller, UserDefaults& defaults, Refuse refuse,
                     QWidget* parent)
    : QWidget(parent), controller_(controller), defaults_(defaults), refuse_(std::move(refuse)) {
    simultaneous_ = new QCheckBox(tr("Allow several timers to run at the same time"), this);
    simultaneous_->setObjectName(QStringLiteral("AllowMultipleTimers"));
    newDay_ = new QComboBox(this);
    newDay_->setObjectName(QStringLiteral("NewDay"));
    for (int hour = 0; hour < 24; ++hour)
        newDay_->addItem(QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
    addNote_ = new QComboBox(this);
    addNote_->setObjectName(qt(kZRShowAddNoteToTiming));
    addNote_->addItems({tr("Never"), tr("After stopping a timer"), tr("After starting a timer"),
                        tr("After starting and after stopping a timer")});

    auto* form = new QFormLayout(this);
    form->addRow(QString(), simultaneous_);
    form->addRow(tr("A new day starts at:"), newDay_);
    auto* newDayNote =
        new QLabel(tr("Timings before this hour count towards the previous day."), this);
    newDayNote->setWordWrap(true);
    form->addRow(QString(), newDayNote);
    form->addRow(tr("Ask for a note:"), addNote_);

    const std::vector<std::string_view>& keys = ZRPreferenceController::roundingSettingKeys();
    const QString titles[] = {
        tr("Show rounded durations in the timed entries"),
        tr("Round a day's durations after compacting them"), tr("Use rounding in the pie chart"),
        tr("Use rounding in the bar chart"), tr("Use rounding in the line chart")};
    for (std::size_t i = 0; i < keys.size() && i < std::size(titles); ++i) {
        auto* box = new QCheckBox(titles[i], this);
        box->setObjectName(qt(keys[i]));
        const bool inverted = keys[i].find("DontUseRounding") != std::string_view::npos;
        rounding_.push_back(RoundingBox{box, std::string(keys[i]), inverted});
        form->addRow(i == 0 ? tr("Rounding:") : QString(), box);
        connect(box, &QCheckBox::toggled, this,
                [this, key = std::string(keys[i]), inverted](bool on) {
                    if (!controller_.setRoundingSetting(key, inverted ? !on : on))
                        refuse_(tr("The rounding setting could not be changed."));
                });
        observers_.push_back(
            defaults_.addObserver(std::string(keys[i]), [this](const std::string&) { refresh(); }));
    }
    auto* roundingNote = new QLabel(
        tr("Each task's rounding rule is set in its edit sheet; subtasks inherit it."), this);
    roundingNote->setWordWrap(true);
    form->addRow(QString(), roundingNote);

    connect(simultaneous_, &QCheckBox::toggled, this, [this](bool checked) {
        const Status saved = controller_.toggleAllowSimultaneousTimers(checked);
        if (!saved.ok())
            refuse_(
                tr("The timer setting could not be saved: %1").arg(qt(saved.error().description)));
    });
    connect(newDay_, &QComboBox::activated, this, &TimerPane::chooseNewDay);
    connect(addNote_, &QComboBox::activated, this,
            [this](int index) { controller_.toggleShowAddNoteToTiming(index); });

    observers_.push_back(defaults_.addObserver(std::string(kZRShowAddNoteToTiming),
                                               [this](const std::string&) { refresh(); }));
    refresh();
}

TimerPane::~TimerPane() {
    for (UserDefaults::ObserverId id : observers_)
        defaults_.removeObserver(id);
}

void TimerPane::refresh() {
    const std::int64_t addNote = defaults_.integerForKey(kZRShowAddNoteToTiming, 0);
    const QSignalBlocker blocker(addNote_);
    addNote_->setCurrentIndex(
        addNote >= 0 && addNote < addNote_->count() ? static_cast<int>(addNote) : 0);
    for (const RoundingBox& rounding : rounding_) {
        const QSignalBlocker roundingBlocker(rounding.box);
        rounding.box->setChecked(defaults_.boolForKey(rounding.key, false) != rounding.inverted);
    }
}

void TimerPane::showAllowSimultaneousTimers(bool allowed) {
    const QSignalBlocker blocker(simultaneous_);
    simultaneous_->setChecked(allowed);
}

void TimerPane::showNewDay(int hour) {
    const QSignalBlocker blocker(newDay_);
    newDay_->setCurrentIndex(hour >= 0 && hour < 24 ? hour : -1);
}

void TimerPane::chooseNewDay(int hour) {
    const Status saved = controller_.newDayChanged(hour);
    if (saved.ok())
        return;
    refuse_(tr("The new day could not be set to start at hour %1: %2")
                .arg(hour)
                .arg(qt(saved.error().description)));
    controller_.reloadCoreDataPreferences();
}

}  // namespace ravelong
