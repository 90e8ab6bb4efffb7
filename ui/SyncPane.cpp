#include "ui/SyncPane.h"

#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>

#include "app/PreferenceKeys.h"
#include "foundation/Instant.h"
#include "sync/SyncStatusDisplay.h"
#include "sync/SyncTexts.h"
#include "ui/QtText.h"

namespace ravelong {

SyncPane::SyncPane(UserDefaults& defaults, QWidget* parent) : QWidget(parent), defaults_(defaults) {
    service_ = new QComboBox(this);
    service_->setObjectName(QStringLiteral("SyncService"));
    // The entries of the chooser, in the order of kChooserNone...kChooserFolder.
    service_->addItems(
        {tr("None"), tr("iCloud (coming)"), tr("Dropbox (coming)"), tr("A folder (coming)")});
    service_->setEnabled(false);
    state_ = new QLabel(this);
    state_->setObjectName(qt(kZRConnectionState));
    lastSync_ = new QLabel(this);
    lastSync_->setObjectName(qt(kZRLastSync));

    auto* form = new QFormLayout(this);
    auto* coming = new QLabel(
        tr("Synchronisation with your other devices is coming in a later version. The settings "
           "below are shown as stored."),
        this);
    coming->setWordWrap(true);
    form->addRow(coming);
    form->addRow(tr("Synchronise with:"), service_);
    form->addRow(tr("State:"), state_);
    form->addRow(tr("Last sync:"), lastSync_);

    for (std::string_view key : {kZRConnectionState, kZRLastSync})
        observers_.push_back(
            defaults_.addObserver(std::string(key), [this](const std::string&) { refresh(); }));
    refresh();
}

SyncPane::~SyncPane() {
    for (UserDefaults::ObserverId id : observers_)
        defaults_.removeObserver(id);
}

void SyncPane::refresh() {
    const std::int64_t state = defaults_.integerForKey(kZRConnectionState, 0);
    const SyncPaneDisplay display = displayForConnectionState(state);
    service_->setCurrentIndex(display.chooserItem.value_or(kChooserNone));
    state_->setText(qt(display.label.value_or(std::string(sync_texts::kNotConnected))));
    if (defaults_.exists(kZRLastSync)) {
        const double unix = unixTimeFromInstant(defaults_.dateForKey(kZRLastSync));
        lastSync_->setText(
            QLocale().toString(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(unix * 1000.0)),
                               QLocale::ShortFormat));
    } else {
        lastSync_->setText(tr("Never"));
    }
}

}  // namespace ravelong
