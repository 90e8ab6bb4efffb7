#include "sync/cloudkit/CloudKitWebServicesDatabase.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <utility>

#include "sync/cloudkit/CloudKitWebServicesJson.h"
#include "sync/dropbox/DBJson.h"
#include "sync/dropbox/DBOAuthFlow.h"

namespace ravelong {

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

// The header a reply carries when the service renews the user's web auth token.
constexpr const char* kRenewedTokenHeader = "x-apple-cloudkit-web-auth-token";

std::atomic<unsigned> folderCounter{0};

CKError makeError(int code, std::string description) {
    CKError e;
    e.code = code;
    e.description = std::move(description);
    return e;
}

const char* scopeName(CloudKitDatabase::Scope scope) {
    switch (scope) {
        case CloudKitDatabase::Scope::publicScope:
            return "public";
        case CloudKitDatabase::Scope::sharedScope:
            return "shared";
        default:
            return "private";
    }
}

json keysJson(const std::optional<std::vector<std::string>>& keys) {
    return keys ? json(*keys) : json();
}

std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(bytes).str();
}

const json& arrayMember(const json& object, const char* name) {
    static const json empty = json::array();
    if (!object.is_object())
        return empty;
    auto it = object.find(name);
    return it != object.end() && it->is_array() ? *it : empty;
}

}  // namespace

struct CloudKitWebServicesDatabase::Call {
    std::string url;  // without the tokens
    bool authenticated = true;
    std::string method = "POST";
    std::string contentType = "application/json";
    std::string body;
    fs::path responseFile;
    // Checks a downloaded file; false makes the transfer count as damaged and be tried again.
    std::function<bool()> verify;
    std::function<void(HttpResponse, CKError)> done;
    int attempt = 0;
    bool inFlight = false;
    HttpTransport::RequestId request = 0;
    MainLoop::TimerId timer = 0;
};

struct CloudKitWebServicesDatabase::Modify {
    struct Chunk {
        CKRecordZoneID zone;
        std::vector<std::size_t> saves;    // indices into records
        std::vector<std::size_t> deletes;  // indices into deletions
    };
    std::vector<CKRecord> records;
    std::vector<CKRecordID> deletions;
    std::vector<Chunk> chunks;
    std::vector<CKRecord> saved;
    std::vector<CKRecordID> deleted;
    std::vector<CKItemError> itemErrors;
    std::optional<CKError> firstWholeError;
    std::size_t failedChunks = 0;
    std::size_t running = 0;
    ModifyCompletion completion;
};

CloudKitWebServicesDatabase::CloudKitWebServicesDatabase(HttpTransport& transport,
                                                         DBSecretStore& webAuthTokenStore,
                                                         CloudKitWebServicesConfig config)
    : transport_(transport), tokens_(webAuthTokenStore), config_(std::move(config)) {
    assetFolder_ = config_.assetFolder;
    if (assetFolder_.empty()) {
        assetFolder_ =
            fs::temp_directory_path() / ("ravelong-cloudkit-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(folderCounter++));
        ownsAssetFolder_ = true;
    }
}

CloudKitWebServicesDatabase::~CloudKitWebServicesDatabase() {
    alive_.reset();
    for (const auto& c : calls_) {
        if (c->timer)
            loop().cancel(c->timer);
        if (c->inFlight)
            transport_.cancel(c->request);
    }
    std::error_code ignored;
    if (ownsAssetFolder_)
        fs::remove_all(assetFolder_, ignored);
    else
        for (const auto& [id, files] : assetFiles_)
            for (const auto& f : files)
                fs::remove(f, ignored);
}

void CloudKitWebServicesDatabase::later(std::function<void()> work) {
    loop().runOnMainThread([alive = std::weak_ptr<int>(alive_), work = std::move(work)] {
        if (alive.lock())
            work();
    });
}

std::string CloudKitWebServicesDatabase::databaseURL(const std::string& operation,
                                                     bool publicScope) const {
    std::string base = config_.baseURL;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + "/database/1/" + config_.containerIdentifier + "/" + config_.environment + "/" +
           (publicScope ? "public" : scopeName(config_.scope)) + "/" + operation;
}

// ----- requests, retries and errors -----

void CloudKitWebServicesDatabase::send(std::shared_ptr<Call> c) {
    calls_.insert(c);
    perform(c);
}

void CloudKitWebServicesDatabase::perform(std::shared_ptr<Call> c) {
    c->timer = 0;
    ++c->attempt;
    HttpRequest r;
    r.method = c->method;
    r.url = c->url;
    if (c->authenticated) {
        r.url += "?ckAPIToken=" + DBOAuthFlow::formEncode(config_.apiToken);
        if (auto token = tokens_.load(); token && !token->empty())
            r.url += "&ckWebAuthToken=" + DBOAuthFlow::formEncode(*token);
    }
    if (c->method == "POST") {
        r.headers.push_back("Content-Type: " + c->contentType);
        r.body = c->body;
    }
    r.responseFile = c->responseFile;
    r.maxResponseBytes = config_.maxReplyBytes;
    r.connectTimeoutSeconds = config_.connectTimeoutSeconds;
    r.timeoutSeconds = config_.requestTimeoutSeconds;
    r.stallSeconds = config_.stallSeconds;
    c->inFlight = true;
    c->request =
        transport_.send(std::move(r), [alive = std::weak_ptr<int>(alive_), this, c](auto response) {
            if (alive.lock())
                finished(c, std::move(response));
        });
}

void CloudKitWebServicesDatabase::finished(std::shared_ptr<Call> c, HttpResponse response) {
    c->inFlight = false;
    CKError e;
    if (!response.received()) {
        using F = HttpResponse::Failure;
        e = response.failure == F::tooLarge
                ? makeError(CKErrorCode::serverRejectedRequest,
                            "CloudKit sent a reply larger than the program accepts.")
            : response.failure == F::file
                ? makeError(CKErrorCode::internalError,
                            "A downloaded file could not be written: " + response.failureMessage)
                : makeError(CKErrorCode::networkFailure,
                            "CloudKit could not be reached: " + response.failureMessage);
    } else {
        if (c->authenticated) {
            std::string renewed = response.header(kRenewedTokenHeader);
            // A store that refuses the renewed token leaves the old one, which the service
            // then answers with a sign-in request: nothing is lost either way.
            if (!renewed.empty() && tokens_.load() != renewed)
                (void)tokens_.save(renewed);
        }
        if (response.status < 200 || response.status >= 300) {
            json body = json::object();
            if (auto parsed = dropbox_json::parseReply(response.body, config_.maxReplyBytes);
                parsed.ok() && parsed.value().is_object())
                body = std::move(parsed.value());
            std::string text = dropbox_json::stringMember(body, "serverErrorCode");
            std::string reason = dropbox_json::stringMember(body, "reason");
            e.code = cloudkit_json::errorCodeFor(text, response.status);
            e.description = "CloudKit refused the request (" +
                            (text.empty() ? "HTTP " + std::to_string(response.status) : text) +
                            (reason.empty() ? ")." : "): " + reason);
            if (auto after = body.find("retryAfter"); after != body.end() && after->is_number())
                e.retryAfterSeconds = std::max(0.0, after->get<double>());
            else if (std::string header = response.header("retry-after"); !header.empty())
                e.retryAfterSeconds = std::max(0.0, std::strtod(header.c_str(), nullptr));
            std::string redirect = dropbox_json::stringMember(body, "redirectURL");
            if (!redirect.empty())
                signInURL_ = redirect;
            if (e.code == CKErrorCode::notAuthenticated)
                e.description = "Sign in to iCloud to use CloudKit (" +
                                (text.empty() ? "HTTP " + std::to_string(response.status) : text) +
                                ").";
        } else if (c->verify && !c->verify()) {
            e = makeError(CKErrorCode::networkFailure,
                          "A file downloaded from CloudKit arrived damaged.");
        }
    }
    if (cloudkit_json::isRetryable(e.code) && c->attempt < config_.maxAttempts) {
        double delay = e.retryAfterSeconds > 0
                           ? std::min(e.retryAfterSeconds, config_.maxRetryAfterSeconds)
                           : std::min(config_.firstRetrySeconds * std::pow(2.0, c->attempt - 1),
                                      config_.maxRetrySeconds);
        c->timer = loop().runAfter(delay, [alive = std::weak_ptr<int>(alive_), this, c] {
            if (alive.lock())
                perform(c);
        });
        return;
    }
    calls_.erase(c);
    c->done(std::move(response), std::move(e));
}

void CloudKitWebServicesDatabase::request(const std::string& operation, json body,
                                          JsonCompletion completion, bool publicScope) {
    auto c = std::make_shared<Call>();
    c->url = databaseURL(operation, publicScope);
    if (body.is_null())
        c->method = "GET";
    else
        c->body = body.dump();
    c->done = [this, completion = std::move(completion)](HttpResponse response, CKError e) {
        if (!e.ok())
            return completion(json(), std::move(e));
        auto parsed = dropbox_json::parseReply(response.body, config_.maxReplyBytes);
        if (!parsed.ok() || !parsed.value().is_object())
            return completion(json(),
                              makeError(CKErrorCode::internalError,
                                        "CloudKit sent a reply the program cannot read" +
                                            (parsed.ok() ? std::string(".")
                                                         : ": " + parsed.error().description)));
        completion(std::move(parsed.value()), CKError());
    };
    send(c);
}

// ----- records of replies and their assets -----

void CloudKitWebServicesDatabase::recordsOfReply(const json& entries, const CKRecordZoneID& zone,
                                                 RecordsCompletion completion) {
    struct Fetch {
        std::vector<CKRecord> records;
        std::vector<CKItemError> itemErrors;
        std::size_t running = 0;
        std::optional<CKError> failure;
        RecordsCompletion completion;
    };
    auto fetch = std::make_shared<Fetch>();
    fetch->completion = std::move(completion);
    std::vector<std::pair<std::size_t, cloudkit_json::AssetDownload>> downloads;
    for (const auto& entry : entries) {
        std::vector<cloudkit_json::AssetDownload> assets;
        if (auto record = cloudkit_json::parseRecord(entry, zone, &assets)) {
            for (auto& a : assets)
                downloads.emplace_back(fetch->records.size(), std::move(a));
            fetch->records.push_back(std::move(*record));
        } else if (auto item = cloudkit_json::parseItemError(entry, zone)) {
            fetch->itemErrors.push_back(std::move(*item));
        }
    }
    auto finish = [fetch] {
        if (fetch->failure)
            return fetch->completion({}, *fetch->failure);
        CKError e;
        if (!fetch->itemErrors.empty()) {
            e = makeError(CKErrorCode::partialFailure, "Some records could not be fetched.");
            e.partialErrors = std::move(fetch->itemErrors);
        }
        fetch->completion(std::move(fetch->records), std::move(e));
    };
    std::error_code ec;
    if (!downloads.empty())
        fs::create_directories(assetFolder_, ec);
    for (auto& [index, asset] : downloads) {
        const CKRecordID& id = fetch->records[index].recordID;
        auto old = assetFiles_.find(id);
        if (old != assetFiles_.end()) {
            for (const auto& f : old->second)
                fs::remove(f, ec);
            assetFiles_.erase(old);
        }
    }
    for (auto& [index, asset] : downloads) {
        fs::path file = assetFolder_ / ("asset-" + std::to_string(nextAssetFile_++));
        assetFiles_[fetch->records[index].recordID].push_back(file);
        if (asset.downloadURL.empty()) {
            fetch->failure = makeError(CKErrorCode::internalError,
                                       "CloudKit named a file without saying where to get it.");
            break;
        }
        auto c = std::make_shared<Call>();
        c->url = asset.downloadURL;
        if (auto at = c->url.find("${f}"); at != std::string::npos)
            c->url.replace(at, 4, "asset");
        c->authenticated = false;
        c->method = "GET";
        c->responseFile = file;
        c->verify = [file, size = asset.size, checksum = asset.fileChecksum] {
            auto bytes = readFile(file);
            return bytes && (size < 0 || bytes->size() == static_cast<std::uint64_t>(size)) &&
                   cloudkit_json::checksumMatches(checksum, *bytes);
        };
        c->done = [fetch, index, file, name = asset.fieldName, finish](HttpResponse, CKError e) {
            if (!e.ok() && !fetch->failure)
                fetch->failure = std::move(e);
            else if (e.ok())
                fetch->records[index].setField(name, CKAsset{file});
            if (--fetch->running == 0)
                finish();
        };
        ++fetch->running;
        send(c);
    }
    if (fetch->running == 0)
        later(finish);
}

// ----- zones -----

void CloudKitWebServicesDatabase::fetchRecordZone(const CKRecordZoneID& zoneID,
                                                  ZoneCompletion completion) {
    request("zones/lookup", {{"zones", json::array({cloudkit_json::zoneID(zoneID)})}},
            [zoneID, completion = std::move(completion)](json reply, CKError e) {
                if (!e.ok())
                    return completion(std::nullopt, std::move(e));
                const json& zones = arrayMember(reply, "zones");
                if (zones.empty())
                    return completion(std::nullopt, makeError(CKErrorCode::internalError,
                                                              "CloudKit's reply names no zone."));
                if (auto item = cloudkit_json::parseItemError(zones[0], {}))
                    return completion(std::nullopt, makeError(item->code, item->description));
                auto found = cloudkit_json::parseZoneID(
                    zones[0].is_object() ? zones[0].value("zoneID", json::object()) : json());
                completion(CKRecordZone{found.value_or(zoneID)}, CKError());
            });
}

namespace {

// Completes a call whose reply lists one entry per operation: the first failed entry fails it.
void firstEntryChecked(const char* member, const CloudKitDatabase::Completion& completion,
                       json reply, CKError e) {
    if (e.ok())
        for (const auto& entry : arrayMember(reply, member))
            if (auto item = cloudkit_json::parseItemError(entry, {})) {
                e = makeError(item->code, item->description);
                break;
            }
    completion(std::move(e));
}

}  // namespace

void CloudKitWebServicesDatabase::saveRecordZone(const CKRecordZoneID& zoneID,
                                                 Completion completion) {
    json op = {{"operationType", "create"}, {"zone", {{"zoneID", cloudkit_json::zoneID(zoneID)}}}};
    request("zones/modify", {{"operations", json::array({op})}},
            [completion = std::move(completion)](json reply, CKError e) {
                firstEntryChecked("zones", completion, std::move(reply), std::move(e));
            });
}

void CloudKitWebServicesDatabase::deleteRecordZone(const CKRecordZoneID& zoneID,
                                                   Completion completion) {
    json op = {{"operationType", "delete"}, {"zone", {{"zoneID", cloudkit_json::zoneID(zoneID)}}}};
    request("zones/modify", {{"operations", json::array({op})}},
            [completion = std::move(completion)](json reply, CKError e) {
                firstEntryChecked("zones", completion, std::move(reply), std::move(e));
            });
}

// ----- fetching records -----

void CloudKitWebServicesDatabase::fetchRecords(
    const std::vector<CKRecordID>& recordIDs,
    const std::optional<std::vector<std::string>>& desiredKeys, RecordsCompletion completion) {
    struct Lookup {
        std::vector<CKRecord> records;
        std::vector<CKItemError> itemErrors;
        std::set<CKRecordID> wanted;
        std::optional<CKError> failure;
        std::size_t running = 0;
        RecordsCompletion completion;
    };
    auto lookup = std::make_shared<Lookup>();
    lookup->completion = std::move(completion);
    lookup->wanted.insert(recordIDs.begin(), recordIDs.end());
    std::map<CKRecordZoneID, std::vector<CKRecordID>> byZone;
    for (const auto& id : lookup->wanted)
        byZone[id.zoneID].push_back(id);
    auto finish = [lookup] {
        if (lookup->failure)
            return lookup->completion({}, *lookup->failure);
        for (const auto& r : lookup->records)
            lookup->wanted.erase(r.recordID);
        for (const auto& item : lookup->itemErrors)
            lookup->wanted.erase(item.recordID);
        for (const auto& id : lookup->wanted)
            lookup->itemErrors.push_back(
                {id, CKErrorCode::unknownItem, "CloudKit did not return the record."});
        CKError e;
        if (!lookup->itemErrors.empty()) {
            e = makeError(CKErrorCode::partialFailure, "Some records could not be fetched.");
            e.partialErrors = std::move(lookup->itemErrors);
        }
        lookup->completion(std::move(lookup->records), std::move(e));
    };
    for (const auto& [zone, ids] : byZone) {
        for (std::size_t from = 0; from < ids.size(); from += config_.maxRecordsPerRequest) {
            json names = json::array();
            for (std::size_t i = from;
                 i < std::min(ids.size(), from + config_.maxRecordsPerRequest); ++i)
                names.push_back({{"recordName", ids[i].recordName}});
            json body = {{"records", names}, {"zoneID", cloudkit_json::zoneID(zone)}};
            if (desiredKeys)
                body["desiredKeys"] = keysJson(desiredKeys);
            ++lookup->running;
            request("records/lookup", body, [this, lookup, zone, finish](json reply, CKError e) {
                auto done = [lookup, finish](std::vector<CKRecord> records, CKError e) {
                    if (e.code != CKErrorCode::none && e.code != CKErrorCode::partialFailure) {
                        if (!lookup->failure)
                            lookup->failure = std::move(e);
                    } else {
                        std::move(records.begin(), records.end(),
                                  std::back_inserter(lookup->records));
                        std::move(e.partialErrors.begin(), e.partialErrors.end(),
                                  std::back_inserter(lookup->itemErrors));
                    }
                    if (--lookup->running == 0)
                        finish();
                };
                if (!e.ok())
                    return done({}, std::move(e));
                recordsOfReply(arrayMember(reply, "records"), zone, done);
            });
        }
    }
    if (lookup->running == 0)
        later(finish);
}

// ----- saving and deleting records -----

void CloudKitWebServicesDatabase::modifyRecords(const std::vector<CKRecord>& recordsToSave,
                                                const std::vector<CKRecordID>& recordIDsToDelete,
                                                ModifyCompletion completion) {
    auto m = std::make_shared<Modify>();
    m->records = recordsToSave;
    m->deletions = recordIDsToDelete;
    m->completion = std::move(completion);
    std::map<CKRecordZoneID, Modify::Chunk> open;
    std::size_t limit = std::max<std::size_t>(1, config_.maxRecordsPerRequest);
    auto chunkFor = [&](const CKRecordZoneID& zone) -> Modify::Chunk& {
        auto& chunk = open[zone];
        if (chunk.saves.size() + chunk.deletes.size() >= limit) {
            m->chunks.push_back(std::move(chunk));
            chunk = {};
        }
        chunk.zone = zone;
        return chunk;
    };
    for (std::size_t i = 0; i < m->records.size(); ++i)
        chunkFor(m->records[i].recordID.zoneID).saves.push_back(i);
    for (std::size_t i = 0; i < m->deletions.size(); ++i)
        chunkFor(m->deletions[i].zoneID).deletes.push_back(i);
    for (auto& [zone, chunk] : open)
        if (!chunk.saves.empty() || !chunk.deletes.empty())
            m->chunks.push_back(std::move(chunk));
    if (m->chunks.empty())
        return later([m] { m->completion({}, {}, CKError()); });
    m->running = m->chunks.size();
    for (std::size_t i = 0; i < m->chunks.size(); ++i)
        modifyChunk(m, i);
}

void CloudKitWebServicesDatabase::modifyChunk(std::shared_ptr<Modify> m, std::size_t index) {
    const auto& chunk = m->chunks[index];
    json tokens = json::array();
    for (std::size_t i : chunk.saves)
        for (const auto& [name, value] : m->records[i].fields)
            if (std::holds_alternative<CKAsset>(value))
                tokens.push_back({{"recordName", m->records[i].recordID.recordName},
                                  {"recordType", m->records[i].recordType},
                                  {"fieldName", name}});
    if (tokens.empty())
        return sendModify(m, index, {});
    request("assets/upload", {{"zoneID", cloudkit_json::zoneID(chunk.zone)}, {"tokens", tokens}},
            [this, m, index](json reply, CKError e) {
                if (!e.ok())
                    return finishChunk(m, index, json(), std::move(e));
                struct Uploads {
                    std::map<std::string, json> receipts;  // record name -> {field: receipt}
                    std::size_t running = 0;
                    std::optional<CKError> failure;
                };
                auto uploads = std::make_shared<Uploads>();
                auto allDone = [this, m, index, uploads] {
                    if (uploads->failure)
                        return finishChunk(m, index, json(), *uploads->failure);
                    sendModify(m, index, std::move(uploads->receipts));
                };
                std::map<std::pair<std::string, std::string>, const CKAsset*> wanted;
                for (std::size_t i : m->chunks[index].saves)
                    for (const auto& [name, value] : m->records[i].fields)
                        if (auto asset = std::get_if<CKAsset>(&value))
                            wanted[{m->records[i].recordID.recordName, name}] = asset;
                for (const auto& token : arrayMember(reply, "tokens")) {
                    std::string record = dropbox_json::stringMember(token, "recordName");
                    std::string field = dropbox_json::stringMember(token, "fieldName");
                    std::string url = dropbox_json::stringMember(token, "url");
                    auto it = wanted.find({record, field});
                    if (it == wanted.end() || url.empty())
                        continue;
                    auto bytes = readFile(it->second->fileURL);
                    wanted.erase(it);
                    if (!bytes) {
                        uploads->failure =
                            makeError(CKErrorCode::invalidArguments,
                                      "The file of record " + record + " cannot be read.");
                        break;
                    }
                    auto c = std::make_shared<Call>();
                    c->url = url;
                    c->authenticated = false;
                    c->contentType = "application/octet-stream";
                    c->body = std::move(*bytes);
                    c->done = [uploads, record, field, allDone](HttpResponse response, CKError e) {
                        json receipt;
                        if (e.ok()) {
                            auto parsed = dropbox_json::parseReply(response.body);
                            if (parsed.ok() && parsed.value().is_object() &&
                                parsed.value().contains("singleFile") &&
                                parsed.value()["singleFile"].is_object())
                                receipt = parsed.value()["singleFile"];
                            else
                                e = makeError(CKErrorCode::internalError,
                                              "CloudKit sent no receipt for an uploaded file.");
                        }
                        if (!e.ok() && !uploads->failure)
                            uploads->failure = std::move(e);
                        else if (e.ok())
                            uploads->receipts[record][field] = std::move(receipt);
                        if (--uploads->running == 0)
                            allDone();
                    };
                    ++uploads->running;
                    send(c);
                }
                if (!uploads->failure && !wanted.empty())
                    uploads->failure = makeError(CKErrorCode::internalError,
                                                 "CloudKit gave no upload address for a file.");
                if (uploads->running == 0)
                    allDone();
            });
}

void CloudKitWebServicesDatabase::sendModify(std::shared_ptr<Modify> m, std::size_t index,
                                             std::map<std::string, json> receipts) {
    const auto& chunk = m->chunks[index];
    json operations = json::array();
    for (std::size_t i : chunk.saves) {
        const CKRecord& r = m->records[i];
        auto receipt = receipts.find(r.recordID.recordName);
        operations.push_back(
            {{"operationType", r.recordChangeTag.empty() ? "create" : "replace"},
             {"record", cloudkit_json::recordForSave(
                            r, receipt == receipts.end() ? json::object() : receipt->second)}});
    }
    for (std::size_t i : chunk.deletes)
        operations.push_back({{"operationType", "forceDelete"},
                              {"record", {{"recordName", m->deletions[i].recordName}}}});
    request("records/modify",
            {{"operations", operations},
             {"zoneID", cloudkit_json::zoneID(chunk.zone)},
             {"atomic", false}},
            [this, m, index](json reply, CKError e) {
                finishChunk(m, index, std::move(reply), std::move(e));
            });
}

void CloudKitWebServicesDatabase::finishChunk(std::shared_ptr<Modify> m, std::size_t index,
                                              json reply, CKError e) {
    const auto& chunk = m->chunks[index];
    if (!e.ok()) {
        // The whole request failed: every record of it failed with the request's error.
        ++m->failedChunks;
        if (!m->firstWholeError)
            m->firstWholeError = e;
        for (std::size_t i : chunk.saves)
            m->itemErrors.push_back({m->records[i].recordID, e.code, e.description});
        for (std::size_t i : chunk.deletes)
            m->itemErrors.push_back({m->deletions[i], e.code, e.description});
    } else {
        const json& entries = arrayMember(reply, "records");
        std::size_t n = chunk.saves.size() + chunk.deletes.size();
        for (std::size_t k = 0; k < n; ++k) {
            bool isSave = k < chunk.saves.size();
            CKRecordID id = isSave ? m->records[chunk.saves[k]].recordID
                                   : m->deletions[chunk.deletes[k - chunk.saves.size()]];
            const json* entry = k < entries.size() ? &entries[k] : nullptr;
            if (!entry || !entry->is_object() ||
                dropbox_json::stringMember(*entry, "recordName") != id.recordName) {
                m->itemErrors.push_back(
                    {id, CKErrorCode::internalError, "CloudKit's reply left the record out."});
            } else if (auto item = cloudkit_json::parseItemError(*entry, chunk.zone)) {
                item->recordID = id;
                m->itemErrors.push_back(std::move(*item));
            } else if (!isSave) {
                m->deleted.push_back(id);
            } else {
                CKRecord saved = m->records[chunk.saves[k]];
                if (auto back = cloudkit_json::parseRecord(*entry, chunk.zone)) {
                    saved.recordChangeTag = back->recordChangeTag;
                    saved.modificationDate = back->modificationDate;
                }
                m->saved.push_back(std::move(saved));
            }
        }
    }
    if (--m->running > 0)
        return;
    CKError result;
    if (m->failedChunks == m->chunks.size()) {
        result = *m->firstWholeError;
    } else if (!m->itemErrors.empty()) {
        result = makeError(CKErrorCode::partialFailure, "Some records could not be saved.");
        result.partialErrors = std::move(m->itemErrors);
    }
    m->completion(std::move(m->saved), std::move(m->deleted), std::move(result));
}

// ----- queries and changes -----

void CloudKitWebServicesDatabase::queryPage(json body, QueryCompletion completion) {
    CKRecordZoneID zone =
        cloudkit_json::parseZoneID(body.value("zoneID", json::object())).value_or(CKRecordZoneID{});
    request("records/query", body,
            [this, body, zone, completion = std::move(completion)](json reply, CKError e) mutable {
                if (!e.ok())
                    return completion({}, std::nullopt, std::move(e));
                std::optional<CKQueryCursor> cursor;
                std::string marker = dropbox_json::stringMember(reply, "continuationMarker");
                if (!marker.empty()) {
                    body["continuationMarker"] = marker;
                    cursor = CKQueryCursor{body.dump()};
                }
                recordsOfReply(
                    arrayMember(reply, "records"), zone,
                    [cursor, completion](std::vector<CKRecord> records, CKError e) {
                        if (e.code != CKErrorCode::none && e.code != CKErrorCode::partialFailure)
                            return completion({}, std::nullopt, std::move(e));
                        completion(std::move(records), cursor, std::move(e));
                    });
            });
}

void CloudKitWebServicesDatabase::performQuery(
    const CKQuery& query, const CKRecordZoneID& zoneID,
    const std::optional<std::vector<std::string>>& desiredKeys, std::size_t resultsLimit,
    QueryCompletion completion) {
    json body = {{"zoneID", cloudkit_json::zoneID(zoneID)},
                 {"query", cloudkit_json::query(query, zoneID)}};
    // 0 asks for as many as the service gives in a page, which is its default.
    if (resultsLimit > 0)
        body["resultsLimit"] = resultsLimit;
    if (desiredKeys)
        body["desiredKeys"] = keysJson(desiredKeys);
    queryPage(std::move(body), std::move(completion));
}

void CloudKitWebServicesDatabase::performQuery(
    const CKQueryCursor& cursor, const std::optional<std::vector<std::string>>& desiredKeys,
    QueryCompletion completion) {
    json body = json::parse(cursor.opaque, nullptr, false);
    if (!body.is_object() || !body.contains("continuationMarker"))
        return later([completion = std::move(completion)] {
            completion({}, std::nullopt,
                       makeError(CKErrorCode::invalidArguments, "The query cursor is damaged."));
        });
    if (desiredKeys)
        body["desiredKeys"] = keysJson(desiredKeys);
    else
        body.erase("desiredKeys");
    queryPage(std::move(body), std::move(completion));
}

void CloudKitWebServicesDatabase::fetchRecordZoneChanges(
    const CKRecordZoneID& zoneID, const std::optional<CKServerChangeToken>& since,
    const std::optional<std::vector<std::string>>& desiredKeys, ChangesCompletion completion) {
    json zone = {{"zoneID", cloudkit_json::zoneID(zoneID)}};
    if (since && !since->opaque.empty())
        zone["syncToken"] = since->opaque;
    if (desiredKeys)
        zone["desiredKeys"] = keysJson(desiredKeys);
    request(
        "changes/zone", {{"zones", json::array({zone})}},
        [this, zoneID, completion = std::move(completion)](json reply, CKError e) {
            if (!e.ok())
                return completion({}, std::move(e));
            const json& zones = arrayMember(reply, "zones");
            if (zones.empty() || !zones[0].is_object())
                return completion(
                    {}, makeError(CKErrorCode::internalError, "CloudKit's reply names no zone."));
            if (auto item = cloudkit_json::parseItemError(zones[0], zoneID))
                return completion({}, makeError(item->code, item->description));
            CKZoneChanges changes;
            changes.serverChangeToken.opaque = dropbox_json::stringMember(zones[0], "syncToken");
            changes.moreComing = zones[0].value("moreComing", false);
            if (changes.serverChangeToken.opaque.empty())
                return completion({}, makeError(CKErrorCode::internalError,
                                                "CloudKit's reply carries no change token."));
            json changed = json::array();
            for (const auto& entry : arrayMember(zones[0], "records")) {
                if (entry.is_object() && entry.value("deleted", false))
                    changes.deletedRecords.push_back(
                        {{dropbox_json::stringMember(entry, "recordName"), zoneID},
                         dropbox_json::stringMember(entry, "recordType")});
                else
                    changed.push_back(entry);
            }
            recordsOfReply(changed, zoneID,
                           [changes = std::move(changes), completion](std::vector<CKRecord> records,
                                                                      CKError e) mutable {
                               // A change that cannot be read must not be skipped over.
                               if (!e.ok())
                                   return completion({}, std::move(e));
                               changes.changedRecords = std::move(records);
                               completion(std::move(changes), CKError());
                           });
        });
}

// ----- users, subscriptions, shares -----

void CloudKitWebServicesDatabase::fetchUserRecordID(UserCompletion completion) {
    request(
        "users/caller", json(),
        [completion = std::move(completion)](json reply, CKError e) {
            if (!e.ok())
                return completion(std::nullopt, std::move(e));
            std::string name = dropbox_json::stringMember(reply, "userRecordName");
            if (name.empty())
                return completion(std::nullopt, makeError(CKErrorCode::internalError,
                                                          "CloudKit's reply names no user."));
            completion(CKRecordID{name, CKRecordZoneID{}}, CKError());
        },
        true);
}

void CloudKitWebServicesDatabase::saveSubscription(const CKQuerySubscription& subscription,
                                                   Completion completion) {
    CKRecordZoneID zone = subscription.zoneID.value_or(CKRecordZoneID{});
    CKQuery query{subscription.recordType, subscription.filters, {}, true};
    json firesOn = json::array({"update", "delete"});
    if (subscription.firesOnRecordCreation)
        firesOn.insert(firesOn.begin(), "create");
    json body = {
        {"subscriptionID", subscription.subscriptionID},
        {"subscriptionType", "query"},
        {"query", cloudkit_json::query(query, zone)},
        {"firesOn", firesOn},
        {"notificationInfo", {{"shouldSendContentAvailable", subscription.silentNotification}}}};
    if (subscription.zoneID)
        body["zoneID"] = cloudkit_json::zoneID(*subscription.zoneID);
    json op = {{"operationType", "create"}, {"subscription", body}};
    request("subscriptions/modify", {{"operations", json::array({op})}},
            [completion = std::move(completion)](json reply, CKError e) {
                firstEntryChecked("subscriptions", completion, std::move(reply), std::move(e));
            });
}

void CloudKitWebServicesDatabase::acceptShare(const CKShareMetadata& metadata,
                                              Completion completion) {
    // The service knows an invitation by the short GUID of its link, not by the share's record
    // name (which only the owner's zone knows).
    std::optional<std::string> shortGUID = cloudkit_json::shareShortGUID(metadata);
    if (!shortGUID) {
        loop().runOnMainThread([completion = std::move(completion)] {
            completion(makeError(CKErrorCode::invalidArguments,
                                 "The invitation carries no share link to accept."));
        });
        return;
    }
    json guid = {{"value", *shortGUID}, {"shouldFetchRootRecord", false}};
    request(
        "records/accept", {{"shortGUIDs", json::array({guid})}},
        [completion = std::move(completion)](json reply, CKError e) {
            firstEntryChecked("results", completion, std::move(reply), std::move(e));
        },
        true);
}

}  // namespace ravelong
