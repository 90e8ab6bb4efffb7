#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ravelong {

// Notices when the files that name the machine's time zone change: /etc/localtime (a symbolic
// link into the zone database, or a copy of a zone file) and /etc/timezone (the zone's name).
// Tools replace the link rather than write through it (a new link renamed over the old one, or
// the old one removed and a new one made), and a watch on the link itself would end with the old
// link, so the folder is watched (inotify) and its events are filtered by name.
//
// The owner's event loop watches fd() for input and calls readEvents(), which drains what arrived
// and calls `changed` once when any event concerned one of the names: created, replaced, removed
// or written. One change may come as several events over a few milliseconds (remove, then
// create), so a caller that acts on the change may wait a moment before acting. Main thread.
class ZoneFileWatcher {
public:
    ZoneFileWatcher(std::filesystem::path folder, std::vector<std::string> names,
                    std::function<void()> changed);
    // /etc, names "localtime" and "timezone".
    explicit ZoneFileWatcher(std::function<void()> changed);
    ~ZoneFileWatcher();
    ZoneFileWatcher(const ZoneFileWatcher&) = delete;
    ZoneFileWatcher& operator=(const ZoneFileWatcher&) = delete;

    // False when the folder cannot be watched (no inotify, no folder); the reason is logged and
    // readEvents does nothing.
    bool isValid() const { return fd_ >= 0; }
    // Becomes readable when events arrived. Non-blocking; -1 when not valid.
    int fd() const { return fd_; }
    // Returns whether `changed` was called.
    bool readEvents();

private:
    std::vector<std::string> names_;
    std::function<void()> changed_;
    int fd_ = -1;
};

}  // namespace ravelong
