#include "ui/GeneralPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <array>

#include "app/PreferenceKeys.h"
#include "app/ZRPreferenceController.h"
#include "core/model/ModelDefaultsKeys.h"
#include "core/services/DeviceIdentity.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {

// The totals the tray item can show, by "ZRStatusIconDuration".
constexpr std::array<const char*, 12> kStatusDurations = {
    "Nothing",
    "The current timer",
    "The task today",
    "The task this week",
    "The task this month",
    "The task this year",
    "The task, all time",
    "All tasks today",
    "All tasks this week",
    "All tasks this month",
    "All tasks this year",
    "All tasks, all time",
};
constexpr std::array<int, 6> kSecondsTags = {0, 60, 120, 180, 300, 600};
constexpr std::array<const char*, 6> kSecondsTitles = {"Never",     "1 minute",  "2 minutes",
                                                       "3 minutes", "5 minutes", "10 minutes"};
constexpr std::array<const char*, 4> kCustomDurations = {"Today", "This week", "This month",
                                                         "This year"};
constexpr std::array<int, 3> kRecentTaskCounts = {10, 15, 20};

template <std::size_t N>
QComboBox* comboOf(const std::array<const char*, N>& titles, std::string_view key,
                   QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(qt(key));
    for (const char* title : titles)
        combo->addItem(QString::fromUtf8(title));
    return combo;
}

QCheckBox* checkOf(const char* title, std::string_view key, QWidget* parent) {
    auto* check = new QCheckBox(QString::fromUtf8(title), parent);
    check->setObjectName(qt(key));
    return check;
}

// Shows `index`; a stored value outside the menu shows no entry.
void showIndex(QComboBox* combo, std::int64_t index) {
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? static_cast<int>(index) : -1);
}

void showChecked(QCheckBox* check, bool checked) {
    const QSignalBlocker blocker(check);
    check->setChecked(checked);
}

template <std::size_t N>
int indexOf(const std::array<int, N>& values, std::int64_t value) {
    for (std::size_t i = 0; i < N; ++i)
        if (values[i] == value)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

GeneralPane::GeneralPane(ZRPreferenceController& controller, UserDefaults& defaults, Refuse refuse,
                         QWidget* parent)
    : QWidget(parent), controller_(controller), defaults_(defaults), refuse_(std::move(refuse)) {
    startAtLogin_ = checkOf("Start Ravelong when you log in", "StartAtLogin", this);
    deviceName_ = new QLineEdit(this);
    deviceName_->setObjectName(qt(kZRDeviceName));
    userName_ = new QLineEdit(this);
    userName_->setObjectName(qt(kZRUserName));
    statusDuration_ = comboOf(kStatusDurations, kZRStatusIconDuration, this);
    showSeconds_ = comboOf(kSecondsTitles, kZRStatusIconShowSecondsDuration, this);
    showTaskName_ = checkOf("Show the running task's name", kZRShowTaskNameInStatusIcon, this);
    simpleDesign_ = checkOf("Simple design", kZRSimpleStatusItemDesign, this);
    animate_ = checkOf("Animate while a timer runs", kZRAnimateStatusItem, this);
    customDuration_ = comboOf(kCustomDurations, kZRMenuBarCustomDuration, this);
    showDescription_ = checkOf("Show task descriptions under the names",
                               kZRShowTaskDescriptionUnderTaskName, this);
    includeArchived_ =
        checkOf("Include archived tasks in the totals", kZRExcludeArchivedTimesInMenuBar, this);
    recentTasks_ = new QComboBox(this);
    recentTasks_->setObjectName(qt(kZRNumberOfRecentTasks));
    for (int count : kRecentTaskCounts)
        recentTasks_->addItem(QString::number(count));
    openMainWindow_ =
        checkOf("Open the main window when Ravelong starts", kZROpenMainWindowAtStart, this);

    auto* form = new QFormLayout(this);
    form->addRow(QString(), startAtLogin_);
    form->addRow(tr("This computer's name:"), deviceName_);
    form->addRow(tr("Your name:"), userName_);
    form->addRow(tr("Tray item shows:"), statusDuration_);
    form->addRow(tr("Show seconds for:"), showSeconds_);
    form->addRow(QString(), showTaskName_);
    form->addRow(QString(), simpleDesign_);
    form->addRow(QString(), animate_);
    form->addRow(tr("Task list totals:"), customDuration_);
    form->addRow(QString(), showDescription_);
    form->addRow(QString(), includeArchived_);
    form->addRow(tr("Recent tasks:"), recentTasks_);
    form->addRow(QString(), openMainWindow_);

    connect(startAtLogin_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_.toggleStartAtLogin(checked); });
    connect(deviceName_, &QLineEdit::editingFinished, this, &GeneralPane::commitDeviceName);
    connect(userName_, &QLineEdit::editingFinished, this, &GeneralPane::commitUserName);
    connect(statusDuration_, &QComboBox::activated, this,
            [this](int index) { controller_.changeStatusItemDuration(index); });
    connect(showSeconds_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(kSecondsTags.size()))
            chooseShowSecondsDuration(kSecondsTags[static_cast<std::size_t>(index)]);
    });
    connect(showTaskName_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_.toggleShowTaskNameInStatusIcon(checked); });
    connect(simpleDesign_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_.toggleSimpleStatusItemDesign(checked); });
    connect(animate_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_.toggleAnimateStatusItem(checked); });
    connect(customDuration_, &QComboBox::activated, this,
            [this](int index) { controller_.changeCustomDuration(index); });
    connect(showDescription_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_.toggleShowTaskDescriptionUnderTaskName(checked); });
    connect(includeArchived_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_.toggleIncludeArchivedTimes(checked); });
    connect(recentTasks_, &QComboBox::activated, this, [this](int index) {
        if (!controller_.changeNumberOfRecentTasks(index)) {
            refuse_(tr("That number of recent tasks is not offered; choose 10, 15 or 20."));
            refresh();
        }
    });
    connect(openMainWindow_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_.toggleOpenMainWindowAtStart(checked); });

    for (std::string_view key :
         {kZRDeviceName, kZRUserName, kZRStatusIconDuration, kZRStatusIconShowSecondsDuration,
          kZRShowTaskNameInStatusIcon, kZRSimpleStatusItemDesign, kZRAnimateStatusItem,
          kZRMenuBarCustomDuration, kZRShowTaskDescriptionUnderTaskName,
          kZRExcludeArchivedTimesInMenuBar, kZRNumberOfRecentTasks, kZROpenMainWindowAtStart})
        observers_.push_back(
            defaults_.addObserver(std::string(key), [this](const std::string&) { refresh(); }));
    refresh();
}

GeneralPane::~GeneralPane() {
    for (UserDefaults::ObserverId id : observers_)
        defaults_.removeObserver(id);
}

void GeneralPane::refresh() {
    DeviceIdentity& identity = DeviceIdentity::current();
    if (!deviceName_->hasFocus())
        showDeviceName(defaults_.stringForKey(kZRDeviceName, identity.hostLocalizedName()));
    if (!userName_->hasFocus())
        showUserName(defaults_.stringForKey(kZRUserName, identity.fullUserName()));
    const std::int64_t duration = defaults_.integerForKey(kZRStatusIconDuration, 0);
    showIndex(statusDuration_, duration);
    showIndex(showSeconds_,
              indexOf(kSecondsTags, defaults_.integerForKey(kZRStatusIconShowSecondsDuration, 0)));
    setShowSecondsDurationEnabled(duration >= 1);
    showChecked(showTaskName_, defaults_.boolForKey(kZRShowTaskNameInStatusIcon, true));
    showChecked(simpleDesign_, defaults_.boolForKey(kZRSimpleStatusItemDesign, false));
    showChecked(animate_, defaults_.boolForKey(kZRAnimateStatusItem, false));
    showIndex(customDuration_, defaults_.integerForKey(kZRMenuBarCustomDuration, 0));
    showChecked(showDescription_, defaults_.boolForKey(kZRShowTaskDescriptionUnderTaskName, false));
    showChecked(includeArchived_, !defaults_.boolForKey(kZRExcludeArchivedTimesInMenuBar, false));
    showIndex(recentTasks_,
              indexOf(kRecentTaskCounts, defaults_.integerForKey(kZRNumberOfRecentTasks, 10)));
    showChecked(openMainWindow_, defaults_.boolForKey(kZROpenMainWindowAtStart, false));
}

void GeneralPane::showDeviceName(const std::string& name) {
    const QSignalBlocker blocker(deviceName_);
    deviceName_->setText(qt(name));
}

void GeneralPane::showUserName(const std::string& name) {
    const QSignalBlocker blocker(userName_);
    userName_->setText(qt(name));
}

void GeneralPane::showStartAtLogin(bool enabled) {
    showChecked(startAtLogin_, enabled);
}

void GeneralPane::setShowSecondsDurationEnabled(bool enabled) {
    showSeconds_->setEnabled(enabled);
}

void GeneralPane::chooseShowSecondsDuration(int tag) {
    if (!controller_.changeShowSecondsDuration(tag)) {
        refuse_(tr("Seconds can be shown for 1, 2, 3, 5 or 10 minutes, or never; %1 seconds is "
                   "not one of them.")
                    .arg(tag));
        refresh();
    }
}

void GeneralPane::commitDeviceName() {
    const Status saved = controller_.deviceNameChanged(deviceName_->text().toStdString());
    if (!saved.ok())
        refuse_(tr("The new name of this computer could not be saved: %1")
                    .arg(qt(saved.error().description)));
}

void GeneralPane::commitUserName() {
    const Status saved = controller_.userNameChanged(userName_->text().toStdString());
    if (!saved.ok())
        refuse_(tr("Your new name could not be saved: %1").arg(qt(saved.error().description)));
}

}  // namespace ravelong
