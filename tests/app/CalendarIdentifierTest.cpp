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
    struct Case {
        const char* lcAll;
        const char* lcTime;
        const char* lang;
        std::string calendar;
    };
    const Case cases[] = {
        {"th_TH.UTF-8", nullptr, "en_US.UTF-8", "buddhist"},
        {"de_DE.UTF-8", nullptr, nullptr, "gregorian"},
        {"en_US.UTF-8", nullptr, nullptr, "gregorian"},
        {"C", nullptr, nullptr, "gregorian"},
        {"POSIX", nullptr, nullptr, "gregorian"},
        // An empty LC_ALL does not count; LC_TIME comes before LANG.
        {"", "th_TH.UTF-8", "de_DE.UTF-8", "buddhist"},
        {nullptr, nullptr, "th_TH.UTF-8", "buddhist"},
        {nullptr, nullptr, nullptr, "gregorian"},
        // An explicit calendar keyword is honoured; other modifiers choose no calendar.
        {"ja_JP.UTF-8@calendar=japanese", nullptr, nullptr, "japanese"},
        {"th_TH.UTF-8@calendar=gregorian", nullptr, nullptr, "gregorian"},
        {"sr_RS.UTF-8@latin", nullptr, nullptr, "gregorian"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << (c.lcAll ? c.lcAll : "-") << " " << (c.lcTime ? c.lcTime : "-") << " "
                     << (c.lang ? c.lang : "-"));
        LocaleVariables locale(c.lcAll, c.lcTime, c.lang);
        EXPECT_EQ(currentCalendarIdentifier(), c.calendar);
        EXPECT_EQ(currentCalendarIsGregorian(), c.calendar == "gregorian");
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
