#include "foundation/NotificationCenter.h"

#include <atomic>
#include <utility>
#include <vector>

namespace ravelong {

namespace {

std::atomic<NotificationCenter*> gInstalledCenter{nullptr};

NotificationCenter& processCenter() {
    static NotificationCenter* center = new NotificationCenter();
    return *center;
}

}  // namespace

NotificationCenter::ObserverId NotificationCenter::addObserver(std::string name, const void* object,
                                                               Callback callback) {
    const ObserverId id = ++lastId_;
    observers_.emplace(
        id, Observer{std::move(name), object, std::make_shared<Callback>(std::move(callback))});
    return id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    observers_.erase(id);
}

void NotificationCenter::post(std::string name, const void* object, UserInfo userInfo) {
    const Notification notification{std::move(name), object, std::move(userInfo)};

    // The observers are chosen before any is called; each is looked up again just before its
    // call, so one removed by an earlier observer is skipped.
    std::vector<std::pair<ObserverId, std::shared_ptr<Callback>>> chosen;
    for (const auto& [id, observer] : observers_) {
        if ((observer.name.empty() || observer.name == notification.name) &&
            (observer.object == nullptr || observer.object == notification.object)) {
            chosen.emplace_back(id, observer.callback);
        }
    }
    for (const auto& [id, callback] : chosen) {
        if (observers_.count(id) != 0) {
            (*callback)(notification);
        }
    }
}

NotificationCenter& NotificationCenter::defaultCenter() {
    NotificationCenter* installed = gInstalledCenter.load();
    return installed ? *installed : processCenter();
}

void NotificationCenter::setDefaultCenter(NotificationCenter* center) {
    gInstalledCenter.store(center);
}

}  // namespace ravelong
