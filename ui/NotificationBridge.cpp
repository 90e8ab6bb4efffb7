#include "ui/NotificationBridge.h"

namespace ravelong {

NotificationBridge::NotificationBridge(NotificationCenter& center,
                                       const std::vector<std::string>& names, QObject* parent)
    : QObject(parent), center_(center) {
    for (const std::string& name : names) {
        const QString qtName = QString::fromStdString(name);
        observers_.push_back(center_.addObserver(
            name, nullptr, [this, qtName](const Notification&) { emit notified(qtName); }));
    }
}

NotificationBridge::~NotificationBridge() {
    for (NotificationCenter::ObserverId id : observers_)
        center_.removeObserver(id);
}

}  // namespace ravelong
