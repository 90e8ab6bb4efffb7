#include "sync/cloudkit/SECloudKitFileSystem.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <type_traits>

#include "foundation/AtomicFile.h"
#include "foundation/Log.h"
#include "foundation/UserFolders.h"

namespace ravelong {

namespace fs = std::filesystem;
using json = nlohmann::json;
using Scope = CloudKitDatabase::Scope;

namespace {

const std::vector<std::string> kNodeKeys{"isDirectory", "fileSize", "path"};

Status noConnectionError() {
    return makeSEError(kSEErrorNoConnection, "No iCloud connection");
}

// A CloudKit failure as the engine sees it: CloudKit's domain and code, and for a partial
// failure the failing records in the reason.
Status toStatus(const CKError& error) {
    if (error.ok())
        return Status();
    std::string reason;
    for (const auto& item : error.partialErrors) {
        if (!reason.empty())
            reason += "; ";
        reason +=
            item.recordID.recordName + ": " + std::to_string(item.code) + " " + item.description;
    }
    return Error{kCKErrorDomain, error.code, error.description, reason};
}

bool isMissing(const CKError& error) {
    return error.code == CKErrorCode::unknownItem ||
           error.isPartialFailureOnlyOf({CKErrorCode::unknownItem});
}

std::int64_t numberField(const CKRecord& record, const std::string& key) {
    const CKValue* value = record.field(key);
    if (!value)
        return 0;
    if (auto* i = std::get_if<std::int64_t>(value))
        return *i;
    if (auto* d = std::get_if<double>(value))
        return static_cast<std::int64_t>(*d);
    return 0;
}

const std::string* stringField(const CKRecord& record, const std::string& key) {
    const CKValue* value = record.field(key);
    return value ? std::get_if<std::string>(value) : nullptr;
}

// The engine path without its leading and trailing slashes ("" for the root).
std::string trimmedPath(const std::string& path) {
    std::size_t begin = path.find_first_not_of('/');
    if (begin == std::string::npos)
        return {};
    std::size_t end = path.find_last_not_of('/');
    return path.substr(begin, end - begin + 1);
}

std::string md5Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

fs::path cacheHome() {
    const char* value = std::getenv("XDG_CACHE_HOME");
    if (value && *value && fs::path(value).is_absolute())
        return value;
    return user_folders::home() / ".cache";
}

// ---- The cache file: records, items and the token as JSON ----

json zoneToJson(const CKRecordZoneID& zone) {
    return {{"zoneName", zone.zoneName}, {"ownerName", zone.ownerName}};
}

CKRecordZoneID zoneFromJson(const json& j) {
    return {j.at("zoneName").get<std::string>(), j.at("ownerName").get<std::string>()};
}

json recordToJson(const CKRecord& record) {
    json fields = json::object();
    for (const auto& [key, value] : record.fields) {
        if (auto* s = std::get_if<std::string>(&value))
            fields[key] = {{"string", *s}};
        else if (auto* i = std::get_if<std::int64_t>(&value))
            fields[key] = {{"number", *i}};
        else if (auto* d = std::get_if<double>(&value))
            fields[key] = {{"double", *d}};
        else if (auto* r = std::get_if<CKReference>(&value))
            fields[key] = {{"reference", r->recordID.recordName},
                           {"zone", zoneToJson(r->recordID.zoneID)},
                           {"deleteSelf", r->action == CKReference::Action::deleteSelf}};
        // Assets are not kept: the cache holds only what a listing needs.
    }
    return {{"recordType", record.recordType},
            {"recordName", record.recordID.recordName},
            {"zone", zoneToJson(record.recordID.zoneID)},
            {"recordChangeTag", record.recordChangeTag},
            {"modificationDate", record.modificationDate},
            {"fields", fields}};
}

CKRecord recordFromJson(const json& j) {
    CKRecord record;
    record.recordType = j.at("recordType").get<std::string>();
    record.recordID = {j.at("recordName").get<std::string>(), zoneFromJson(j.at("zone"))};
    record.recordChangeTag = j.at("recordChangeTag").get<std::string>();
    record.modificationDate = j.at("modificationDate").get<double>();
    for (const auto& [key, value] : j.at("fields").items()) {
        if (value.contains("string"))
            record.setField(key, value.at("string").get<std::string>());
        else if (value.contains("number"))
            record.setField(key, value.at("number").get<std::int64_t>());
        else if (value.contains("double"))
            record.setField(key, value.at("double").get<double>());
        else if (value.contains("reference"))
            record.setField(
                key, CKReference{
                         {value.at("reference").get<std::string>(), zoneFromJson(value.at("zone"))},
                         value.at("deleteSelf").get<bool>() ? CKReference::Action::deleteSelf
                                                            : CKReference::Action::none});
        else
            throw std::runtime_error("unknown field kind");
    }
    return record;
}

json itemToJson(const SECloudItem& item) {
    return {{"name", item.name},
            {"path", item.path},
            {"isDirectory", item.isDirectory},
            {"size", item.size}};
}

SECloudItem itemFromJson(const json& j) {
    SECloudItem item;
    item.name = j.at("name").get<std::string>();
    item.path = j.at("path").get<std::string>();
    item.isDirectory = j.at("isDirectory").get<bool>();
    item.size = j.at("size").get<std::uint64_t>();
    return item;
}

}  // namespace

// ---- Making one ----

SECloudKitFileSystem::SECloudKitFileSystem(MainLoop& loop, CloudKitContainer container,
                                           std::string identifier)
    : SECloudFileSystem(loop),
      container_(std::move(container)),
      containerIdentifier_(std::move(identifier)) {
    if (containerIdentifier_.empty())
        throw std::logic_error("ubiquity != nil");
}

SECloudKitFileSystem::~SECloudKitFileSystem() {
    alive_.reset();
}

std::unique_ptr<SECloudKitFileSystem> SECloudKitFileSystem::withContainer(
    MainLoop& loop, CloudKitContainer container, std::string ubiquityContainerIdentifier,
    std::string rootDirectory, bool usePublicDatabase, int schemaVersion) {
    std::unique_ptr<SECloudKitFileSystem> fs(new SECloudKitFileSystem(
        loop, std::move(container), std::move(ubiquityContainerIdentifier)));
    fs->scope_ = usePublicDatabase ? Scope::publicScope : Scope::privateScope;
    std::string root = trimmedPath(rootDirectory);
    fs->root_ = root.empty() ? "/" : "/" + root + "/";
    fs->schema_ = schemaVersion;
    fs->start();
    return fs;
}

std::unique_ptr<SECloudKitFileSystem> SECloudKitFileSystem::withPrivateDatabase(
    MainLoop& loop, CloudKitContainer container, std::string ubiquityContainerIdentifier,
    int schemaVersion) {
    std::unique_ptr<SECloudKitFileSystem> fs(new SECloudKitFileSystem(
        loop, std::move(container), std::move(ubiquityContainerIdentifier)));
    fs->scope_ = Scope::privateScope;
    fs->schema_ = schemaVersion;
    fs->zoneID_ = CKRecordZoneID{zoneNameForSchema(schemaVersion), kCKCurrentUserOwnerName};
    fs->cacheFile_ = cacheFileForZone(*fs->zoneID_);
    fs->loadCache();
    fs->start();
    return fs;
}

std::unique_ptr<SECloudKitFileSystem> SECloudKitFileSystem::withSharing(
    MainLoop& loop, CloudKitContainer container, std::string ubiquityContainerIdentifier,
    std::string sharingIdentifier, std::string shareOwnerName) {
    if (sharingIdentifier.empty())
        throw std::logic_error("newSharingIdentifier != nil");
    std::unique_ptr<SECloudKitFileSystem> fs(new SECloudKitFileSystem(
        loop, std::move(container), std::move(ubiquityContainerIdentifier)));
    fs->schema_ = 2;
    fs->scope_ =
        shareOwnerName == kCKCurrentUserOwnerName ? Scope::privateScope : Scope::sharedScope;
    fs->zoneID_ = CKRecordZoneID{sharingIdentifier, shareOwnerName};
    fs->shareRecordID_ = CKRecordID{sharingIdentifier, *fs->zoneID_};
    fs->sharingIdentifier_ = std::move(sharingIdentifier);
    fs->shareOwnerName_ = std::move(shareOwnerName);
    fs->cacheFile_ = cacheFileForZone(*fs->zoneID_);
    fs->loadCache();
    fs->start();
    return fs;
}

void SECloudKitFileSystem::acceptInvitationToShare(MainLoop& loop,
                                                   const CloudKitContainer& container,
                                                   const CKShareMetadata& metadata,
                                                   Completion completion) {
    auto database = container ? container(Scope::sharedScope) : nullptr;
    if (!database) {
        loop.runOnMainThread(
            [completion = std::move(completion)] { completion(noConnectionError()); });
        return;
    }
    database->acceptShare(metadata, [database, completion = std::move(completion)](CKError e) {
        completion(toStatus(e));
    });
}

std::string SECloudKitFileSystem::zoneNameForSchema(int schemaVersion) {
    return std::string(kApplicationIdentifier) + ".sync.zone.schema" +
           std::to_string(schemaVersion);
}

fs::path SECloudKitFileSystem::cacheFileForZone(const CKRecordZoneID& zoneID) {
    return cacheHome() / "ravelong" / (md5Hex(zoneToJson(zoneID).dump()) + ".secloudkitcache.v2");
}

void SECloudKitFileSystem::setUpDatabase() {
    database_ = container_ ? container_(scope_) : nullptr;
}

void SECloudKitFileSystem::start() {
    setUpDatabase();
    if (database_)
        setUpSteps([](Status) {});
}

bool SECloudKitFileSystem::isConnected() const {
    return database_ != nullptr;
}

void SECloudKitFileSystem::connect(Completion completion) {
    setUpDatabase();
    if (!requireDatabase(completion))
        return;
    setUpSteps(std::move(completion));
}

template <class Done>
bool SECloudKitFileSystem::requireDatabase(Done& completion) {
    if (database_)
        return true;
    deliver([completion = std::move(completion)]() mutable {
        if constexpr (std::is_invocable_v<Done, Status>)
            completion(noConnectionError());
        else if constexpr (std::is_invocable_v<Done, bool, bool, Status>)
            completion(false, false, noConnectionError());
        else
            completion({}, noConnectionError());
    });
    return false;
}

// ---- The operation queue ----

void SECloudKitFileSystem::enqueue(std::function<void(std::function<void()>)> operation) {
    operations_.push_back(std::move(operation));
    deliver([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock())
            runNext();
    });
}

void SECloudKitFileSystem::runNext() {
    if (running_ || operations_.empty())
        return;
    running_ = true;
    auto operation = std::move(operations_.front());
    operations_.pop_front();
    operation([this, alive = std::weak_ptr<int>(alive_)] {
        if (!alive.lock())
            return;
        running_ = false;
        deliver([this, alive] {
            if (alive.lock())
                runNext();
        });
    });
}

void SECloudKitFileSystem::runSteps(std::vector<Step> steps, Completion completion) {
    struct State {
        std::vector<Step> steps;
        std::size_t next = 0;
        Completion completion;
        // Holds the state only weakly: each pending step's callback keeps it alive.
        std::function<void(Status)> advance;
    };
    auto state = std::make_shared<State>();
    state->steps = std::move(steps);
    state->completion = std::move(completion);
    state->advance = [weak = std::weak_ptr<State>(state)](Status status) {
        auto s = weak.lock();
        if (!s)
            return;
        if (!s->completion)
            return;  // already finished
        if (!status.ok() || s->next == s->steps.size()) {
            auto done = std::move(s->completion);
            s->completion = nullptr;
            return done(status);
        }
        auto& step = s->steps[s->next++];
        step([s](Status result) { s->advance(result); });
    };
    state->advance(Status());
}

// ---- Set-up ----

void SECloudKitFileSystem::setUpSteps(Completion completion) {
    enqueue([this, completion = std::move(completion)](std::function<void()> done) {
        std::vector<Step> steps;
        if (zoneID_)
            steps.push_back([this](auto next) { setUpZone(std::move(next)); });
        if (shareRecordID_)
            steps.push_back([this](auto next) { setUpShare(std::move(next)); });
        steps.push_back([this](auto next) { setUpRoot(std::move(next)); });
        runSteps(std::move(steps), [done, completion](Status status) {
            done();
            completion(status);
        });
    });
}

void SECloudKitFileSystem::setUpZone(std::function<void(Status)> next) {
    // Callbacks name the database weakly: a call still pending when the file system goes must
    // not keep the database (which holds the call) alive for ever.
    std::weak_ptr<CloudKitDatabase> weakDatabase = database_;
    database_->fetchRecordZone(
        *zoneID_,
        whileAlive([this, weakDatabase, next](std::optional<CKRecordZone>, CKError error) {
            if (error.ok())
                return next(Status());
            if (error.code != CKErrorCode::zoneNotFound &&
                error.code != CKErrorCode::userDeletedZone) {
                log("Error fetching zone: " + error.description, "setupCloud", __LINE__);
                return next(toStatus(error));
            }
            auto database = weakDatabase.lock();
            if (!database)
                return next(noConnectionError());
            database->saveRecordZone(*zoneID_, [next](CKError saved) { next(toStatus(saved)); });
        }));
}

void SECloudKitFileSystem::setUpShare(std::function<void(Status)> next) {
    std::weak_ptr<CloudKitDatabase> weakDatabase = database_;
    database_->fetchRecords(
        {*shareRecordID_}, std::nullopt,
        whileAlive([this, weakDatabase, next](std::vector<CKRecord> found, CKError error) {
            auto available = [this, next](CKRecord share) {
                share_ = std::move(share);
                if (delegate)
                    delegate->cloudKitFileSystemShareIsAvailable(*this);
                next(Status());
            };
            if (error.ok() && !found.empty())
                return available(std::move(found.front()));
            if (!isMissing(error) || scope_ != Scope::privateScope)
                return next(toStatus(error));
            CKRecord root = directoryNode(root_);
            CKRecord share;
            share.recordType = kCKShareRecordType;
            share.recordID = *shareRecordID_;
            share.shareRootRecordID = root.recordID;
            share.setField("isSyncShare", std::int64_t{1});
            share.setField("publicPermission", std::int64_t{1});
            if (delegate)
                delegate->cloudKitFileSystemWillSaveNewShare(*this, share);
            auto database = weakDatabase.lock();
            if (!database)
                return next(noConnectionError());
            database->modifyRecords(
                {root, share}, {},
                whileAlive([this, available, next](std::vector<CKRecord> saved,
                                                   std::vector<CKRecordID>, CKError error) {
                    // The root node may be there already (a share deleted and made again):
                    // what matters is that the share itself was saved.
                    for (auto& record : saved)
                        if (record.recordID == *shareRecordID_)
                            return available(std::move(record));
                    next(toStatus(
                        error.ok()
                            ? CKError{CKErrorCode::internalError, "The share was not saved.", {}, 0}
                            : error));
                }));
        }));
}

void SECloudKitFileSystem::setUpRoot(std::function<void(Status)> next) {
    std::weak_ptr<CloudKitDatabase> weakDatabase = database_;
    CKRecordID rootID = nodeRecordID(root_);
    database_->fetchRecords(
        {rootID}, kNodeKeys,
        whileAlive([this, weakDatabase, next](std::vector<CKRecord> found, CKError error) {
            if (error.ok() && !found.empty())
                return next(Status());
            if (!error.ok() && error.code != CKErrorCode::partialFailure &&
                error.code != CKErrorCode::unknownItem)
                return next(toStatus(error));
            auto database = weakDatabase.lock();
            if (!database)
                return next(noConnectionError());
            database->modifyRecords({directoryNode(root_)}, {},
                                    [next](std::vector<CKRecord>, std::vector<CKRecordID>,
                                           CKError saved) { next(toStatus(saved)); });
        }));
}

// ---- Names and items ----

std::string SECloudKitFileSystem::nodeType() const {
    return schema_ == 1 ? kSchema1NodeType : kSchema2NodeType;
}

CKRecordZoneID SECloudKitFileSystem::zoneOrDefault() const {
    return zoneID_ ? *zoneID_ : CKRecordZoneID{};
}

std::string SECloudKitFileSystem::fullPath(const std::string& path) const {
    return root_ + trimmedPath(path);
}

CKRecordID SECloudKitFileSystem::nodeRecordID(const std::string& fullPath) const {
    return {schema_ == 1 ? fullPath : kNodePrefix + fullPath, zoneOrDefault()};
}

CKRecordID SECloudKitFileSystem::dataRecordID(const std::string& fullPath) const {
    return {kDataFilePrefix + fullPath, zoneOrDefault()};
}

bool SECloudKitFileSystem::isNodeRecord(const CKRecord& record) const {
    return record.recordType == nodeType() && fullPathOfRecordName(record.recordID.recordName);
}

std::optional<std::string> SECloudKitFileSystem::fullPathOfRecordName(
    const std::string& recordName) const {
    if (schema_ == 1)
        return recordName.starts_with('/') ? std::optional(recordName) : std::nullopt;
    if (!recordName.starts_with(kNodePrefix))
        return std::nullopt;
    return recordName.substr(std::char_traits<char>::length(kNodePrefix));
}

std::optional<std::string> SECloudKitFileSystem::parentFullPath(const std::string& full) const {
    if (full.size() <= root_.size() || !full.starts_with(root_))
        return std::nullopt;
    std::string relative = full.substr(root_.size());
    auto slash = relative.rfind('/');
    return fullPath(slash == std::string::npos ? std::string() : relative.substr(0, slash));
}

CKRecord SECloudKitFileSystem::directoryNode(const std::string& full) const {
    CKRecord node;
    node.recordType = nodeType();
    node.recordID = nodeRecordID(full);
    node.setField("isDirectory", std::int64_t{1});
    if (auto parent = parentFullPath(full)) {
        node.setField("directory",
                      CKReference{nodeRecordID(*parent), CKReference::Action::deleteSelf});
        // In a shared zone every node hangs from the root, so the share reaches all of them.
        if (shareRecordID_)
            node.parent = nodeRecordID(*parent);
    }
    node.setField("path", full);
    return node;
}

SECloudItem SECloudKitFileSystem::itemFor(const CKRecord& record, const std::string& full) const {
    SECloudItem item;
    item.isDirectory = numberField(record, "isDirectory") != 0;
    item.name = full.substr(full.rfind('/') + 1);
    item.path = full.starts_with(root_) ? full.substr(root_.size()) : full;
    if (!item.isDirectory)
        item.size = static_cast<std::uint64_t>(numberField(record, "fileSize"));
    return item;
}

// ---- Priming and the cache ----

void SECloudKitFileSystem::addToCache(const CKRecord& record) {
    const std::string* path = stringField(record, "path");
    if (!path) {
        log("Got a record with no path: " + record.recordID.recordName, "primeForActivity",
            __LINE__);
        return;
    }
    cache_->recordsByFullPath[*path] = record;
    if (numberField(record, "isDirectory") != 0)
        cache_->contentsByDirectoryPath[*path];
    if (path->size() > 1)
        if (auto parent = parentFullPath(*path))
            cache_->contentsByDirectoryPath[*parent][*path] = itemFor(record, *path);
}

void SECloudKitFileSystem::removeFromCache(const std::string& full) {
    cache_->recordsByFullPath.erase(full);
    cache_->contentsByDirectoryPath.erase(full);
    if (auto parent = parentFullPath(full))
        if (auto contents = cache_->contentsByDirectoryPath.find(*parent);
            contents != cache_->contentsByDirectoryPath.end())
            contents->second.erase(full);
}

void SECloudKitFileSystem::primeForActivityWithCompletion(Completion completion) {
    if (!requireDatabase(completion))
        return;
    enqueue([this, completion = std::move(completion)](std::function<void()> done) {
        prime(false, [done, completion](Status status) {
            done();
            completion(status);
        });
    });
}

void SECloudKitFileSystem::prime(bool fromScratch, Completion completion) {
    if (!zoneID_) {
        cache_.reset();
        return deliver([completion] { completion(Status()); });
    }
    if (fromScratch || !cache_ || !cache_->serverChangeToken)
        cache_ = Cache{};
    database_->fetchRecordZoneChanges(
        *zoneID_, cache_->serverChangeToken, kNodeKeys,
        whileAlive([this, completion](CKZoneChanges changes, CKError error) {
            if (error.code == CKErrorCode::changeTokenExpired) {
                log("Change token expired. Fetching everything again.", "primeForActivity",
                    __LINE__);
                std::error_code ec;
                if (!cacheFile_.empty())
                    fs::remove(cacheFile_, ec);
                return prime(true, completion);
            }
            if (!error.ok())
                return completion(toStatus(error));
            for (const auto& record : changes.changedRecords)
                if (isNodeRecord(record))
                    addToCache(record);
            for (const auto& deletion : changes.deletedRecords)
                if (deletion.recordType == nodeType())
                    if (auto full = fullPathOfRecordName(deletion.recordID.recordName))
                        removeFromCache(*full);
            bool changed = cache_->serverChangeToken != changes.serverChangeToken;
            cache_->serverChangeToken = changes.serverChangeToken;
            if (changed)
                writeCache();
            if (changes.moreComing) {
                log("More changes coming...", "primeForActivity", __LINE__);
                return prime(false, completion);
            }
            completion(Status());
        }));
}

void SECloudKitFileSystem::loadCache() {
    if (cacheFile_.empty())
        return;
    const fs::path& file = cacheFile_;
    std::error_code ec;
    if (!fs::exists(file, ec))
        return;
    try {
        std::ifstream in(file, std::ios::binary);
        json j = json::parse(in);
        Cache cache;
        for (const auto& [path, record] : j.at("recordsByFullPath").items())
            cache.recordsByFullPath.emplace(path, recordFromJson(record));
        for (const auto& [directory, contents] : j.at("contentsByDirectoryPath").items()) {
            auto& items = cache.contentsByDirectoryPath[directory];
            for (const auto& [path, item] : contents.items())
                items.emplace(path, itemFromJson(item));
        }
        cache.serverChangeToken = CKServerChangeToken{j.at("serverChangeToken").get<std::string>()};
        cache_ = std::move(cache);
    } catch (const std::exception&) {
        log("Failed to read in cached data. Resetting cache.", "loadCache", __LINE__);
        fs::remove(file, ec);
        cache_.reset();
    }
}

void SECloudKitFileSystem::writeCache() const {
    if (cacheFile_.empty() || !cache_ || !cache_->serverChangeToken)
        return;
    json records = json::object(), contents = json::object();
    for (const auto& [path, record] : cache_->recordsByFullPath)
        records[path] = recordToJson(record);
    for (const auto& [directory, items] : cache_->contentsByDirectoryPath) {
        json entries = json::object();
        for (const auto& [path, item] : items)
            entries[path] = itemToJson(item);
        contents[directory] = std::move(entries);
    }
    json j = {{"contentsByDirectoryPath", std::move(contents)},
              {"recordsByFullPath", std::move(records)},
              {"serverChangeToken", cache_->serverChangeToken->opaque}};
    if (auto written = writeFileAtomically(cacheFile_, j.dump()); !written.ok())
        logWarning("cloudkit", "Cannot write the sync cache: " + written.error().description);
}

// ---- Reading ----

void SECloudKitFileSystem::fileExistsAtPath(const std::string& path, ExistsCompletion completion) {
    if (!requireDatabase(completion))
        return;
    enqueue([this, path, completion = std::move(completion)](std::function<void()> done) {
        database_->fetchRecords({nodeRecordID(fullPath(path))}, kNodeKeys,
                                [done, completion](std::vector<CKRecord> found, CKError error) {
                                    done();
                                    if (error.isPartialFailureOnlyOf({CKErrorCode::unknownItem}))
                                        return completion(false, false, Status());
                                    if (!error.ok() || found.empty())
                                        return completion(false, false, toStatus(error));
                                    completion(true, numberField(found.front(), "isDirectory") != 0,
                                               Status());
                                });
    });
}

void SECloudKitFileSystem::contentsOfDirectoryAtPath(const std::string& path,
                                                     ListingCompletion completion) {
    if (!requireDatabase(completion))
        return;
    enqueue([this, path, completion = std::move(completion)](std::function<void()> done) {
        listDirectory(fullPath(path), [done, completion](auto items, Status status) {
            done();
            completion(std::move(items), status);
        });
    });
}

void SECloudKitFileSystem::listDirectory(const std::string& full, ListingCompletion completion) {
    if (cache_) {
        auto contents = cache_->contentsByDirectoryPath.find(full);
        if (contents == cache_->contentsByDirectoryPath.end())
            return deliver([completion, full] {
                completion(std::nullopt,
                           makeSEError(kSEErrorNoDirectory, "There is no folder at " + full + "."));
            });
        std::vector<SECloudItem> items;
        for (const auto& [childPath, item] : contents->second)
            items.push_back(item);
        return deliver([completion, items = std::move(items)] { completion(items, Status()); });
    }
    CKQuery query{nodeType(),
                  {{"directory", CKQueryFilter::Comparator::equals,
                    CKReference{nodeRecordID(full), CKReference::Action::none}}},
                  "path",
                  true};
    queryAll(std::move(query), std::vector<std::string>{"isDirectory", "fileSize"},
             whileAlive([this, completion](std::vector<CKRecord> records, CKError error) {
                 if (!error.ok())
                     return completion(std::nullopt, toStatus(error));
                 std::vector<SECloudItem> items;
                 for (const auto& record : records)
                     if (auto childPath = fullPathOfRecordName(record.recordID.recordName))
                         items.push_back(itemFor(record, *childPath));
                 completion(std::move(items), Status());
             }));
}

void SECloudKitFileSystem::queryAll(
    CKQuery query, std::optional<std::vector<std::string>> keys,
    std::function<void(std::vector<CKRecord>, CKError)> completion) {
    struct Pages {
        std::vector<CKRecord> records;
        std::optional<std::vector<std::string>> keys;
        std::function<void(std::vector<CKRecord>, CKError)> completion;
        std::weak_ptr<CloudKitDatabase> database;
        // Holds the pages only weakly: the pending query's callback keeps them alive.
        std::function<void(std::vector<CKRecord>, std::optional<CKQueryCursor>, CKError)> page;
    };
    auto pages = std::make_shared<Pages>();
    pages->keys = std::move(keys);
    pages->completion = std::move(completion);
    pages->database = database_;
    pages->page = [weak = std::weak_ptr<Pages>(pages)](std::vector<CKRecord> records,
                                                       std::optional<CKQueryCursor> cursor,
                                                       CKError error) {
        auto p = weak.lock();
        if (!p)
            return;
        p->records.insert(p->records.end(), std::make_move_iterator(records.begin()),
                          std::make_move_iterator(records.end()));
        if (!error.ok() || !cursor) {
            auto done = std::move(p->completion);
            return done(error.ok() ? std::move(p->records) : std::vector<CKRecord>{}, error);
        }
        auto database = p->database.lock();
        if (!database) {
            auto done = std::move(p->completion);
            return done({}, CKError{CKErrorCode::networkFailure, "No iCloud connection", {}, 0});
        }
        database->performQuery(*cursor, p->keys, [p](auto r, auto c, CKError e) {
            p->page(std::move(r), std::move(c), std::move(e));
        });
    };
    database_->performQuery(query, zoneOrDefault(), pages->keys, 0,
                            [pages](auto r, auto c, CKError e) {
                                pages->page(std::move(r), std::move(c), std::move(e));
                            });
}

void SECloudKitFileSystem::hashOfDirectoryWithCompletion(HashCompletion completion) {
    if (!requireDatabase(completion))
        return;
    enqueue([this, completion = std::move(completion)](std::function<void()> done) {
        queryAll(CKQuery{nodeType(), {}, "path", true}, std::vector<std::string>{"path"},
                 [done, completion](std::vector<CKRecord> records, CKError error) {
                     done();
                     if (!error.ok())
                         return completion({}, toStatus(error));
                     std::uint64_t value = 0;
                     for (const auto& record : records)
                         value = static_cast<std::uint64_t>(static_cast<double>(value) +
                                                            std::fabs(record.modificationDate));
                     completion({value}, Status());
                 });
    });
}

void SECloudKitFileSystem::fetchUserIdentityWithCompletion(IdentityCompletion completion) {
    auto database = container_ ? container_(Scope::privateScope) : nullptr;
    if (!database)
        return deliver([completion = std::move(completion)] {
            completion(std::nullopt, noConnectionError());
        });
    database->fetchUserRecordID([database, completion = std::move(completion)](
                                    std::optional<CKRecordID> user, CKError error) {
        if (error.code == CKErrorCode::notAuthenticated)
            return completion(std::nullopt, Status());
        if (!error.ok() || !user)
            return completion(std::nullopt, toStatus(error));
        completion(user->recordName, Status());
    });
}

// ---- Writing ----

void SECloudKitFileSystem::createDirectoryAtPath(const std::string& path, Completion completion) {
    if (!requireDatabase(completion))
        return;
    enqueue([this, path, completion = std::move(completion)](std::function<void()> done) {
        database_->modifyRecords(
            {directoryNode(fullPath(path))}, {},
            [done, completion](std::vector<CKRecord>, std::vector<CKRecordID>, CKError error) {
                done();
                // A directory that is there already is what the caller asked for.
                if (error.isPartialFailureOnlyOf({CKErrorCode::serverRecordChanged}))
                    return completion(Status());
                completion(toStatus(error));
            });
    });
}

void SECloudKitFileSystem::uploadLocalFile(const fs::path& localFile, const std::string& path,
                                           Completion completion) {
    uploadLocalFiles({localFile}, {path}, std::move(completion));
}

void SECloudKitFileSystem::uploadLocalFiles(const std::vector<fs::path>& localFiles,
                                            const std::vector<std::string>& paths,
                                            Completion completion) {
    if (!requireDatabase(completion))
        return;
    if (localFiles.size() != paths.size())
        return deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnknown, "Upload lists of different lengths."));
        });
    enqueue([this, localFiles, paths,
             completion = std::move(completion)](std::function<void()> done) {
        // One save per batch of files, so that no request grows past what CloudKit takes.
        std::vector<Step> steps;
        for (std::size_t start = 0; start < paths.size(); start += kBatchSize) {
            std::size_t end = std::min(paths.size(), start + kBatchSize);
            std::vector<fs::path> files(localFiles.begin() + static_cast<long>(start),
                                        localFiles.begin() + static_cast<long>(end));
            std::vector<std::string> batch(paths.begin() + static_cast<long>(start),
                                           paths.begin() + static_cast<long>(end));
            steps.push_back([this, files, batch](auto next) { uploadBatch(files, batch, next); });
        }
        runSteps(std::move(steps), [done, completion](Status status) {
            done();
            completion(status);
        });
    });
}

void SECloudKitFileSystem::uploadBatch(const std::vector<fs::path>& localFiles,
                                       const std::vector<std::string>& paths,
                                       Completion completion) {
    std::vector<CKRecord> records;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::error_code ec;
        auto size = fs::file_size(localFiles[i], ec);
        if (ec)
            return deliver([completion, file = localFiles[i], ec] {
                completion(makeSEError(kSEErrorUnknown,
                                       "Cannot read " + file.string() + ": " + ec.message()));
            });
        if (schema_ != 1 && schema_ != 2) {
            log("Invalid schema", "uploadLocalFiles", __LINE__);
            continue;
        }
        std::string full = fullPath(paths[i]);
        CKRecord node;
        node.recordType = nodeType();
        node.recordID = nodeRecordID(full);
        node.setField("isDirectory", std::int64_t{0});
        if (auto parent = parentFullPath(full)) {
            node.setField("directory",
                          CKReference{nodeRecordID(*parent), CKReference::Action::none});
            if (shareRecordID_)
                node.parent = nodeRecordID(*parent);
        }
        node.setField("path", full);
        node.setField("fileSize", static_cast<std::int64_t>(size));
        if (schema_ == 2) {
            node.setField("data", CKAsset{localFiles[i]});
        } else {
            CKRecord data;
            data.recordType = kDataFileType;
            data.recordID = dataRecordID(full);
            data.setField("data", CKAsset{localFiles[i]});
            data.setField("file", CKReference{node.recordID, CKReference::Action::none});
            records.push_back(std::move(data));
        }
        records.push_back(std::move(node));
    }
    if (records.empty())
        return deliver([completion] { completion(Status()); });
    database_->modifyRecords(
        records, {},
        whileAlive([this, records, completion](std::vector<CKRecord>, std::vector<CKRecordID>,
                                               CKError error) {
            if (error.isPartialFailureOnlyOf({CKErrorCode::serverRecordChanged})) {
                log("Some records failed to upload due to existing items. Saving them again "
                    "over the server's versions: " +
                        toStatus(error).error().failureReason,
                    "uploadLocalFiles", __LINE__);
                return replaceExisting(records, error, completion);
            }
            completion(toStatus(error));
        }));
}

void SECloudKitFileSystem::replaceExisting(const std::vector<CKRecord>& records,
                                           const CKError& refused, Completion completion) {
    // The zone refuses a record it holds unless the save names the version it replaces. An
    // upload over an existing file (a device's acknowledgement written again, say) must leave
    // the new bytes there, as a folder would: taking the refusal for success would keep the old
    // contents and report the new ones as stored. So the refused records are saved once more,
    // naming the server's versions; a second refusal (another computer replaced the file in
    // between) fails the upload, and the caller tries again later.
    std::vector<CKRecord> again;
    std::vector<CKRecordID> ids;
    for (const CKItemError& item : refused.partialErrors) {
        auto mine = std::find_if(records.begin(), records.end(),
                                 [&](const CKRecord& r) { return r.recordID == item.recordID; });
        if (mine != records.end()) {
            again.push_back(*mine);
            ids.push_back(item.recordID);
        }
    }
    database_->fetchRecords(
        ids, std::vector<std::string>{"path"},
        whileAlive([this, again = std::move(again), completion](std::vector<CKRecord> found,
                                                                CKError fetched) mutable {
            if (!fetched.ok() && fetched.code != CKErrorCode::partialFailure)
                return completion(toStatus(fetched));
            // A record missing from the answer was removed meanwhile: it is saved as new.
            for (CKRecord& record : again) {
                auto server = std::find_if(found.begin(), found.end(), [&](const CKRecord& r) {
                    return r.recordID == record.recordID;
                });
                record.recordChangeTag = server != found.end() ? server->recordChangeTag : "";
            }
            database_->modifyRecords(again, {},
                                     [completion](std::vector<CKRecord>, std::vector<CKRecordID>,
                                                  CKError error) { completion(toStatus(error)); });
        }));
}

void SECloudKitFileSystem::downloadFromPath(const std::string& path, const fs::path& localFile,
                                            Completion completion) {
    downloadFromPaths({path}, {localFile}, std::move(completion));
}

void SECloudKitFileSystem::downloadFromPaths(const std::vector<std::string>& paths,
                                             const std::vector<fs::path>& localFiles,
                                             Completion completion) {
    if (!requireDatabase(completion))
        return;
    if (localFiles.size() != paths.size())
        return deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnknown, "Download lists of different lengths."));
        });
    enqueue([this, paths, localFiles,
             completion = std::move(completion)](std::function<void()> done) {
        std::vector<CKRecordID> ids;
        for (const auto& path : paths)
            ids.push_back(schema_ == 1 ? dataRecordID(fullPath(path))
                                       : nodeRecordID(fullPath(path)));
        database_->fetchRecords(
            ids, std::vector<std::string>{"data"},
            whileAlive([this, ids, localFiles, done, completion](std::vector<CKRecord> found,
                                                                 CKError error) {
                auto finish = [done, completion](Status status) {
                    done();
                    completion(status);
                };
                if (!error.ok() && error.code != CKErrorCode::partialFailure)
                    return finish(toStatus(error));
                Status copied;
                for (std::size_t i = 0; i < ids.size(); ++i) {
                    auto record = std::find_if(found.begin(), found.end(), [&](const CKRecord& r) {
                        return r.recordID == ids[i];
                    });
                    if (record == found.end()) {
                        // Normally reported in the partial failure; never a silent success.
                        if (error.ok())
                            copied = makeSEError(
                                kSEErrorUnknown,
                                "The contents of " + ids[i].recordName + " did not come back.");
                        continue;
                    }
                    const CKValue* data = record->field("data");
                    const CKAsset* asset = data ? std::get_if<CKAsset>(data) : nullptr;
                    if (!asset || asset->fileURL.empty()) {
                        // A node whose contents never arrived: as good as missing.
                        error.code = CKErrorCode::partialFailure;
                        error.description = "Some records have no data.";
                        error.partialErrors.push_back(
                            {ids[i], CKErrorCode::unknownItem, "The record has no data."});
                        continue;
                    }
                    std::error_code ec;
                    fs::create_directories(localFiles[i].parent_path(), ec);
                    fs::copy_file(asset->fileURL, localFiles[i],
                                  fs::copy_options::overwrite_existing, ec);
                    if (ec)
                        copied =
                            makeSEError(kSEErrorUnknown, "Cannot write " + localFiles[i].string() +
                                                             ": " + ec.message());
                }
                if (error.ok())
                    return finish(copied);
                performRepairsIfNecessaryForError(error,
                                                  [finish, error] { finish(toStatus(error)); });
            }));
    });
}

void SECloudKitFileSystem::performRepairsIfNecessaryForError(const CKError& error,
                                                             std::function<void()> done) {
    std::vector<CKRecordID> broken;
    for (const auto& item : error.partialErrors) {
        // Only records the server says are missing: a failure of another kind (a timeout, a
        // busy server) says nothing about the node and must not cost it.
        if (item.code != CKErrorCode::unknownItem)
            continue;
        const std::string& name = item.recordID.recordName;
        if (name.starts_with(kDataFilePrefix))
            broken.push_back(
                nodeRecordID(name.substr(std::char_traits<char>::length(kDataFilePrefix))));
        else if (name.starts_with(kNodePrefix))
            broken.push_back(item.recordID);
    }
    if (broken.empty())
        return done();
    std::string names;
    for (const auto& id : broken)
        names += (names.empty() ? "" : ", ") + id.recordName;
    log("Located some items in CloudKit without data. Removing: " + names,
        "performRepairsIfNecessaryForError", __LINE__);
    database_->modifyRecords(
        {}, broken, [done](std::vector<CKRecord>, std::vector<CKRecordID>, CKError) { done(); });
}

// ---- Removing ----

void SECloudKitFileSystem::removeItemAtPath(const std::string& path, Completion completion) {
    removeItemsAtPaths({path}, std::move(completion));
}

void SECloudKitFileSystem::nodesForFullPaths(
    std::vector<std::string> fullPaths,
    std::function<void(std::vector<CKRecord>, Status)> completion) {
    if (cache_) {
        std::vector<CKRecord> nodes;
        for (const auto& full : fullPaths) {
            auto found = cache_->recordsByFullPath.find(full);
            if (found != cache_->recordsByFullPath.end()) {
                nodes.push_back(found->second);
            } else {
                CKRecord placeholder;
                placeholder.recordID = nodeRecordID(full);
                nodes.push_back(std::move(placeholder));
            }
        }
        return deliver([completion, nodes = std::move(nodes)] { completion(nodes, Status()); });
    }
    std::vector<CKRecordID> ids;
    for (const auto& full : fullPaths)
        ids.push_back(nodeRecordID(full));
    database_->fetchRecords(ids, kNodeKeys,
                            [completion](std::vector<CKRecord> found, CKError error) {
                                if (!error.ok() && !isMissing(error))
                                    return completion({}, toStatus(error));
                                completion(std::move(found), Status());
                            });
}

void SECloudKitFileSystem::collectNodes(std::vector<std::string> fullPaths,
                                        std::function<void(std::vector<Node>, Status)> completion) {
    nodesForFullPaths(fullPaths, [this, alive = std::weak_ptr<int>(alive_), completion](
                                     std::vector<CKRecord> records, Status status) {
        if (!status.ok() || !alive.lock())
            return completion({}, status);
        std::vector<Node> nodes;
        std::vector<Step> steps;
        auto below = std::make_shared<std::vector<Node>>();
        for (const auto& record : records) {
            bool isDirectory = numberField(record, "isDirectory") != 0;
            nodes.push_back({record.recordID, isDirectory});
            if (!isDirectory)
                continue;
            auto full = fullPathOfRecordName(record.recordID.recordName);
            if (!full)
                continue;
            steps.push_back([this, below, full = *full](auto next) {
                listDirectory(full, [this, below, next](auto items, Status listed) {
                    if (!listed.ok())
                        return next(listed.error().code == kSEErrorNoDirectory ? Status() : listed);
                    std::vector<std::string> children;
                    for (const auto& item : *items)
                        children.push_back(fullPath(item.path));
                    if (children.empty())
                        return next(Status());
                    collectNodes(children, [below, next](std::vector<Node> found, Status s) {
                        below->insert(below->end(), found.begin(), found.end());
                        next(s);
                    });
                });
            });
        }
        runSteps(std::move(steps), [nodes, below, completion](Status s) mutable {
            nodes.insert(nodes.end(), below->begin(), below->end());
            completion(std::move(nodes), s);
        });
    });
}

void SECloudKitFileSystem::removeItemsAtPaths(const std::vector<std::string>& paths,
                                              Completion completion) {
    if (!requireDatabase(completion))
        return;
    enqueue([this, paths, completion = std::move(completion)](std::function<void()> done) {
        std::vector<std::string> fullPaths;
        for (const auto& path : paths)
            fullPaths.push_back(fullPath(path));
        collectNodes(fullPaths, [this, done, completion](std::vector<Node> nodes, Status status) {
            if (!status.ok()) {
                done();
                return completion(status);
            }
            deleteNodes(std::move(nodes), [done, completion](Status deleted) {
                done();
                completion(deleted);
            });
        });
    });
}

void SECloudKitFileSystem::deleteNodes(std::vector<Node> nodes, Completion completion) {
    // The root node stays: the set-up made it and every other node hangs from it.
    CKRecordID rootID = nodeRecordID(root_);
    std::erase_if(nodes, [&](const Node& n) { return n.recordID == rootID; });
    std::stable_partition(nodes.begin(), nodes.end(), [](const Node& n) { return !n.isDirectory; });
    std::vector<CKRecordID> ids;
    std::set<CKRecordID> seen;
    for (const auto& node : nodes) {
        if (!seen.insert(node.recordID).second)
            continue;
        // A file's separate data record goes with it, or a later file at the same path would
        // find the old contents in place.
        if (schema_ == 1 && !node.isDirectory)
            if (auto full = fullPathOfRecordName(node.recordID.recordName))
                ids.push_back(dataRecordID(*full));
        ids.push_back(node.recordID);
    }
    std::vector<Step> steps;
    for (std::size_t start = 0; start < ids.size(); start += kRemovalBatchSize) {
        std::vector<CKRecordID> batch(
            ids.begin() + static_cast<long>(start),
            ids.begin() + static_cast<long>(std::min(ids.size(), start + kRemovalBatchSize)));
        steps.push_back([this, batch](auto next) {
            database_->modifyRecords(
                {}, batch,
                whileAlive(
                    [this, next](std::vector<CKRecord>, std::vector<CKRecordID>, CKError error) {
                        if (error.isPartialFailureOnlyOf({CKErrorCode::serverRecordChanged})) {
                            log("Some records failed to be removed. Usually due to out-of-date "
                                "query caching or other devices removing items. Will self correct. "
                                "Ignoring: " +
                                    toStatus(error).error().failureReason,
                                "removeItemsAtPaths", __LINE__);
                            return next(Status());
                        }
                        next(toStatus(error));
                    }));
        });
    }
    runSteps(std::move(steps), std::move(completion));
}

void SECloudKitFileSystem::removeAllItemsWithCompletion(Completion completion) {
    if (!requireDatabase(completion))
        return;
    enqueue([this, completion = std::move(completion)](std::function<void()> done) {
        queryAll(
            CKQuery{nodeType(), {}, {}, true}, std::vector<std::string>{"isDirectory"},
            whileAlive([this, done, completion](std::vector<CKRecord> records, CKError error) {
                if (!error.ok()) {
                    done();
                    return completion(toStatus(error));
                }
                std::vector<Node> nodes;
                for (const auto& record : records)
                    nodes.push_back({record.recordID, numberField(record, "isDirectory") != 0});
                deleteNodes(std::move(nodes), [done, completion](Status status) {
                    done();
                    completion(status);
                });
            }));
    });
}

void SECloudKitFileSystem::deleteAllRecordsWithCompletion(Completion completion) {
    if (!requireDatabase(completion))
        return;
    if (!zoneID_)
        return deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnsupported, "There is no zone to delete."));
        });
    enqueue([this, completion = std::move(completion)](std::function<void()> done) {
        database_->deleteRecordZone(*zoneID_, [done, completion](CKError error) {
            done();
            completion(toStatus(error));
        });
    });
}

void SECloudKitFileSystem::subscribeForPushNotificationsWithCompletion(Completion completion) {
    if (!requireDatabase(completion))
        return;
    CKQuerySubscription subscription;
    subscription.subscriptionID = kSubscriptionID;
    subscription.recordType = nodeType();
    subscription.filters = {{"fileSize", CKQueryFilter::Comparator::greaterThan, std::int64_t{0}}};
    subscription.firesOnRecordCreation = true;
    subscription.silentNotification = true;
    subscription.zoneID = zoneID_;
    enqueue([this, subscription, completion = std::move(completion)](std::function<void()> done) {
        database_->saveSubscription(subscription, [done, completion](CKError error) {
            done();
            completion(toStatus(error));
        });
    });
}

bool SECloudKitFileSystem::respondsTo(SEOptionalOperation operation) const {
    switch (operation) {
        case SEOptionalOperation::uploadBatch:
        case SEOptionalOperation::downloadBatch:
        case SEOptionalOperation::removeBatch:
        case SEOptionalOperation::primeForActivity:
        case SEOptionalOperation::hashOfDirectory:
        case SEOptionalOperation::fileUploadMaximumBatchSize:
        case SEOptionalOperation::fileDownloadMaximumBatchSize:
            return true;
        default:
            return false;
    }
}

void SECloudKitFileSystem::log(const std::string& message, const char* function, int line) const {
    if (loggingLevel == 0)
        return;
    int size =
        std::snprintf(nullptr, 0, "  %-60s  <<<  %-70s line %d", message.c_str(), function, line);
    std::string text(static_cast<std::size_t>(std::max(size, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), "  %-60s  <<<  %-70s line %d", message.c_str(),
                  function, line);
    text.pop_back();
    logInfo("cloudkit", text);
}

}  // namespace ravelong
