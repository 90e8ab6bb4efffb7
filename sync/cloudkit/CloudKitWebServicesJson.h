#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sync/cloudkit/CloudKitDatabase.h"

// The JSON of CloudKit's web services: records, zones, queries and errors as the REST routes
// send and receive them. Pure functions, no I/O.
namespace ravelong::cloudkit_json {

// Seconds between 1970-01-01 and 2001-01-01, the two epochs of the service's timestamps
// (milliseconds since 1970) and of CKRecord::modificationDate (seconds since 2001).
inline constexpr double kSecondsFrom1970To2001 = 978307200.0;

nlohmann::json zoneID(const CKRecordZoneID& zone);
// A zone ID of a reply; nullopt when it has no zone name.
std::optional<CKRecordZoneID> parseZoneID(const nlohmann::json& value);

// A field value as {"value": ..., "type": ...}. An asset is written from the upload receipt
// the caller got for it (assetReceipt), as the service expects.
nlohmann::json fieldValue(const CKValue& value, const CKRecordZoneID& zone,
                          const nlohmann::json* assetReceipt = nullptr);

// The parts of a record a save sends: name, type, change tag, fields and parent. Asset fields
// take their receipts from `receipts` (by field name); fields without one are left out.
nlohmann::json recordForSave(const CKRecord& record, const nlohmann::json& receipts);

// An asset field of a reply: where to download it and what to expect.
struct AssetDownload {
    std::string fieldName;
    std::string downloadURL;
    std::int64_t size = -1;    // -1 when the reply does not say
    std::string fileChecksum;  // base64, "" when the reply does not say
};

// A record of a reply. Asset fields come back with an empty CKAsset and are listed in
// `assets` for the caller to download; nullopt when the JSON is not a record (an error entry).
std::optional<CKRecord> parseRecord(const nlohmann::json& value, const CKRecordZoneID& zone,
                                    std::vector<AssetDownload>* assets = nullptr);

// The short GUID a share is accepted by: the metadata's own, else the last segment of the
// share link's path. nullopt when neither holds one (only letters, digits, '-' and '_').
std::optional<std::string> shareShortGUID(const CKShareMetadata& metadata);

nlohmann::json queryFilter(const CKQueryFilter& filter, const CKRecordZoneID& zone);
nlohmann::json query(const CKQuery& query, const CKRecordZoneID& zone);

// CloudKit's error code for a serverErrorCode text of the service; when the text is unknown,
// the code the HTTP status implies (0 for a 2xx status).
int errorCodeFor(std::string_view serverErrorCode, long httpStatus = 0);
bool isRetryable(int code);

// An error entry of a reply (an object with serverErrorCode), nullopt for anything else.
std::optional<CKItemError> parseItemError(const nlohmann::json& value, const CKRecordZoneID& zone);

// Whether bytes match the checksum the service announced: "" matches anything; a checksum
// of our form (a 0x01 byte then the SHA-1 of the bytes, in base64) is compared; any other form
// is not understood and so not held against the bytes.
bool checksumMatches(const std::string& fileChecksum, std::string_view bytes);
// The checksum of bytes in the form checksumMatches() compares.
std::string checksumOf(std::string_view bytes);

}  // namespace ravelong::cloudkit_json
