#include "ui/IdlePane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <array>

#include "app/PreferenceKeys.h"
#include "app/ZRPreferenceController.h"
#include "core/timer/TimerTexts.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {

// "ZRIdleTime" in seconds by menu entry.
constexpr std::array<int, 8> kIdleSeconds = {0, 300, 600, 900, 1200, 1800, 2700, 3600};

}  // namespace

IdlePane::IdlePane(ZRPreferenceController& controller, UserDefaults& defaults, Refuse refuse,
                   QWidget* parent)
    : QWidget(parent), controller_(controller), defaults_(defaults), refuse_(std::move(refuse)) {
    idleTime_ = new QComboBox(this);
    idleTime_->setObjectName(qt(kZRIdleTime));
    idleTime_->addItem(tr("Never"));
    for (std::size_t i = 1; i < kIdleSeconds.size(); ++i)
        idleTime_->addItem(tr("After %1 minutes").arg(kIdleSeconds[i] / 60));
    timingWhenSleeping_ =
        new QCheckBox(tr("Keep timers running while the computer sleeps or is shut down"), this);
    timingWhenSleeping_->setObjectName(qt(kZRTimingWhenSleeping));

    auto* form = new QFormLayout(this);
    form->addRow(tr("Ask about idle time:"), idleTime_);
    auto* idleNote = new QLabel(
        tr("When you come back after this long without using the keyboard or mouse, Ravelong "
           "asks whether to keep, remove or move the time away."),
        this);
    idleNote->setWordWrap(true);
    form->addRow(QString(), idleNote);
    form->addRow(QString(), timingWhenSleeping_);

    connect(idleTime_, &QComboBox::activated, this, &IdlePane::chooseIdleTime);
    connect(timingWhenSleeping_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_.toggleTimingWhenSleeping(checked); });

    for (std::string_view key : {kZRIdleTime, kZRTimingWhenSleeping})
        observers_.push_back(
            defaults_.addObserver(std::string(key), [this](const std::string&) { refresh(); }));
    refresh();
}

IdlePane::~IdlePane() {
    for (UserDefaults::ObserverId id : observers_)
        defaults_.removeObserver(id);
}

void IdlePane::refresh() {
    const std::int64_t seconds = defaults_.integerForKey(kZRIdleTime, 0);
    int index = -1;
    for (std::size_t i = 0; i < kIdleSeconds.size(); ++i)
        if (kIdleSeconds[i] == seconds)
            index = static_cast<int>(i);
    {
        const QSignalBlocker blocker(idleTime_);
        idleTime_->setCurrentIndex(index);
    }
    const QSignalBlocker blocker(timingWhenSleeping_);
    timingWhenSleeping_->setChecked(defaults_.boolForKey(kZRTimingWhenSleeping, true));
}

void IdlePane::chooseIdleTime(int index) {
    if (controller_.idleTimeChanged(index))
        return;
    refuse_(tr("Idle time can be asked about after 5, 10, 15, 20, 30, 45 or 60 minutes, or "
               "never; menu entry %1 is not one of them.")
                .arg(index));
    refresh();
}

}  // namespace ravelong
