#include "sync/cloudkit/CloudKitWebServicesJson.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <span>
#include <utility>

#include "foundation/Base64.h"

namespace ravelong::cloudkit_json {

using json = nlohmann::json;

namespace {

std::string stringOf(const json& object, const char* name) {
    if (!object.is_object())
        return {};
    auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

CKRecordID recordIDIn(const json& value, const CKRecordZoneID& zone) {
    CKRecordID id{stringOf(value, "recordName"), zone};
    if (value.is_object() && value.contains("zoneID"))
        if (auto z = parseZoneID(value["zoneID"]))
            id.zoneID = *z;
    return id;
}

json referenceJson(const CKRecordID& id, const CKRecordZoneID& zone) {
    json out = {{"recordName", id.recordName}};
    if (id.zoneID != zone)
        out["zoneID"] = zoneID(id.zoneID);
    return out;
}

const char* comparatorName(CKQueryFilter::Comparator c) {
    return c == CKQueryFilter::Comparator::equals ? "EQUALS" : "GREATER_THAN";
}

}  // namespace

json zoneID(const CKRecordZoneID& zone) {
    json out = {{"zoneName", zone.zoneName}};
    if (zone.ownerName != kCKCurrentUserOwnerName)
        out["ownerRecordName"] = zone.ownerName;
    return out;
}

std::optional<CKRecordZoneID> parseZoneID(const json& value) {
    std::string name = stringOf(value, "zoneName");
    if (name.empty())
        return std::nullopt;
    CKRecordZoneID zone;
    zone.zoneName = name;
    std::string owner = stringOf(value, "ownerRecordName");
    if (!owner.empty())
        zone.ownerName = owner;
    return zone;
}

json fieldValue(const CKValue& value, const CKRecordZoneID& zone, const json* assetReceipt) {
    return std::visit(
        [&](const auto& v) -> json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>)
                return {{"value", v}, {"type", "STRING"}};
            else if constexpr (std::is_same_v<T, std::int64_t>)
                return {{"value", v}, {"type", "INT64"}};
            else if constexpr (std::is_same_v<T, double>)
                return {{"value", v}, {"type", "DOUBLE"}};
            else if constexpr (std::is_same_v<T, CKReference>) {
                json ref = referenceJson(v.recordID, zone);
                ref["action"] =
                    v.action == CKReference::Action::deleteSelf ? "DELETE_SELF" : "NONE";
                return {{"value", ref}, {"type", "REFERENCE"}};
            } else {
                return {{"value", assetReceipt ? *assetReceipt : json::object()},
                        {"type", "ASSETID"}};
            }
        },
        value);
}

json recordForSave(const CKRecord& record, const json& receipts) {
    const CKRecordZoneID& zone = record.recordID.zoneID;
    json fields = json::object();
    for (const auto& [name, value] : record.fields) {
        if (std::holds_alternative<CKAsset>(value)) {
            auto receipt = receipts.is_object() ? receipts.find(name) : receipts.end();
            if (receipt == receipts.end())
                continue;
            fields[name] = fieldValue(value, zone, &*receipt);
        } else {
            fields[name] = fieldValue(value, zone);
        }
    }
    json out = {{"recordName", record.recordID.recordName},
                {"recordType", record.recordType},
                {"fields", fields}};
    if (!record.recordChangeTag.empty())
        out["recordChangeTag"] = record.recordChangeTag;
    if (record.parent)
        out["parent"] = referenceJson(*record.parent, zone);
    if (record.shareRootRecordID)
        out["rootRecord"] = referenceJson(*record.shareRootRecordID, zone);
    return out;
}

std::optional<CKRecord> parseRecord(const json& value, const CKRecordZoneID& zone,
                                    std::vector<AssetDownload>* assets) {
    if (!value.is_object() || value.contains("serverErrorCode"))
        return std::nullopt;
    CKRecord record;
    record.recordID = recordIDIn(value, zone);
    record.recordType = stringOf(value, "recordType");
    if (record.recordID.recordName.empty())
        return std::nullopt;
    record.recordChangeTag = stringOf(value, "recordChangeTag");
    auto modified = value.find("modified");
    if (modified != value.end() && modified->is_object()) {
        auto stamp = modified->find("timestamp");
        if (stamp != modified->end() && stamp->is_number())
            record.modificationDate = stamp->get<double>() / 1000.0 - kSecondsFrom1970To2001;
    }
    auto parent = value.find("parent");
    if (parent != value.end() && !stringOf(*parent, "recordName").empty())
        record.parent = recordIDIn(*parent, record.recordID.zoneID);
    auto root = value.find("rootRecord");
    if (root != value.end() && !stringOf(*root, "recordName").empty())
        record.shareRootRecordID = recordIDIn(*root, record.recordID.zoneID);
    auto fields = value.find("fields");
    if (fields == value.end() || !fields->is_object())
        return record;
    for (const auto& [name, field] : fields->items()) {
        if (!field.is_object() || !field.contains("value"))
            continue;
        const json& v = field["value"];
        std::string type = stringOf(field, "type");
        if (type == "STRING" && v.is_string()) {
            record.fields.emplace_back(name, v.get<std::string>());
        } else if (type == "INT64" && v.is_number_integer()) {
            record.fields.emplace_back(name, v.get<std::int64_t>());
        } else if (type == "DOUBLE" && v.is_number()) {
            record.fields.emplace_back(name, v.get<double>());
        } else if (type == "REFERENCE" && v.is_object()) {
            CKReference ref{recordIDIn(v, record.recordID.zoneID), CKReference::Action::none};
            if (stringOf(v, "action") == "DELETE_SELF")
                ref.action = CKReference::Action::deleteSelf;
            record.fields.emplace_back(name, ref);
        } else if (type == "ASSETID" && v.is_object()) {
            record.fields.emplace_back(name, CKAsset{});
            if (assets) {
                AssetDownload download{name, stringOf(v, "downloadURL"), -1,
                                       stringOf(v, "fileChecksum")};
                auto size = v.find("size");
                if (size != v.end() && size->is_number_integer())
                    download.size = size->get<std::int64_t>();
                assets->push_back(std::move(download));
            }
        } else if (type.empty()) {
            // Values the service sends without a type: infer it from the JSON.
            if (v.is_string())
                record.fields.emplace_back(name, v.get<std::string>());
            else if (v.is_number_integer())
                record.fields.emplace_back(name, v.get<std::int64_t>());
            else if (v.is_number())
                record.fields.emplace_back(name, v.get<double>());
        }
    }
    return record;
}

std::optional<std::string> shareShortGUID(const CKShareMetadata& metadata) {
    std::string guid = metadata.shortGUID;
    if (guid.empty()) {
        std::string_view link = metadata.shareURL;
        link = link.substr(0, link.find_first_of("?#"));
        const std::size_t scheme = link.find("://");
        const std::size_t path =
            scheme == std::string_view::npos ? scheme : link.find('/', scheme + 3);
        if (path == std::string_view::npos)
            return std::nullopt;
        std::string_view segments = link.substr(path + 1);
        while (!segments.empty() && segments.back() == '/')
            segments.remove_suffix(1);
        guid = std::string(segments.substr(segments.rfind('/') + 1));
    }
    const bool sound = !guid.empty() && std::all_of(guid.begin(), guid.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
    if (!sound)
        return std::nullopt;
    return guid;
}

json queryFilter(const CKQueryFilter& filter, const CKRecordZoneID& zone) {
    return {{"comparator", comparatorName(filter.comparator)},
            {"fieldName", filter.fieldName},
            {"fieldValue", fieldValue(filter.value, zone)}};
}

json query(const CKQuery& q, const CKRecordZoneID& zone) {
    json out = {{"recordType", q.recordType}};
    json filters = json::array();
    for (const auto& f : q.filters)
        if (!f.fieldName.empty())
            filters.push_back(queryFilter(f, zone));
    if (!filters.empty())
        out["filterBy"] = filters;
    if (!q.sortFieldName.empty())
        out["sortBy"] =
            json::array({{{"fieldName", q.sortFieldName}, {"ascending", q.sortAscending}}});
    return out;
}

int errorCodeFor(std::string_view text, long status) {
    static const std::pair<std::string_view, int> known[] = {
        {"ACCESS_DENIED", CKErrorCode::permissionFailure},
        {"ATOMIC_ERROR", CKErrorCode::serverRejectedRequest},
        {"AUTHENTICATION_FAILED", CKErrorCode::notAuthenticated},
        {"AUTHENTICATION_REQUIRED", CKErrorCode::notAuthenticated},
        {"BAD_REQUEST", CKErrorCode::invalidArguments},
        {"CONFLICT", CKErrorCode::serverRecordChanged},
        {"EXISTS", CKErrorCode::serverRecordChanged},
        {"INTERNAL_ERROR", CKErrorCode::internalError},
        {"NOT_FOUND", CKErrorCode::unknownItem},
        {"QUOTA_EXCEEDED", CKErrorCode::quotaExceeded},
        {"THROTTLED", CKErrorCode::requestRateLimited},
        {"TRY_AGAIN_LATER", CKErrorCode::serviceUnavailable},
        {"VALIDATING_REFERENCE_ERROR", CKErrorCode::invalidArguments},
        {"ZONE_NOT_FOUND", CKErrorCode::zoneNotFound},
        {"USER_DELETED_ZONE", CKErrorCode::userDeletedZone},
        {"LIMIT_EXCEEDED", CKErrorCode::limitExceeded},
        {"CHANGE_TOKEN_EXPIRED", CKErrorCode::changeTokenExpired},
    };
    for (const auto& [name, code] : known)
        if (name == text)
            return code;
    if (status >= 200 && status < 300)
        return text.empty() ? CKErrorCode::none : CKErrorCode::internalError;
    switch (status) {
        case 400:
            return CKErrorCode::invalidArguments;
        case 401:
        case 421:
            return CKErrorCode::notAuthenticated;
        case 403:
            return CKErrorCode::permissionFailure;
        case 404:
            return CKErrorCode::unknownItem;
        case 409:
            return CKErrorCode::serverRecordChanged;
        case 412:
            return CKErrorCode::invalidArguments;
        case 413:
            return CKErrorCode::limitExceeded;
        case 429:
            return CKErrorCode::requestRateLimited;
        case 503:
            return CKErrorCode::serviceUnavailable;
        case 507:
            return CKErrorCode::quotaExceeded;
        default:
            return status >= 500 ? CKErrorCode::serviceUnavailable : CKErrorCode::internalError;
    }
}

bool isRetryable(int code) {
    return code == CKErrorCode::serviceUnavailable || code == CKErrorCode::requestRateLimited ||
           code == CKErrorCode::networkFailure;
}

std::optional<CKItemError> parseItemError(const json& value, const CKRecordZoneID& zone) {
    std::string text = stringOf(value, "serverErrorCode");
    if (text.empty())
        return std::nullopt;
    CKItemError item;
    item.recordID = recordIDIn(value, zone);
    item.code = errorCodeFor(text, 400);
    std::string reason = stringOf(value, "reason");
    item.description = reason.empty() ? text : text + ": " + reason;
    return item;
}

namespace {

std::string sha1(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha1(), nullptr);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

}  // namespace

std::string checksumOf(std::string_view bytes) {
    std::string raw = "\x01" + sha1(bytes);
    return base64::encode(std::span(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()));
}

bool checksumMatches(const std::string& fileChecksum, std::string_view bytes) {
    if (fileChecksum.empty())
        return true;
    auto raw = base64::decode(fileChecksum);
    if (!raw || raw->size() != 21 || (*raw)[0] != 1)
        return true;
    std::string digest = sha1(bytes);
    return std::equal(raw->begin() + 1, raw->end(), digest.begin(), digest.end(),
                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

}  // namespace ravelong::cloudkit_json
