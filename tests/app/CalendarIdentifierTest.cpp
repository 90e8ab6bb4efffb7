#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/CalendarIdentifier.h"

namespace ravelong {
namespace {

// Sets the locale variables for one test and puts the previous values back afterwards.
class LocaleVariables {
public:
    LocaleVariables(const char* lcAll, const char* lcTime, const char* lang) {
        set("LC_ALL", lcAll);
        set("LC_TIME", lcTime);
        set("LANG", lang);
    }
    ~LocaleVariables() {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    LocaleVariables(const LocaleVariables&) = delete;
    LocaleVariables& operator=(const LocaleVariables&) = delete;

private:
    void set(const char* name, const char* value) {
        const char* previous = std::getenv(name);
        saved_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(CalendarIdentifier, IsTheCalendarOfTheLocaleThatGovernsDates) {
    {
        LocaleVariables locale("th_TH.UTF-8", nullptr, "en_US.UTF-8");
        EXPECT_EQ(currentCalendarIdentifier(), "buddhist");
        EXPECT_FALSE(currentCalendarIsGregorian());
    }
    for (const char* name : {"de_DE.UTF-8", "en_US.UTF-8", "C", "POSIX"}) {
        LocaleVariables locale(name, nullptr, nullptr);
        EXPECT_EQ(currentCalendarIdentifier(), "gregorian") << name;
        EXPECT_TRUE(currentCalendarIsGregorian()) << name;
    }
    {
        // An empty LC_ALL does not count; LC_TIME comes before LANG.
        LocaleVariables locale("", "th_TH.UTF-8", "de_DE.UTF-8");
        EXPECT_EQ(currentCalendarIdentifier(), "buddhist");
    }
    {
        LocaleVariables locale(nullptr, nullptr, "th_TH.UTF-8");
        EXPECT_EQ(currentCalendarIdentifier(), "buddhist");
    }
    {
        LocaleVariables locale(nullptr, nullptr, nullptr);
        EXPECT_EQ(currentCalendarIdentifier(), "gregorian");
    }
}

TEST(CalendarIdentifier, AnExplicitCalendarKeywordIsHonoured) {
    {
        LocaleVariables locale("ja_JP.UTF-8@calendar=japanese", nullptr, nullptr);
        EXPECT_EQ(currentCalendarIdentifier(), "japanese");
    }
    {
        LocaleVariables locale("th_TH.UTF-8@calendar=gregorian", nullptr, nullptr);
        EXPECT_EQ(currentCalendarIdentifier(), "gregorian");
    }
    {
        // Other modifiers choose no calendar.
        LocaleVariables locale("sr_RS.UTF-8@latin", nullptr, nullptr);
        EXPECT_EQ(currentCalendarIdentifier(), "gregorian");
    }
}

TEST(CalendarIdentifier, TheScopedOverrideNestsAndRestores) {
    LocaleVariables locale("en_US.UTF-8", nullptr, nullptr);
    {
        ScopedCalendarIdentifier outer("buddhist");
        EXPECT_EQ(currentCalendarIdentifier(), "buddhist");
        {
            ScopedCalendarIdentifier inner("gregorian");
            EXPECT_TRUE(currentCalendarIsGregorian());
        }
        EXPECT_EQ(currentCalendarIdentifier(), "buddhist");
    }
    EXPECT_EQ(currentCalendarIdentifier(), "gregorian");
}

}  // namespace
}  // namespace ravelong
