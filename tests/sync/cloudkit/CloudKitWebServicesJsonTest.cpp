#include <gtest/gtest.h>

#include "sync/cloudkit/CloudKitWebServicesJson.h"
#include "sync/cloudkit/CloudKitWebSignIn.h"

namespace ravelong {
namespace {

using json = nlohmann::json;
namespace ckj = cloudkit_json;

TEST(CloudKitWebServicesJson, FieldValuesSurviveTheTripThroughJson) {
    CKRecordZoneID zone{"Sync", kCKCurrentUserOwnerName};
    CKRecordZoneID shared{"Sync", "_owner"};
    struct Case {
        const char* name;
        CKValue value;
        const char* type;
    } cases[] = {
        {"string", std::string("naïve \"quoted\""), "STRING"},
        {"negative int", std::int64_t{-9007199254740993}, "INT64"},
        {"double", 1.5e-7, "DOUBLE"},
        {"reference", CKReference{{"parent", zone}, CKReference::Action::none}, "REFERENCE"},
        {"cascading reference", CKReference{{"p", zone}, CKReference::Action::deleteSelf},
         "REFERENCE"},
        {"reference to another owner's zone", CKReference{{"p", shared}, CKReference::Action::none},
         "REFERENCE"},
    };
    for (const auto& c : cases) {
        CKRecord r;
        r.recordType = "T";
        r.recordID = {"r", zone};
        r.setField("f", c.value);
        json sent = ckj::recordForSave(r, json::object());
        EXPECT_EQ(sent["fields"]["f"]["type"], c.type) << c.name;
        auto back = ckj::parseRecord(json::parse(sent.dump()), zone);
        ASSERT_TRUE(back) << c.name;
        ASSERT_NE(back->field("f"), nullptr) << c.name;
        EXPECT_EQ(*back->field("f"), c.value) << c.name;
        EXPECT_EQ(back->recordID, r.recordID) << c.name;
    }
}

TEST(CloudKitWebServicesJson, AssetsTravelAsReceiptsAndComeBackAsDownloads) {
    CKRecord r;
    r.recordType = "FileNode";
    r.recordID = {"n", {}};
    r.setField("contents", CKAsset{"/tmp/x"});
    r.setField("spare", CKAsset{"/tmp/y"});
    json receipts = {{"contents", {{"receipt", "R1"}, {"size", 3}}}};
    json sent = ckj::recordForSave(r, receipts);
    EXPECT_EQ(sent["fields"]["contents"]["value"]["receipt"], "R1");
    EXPECT_FALSE(sent["fields"].contains("spare")) << "an asset without a receipt is not sent";
    EXPECT_FALSE(sent.contains("recordChangeTag")) << "a new record carries no tag";

    json reply = {
        {"recordName", "n"},
        {"recordType", "FileNode"},
        {"recordChangeTag", "t9"},
        {"modified", {{"timestamp", 978307260000.0}}},
        {"fields",
         {{"contents",
           {{"type", "ASSETID"},
            {"value",
             {{"downloadURL", "https://d/${f}"}, {"size", 3}, {"fileChecksum", "abc"}}}}}}}};
    std::vector<ckj::AssetDownload> downloads;
    auto back = ckj::parseRecord(reply, {}, &downloads);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->recordChangeTag, "t9");
    EXPECT_DOUBLE_EQ(back->modificationDate, 60.0);
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].fieldName, "contents");
    EXPECT_EQ(downloads[0].downloadURL, "https://d/${f}");
    EXPECT_EQ(downloads[0].size, 3);
    EXPECT_FALSE(ckj::parseRecord({{"recordName", "n"}, {"serverErrorCode", "NOT_FOUND"}}, {}));
    EXPECT_FALSE(ckj::parseRecord(json::array(), {}));
}

TEST(CloudKitWebServicesJson, ServerErrorCodesAndStatusesMapToCloudKitCodes) {
    struct Case {
        const char* text;
        long status;
        int expected;
    } cases[] = {
        {"ZONE_NOT_FOUND", 404, CKErrorCode::zoneNotFound},
        {"NOT_FOUND", 404, CKErrorCode::unknownItem},
        {"CONFLICT", 409, CKErrorCode::serverRecordChanged},
        {"EXISTS", 409, CKErrorCode::serverRecordChanged},
        {"AUTHENTICATION_REQUIRED", 421, CKErrorCode::notAuthenticated},
        {"AUTHENTICATION_FAILED", 401, CKErrorCode::notAuthenticated},
        {"THROTTLED", 429, CKErrorCode::requestRateLimited},
        {"TRY_AGAIN_LATER", 503, CKErrorCode::serviceUnavailable},
        {"QUOTA_EXCEEDED", 413, CKErrorCode::quotaExceeded},
        {"ACCESS_DENIED", 403, CKErrorCode::permissionFailure},
        {"BAD_REQUEST", 400, CKErrorCode::invalidArguments},
        {"CHANGE_TOKEN_EXPIRED", 400, CKErrorCode::changeTokenExpired},
        {"", 421, CKErrorCode::notAuthenticated},
        {"", 401, CKErrorCode::notAuthenticated},
        {"", 429, CKErrorCode::requestRateLimited},
        {"", 502, CKErrorCode::serviceUnavailable},
        {"", 507, CKErrorCode::quotaExceeded},
        {"SOMETHING_NEW", 418, CKErrorCode::internalError},
        {"", 200, CKErrorCode::none},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ckj::errorCodeFor(c.text, c.status), c.expected) << c.text << " " << c.status;
    auto item = ckj::parseItemError(
        {{"recordName", "x"}, {"serverErrorCode", "CONFLICT"}, {"reason", "tag"}}, {});
    ASSERT_TRUE(item);
    EXPECT_EQ(item->code, CKErrorCode::serverRecordChanged);
    EXPECT_EQ(item->recordID.recordName, "x");
    EXPECT_FALSE(ckj::parseItemError({{"recordName", "x"}}, {}));
}

TEST(CloudKitWebServicesJson, ChecksumsCatchDamagedBytes) {
    std::string sum = ckj::checksumOf("contents");
    struct Case {
        const char* name;
        std::string checksum;
        std::string bytes;
        bool matches;
    } cases[] = {
        {"same bytes", sum, "contents", true},
        {"one byte changed", sum, "contentz", false},
        {"truncated", sum, "content", false},
        {"nothing announced", "", "anything", true},
        {"a form we do not know", "AQID", "anything", true},
        {"not base64", "@@@", "anything", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ckj::checksumMatches(c.checksum, c.bytes), c.matches) << c.name;
}

TEST(CloudKitWebServicesJson, QueriesAndZonesAreWrittenAsTheServiceReadsThem) {
    CKQuery q{"Event",
              {{"n", CKQueryFilter::Comparator::greaterThan, std::int64_t{3}},
               {"", CKQueryFilter::Comparator::equals, std::string()}},
              "n",
              false};
    json out = ckj::query(q, {});
    ASSERT_EQ(out["filterBy"].size(), 1u) << "an empty field name means every record";
    EXPECT_EQ(out["filterBy"][0]["comparator"], "GREATER_THAN");
    EXPECT_EQ(out["filterBy"][0]["fieldValue"]["value"], 3);
    EXPECT_EQ(out["sortBy"][0]["ascending"], false);
    EXPECT_FALSE(ckj::zoneID({}).contains("ownerRecordName"));
    EXPECT_EQ(ckj::zoneID({"Z", "_o"})["ownerRecordName"], "_o");
    EXPECT_EQ(ckj::parseZoneID(ckj::zoneID({"Z", "_o"})), (CKRecordZoneID{"Z", "_o"}));
    EXPECT_FALSE(ckj::parseZoneID(json::object()));
}

TEST(CloudKitWebServicesJson, ASharesShortGUIDIsTakenFromItsLink) {
    const struct {
        std::string link, guid;
        std::optional<std::string> expected;
    } cases[] = {
        {"https://www.icloud.com/share/0AbC_d-9#Ravelong_Sync", "", "0AbC_d-9"},
        {"https://www.icloud.com/share/0AbC/?lang=en", "", "0AbC"},
        {"https://www.icloud.com/share/0AbC", "0Given", "0Given"},
        {"", "0Given", "0Given"},
        {"", "", std::nullopt},
        {"0AbC", "", std::nullopt},  // not a link
        {"https://www.icloud.com", "", std::nullopt},
        {"https://www.icloud.com/#0AbC", "", std::nullopt},
        {"https://www.icloud.com/share/0A%20bC", "", std::nullopt},
        {"", "../zones", std::nullopt},
    };
    for (const auto& c : cases) {
        CKShareMetadata metadata;
        metadata.shareRecordID = {"share-record-name", {"Zone", "_owner"}};
        metadata.shareURL = c.link;
        metadata.shortGUID = c.guid;
        EXPECT_EQ(ckj::shareShortGUID(metadata), c.expected) << c.link << " / " << c.guid;
    }
}

TEST(CloudKitWebSignIn, TokensAreFoundInPastedText) {
    struct Case {
        const char* text;
        std::optional<std::string> token;
    } cases[] = {
        {"  abc123==  \n", "abc123=="},
        {"http://127.0.0.1:53791/?ckWebAuthToken=abc%2B1&ckSession=x", "abc+1"},
        {"ckWebAuthToken=tok#frag", "tok"},
        {"https://example.com/?other=1", std::nullopt},
        {"two words", std::nullopt},
        {"", std::nullopt},
        {"?ckWebAuthToken=", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CloudKitWebSignIn::tokenFromText(c.text), c.token) << c.text;
}

}  // namespace
}  // namespace ravelong
