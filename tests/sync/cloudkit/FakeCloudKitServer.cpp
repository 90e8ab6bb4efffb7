#include "sync/cloudkit/FakeCloudKitServer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "sync/cloudkit/CloudKitWebServicesJson.h"
#include "sync/http/LoopbackListener.h"

namespace ravelong::testing {

using json = nlohmann::json;

namespace {

std::string text(const json& object, const char* name) {
    if (!object.is_object())
        return {};
    auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The fields a request asks for; all of them when it names none.
std::optional<std::set<std::string>> desiredKeys(const json& request) {
    if (!request.contains("desiredKeys"))
        return std::nullopt;
    return request["desiredKeys"].get<std::set<std::string>>();
}

json itemError(const std::string& recordName, const std::string& code) {
    return {{"recordName", recordName}, {"serverErrorCode", code}, {"reason", code}};
}

// Compares two field values of the same type; nullopt when they cannot be compared.
std::optional<int> compare(const json& a, const json& b) {
    if (a.is_number() && b.is_number()) {
        double x = a.get<double>(), y = b.get<double>();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.is_string() && b.is_string())
        return a.get<std::string>().compare(b.get<std::string>()) < 0   ? -1
               : a.get<std::string>().compare(b.get<std::string>()) > 0 ? 1
                                                                        : 0;
    if (a.is_object() && b.is_object())
        return text(a, "recordName") == text(b, "recordName") ? 0 : 1;
    return std::nullopt;
}

}  // namespace

FakeCloudKitServer::FakeCloudKitServer()
    : server_([this](TestHttpServer::Request r) {
          std::this_thread::sleep_for(std::chrono::duration<double>(latencySeconds.load()));
          auto question = r.target.find('?');
          return handle(Request{std::move(r.method), r.target.substr(0, question),
                                question == std::string::npos ? "" : r.target.substr(question),
                                std::move(r.body), std::move(r.headers)});
      }) {}

FakeCloudKitServer::~FakeCloudKitServer() = default;

std::string FakeCloudKitServer::baseURL() const {
    return "http://127.0.0.1:" + std::to_string(port());
}

CloudKitWebServicesConfig FakeCloudKitServer::config(CloudKitDatabase::Scope scope) const {
    CloudKitWebServicesConfig c;
    c.baseURL = baseURL();
    c.containerIdentifier = containerIdentifier;
    c.apiToken = apiToken;
    c.scope = scope;
    c.connectTimeoutSeconds = 5;
    c.requestTimeoutSeconds = 10;
    c.stallSeconds = 10;
    return c;
}

void FakeCloudKitServer::acceptWebAuthToken(const std::string& token) {
    std::lock_guard lock(mutex_);
    webTokens_.insert(token);
}

void FakeCloudKitServer::revokeWebAuthTokens() {
    std::lock_guard lock(mutex_);
    webTokens_.clear();
}

std::string FakeCloudKitServer::lastRenewedToken() const {
    std::lock_guard lock(mutex_);
    return lastRenewed_;
}

std::size_t FakeCloudKitServer::recordCount(const std::string& zoneName) const {
    std::lock_guard lock(mutex_);
    auto db = databases_.find("private");
    if (db == databases_.end() || !db->second.count(zoneName))
        return 0;
    const auto& records = db->second.at(zoneName).records;
    return static_cast<std::size_t>(
        std::count_if(records.begin(), records.end(), [](auto& e) { return !e.second.deleted; }));
}

std::optional<json> FakeCloudKitServer::record(const std::string& recordName,
                                               const std::string& zoneName) const {
    std::lock_guard lock(mutex_);
    auto db = databases_.find("private");
    if (db == databases_.end() || !db->second.count(zoneName))
        return std::nullopt;
    const auto& records = db->second.at(zoneName).records;
    auto it = records.find(recordName);
    if (it == records.end() || it->second.deleted)
        return std::nullopt;
    return it->second.record;
}

void FakeCloudKitServer::putRecord(const json& record, const std::string& zoneName) {
    std::lock_guard lock(mutex_);
    auto& z = databases_["private"][zoneName];
    Entry& e = z.records[text(record, "recordName")];
    e.record = record;
    e.recordType = text(record, "recordType");
    e.deleted = false;
    e.sequence = sequence_++;
    e.record["recordChangeTag"] = "t" + std::to_string(e.sequence);
    e.record["modified"] = {{"timestamp", 1700000000000 + static_cast<std::int64_t>(e.sequence)}};
}

std::optional<std::string> FakeCloudKitServer::assetBytes(const std::string& recordName,
                                                          const std::string& field,
                                                          const std::string& zoneName) const {
    auto r = record(recordName, zoneName);
    if (!r || !(*r)["fields"].contains(field))
        return std::nullopt;
    std::lock_guard lock(mutex_);
    auto it = assets_.find(text((*r)["fields"][field]["value"], "receipt"));
    return it == assets_.end() ? std::nullopt : std::optional(it->second);
}

void FakeCloudKitServer::expireChangeTokens() {
    std::lock_guard lock(mutex_);
    ++generation_;
}

bool FakeCloudKitServer::zoneExists(const std::string& zoneName) const {
    std::lock_guard lock(mutex_);
    auto db = databases_.find("private");
    return zoneName == kCKDefaultZoneName ||
           (db != databases_.end() && db->second.count(zoneName) > 0);
}

std::vector<json> FakeCloudKitServer::subscriptions() const {
    std::lock_guard lock(mutex_);
    return subscriptions_;
}

FakeReply FakeCloudKitServer::error(int status, const std::string& code, json extra) {
    json body = {{"uuid", "fake-uuid"}, {"serverErrorCode", code}, {"reason", code}};
    body.update(extra);
    return FakeReply::json(status, body);
}

std::vector<json> FakeCloudKitServer::bodies(const std::string& route) const {
    std::lock_guard lock(mutex_);
    auto it = bodies_.find(route);
    return it == bodies_.end() ? std::vector<json>{} : it->second;
}

std::vector<std::string> FakeCloudKitServer::queries() const {
    std::lock_guard lock(mutex_);
    return queries_;
}

FakeReply FakeCloudKitServer::handle(const Request& request) {
    // "/database/1/<container>/<environment>/<database>/<operation...>" or "/assets/..."
    std::vector<std::string> parts;
    for (std::size_t at = 1; at <= request.path.size();) {
        std::size_t slash = std::min(request.path.find('/', at), request.path.size());
        parts.push_back(request.path.substr(at, slash - at));
        at = slash + 1;
    }
    std::string routeName;
    if (parts.size() >= 3 && parts[0] == "assets")
        routeName = "assets/" + parts[1];
    else if (parts.size() >= 7 && parts[0] == "database")
        routeName = parts[5] + "/" + parts[6];
    std::string webToken;
    std::optional<FakeReply> transfer;  // the reply of an asset upload or download
    {
        std::lock_guard lock(mutex_);
        queries_.push_back(request.query);
        if (auto fault = injectedFault(
                routeName,
                LoopbackListener::queryValue(request.query, "ckWebAuthToken").value_or("")))
            return *fault;
        if (routeName == "assets/put") {
            auto pending = pendingUploads_.find(parts[2]);
            if (request.method != "POST" || pending == pendingUploads_.end())
                return error(404, "NOT_FOUND");
            assets_[pending->second] = request.body;
            json receipt = {{"receipt", pending->second},
                            {"size", request.body.size()},
                            {"fileChecksum", cloudkit_json::checksumOf(request.body)},
                            {"wrappingKey", "fake-key"},
                            {"referenceChecksum", "fake-ref"}};
            pendingUploads_.erase(pending);
            transfer = FakeReply::json(200, {{"singleFile", receipt}});
        } else if (routeName == "assets/download") {
            auto it = assets_.find(parts[2]);
            if (request.method != "GET" || it == assets_.end())
                return error(404, "NOT_FOUND");
            transfer = FakeReply{200, {{"Content-Type", "application/octet-stream"}}, it->second};
        } else {
            if (parts.size() < 7 || parts[2] != containerIdentifier ||
                (parts[3] != "development" && parts[3] != "production"))
                return error(404, "NOT_FOUND");
            if (LoopbackListener::queryValue(request.query, "ckAPIToken") != apiToken)
                return error(401, "AUTHENTICATION_FAILED");
            webToken = LoopbackListener::queryValue(request.query, "ckWebAuthToken").value_or("");
            bool needsUser = parts[4] != "public" || routeName == "users/caller" ||
                             routeName == "records/accept";
            if (needsUser && !webTokens_.count(webToken))
                return error(421, "AUTHENTICATION_REQUIRED", {{"redirectURL", signInPage}});
        }
    }
    if (transfer)
        return altered(routeName, *transfer);
    json body;
    if (request.method == "POST") {
        body = json::parse(request.body, nullptr, false);
        auto type = request.headers.find("content-type");
        if (!body.is_object() || type == request.headers.end() ||
            type->second != "application/json")
            return error(400, "BAD_REQUEST");
        std::lock_guard lock(mutex_);
        bodies_[routeName].push_back(body);
    }
    FakeReply reply = route(parts[4], routeName, body, webToken);
    if (renewTokens && !webToken.empty() && reply.status == 200) {
        std::lock_guard lock(mutex_);
        lastRenewed_ = "renewed-" + std::to_string(nextId_++);
        webTokens_.insert(lastRenewed_);
        reply.headers.emplace_back("X-Apple-CloudKit-Web-Auth-Token", lastRenewed_);
    }
    return altered(routeName, reply);
}

// ----- routes -----

FakeCloudKitServer::Zone* FakeCloudKitServer::zone(const std::string& database,
                                                   const json& zoneID) {
    std::string name = text(zoneID, "zoneName");
    if (name.empty())
        name = kCKDefaultZoneName;
    auto& zones = databases_[database];
    auto it = zones.find(name);
    if (it == zones.end() && name == kCKDefaultZoneName)
        it = zones.emplace(name, Zone{generation_, {}}).first;
    return it == zones.end() ? nullptr : &it->second;
}

std::uint64_t FakeCloudKitServer::assetBytesOf(const json& record) const {
    std::uint64_t total = 0;
    const json fields = record.value("fields", json::object());
    for (const auto& [name, field] : fields.items())
        if (text(field, "type") == "ASSETID") {
            auto bytes = assets_.find(text(field.value("value", json()), "receipt"));
            total += bytes == assets_.end() ? 0 : bytes->second.size();
        }
    return total;
}

std::uint64_t FakeCloudKitServer::storedBytes() const {
    std::uint64_t total = 0;
    for (const auto& [database, zones] : databases_)
        for (const auto& [zoneName, z] : zones)
            for (const auto& [recordName, entry] : z.records)
                if (!entry.deleted)
                    total += assetBytesOf(entry.record);
    return total;
}

json FakeCloudKitServer::replyRecord(const Entry& entry,
                                     const std::optional<std::set<std::string>>& keys) const {
    if (entry.deleted)
        return {{"recordName", text(entry.record, "recordName")},
                {"recordType", entry.recordType},
                {"deleted", true}};
    json out = entry.record;
    json fields = json::object();
    const json stored = entry.record.value("fields", json::object());
    for (auto& [name, field] : stored.items()) {
        if (keys && !keys->count(name))
            continue;
        fields[name] = field;
        if (text(field, "type") == "ASSETID") {
            std::string receipt = text(field.value("value", json()), "receipt");
            auto bytes = assets_.find(receipt);
            fields[name]["value"] = {
                {"downloadURL", baseURL() + "/assets/download/" + receipt + "/${f}"},
                {"size", bytes == assets_.end() ? 0 : bytes->second.size()},
                {"fileChecksum", cloudkit_json::checksumOf(
                                     bytes == assets_.end() ? std::string() : bytes->second)}};
        }
    }
    out["fields"] = fields;
    return out;
}

FakeReply FakeCloudKitServer::route(const std::string& database, const std::string& operation,
                                    const json& body, const std::string& webToken) {
    std::lock_guard lock(mutex_);
    if (operation == "users/caller")
        return FakeReply::json(200, {{"userRecordName", userRecordName}});
    if (operation == "zones/lookup" || operation == "zones/modify") {
        json results = json::array();
        bool lookup = operation == "zones/lookup";
        for (const auto& item : body.value(lookup ? "zones" : "operations", json::array())) {
            json id = lookup ? item : item.value("zone", json::object()).value("zoneID", json());
            std::string name = text(id, "zoneName");
            auto& zones = databases_[database];
            std::string op = text(item, "operationType");
            if (!lookup && op == "create") {
                if (!zones.count(name))
                    zones[name] = Zone{generation_, {}};
            } else if (!lookup && op == "delete") {
                if (!zones.erase(name)) {
                    results.push_back({{"zoneID", id}, {"serverErrorCode", "ZONE_NOT_FOUND"}});
                    continue;
                }
            } else if (!zone(database, id)) {
                results.push_back({{"zoneID", id}, {"serverErrorCode", "ZONE_NOT_FOUND"}});
                continue;
            }
            results.push_back({{"zoneID", id}, {"syncToken", "z"}});
        }
        return FakeReply::json(200, {{"zones", results}});
    }
    if (operation == "subscriptions/modify") {
        json results = json::array();
        for (const auto& op : body.value("operations", json::array())) {
            subscriptions_.push_back(op.value("subscription", json::object()));
            results.push_back(subscriptions_.back());
        }
        return FakeReply::json(200, {{"subscriptions", results}});
    }
    if (operation == "records/accept") {
        // Accepted by the short GUID of a share some database holds; anything else (a record
        // name, say) is not found.
        json results = json::array();
        for (const auto& guid : body.value("shortGUIDs", json::array())) {
            const std::string value = text(guid, "value");
            bool known = false;
            for (const auto& [db, zones] : databases_)
                for (const auto& [zoneName, z] : zones)
                    for (const auto& [name, entry] : z.records)
                        known =
                            known || (!entry.deleted && entry.recordType == "cloudkit.share" &&
                                      !value.empty() && text(entry.record, "shortGUID") == value);
            results.push_back(known ? json{{"shortGUID", value}, {"accepted", true}}
                                    : json{{"shortGUID", value},
                                           {"serverErrorCode", "NOT_FOUND"},
                                           {"reason", "no share has this short GUID"}});
        }
        return FakeReply::json(200, {{"results", results}});
    }
    if (operation == "assets/upload") {
        json tokens = json::array();
        for (const auto& t : body.value("tokens", json::array())) {
            std::string id = std::to_string(nextId_++);
            pendingUploads_[id] = "receipt-" + id;
            tokens.push_back({{"recordName", text(t, "recordName")},
                              {"fieldName", text(t, "fieldName")},
                              {"url", baseURL() + "/assets/put/" + id}});
        }
        return FakeReply::json(200, {{"tokens", tokens}});
    }
    if (operation == "changes/zone")
        return changes(database, body);
    Zone* z = zone(database, body.value("zoneID", json::object()));
    if (!z)
        return error(404, "ZONE_NOT_FOUND");
    if (operation == "records/modify")
        return modify(*z, body);
    if (operation == "records/query")
        return query(*z, body);
    if (operation == "records/lookup") {
        const auto keys = desiredKeys(body);
        json results = json::array();
        for (const auto& r : body.value("records", json::array())) {
            auto it = z->records.find(text(r, "recordName"));
            if (it == z->records.end() || it->second.deleted)
                results.push_back(itemError(text(r, "recordName"), "NOT_FOUND"));
            else
                results.push_back(replyRecord(it->second, keys));
        }
        return FakeReply::json(200, {{"records", results}});
    }
    (void)webToken;
    return error(404, "NOT_FOUND");
}

FakeReply FakeCloudKitServer::modify(Zone& z, const json& body) {
    json results = json::array();
    for (const auto& op : body.value("operations", json::array())) {
        std::string type = text(op, "operationType");
        json record = op.value("record", json::object());
        std::string name = text(record, "recordName");
        auto it = z.records.find(name);
        bool exists = it != z.records.end() && !it->second.deleted;
        if (type == "forceDelete" || type == "delete") {
            if (!exists) {
                results.push_back(itemError(name, "NOT_FOUND"));
                continue;
            }
            it->second.deleted = true;
            it->second.sequence = sequence_++;
            results.push_back({{"recordName", name}, {"deleted", true}});
            continue;
        }
        if (type == "create" && exists) {
            results.push_back(itemError(name, "EXISTS"));
            continue;
        }
        if (type == "replace" || type == "update") {
            if (!exists) {
                results.push_back(itemError(name, "NOT_FOUND"));
                continue;
            }
            if (text(record, "recordChangeTag") != text(it->second.record, "recordChangeTag")) {
                results.push_back(itemError(name, "CONFLICT"));
                continue;
            }
        }
        bool badAsset = false;
        const json fields = record.value("fields", json::object());
        for (auto& [field, value] : fields.items())
            if (text(value, "type") == "ASSETID" &&
                !assets_.count(text(value.value("value", json()), "receipt")))
                badAsset = true;
        if (badAsset) {
            results.push_back(itemError(name, "BAD_REQUEST"));
            continue;
        }
        if (storedBytes() + assetBytesOf(record) > quotaBytes) {
            results.push_back(itemError(name, "QUOTA_EXCEEDED"));
            continue;
        }
        const std::string previousGUID = exists ? text(it->second.record, "shortGUID") : "";
        Entry& e = z.records[name];
        e.record = record;
        e.recordType = text(record, "recordType");
        e.deleted = false;
        e.sequence = sequence_++;
        e.record["recordChangeTag"] = "t" + std::to_string(e.sequence);
        // A share gets the short GUID its link ends in; it keeps it when saved again.
        if (e.recordType == "cloudkit.share") {
            e.record["shortGUID"] =
                !previousGUID.empty() ? previousGUID
                                      : "0s" + std::to_string(nextId_++) + "G" + name.substr(0, 4);
        }
        e.record["modified"] = {
            {"timestamp", 1700000000000 + static_cast<std::int64_t>(e.sequence)}};
        results.push_back(e.record);
    }
    return FakeReply::json(200, {{"records", results}});
}

FakeReply FakeCloudKitServer::query(const Zone& z, const json& body) {
    json q = body.value("query", json::object());
    std::vector<const Entry*> matches;
    for (const auto& [name, entry] : z.records) {
        if (entry.deleted || entry.recordType != text(q, "recordType"))
            continue;
        bool all = true;
        for (const auto& f : q.value("filterBy", json::array())) {
            json fields = entry.record.value("fields", json::object());
            std::string field = text(f, "fieldName");
            auto c = fields.contains(field)
                         ? compare(fields[field]["value"],
                                   f.value("fieldValue", json::object()).value("value", json()))
                         : std::nullopt;
            bool equals = text(f, "comparator") == "EQUALS";
            all = all && c && (equals ? *c == 0 : *c > 0);
        }
        if (all)
            matches.push_back(&entry);
    }
    for (const auto& s : q.value("sortBy", json::array())) {
        std::string field = text(s, "fieldName");
        bool ascending = s.value("ascending", true);
        std::stable_sort(matches.begin(), matches.end(), [&](const Entry* a, const Entry* b) {
            auto c = compare(a->record.value("fields", json::object())
                                 .value(field, json::object())
                                 .value("value", json()),
                             b->record.value("fields", json::object())
                                 .value(field, json::object())
                                 .value("value", json()));
            return c && (ascending ? *c < 0 : *c > 0);
        });
    }
    std::size_t from = std::stoul(body.value("continuationMarker", std::string("0")));
    // The service's default page, and its refusal of an empty one.
    long long limit = body.value("resultsLimit", 200LL);
    if (limit < 1)
        return error(400, "BAD_REQUEST");
    const auto keys = desiredKeys(body);
    json records = json::array();
    std::size_t end = from + static_cast<std::size_t>(limit);
    for (std::size_t i = from; i < matches.size() && i < end; ++i)
        records.push_back(replyRecord(*matches[i], keys));
    json reply = {{"records", records}};
    if (end < matches.size())
        reply["continuationMarker"] = std::to_string(end);
    return FakeReply::json(200, reply);
}

FakeReply FakeCloudKitServer::changes(const std::string& database, const json& body) {
    json results = json::array();
    for (const auto& request : body.value("zones", json::array())) {
        json id = request.value("zoneID", json::object());
        Zone* z = zone(database, id);
        if (!z) {
            results.push_back({{"zoneID", id}, {"serverErrorCode", "ZONE_NOT_FOUND"}});
            continue;
        }
        std::uint64_t since = 0;
        std::string token = text(request, "syncToken");
        if (!token.empty()) {
            auto colon = token.find(':');
            if (colon == std::string::npos || std::stoull(token.substr(0, colon)) != generation_) {
                results.push_back({{"zoneID", id}, {"serverErrorCode", "CHANGE_TOKEN_EXPIRED"}});
                continue;
            }
            since = std::stoull(token.substr(colon + 1));
        }
        std::vector<const Entry*> changed;
        for (const auto& [n, entry] : z->records)
            if (entry.sequence > since)
                changed.push_back(&entry);
        std::sort(changed.begin(), changed.end(),
                  [](const Entry* a, const Entry* b) { return a->sequence < b->sequence; });
        const auto keys = desiredKeys(request);
        json records = json::array();
        std::uint64_t upTo = changed.empty() ? std::max(since, sequence_ - 1) : since;
        bool more = changed.size() > changesPageSize;
        for (std::size_t i = 0; i < changed.size() && i < changesPageSize; ++i) {
            records.push_back(replyRecord(*changed[i], keys));
            upTo = changed[i]->sequence;
        }
        if (!more && !changed.empty())
            upTo = std::max(upTo, sequence_ - 1);
        results.push_back({{"zoneID", id},
                           {"moreComing", more},
                           {"syncToken", std::to_string(generation_) + ":" + std::to_string(upTo)},
                           {"records", records}});
    }
    return FakeReply::json(200, {{"zones", results}});
}

}  // namespace ravelong::testing
