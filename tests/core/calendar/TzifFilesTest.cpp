#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/PosixZoneRule.h"
#include "core/calendar/TzifFiles.h"
#include "core/calendar/ZoneRules.h"

namespace ravelong {
namespace {

using testing::CLibraryZone;

std::string fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(PosixZoneRule, RulesGiveTheOffsetsTheCLibraryGives) {
    const char* const kRules[] = {
        "CET-1CEST,M3.5.0,M10.5.0/3",            // Europe
        "EST5EDT,M3.2.0,M11.1.0",                //
        "<+03>-3",                               // no summer time
        "AEST-10AEDT,M10.1.0,M4.1.0/3",          // southern summer across the new year
        "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0",  // half-hour change
        "IST-1GMT0,M10.5.0,M3.5.0/1",            // summer time below standard time
        "<-02>2<-01>,M3.5.0/-1,M10.5.0/0",       // negative change times
        "XXX3YYY,J60/2,J300/2",                  // days without 29 February
        "XXX3YYY,59/2,299/2",                    // days counting 29 February
        "<-03>3<-02>,M3.5.0/-2,M10.5.0/-1",
    };
    for (const char* text : kRules) {
        SCOPED_TRACE(text);
        const auto rule = PosixZoneRule::parse(text);
        ASSERT_TRUE(rule.has_value());
        const CLibraryZone reference(text);
        for (int64_t t = 946684800; t < 4102444800; t += 86400 * 3 + 3599) {
            ASSERT_EQ(rule->offsetAt(t), reference.offsetAt(t)) << t;
        }
        for (int64_t year : {2024, 2025}) {
            for (const auto& change : rule->changesInYear(year)) {
                EXPECT_EQ(rule->offsetAt(change.at), reference.offsetAt(change.at));
                EXPECT_EQ(rule->offsetAt(change.at - 1), reference.offsetAt(change.at - 1));
            }
        }
    }
}

TEST(PosixZoneRule, TextsThatAreNoRulesAreRefused) {
    for (const char* text :
         {"", "Europe/Berlin", "CET", "CE-1", "CET-1CEST,M3.5.0", "CET-1CEST,M13.5.0,M10.5.0",
          "CET-1CEST,M3.6.0,M10.5.0", "CET-1CEST,M3.5.7,M10.5.0", "CET-1CEST,J0,J365", "CET-99",
          "CET-1CEST,M3.5.0,M10.5.0/3x", "<+03-3", "GMT+2400", "CET-1:60"}) {
        EXPECT_FALSE(PosixZoneRule::parse(text).has_value()) << text;
    }
    // Summer time without dates follows the C library's default: 2024-03-10 07:00 UTC to
    // 2024-11-03 06:00 UTC in New York's terms. (The C library itself would read the "posixrules"
    // zone file for those dates, so it is no reference here.)
    const auto noDates = PosixZoneRule::parse("XST5XDT");
    ASSERT_TRUE(noDates.has_value());
    EXPECT_EQ(noDates->offsetAt(1710053999), -18000);
    EXPECT_EQ(noDates->offsetAt(1710054000), -14400);
    EXPECT_EQ(noDates->offsetAt(1730613599), -14400);
    EXPECT_EQ(noDates->offsetAt(1730613600), -18000);
    const auto rule = PosixZoneRule::parse("<+0530>-5:30");
    ASSERT_TRUE(rule.has_value());
    EXPECT_FALSE(rule->hasSummerTime());
    EXPECT_EQ(rule->standardOffset(), 19800);
}

TEST(TzifFiles, DamagedFilesAreRefusedWithoutReadingPastTheirEnd) {
    const std::string berlin = fileBytes("/usr/share/zoneinfo/Europe/Berlin");
    ASSERT_GT(berlin.size(), 100u);
    ASSERT_TRUE(tzif::decode(berlin).ok());
    // Every cut short of the 64-bit data, and bytes changed in the counts and the data.
    for (size_t length = 0; length + 60 < berlin.size(); length += 7) {
        const auto result = tzif::decode(std::string_view(berlin).substr(0, length));
        if (!result.ok()) {
            EXPECT_EQ(result.error().code, tzif::kMalformed);
        }
    }
    std::string wrongMagic = berlin;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(tzif::decode(wrongMagic).ok());
    std::string hugeCount = berlin;
    hugeCount[32] = '\x7f';  // timecnt of the first header
    EXPECT_FALSE(tzif::decode(hugeCount).ok());
    std::string badFooter = berlin;
    badFooter.replace(badFooter.rfind('\n', badFooter.size() - 2) + 1, 3, "???");
    const auto footer = tzif::decode(badFooter);
    ASSERT_FALSE(footer.ok());
    EXPECT_EQ(footer.error().code, tzif::kMalformed);
    EXPECT_FALSE(tzif::decode("").ok());
}

// Bytes changed at random all over a real file: every result is either a zone with ordered
// transitions and one offset per period, or the malformed error.
TEST(TzifFiles, RandomlyDamagedFilesDecodeSoundlyOrAreRefused) {
    const std::string original = fileBytes("/usr/share/zoneinfo/America/New_York");
    ASSERT_FALSE(original.empty());
    uint64_t state = 7;
    const auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = original;
        for (int change = 0; change < 1 + round % 4; ++change) {
            bytes[next() % bytes.size()] = static_cast<char>(next());
        }
        const auto result = tzif::decode(bytes);
        if (!result.ok()) {
            ASSERT_EQ(result.error().code, tzif::kMalformed);
            ++refused;
            continue;
        }
        ASSERT_EQ(result->offsets.size(), result->transitions.size() + 1);
        ASSERT_EQ(result->summer.size(), result->offsets.size());
        for (size_t i = 1; i < result->transitions.size(); ++i) {
            ASSERT_LT(result->transitions[i - 1], result->transitions[i]);
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(TzifFiles, OnlyNamesInsideTheDatabaseAreRead) {
    for (const char* good : {"Europe/Berlin", "UTC", "Etc/GMT+5", "America/Argentina/Salta"}) {
        EXPECT_TRUE(tzif::isZoneFileName(good)) << good;
        EXPECT_TRUE(tzif::loadSystemZone(good).has_value()) << good;
    }
    for (const char* bad : {"", "/etc/passwd", "../../etc/passwd", "Europe/../../etc/passwd",
                            "Europe//Berlin", "Europe/", "./UTC", "Europe/Berlin\n", "a b"}) {
        EXPECT_FALSE(tzif::isZoneFileName(bad)) << bad;
        EXPECT_FALSE(tzif::loadSystemZone(bad).has_value()) << bad;
    }
    // Inside the folder but no zone file.
    EXPECT_FALSE(tzif::loadSystemZone("zone1970.tab").has_value());
    EXPECT_FALSE(tzif::loadSystemZone("Europe").has_value());
}

// A TZ rule names a zone of its own, with its changes and the rule's offsets.
TEST(TzifFiles, ZoneRulesFromARuleText) {
    const ZoneRef zone = ZoneRules::create("CET-1CEST,M3.5.0,M10.5.0/3");
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(zone->offsetAt(1711846799), 3600);  // 2024-03-31 00:59:59 UTC
    EXPECT_EQ(zone->offsetAt(1711846800), 7200);
    EXPECT_FALSE(zone->isFixedOffset());
    const ZoneRef fixed = ZoneRules::create("<+03>-3");
    ASSERT_NE(fixed, nullptr);
    EXPECT_TRUE(fixed->isFixedOffset());
    EXPECT_EQ(fixed->offsetAt(1711846800), 10800);
}

}  // namespace
}  // namespace ravelong
