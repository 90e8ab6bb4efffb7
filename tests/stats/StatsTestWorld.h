#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/BackgroundConnection.h"
#include "app/RavelongMigrations.h"
#include "core/calendar/CivilDays.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/chain/ChainLinks.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/services/DeviceIdentity.h"
#include "core/services/UserScript.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"
#include "store/ZRUndoManager.h"
#include "support/FixedDeviceIdentity.h"
#include "support/RecordingUserScript.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"
#include "tests/core/timer/TimerTestFixture.h"

namespace ravelong::stats_testing {

// A wall-clock time in Berlin (UTC+1 in winter, UTC+2 from the last Sunday of March to the last
// Sunday of October), for years 2020 to 2030.
inline Instant berlinTime(int year, int month, int day, int hour = 0, int minute = 0) {
    auto lastSunday = [](int y, int m) {
        const auto last = civil::daysFromCivil(y, m, 31);
        const auto weekday = (last + 4) % 7;  // 1970-01-01 was a Thursday; 0 = Sunday
        return last - weekday;
    };
    const auto days = civil::daysFromCivil(year, month, day);
    const double local = static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0;
    // Summer time runs from 01:00 UTC on the last Sunday of March to 01:00 UTC on October's.
    const double summerStart = static_cast<double>(lastSunday(year, 3)) * 86400.0 + 3600.0;
    const double summerEnd = static_cast<double>(lastSunday(year, 10)) * 86400.0 + 3600.0;
    const double asWinter = local - 3600.0;
    const bool summer = asWinter >= summerStart && local - 7200.0 < summerEnd;
    return instantFromUnixTime(summer ? local - 7200.0 : asWinter);
}

inline ZRDate dayNumber(int year, int month, int day) {
    return static_cast<ZRDate>(civil::daysFromCivil(year, month, day));
}

// The program's records on a real store file: a context with undo and a delegate that counts
// saves and records alert sounds, the second connection on the same file, a virtual clock and
// main loop (Wednesday 2024-03-13 10:00 in Berlin), private settings and notifications.
class StatsWorld : public ::testing::Test {
protected:
    StatsWorld() {
        NotificationCenter::setDefaultCenter(&center);
        auto opened = PersistentStore::open(directory / "store.sqlite", ravelongModel(),
                                            ravelongStoreOptions());
        EXPECT_TRUE(opened.ok());
        store = opened.value();
        auto made = ManagedObjectContext::openMainContext(store);
        EXPECT_TRUE(made.ok());
        context = std::move(made.value());
        context->setUndoManager(std::make_unique<ZRUndoManager>());
        delegate = std::make_unique<testing::TestApplicationDelegate>(*context);
        context->setDelegate(delegate.get());
        delegate->preferences = ZRCDPreferences::getPreferences_inContext(*context);
        new_day_hour::setProvider([this] { return cutoff; });
    }
    ~StatsWorld() override {
        new_day_hour::setProvider({});
        NotificationCenter::setDefaultCenter(nullptr);
    }

    std::shared_ptr<BackgroundConnection> connection() {
        if (!background) {
            auto reader = store->openBackgroundReader();
            EXPECT_TRUE(reader.ok());
            background = std::make_shared<BackgroundConnection>(std::move(reader.value()));
        }
        return background;
    }

    // Tasks in chain order, each "name" or "name<parent": "A A1<A A1a<A1 B".
    void tree(const std::string& layout) {
        std::vector<ZRCDTask*> order;
        std::string item;
        for (std::size_t i = 0; i <= layout.size(); ++i) {
            if (i < layout.size() && layout[i] != ' ') {
                item += layout[i];
                continue;
            }
            if (item.empty())
                continue;
            const auto mark = item.find('<');
            const std::string name = item.substr(0, mark);
            ZRCDTask* task = ZRCDTask::createCoreDataTaskWithName(name, false, *context);
            task->setTaskIsSelected(false);
            if (mark != std::string::npos)
                task->setParentTask(tasks.at(item.substr(mark + 1)));
            tasks[name] = task;
            order.push_back(task);
            item.clear();
        }
        chain_links::applyChainOrder(order);
        settle();
    }
    ZRCDTask* operator[](const std::string& name) { return tasks.at(name); }

    ZRCDTiming* timing(const std::string& task, Instant start, Instant end,
                       std::optional<std::string> note = std::nullopt) {
        return ZRCDTiming::createCoreDataTimingWithStartDate(start, end, tasks.at(task), note, 0,
                                                             std::nullopt, *context);
    }
    void setCutoff(int hour) {
        cutoff = hour;
        ASSERT_TRUE(ZRCDPreferences::setNewDayTo(hour, *context));
    }
    // Saves and forgets the undo history, so a test's own steps are the only ones.
    void settle() {
        ASSERT_TRUE(context->save());
        context->undoManager()->removeAllActions();
    }
    std::string undoName() const { return context->undoManager()->undoActionName(); }
    std::vector<std::string> names(const std::vector<ZRCDTask*>& list) const {
        std::vector<std::string> result;
        for (const ZRCDTask* task : list)
            result.push_back(task->taskName().value_or("?"));
        return result;
    }

    SettableClock clock{berlinTime(2024, 3, 13, 10)};
    ScopedClock scopedClock{clock};
    VirtualMainLoop loop{clock};
    ScopedMainLoop scopedLoop{loop};
    ScopedUserCalendar userCalendar{"Europe/Berlin", "de_DE"};
    ravelong::testing::TemporaryDirectory directory;
    UserDefaults defaults{directory / "settings.json"};
    ScopedUserDefaults scopedDefaults{UserDefaults::Suite::standard, defaults};
    FixedDeviceIdentity identity{
        FixedDeviceIdentity::Values{"0a1b2c3d4e5f", 1000, "Ada Example", "ada", "ada-laptop"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    RecordingUserScript script;
    ScopedUserScript scopedScript{script};
    NotificationCenter center;
    int cutoff = 0;
    std::shared_ptr<PersistentStore> store;
    std::unique_ptr<ManagedObjectContext> context;
    std::unique_ptr<testing::TestApplicationDelegate> delegate;
    std::shared_ptr<BackgroundConnection> background;
    std::map<std::string, ZRCDTask*> tasks;
};

}  // namespace ravelong::stats_testing
