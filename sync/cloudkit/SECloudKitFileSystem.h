#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sync/SECloudFileSystem.h"
#include "sync/cloudkit/CloudKitDatabase.h"

namespace ravelong {

class SECloudKitFileSystem;

// What the program hears about the share of a shared sync zone. Every member has a default.
class SECloudKitFileSystemDelegate {
public:
    virtual ~SECloudKitFileSystemDelegate() = default;
    virtual void cloudKitFileSystemShareIsAvailable(SECloudKitFileSystem&) {}
    // The new share, before it is saved: the delegate may add to it (a title, participants).
    virtual void cloudKitFileSystemWillSaveNewShare(SECloudKitFileSystem&, CKRecord& /*share*/) {}
};

// The databases of one CloudKit container, by scope; nullptr when the container cannot be
// reached (no account configured). Asked again on every connect().
using CloudKitContainer = std::function<std::shared_ptr<CloudKitDatabase>(CloudKitDatabase::Scope)>;

// The synchronisation back-end on a CloudKit container. Every file and directory of the engine's
// tree is one node record; file contents travel as assets (schema 1: in a separate data record
// "DataFile_<path>", schema 2: on the node). Nodes live in a record zone of the user's private
// database (or in a shared zone, or in the default zone of the public or private database), and
// a local cache of the tree follows the zone's change feed, kept between runs as a JSON file in
// $XDG_CACHE_HOME/ravelong.
//
// Operations run one at a time, after the set-up (zone, share, root node). CloudKit failures
// reach the caller in kCKErrorDomain with CloudKit's code; without a database every operation
// fails with kSEErrorNoConnection. Call from the main thread; completions run on the main loop.
// Destroying the file system abandons the operations in flight: their completions do not run.
class SECloudKitFileSystem final : public SECloudFileSystem {
public:
    static constexpr const char* kApplicationIdentifier = "io.github.ravelong.Ravelong";
    static constexpr const char* kSchema1NodeType = "SEItem";
    static constexpr const char* kSchema2NodeType = "SEFileSystemNode";
    static constexpr const char* kDataFileType = "SEDataFile";
    static constexpr const char* kNodePrefix = "SEFileSystemNode_";
    static constexpr const char* kDataFilePrefix = "DataFile_";
    static constexpr const char* kSubscriptionID = "SEFileAddedSubscription";
    static constexpr std::size_t kBatchSize = 30;
    static constexpr std::size_t kRemovalBatchSize = 200;

    // Nodes in the default zone of the public (or private) database under rootDirectory; no cache.
    static std::unique_ptr<SECloudKitFileSystem> withContainer(
        MainLoop& loop, CloudKitContainer container, std::string ubiquityContainerIdentifier,
        std::string rootDirectory, bool usePublicDatabase, int schemaVersion);
    // Nodes in this program's zone of the user's private database, root "/"; the cache is loaded.
    static std::unique_ptr<SECloudKitFileSystem> withPrivateDatabase(
        MainLoop& loop, CloudKitContainer container, std::string ubiquityContainerIdentifier,
        int schemaVersion);
    // Nodes in the zone named sharingIdentifier owned by shareOwnerName (kCKCurrentUserOwnerName:
    // the user's own zone, shared with others; anyone else: a zone shared with the user), schema
    // 2, with a share record of the same name; the cache is loaded.
    static std::unique_ptr<SECloudKitFileSystem> withSharing(
        MainLoop& loop, CloudKitContainer container, std::string ubiquityContainerIdentifier,
        std::string sharingIdentifier, std::string shareOwnerName);
    // Accepts an invitation so that the owner's zone can be reached through the shared scope.
    static void acceptInvitationToShare(MainLoop& loop, const CloudKitContainer& container,
                                        const CKShareMetadata& metadata, Completion completion);

    ~SECloudKitFileSystem() override;

    // The zone name of a schema version: the application identifier + ".sync.zone.schemaN".
    static std::string zoneNameForSchema(int schemaVersion);
    // Where the cache of a zone is kept: named by the MD5 of the zone ID's archived form.
    static std::filesystem::path cacheFileForZone(const CKRecordZoneID& zoneID);

    const std::string& ubiquityContainerIdentifier() const { return containerIdentifier_; }
    CloudKitDatabase::Scope databaseScope() const { return scope_; }
    const std::string& rootDirectory() const { return root_; }
    const std::optional<CKRecordZoneID>& recordZoneID() const { return zoneID_; }
    int schemaVersion() const { return schema_; }
    const std::optional<CKRecord>& share() const { return share_; }

    // The full path of an engine path, and the IDs of the records that hold it.
    std::string fullPath(const std::string& path) const;
    CKRecordID nodeRecordID(const std::string& fullPath) const;
    CKRecordID dataRecordID(const std::string& fullPath) const;

    // Not owned; clear it before the delegate goes away.
    SECloudKitFileSystemDelegate* delegate = nullptr;
    // Non-zero: progress and failures are logged. New instances start with the default, so that
    // what happens while one is made (reading the cache) can be logged too.
    static inline int defaultLoggingLevel = 0;
    int loggingLevel = defaultLoggingLevel;

    bool isConnected() const override;
    void connect(Completion completion) override;
    void fetchUserIdentityWithCompletion(IdentityCompletion completion) override;
    void fileExistsAtPath(const std::string& path, ExistsCompletion completion) override;
    void createDirectoryAtPath(const std::string& path, Completion completion) override;
    void contentsOfDirectoryAtPath(const std::string& path, ListingCompletion completion) override;
    void removeItemAtPath(const std::string& path, Completion completion) override;
    void uploadLocalFile(const std::filesystem::path& localFile, const std::string& path,
                         Completion completion) override;
    void downloadFromPath(const std::string& path, const std::filesystem::path& localFile,
                          Completion completion) override;

    bool respondsTo(SEOptionalOperation operation) const override;
    void uploadLocalFiles(const std::vector<std::filesystem::path>& localFiles,
                          const std::vector<std::string>& paths, Completion completion) override;
    void downloadFromPaths(const std::vector<std::string>& paths,
                           const std::vector<std::filesystem::path>& localFiles,
                           Completion completion) override;
    void removeItemsAtPaths(const std::vector<std::string>& paths, Completion completion) override;
    void primeForActivityWithCompletion(Completion completion) override;
    void hashOfDirectoryWithCompletion(HashCompletion completion) override;
    std::size_t fileUploadMaximumBatchSize() const override { return kBatchSize; }
    std::size_t fileDownloadMaximumBatchSize() const override { return kBatchSize; }

    void removeAllItemsWithCompletion(Completion completion);
    void deleteAllRecordsWithCompletion(Completion completion);
    void subscribeForPushNotificationsWithCompletion(Completion completion);

    // The local cache (zone forms, once loaded or primed): full path -> node record, directory
    // full path -> child full path -> item, and the position in the zone's change feed.
    struct Cache {
        std::map<std::string, CKRecord> recordsByFullPath;
        std::map<std::string, std::map<std::string, SECloudItem>> contentsByDirectoryPath;
        std::optional<CKServerChangeToken> serverChangeToken;
    };
    const std::optional<Cache>& cache() const { return cache_; }

private:
    using Step = std::function<void(std::function<void(Status)>)>;
    struct Node {
        CKRecordID recordID;
        bool isDirectory = false;
    };

    SECloudKitFileSystem(MainLoop& loop, CloudKitContainer container, std::string identifier);
    void setUpDatabase();
    void start();
    void enqueue(std::function<void(std::function<void()>)> operation);
    void runNext();
    // Runs the steps one after another, stopping at the first failure.
    void runSteps(std::vector<Step> steps, Completion completion);
    template <class Done>
    bool requireDatabase(Done& completion);
    // A database callback that uses this object, made to do nothing once the object is gone.
    template <class F>
    auto whileAlive(F f) {
        return [alive = std::weak_ptr<int>(alive_), f = std::move(f)](auto&&... args) mutable {
            if (alive.lock())
                f(std::forward<decltype(args)>(args)...);
        };
    }

    void setUpSteps(Completion completion);
    void setUpZone(std::function<void(Status)> next);
    void setUpShare(std::function<void(Status)> next);
    void setUpRoot(std::function<void(Status)> next);
    void prime(bool fromScratch, Completion completion);

    std::string nodeType() const;
    bool isNodeRecord(const CKRecord& record) const;
    std::optional<std::string> fullPathOfRecordName(const std::string& recordName) const;
    std::optional<std::string> parentFullPath(const std::string& fullPath) const;
    CKRecordZoneID zoneOrDefault() const;
    CKRecord directoryNode(const std::string& fullPath) const;
    SECloudItem itemFor(const CKRecord& record, const std::string& fullPath) const;
    void addToCache(const CKRecord& record);
    void removeFromCache(const std::string& fullPath);

    void listDirectory(const std::string& fullPath, ListingCompletion completion);
    void queryAll(CKQuery query, std::optional<std::vector<std::string>> keys,
                  std::function<void(std::vector<CKRecord>, CKError)> completion);
    void nodesForFullPaths(std::vector<std::string> fullPaths,
                           std::function<void(std::vector<CKRecord>, Status)> completion);
    void collectNodes(std::vector<std::string> fullPaths,
                      std::function<void(std::vector<Node>, Status)> completion);
    void deleteNodes(std::vector<Node> nodes, Completion completion);
    // Saves again, over the server's versions, the records of an upload that the zone refused
    // because it holds them already.
    void replaceExisting(const std::vector<CKRecord>& records, const CKError& refused,
                         Completion completion);
    void uploadBatch(const std::vector<std::filesystem::path>& localFiles,
                     const std::vector<std::string>& paths, Completion completion);
    void performRepairsIfNecessaryForError(const CKError& error, std::function<void()> done);

    void loadCache();
    void writeCache() const;
    void log(const std::string& message, const char* function, int line) const;

    CloudKitContainer container_;
    std::string containerIdentifier_;
    std::shared_ptr<CloudKitDatabase> database_;
    CloudKitDatabase::Scope scope_ = CloudKitDatabase::Scope::privateScope;
    std::string root_ = "/";
    std::optional<CKRecordZoneID> zoneID_;
    int schema_ = 2;
    std::string sharingIdentifier_;
    std::string shareOwnerName_;
    std::optional<CKRecord> share_;
    std::optional<CKRecordID> shareRecordID_;
    // Where the cache is kept between runs; empty for the forms without one.
    std::filesystem::path cacheFile_;
    std::optional<Cache> cache_;

    std::deque<std::function<void(std::function<void()>)>> operations_;
    bool running_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace ravelong
