#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Clock.h"
#include "sync/CloudTestLoop.h"
#include "sync/cloudkit/InMemoryCloudKitDatabase.h"
#include "sync/cloudkit/SECloudKitFileSystem.h"

namespace ravelong::testing {

// The user's cache folder, where the iCloud file system keeps its cache of a zone, pointed at
// another folder while this lives.
class ScopedCacheHome {
public:
    explicit ScopedCacheHome(const std::filesystem::path& path) {
        if (const char* old = std::getenv("XDG_CACHE_HOME"))
            previous_ = old;
        setenv("XDG_CACHE_HOME", path.c_str(), 1);
    }
    ~ScopedCacheHome() {
        if (previous_)
            setenv("XDG_CACHE_HOME", previous_->c_str(), 1);
        else
            unsetenv("XDG_CACHE_HOME");
    }

private:
    std::optional<std::string> previous_;
};

// One computer's iCloud file system (schema 2) on a private database, with its cache in a
// folder of its own.
inline std::unique_ptr<SECloudKitFileSystem> privateCloudKitFileSystem(
    MainLoop& loop, std::shared_ptr<CloudKitDatabase> database,
    const std::filesystem::path& cacheHome, const std::string& container) {
    ScopedCacheHome scoped(cacheHome);
    return SECloudKitFileSystem::withPrivateDatabase(
        loop, [database](CloudKitDatabase::Scope) { return database; }, container, 2);
}

// An in-memory container on a virtual main loop (installed as the clock records are dated by),
// with one private database signed in as "alice", and helpers that run a database call to its
// completion, checking that the completion ran once and not inside the call.
struct CloudKitTestLoop : CloudTestLoop {
    ScopedClock scopedClock{clock};
    std::shared_ptr<InMemoryCloudKitContainer> container =
        std::make_shared<InMemoryCloudKitContainer>();
    std::shared_ptr<InMemoryCloudKitDatabase> db = database(CloudKitDatabase::Scope::privateScope);

    std::shared_ptr<InMemoryCloudKitDatabase> database(CloudKitDatabase::Scope scope,
                                                       std::optional<std::string> user = "alice") {
        return std::make_shared<InMemoryCloudKitDatabase>(loop, container, scope, std::move(user));
    }

    template <class T, class Start>
    T await(Start start) {
        std::optional<T> got;
        int calls = 0;
        start([&](T value) {
            ++calls;
            got.emplace(std::move(value));
        });
        EXPECT_EQ(calls, 0) << "completed inside the call";
        settle([&] { return calls != 0; });
        EXPECT_EQ(calls, 1);
        return got ? std::move(*got) : T{};
    }

    CKError fetchZone(CloudKitDatabase& d, const CKRecordZoneID& zone) {
        return await<CKError>([&](auto done) {
            d.fetchRecordZone(zone, [done](std::optional<CKRecordZone>, CKError e) { done(e); });
        });
    }
    CKError saveZone(CloudKitDatabase& d, const CKRecordZoneID& zone) {
        return await<CKError>([&](auto done) { d.saveRecordZone(zone, done); });
    }
    CKError deleteZone(CloudKitDatabase& d, const CKRecordZoneID& zone) {
        return await<CKError>([&](auto done) { d.deleteRecordZone(zone, done); });
    }
    std::pair<std::vector<CKRecord>, CKError> modify(CloudKitDatabase& d,
                                                     const std::vector<CKRecord>& save,
                                                     const std::vector<CKRecordID>& remove = {}) {
        return await<std::pair<std::vector<CKRecord>, CKError>>([&](auto done) {
            d.modifyRecords(
                save, remove,
                [done](std::vector<CKRecord> saved, std::vector<CKRecordID>, CKError e) {
                    done({std::move(saved), e});
                });
        });
    }
    std::pair<std::vector<CKRecord>, CKError> fetch(
        CloudKitDatabase& d, const std::vector<CKRecordID>& ids,
        std::optional<std::vector<std::string>> keys = std::nullopt) {
        return await<std::pair<std::vector<CKRecord>, CKError>>([&](auto done) {
            d.fetchRecords(ids, keys, [done](std::vector<CKRecord> found, CKError e) {
                done({std::move(found), e});
            });
        });
    }
    std::pair<CKZoneChanges, CKError> changes(CloudKitDatabase& d, const CKRecordZoneID& zone,
                                              std::optional<CKServerChangeToken> since) {
        return await<std::pair<CKZoneChanges, CKError>>([&](auto done) {
            d.fetchRecordZoneChanges(zone, since, std::nullopt, [done](CKZoneChanges c, CKError e) {
                done({std::move(c), e});
            });
        });
    }
};

}  // namespace ravelong::testing
