#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <filesystem>
#include <memory>

#include "platform/ZoneFileWatcher.h"

namespace ravelong {

// Tells when the machine's time zone changed while the program runs, from two sources: timedated
// (org.freedesktop.timedate1 on the system bus) announcing a new "Timezone" property, and the
// zone files in /etc changing under any other tool (ZoneFileWatcher). Both are optional: without
// a system bus or timedated, or without inotify, that source is simply off (logged).
//
// zoneChanged() is emitted on the main thread, once for a burst of notices: one change usually
// arrives from both sources and as several file events, and the handler re-reads the zone and
// the locale, which should happen once the files are in place.
class TimeZoneWatcher final : public QObject {
    Q_OBJECT

public:
    // The system bus and /etc.
    explicit TimeZoneWatcher(QObject* parent = nullptr);
    // Another bus (a test's private one) and another folder of zone files.
    TimeZoneWatcher(QDBusConnection bus, const std::filesystem::path& folder,
                    QObject* parent = nullptr);

    bool watchesTimedated() const { return watchesTimedated_; }
    bool watchesFiles() const { return files_.isValid(); }

signals:
    void zoneChanged();

private slots:
    void propertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                           const QStringList& invalidated);

private:
    void noticed();

    ZoneFileWatcher files_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer settle_;
    bool watchesTimedated_ = false;
};

}  // namespace ravelong
