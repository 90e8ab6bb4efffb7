#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace ravelong {

using UserInfo = std::map<std::string, std::any>;

struct Notification {
    std::string name;
    const void* object = nullptr;  // the sender, compared by address only; may be nullptr
    UserInfo userInfo;

    // The userInfo value under key if it holds a T, else nullptr.
    template <class T>
    const T* value(const std::string& key) const {
        const auto found = userInfo.find(key);
        return found == userInfo.end() ? nullptr : std::any_cast<T>(&found->second);
    }
};

// Broadcasts named events ("ZRTimeUpdate", "ReloadMenuBarPanelTable", ...) to whoever registered
// for them, so that the sender does not need to know its listeners.
//
// Main thread only: observers are called synchronously, on the posting thread, inside post(), in
// the order they were added. An observer may post, add and remove observers while it runs:
// an observer removed during a post (itself, or one not yet called) is not called afterwards,
// and one added during a post is first called for the next post.
class NotificationCenter {
public:
    using ObserverId = std::uint64_t;  // never 0, never reused
    using Callback = std::function<void(const Notification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // name: the notification to observe, empty for every name. object: the only sender to
    // observe, nullptr for any sender.
    ObserverId addObserver(std::string name, const void* object, Callback callback);
    // Unknown ids and ids already removed are ignored.
    void removeObserver(ObserverId id);

    void post(std::string name, const void* object = nullptr, UserInfo userInfo = {});

    std::size_t observerCount() const { return observers_.size(); }

    // The center the program uses. Tests that want isolation install their own with
    // setDefaultCenter (nullptr restores the process-wide one; the caller keeps ownership).
    static NotificationCenter& defaultCenter();
    static void setDefaultCenter(NotificationCenter* center);

private:
    struct Observer {
        std::string name;
        const void* object = nullptr;
        std::shared_ptr<Callback> callback;  // shared so removal during the call is safe
    };

    std::map<ObserverId, Observer> observers_;  // ids grow, so this is registration order
    ObserverId lastId_ = 0;
};

}  // namespace ravelong
