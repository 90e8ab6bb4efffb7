#include "ui/TimeZoneWatcher.h"

#include <QDBusError>

#include "foundation/Log.h"

namespace ravelong {

namespace {

const QString kService = QStringLiteral("org.freedesktop.timedate1");
const QString kPath = QStringLiteral("/org/freedesktop/timedate1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kTimezone = QStringLiteral("Timezone");

// timedated replaces /etc/localtime and then announces the property; the files settle within
// milliseconds.
constexpr int kSettleMilliseconds = 200;

}  // namespace

TimeZoneWatcher::TimeZoneWatcher(QObject* parent)
    : TimeZoneWatcher(QDBusConnection::systemBus(), "/etc", parent) {}

TimeZoneWatcher::TimeZoneWatcher(QDBusConnection bus, const std::filesystem::path& folder,
                                 QObject* parent)
    : QObject(parent), files_(folder, {"localtime", "timezone"}, [this] { noticed(); }) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMilliseconds);
    connect(&settle_, &QTimer::timeout, this, &TimeZoneWatcher::zoneChanged);

    if (files_.isValid()) {
        notifier_ = std::make_unique<QSocketNotifier>(files_.fd(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this,
                [this] { files_.readEvents(); });
    }
    // timedated is started on demand, so it need not run now; the match on its name holds for
    // whichever process takes the name later.
    if (!bus.isConnected()) {
        logInfo("TimeZoneWatcher", "no system bus; time zone notices come from /etc only");
        return;
    }
    watchesTimedated_ =
        bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                    SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    if (!watchesTimedated_)
        logInfo("TimeZoneWatcher",
                "cannot listen to timedated: " + bus.lastError().message().toStdString());
}

void TimeZoneWatcher::propertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                        const QStringList& invalidated) {
    if (interfaceName != kService)
        return;
    if (changed.contains(kTimezone) || invalidated.contains(kTimezone))
        noticed();
}

void TimeZoneWatcher::noticed() {
    settle_.start();  // restarted by every further notice of the burst
}

}  // namespace ravelong
