#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"

namespace ravelong {

// Hands notifications of a NotificationCenter to Qt: for each name it was given, a post emits
// notified(name) synchronously, inside post(), so a widget can connect a slot instead of keeping
// an observer id. Main thread only. Observers are removed when the bridge goes.
class NotificationBridge final : public QObject {
    Q_OBJECT

public:
    NotificationBridge(NotificationCenter& center, const std::vector<std::string>& names,
                       QObject* parent = nullptr);
    ~NotificationBridge() override;

signals:
    void notified(const QString& name);

private:
    NotificationCenter& center_;
    std::vector<NotificationCenter::ObserverId> observers_;
};

}  // namespace ravelong
