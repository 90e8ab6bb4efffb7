#include "platform/ZoneFileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foundation/Log.h"

namespace ravelong {

ZoneFileWatcher::ZoneFileWatcher(std::filesystem::path folder, std::vector<std::string> names,
                                 std::function<void()> changed)
    : names_(std::move(names)), changed_(std::move(changed)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        logWarning("watch time zone",
                   std::string("cannot watch for time zone changes: ") + std::strerror(errno));
        return;
    }
    // Every way a file in the folder comes, goes or gets new contents.
    constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                    IN_CLOSE_WRITE | IN_ATTRIB | IN_ONLYDIR;
    if (::inotify_add_watch(fd_, folder.c_str(), kMask) < 0) {
        logWarning("watch time zone", "cannot watch " + folder.string() +
                                          " for time zone changes: " + std::strerror(errno));
        ::close(fd_);
        fd_ = -1;
    }
}

ZoneFileWatcher::ZoneFileWatcher(std::function<void()> changed)
    : ZoneFileWatcher("/etc", {"localtime", "timezone"}, std::move(changed)) {}

ZoneFileWatcher::~ZoneFileWatcher() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool ZoneFileWatcher::readEvents() {
    if (fd_ < 0)
        return false;
    bool concerned = false;
    alignas(inotify_event) char buffer[4096];
    while (true) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;  // EAGAIN: drained
        for (ssize_t offset = 0; offset < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            // The queue overflowed: whatever was lost may have been the change.
            if (event->mask & IN_Q_OVERFLOW) {
                concerned = true;
                continue;
            }
            if (event->len == 0)
                continue;
            const std::string name(event->name);  // NUL-padded to len
            if (std::find(names_.begin(), names_.end(), name) != names_.end())
                concerned = true;
        }
    }
    if (concerned && changed_)
        changed_();
    return concerned;
}

}  // namespace ravelong
