#include "sync/dropbox/SEDropboxV2CloudFileSystem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "foundation/Log.h"

namespace ravelong {

namespace {

std::string asciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// How many UTF-8 characters a name holds (not bytes: the partitioning counts characters).
std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The byte length of the first `count` characters.
std::size_t bytesOfFirstCharacters(const std::string& text, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t seen = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count)
            break;
    }
    return i;
}

bool leavesRoot(const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (path.compare(start, end - start, "..") == 0 && end - start == 2)
            return true;
        start = end + 1;
    }
    return false;
}

Status invalidPath(const std::string& path) {
    return makeSEError(kSEErrorInvalidPath, "The path \"" + path + "\" leaves the sync folder.");
}

Status noClient() {
    return makeSEError(kSEErrorAuthorization, "No Dropbox account is linked.");
}

}  // namespace

SEDropboxV2CloudFileSystem::SEDropboxV2CloudFileSystem(MainLoop& loop, DBClientsManager& clients)
    : SECloudFileSystem(loop), clients_(clients) {}

SEDropboxV2CloudFileSystem::~SEDropboxV2CloudFileSystem() {
    alive_.reset();
    if (monitorTimer_)
        mainLoop().cancel(monitorTimer_);
    if (longPoll_)
        clients_.transport().cancel(longPoll_);
}

void SEDropboxV2CloudFileSystem::setRelativePathToRootInDropbox(std::string root) {
    if (!root.empty() && root.front() != '/')
        root.insert(root.begin(), '/');
    root_ = std::move(root);
}

std::string SEDropboxV2CloudFileSystem::fullDropboxPathForPath(const std::string& path) const {
    std::string full = root_;
    while (!full.empty() && full.back() == '/')
        full.pop_back();
    if (path.empty() || path.front() != '/')
        full += '/';
    full += path;
    while (full.size() > 1 && full.back() == '/')
        full.pop_back();

    if (partitionDataFilesBetweenSubdirectories) {
        auto slash = full.rfind('/');
        std::string name = full.substr(slash + 1);
        std::string parent = full.substr(0, slash);
        std::string parentName = parent.substr(parent.rfind('/') + 1);
        if (parentName == "data" && characterCount(name) == 32)
            full = parent + "/" + name.substr(0, bytesOfFirstCharacters(name, 2)) + "/" + name;
    }
    // Dropbox names its root with the empty path.
    return full == "/" ? std::string() : full;
}

std::vector<std::string> SEDropboxV2CloudFileSystem::fullDropboxPathsForPaths(
    const std::vector<std::string>& paths) const {
    std::vector<std::string> out;
    out.reserve(paths.size());
    for (const auto& p : paths)
        out.push_back(fullDropboxPathForPath(p));
    return out;
}

std::string SEDropboxV2CloudFileSystem::enginePathFor(const DBMetadata& entry) const {
    std::string root = asciiLower(fullDropboxPathForPath("/"));
    std::string lower = entry.pathLower.empty() ? asciiLower(entry.pathDisplay) : entry.pathLower;
    if (lower.size() > root.size() && lower.compare(0, root.size(), root) == 0 &&
        lower[root.size()] == '/' && entry.pathDisplay.size() > root.size() + 1)
        return entry.pathDisplay.substr(root.size() + 1);
    return entry.pathDisplay;
}

DBUserClient* SEDropboxV2CloudFileSystem::client() {
    // Asked each time, so that unlinking the account is noticed at once.
    return clients_.authorizedClient();
}

bool SEDropboxV2CloudFileSystem::requireClient(const Completion& completion) {
    if (client())
        return true;
    deliver([completion] { completion(noClient()); });
    return false;
}

bool SEDropboxV2CloudFileSystem::isConnected() const {
    return clients_.authorizedClient() != nullptr;
}

void SEDropboxV2CloudFileSystem::connect(Completion completion) {
    if (isConnected()) {
        deliver([completion = std::move(completion)] { completion(Status()); });
    } else if (delegate && delegate->offersLinkSession()) {
        delegate->linkSessionForDropboxCloudFileSystem(*this, std::move(completion));
    } else {
        deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorNoConnection, "No Dropbox account is linked."));
        });
    }
}

void SEDropboxV2CloudFileSystem::fetchUserIdentityWithCompletion(IdentityCompletion completion) {
    auto* c = client();
    if (!c) {
        deliver([completion = std::move(completion)] { completion(std::nullopt, noClient()); });
        return;
    }
    c->getCurrentAccount([completion = std::move(completion)](DBResult<std::string> r) {
        if (!r.ok())
            return completion(std::nullopt, r.error().toSEError());
        completion(r.value(), Status());
    });
}

void SEDropboxV2CloudFileSystem::fileExistsAtPath(const std::string& path,
                                                  ExistsCompletion completion) {
    auto* c = client();
    Status early = !c ? noClient() : leavesRoot(path) ? invalidPath(path) : Status();
    std::string full = fullDropboxPathForPath(path);
    if (!early.ok() || full.empty()) {
        // The root always exists; Dropbox gives no metadata for it.
        bool root = early.ok();
        deliver(
            [completion = std::move(completion), early, root] { completion(root, root, early); });
        return;
    }
    c->getMetadata(full, [completion = std::move(completion)](DBResult<DBMetadata> r) {
        if (!r.ok()) {
            if (r.error().hasTags({"path", "not_found"}))
                return completion(false, false, Status());
            return completion(false, false, r.error().toSEError());
        }
        switch (r.value().kind) {
            case DBMetadata::Kind::file:
                return completion(true, false, Status());
            case DBMetadata::Kind::folder:
                return completion(true, true, Status());
            case DBMetadata::Kind::deleted:
                return completion(false, false, Status());
        }
    });
}

void SEDropboxV2CloudFileSystem::createDirectoryAtPath(const std::string& path,
                                                       Completion completion) {
    if (!requireClient(completion))
        return;
    if (leavesRoot(path)) {
        deliver([completion = std::move(completion), path] { completion(invalidPath(path)); });
        return;
    }
    client()->createFolderV2(fullDropboxPathForPath(path),
                             [completion = std::move(completion)](DBResult<DBMetadata> r) {
                                 // A folder already there is what the caller asked for: the engine
                                 // creates its folders before every write, as it would with mkdir
                                 // -p.
                                 if (r.ok() || r.error().hasTags({"path", "conflict", "folder"}))
                                     return completion(Status());
                                 completion(r.error().toSEError());
                             });
}

void SEDropboxV2CloudFileSystem::contentsOfDirectoryAtPath(const std::string& path,
                                                           ListingCompletion completion) {
    auto* c = client();
    if (!c || leavesRoot(path)) {
        Status error = !c ? noClient() : invalidPath(path);
        deliver([completion = std::move(completion), error] { completion(std::nullopt, error); });
        return;
    }
    std::string full = fullDropboxPathForPath(path);
    c->listFolderAllPages(
        full, partitionDataFilesBetweenSubdirectories,
        [this, alive = std::weak_ptr<int>(alive_), full, path,
         completion = std::move(completion)](DBResult<std::vector<DBMetadata>> r) {
            if (!r.ok()) {
                Error e = r.error().toSEError();
                if (r.error().hasTags({"path", "not_found"}) ||
                    r.error().hasTags({"path", "not_folder"}))
                    e = makeSEError(kSEErrorNoDirectory, "There is no folder at " + path + ".");
                return completion(std::nullopt, e);
            }
            if (!alive.lock())
                return completion(std::nullopt, makeSEError(kSEErrorUnknown, "Cancelled."));
            std::string self = asciiLower(full);
            std::vector<SECloudItem> items;
            for (const auto& entry : r.value()) {
                // Dropbox names the copies it makes of conflicting edits "x (conflicted copy)";
                // the engine must not read them as its own files.
                if (entry.name.find(')') != std::string::npos)
                    continue;
                if (entry.kind == DBMetadata::Kind::deleted) {
                    logError("dropbox",
                             "We shouldn't have received DBFILESDeletedMetadata since "
                             "includeDeleted is NO");
                    continue;
                }
                std::string lower =
                    entry.pathLower.empty() ? asciiLower(entry.pathDisplay) : entry.pathLower;
                if (lower == self)
                    continue;
                SECloudItem item;
                item.isDirectory = entry.kind == DBMetadata::Kind::folder;
                item.name = entry.name;
                item.path = enginePathFor(entry);
                item.size = item.isDirectory ? 0 : entry.size;
                items.push_back(std::move(item));
            }
            completion(std::move(items), Status());
        });
}

void SEDropboxV2CloudFileSystem::removeItemAtPath(const std::string& path, Completion completion) {
    removeItemsAtPaths({path}, std::move(completion));
}

void SEDropboxV2CloudFileSystem::uploadLocalFile(const std::filesystem::path& localFile,
                                                 const std::string& path, Completion completion) {
    uploadLocalFiles({localFile}, {path}, std::move(completion));
}

void SEDropboxV2CloudFileSystem::downloadFromPath(const std::string& path,
                                                  const std::filesystem::path& localFile,
                                                  Completion completion) {
    downloadFromPaths({path}, {localFile}, std::move(completion));
}

bool SEDropboxV2CloudFileSystem::respondsTo(SEOptionalOperation operation) const {
    return operation == SEOptionalOperation::uploadBatch ||
           operation == SEOptionalOperation::downloadBatch ||
           operation == SEOptionalOperation::removeBatch;
}

namespace {

// Collects the outcome of transfers started together: the completion runs once all have ended,
// with the error of the last item (in the caller's order) that failed.
struct Gather {
    std::vector<Status> outcomes;
    std::size_t left = 0;
    SECloudFileSystem::Completion completion;

    void done(std::size_t i, Status status) {
        outcomes[i] = std::move(status);
        if (--left > 0)
            return;
        Status last;
        for (const auto& s : outcomes)
            if (!s.ok())
                last = s;
        completion(last);
    }
};

}  // namespace

void SEDropboxV2CloudFileSystem::removeItemsAtPaths(const std::vector<std::string>& paths,
                                                    Completion completion) {
    if (!requireClient(completion))
        return;
    if (paths.empty()) {
        deliver([completion = std::move(completion)] { completion(Status()); });
        return;
    }
    auto gather = std::make_shared<Gather>();
    gather->outcomes.resize(paths.size());
    gather->left = paths.size();
    gather->completion = std::move(completion);
    std::string root = fullDropboxPathForPath("/");
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::string full = fullDropboxPathForPath(paths[i]);
        if (leavesRoot(paths[i]) || full == root) {
            // The sync folder itself is never removed through the engine.
            Status refused =
                leavesRoot(paths[i])
                    ? invalidPath(paths[i])
                    : makeSEError(kSEErrorInvalidPath, "The sync folder itself is never removed.");
            deliver([gather, i, refused] { gather->done(i, refused); });
            continue;
        }
        client()->deleteV2(full, [gather, i](DBResult<DBMetadata> r) {
            gather->done(i, r.ok() ? Status() : Status(r.error().toSEError()));
        });
    }
}

void SEDropboxV2CloudFileSystem::uploadLocalFiles(
    const std::vector<std::filesystem::path>& localFiles, const std::vector<std::string>& paths,
    Completion completion) {
    if (!requireClient(completion))
        return;
    if (localFiles.size() != paths.size()) {
        deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnknown, "Upload lists of different lengths."));
        });
        return;
    }
    for (const auto& p : paths) {
        if (leavesRoot(p)) {
            deliver([completion = std::move(completion), p] { completion(invalidPath(p)); });
            return;
        }
    }
    if (paths.empty()) {
        deliver([completion = std::move(completion)] { completion(Status()); });
        return;
    }
    ++uploadBatches_;
    auto finish = [this, alive = std::weak_ptr<int>(alive_),
                   completion = std::move(completion)](Status status) {
        if (alive.lock())
            --uploadBatches_;
        completion(status);
    };
    if (paths.size() == 1) {
        client()->uploadFile(localFiles[0], fullDropboxPathForPath(paths[0]),
                             [finish = std::move(finish)](DBResult<DBMetadata> r) {
                                 finish(r.ok() ? Status() : Status(r.error().toSEError()));
                             });
        return;
    }
    std::vector<std::pair<std::filesystem::path, std::string>> files;
    for (std::size_t i = 0; i < paths.size(); ++i)
        files.emplace_back(localFiles[i], fullDropboxPathForPath(paths[i]));
    client()->uploadFiles(files,
                          [finish = std::move(finish)](std::vector<DBResult<DBMetadata>> results) {
                              Status last;
                              for (const auto& r : results)
                                  if (!r.ok())
                                      last = r.error().toSEError();
                              finish(last);
                          });
}

void SEDropboxV2CloudFileSystem::downloadFromPaths(
    const std::vector<std::string>& paths, const std::vector<std::filesystem::path>& localFiles,
    Completion completion) {
    if (!requireClient(completion))
        return;
    if (localFiles.size() != paths.size()) {
        deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnknown, "Download lists of different lengths."));
        });
        return;
    }
    if (paths.empty()) {
        deliver([completion = std::move(completion)] { completion(Status()); });
        return;
    }
    auto gather = std::make_shared<Gather>();
    gather->outcomes.resize(paths.size());
    gather->left = paths.size();
    gather->completion = std::move(completion);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (leavesRoot(paths[i])) {
            Status refused = invalidPath(paths[i]);
            deliver([gather, i, refused] { gather->done(i, refused); });
            continue;
        }
        client()->download(fullDropboxPathForPath(paths[i]), localFiles[i],
                           [gather, i](DBResult<DBMetadata> r) {
                               gather->done(i, r.ok() ? Status() : Status(r.error().toSEError()));
                           });
    }
}

void SEDropboxV2CloudFileSystem::subscribeForRemoteFileChangeNotificationsWithCompletion(
    Completion completion) {
    bool connected = isConnected();
    deliver([completion = std::move(completion), connected] {
        completion(connected ? Status() : noClient());
    });
    if (connected && !monitoring_) {
        monitoring_ = true;
        monitorCloudFileChanges();
    }
}

void SEDropboxV2CloudFileSystem::log(const std::string& message, const char* function,
                                     int line) const {
    if (loggingLevel == 0)
        return;
    char text[512];
    std::snprintf(text, sizeof text, "  %-60s  <<<  %-70s line %d", message.c_str(), function,
                  line);
    logInfo("dropbox", text);
}

void SEDropboxV2CloudFileSystem::monitorCloudFileChanges() {
    monitorTimer_ = 0;
    auto retryLater = [this] {
        monitorTimer_ =
            mainLoop().runAfter(monitorRetrySeconds, [this, alive = std::weak_ptr<int>(alive_)] {
                if (alive.lock())
                    monitorCloudFileChanges();
            });
    };
    auto* c = client();
    if (!c) {
        retryLater();
        return;
    }
    c->listFolderGetLatestCursor(
        fullDropboxPathForPath("/"), true,
        [this, alive = std::weak_ptr<int>(alive_), retryLater](DBResult<std::string> r) {
            if (!alive.lock())
                return;
            if (!r.ok()) {
                if (r.error().kind == DBError::Kind::cancelled) {
                    monitoring_ = false;
                    return;
                }
                log((r.error().kind == DBError::Kind::route
                         ? "Dropbox: routeError in listFolder before longpoll: "
                         : "Dropbox: requestError in listFolder before longpoll: ") +
                        r.error().summary,
                    "recursivelyListAllFilesWithCompletion", __LINE__);
                log("Error in recursivelyListAllFilesWithCompletion: " + r.error().summary +
                        ". Retrying in 30 seconds.",
                    "recursivelyListAllFilesWithCompletion", __LINE__);
                retryLater();
                return;
            }
            longPollWithCursor(r.value());
        });
}

void SEDropboxV2CloudFileSystem::longPollWithCursor(const std::string& cursor) {
    auto* c = client();
    if (!c) {
        monitorCloudFileChanges();
        return;
    }
    longPoll_ = c->listFolderLongpoll(
        cursor, longPollTimeoutSeconds,
        [this, alive = std::weak_ptr<int>(alive_)](DBResult<DBLongpollResult> r) {
            if (!alive.lock())
                return;
            longPoll_ = 0;
            if (!r.ok() && r.error().kind == DBError::Kind::cancelled) {
                monitoring_ = false;
                return;
            }
            double wait = 0;
            if (r.ok()) {
                auto backoff = r.value().backoffSeconds;
                log("Dropbox: longPollListFolderResult: changes=" +
                        std::string(r.value().changes ? "1" : "0") +
                        ", backoff=" + (backoff ? std::to_string(*backoff) : "(null)"),
                    "longPollListFolderResult", __LINE__);
                // The server asks for this pause before the next poll.
                wait = backoff ? std::clamp(*backoff, 0.0, 3600.0) : 0;
            } else {
                log((r.error().kind == DBError::Kind::route
                         ? "Dropbox: routeError in listFolderLongpoll: "
                         : "Dropbox: requestError in listFolderLongpoll: ") +
                        r.error().summary,
                    "longPollListFolderResult", __LINE__);
                // A failing poll would otherwise be asked again at once, forever.
                wait = monitorRetrySeconds;
            }
            if (!r.ok() || r.value().changes) {
                if (!currentlyUploading() &&
                    !(delegate && delegate->currentlyDoingBackgroundFetch()) && delegate)
                    delegate->dropboxCloudFileSystemDidDetectRemoteFileChanges(*this);
                if (alive.expired())
                    return;  // the delegate let go of us
            }
            if (wait <= 0) {
                monitorCloudFileChanges();
                return;
            }
            monitorTimer_ = mainLoop().runAfter(wait, [this, alive = std::weak_ptr<int>(alive_)] {
                if (alive.lock())
                    monitorCloudFileChanges();
            });
        });
}

}  // namespace ravelong
