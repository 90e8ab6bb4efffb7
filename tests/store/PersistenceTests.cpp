#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/model/ZRCDExportPreferences.h"
#include "core/model/ZRCDPreferences.h"
#include "foundation/Log.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using store_testing::findByUuid;
using store_testing::graphProblems;
using store_testing::graphSnapshot;
using store_testing::makeOrigin;
using store_testing::makeTask;
using store_testing::makeTiming;
using store_testing::openStore;
using store_testing::saveOrThrow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

const std::string kUnicode =
    "Zeit \xE2\x8F\xB1 \xC3\x9C"
    "berstunden \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x99\x82";

// Fills a store with records that use every attribute type, the values at their edges (absent,
// empty, the sentinel date, extremes of each integer width, unicode text) and every relationship
// kind: parent/children, the display chain, task origins, timings of tasks and origins, day
// aggregates of timings and of tasks, and first days.
void fillEveryField(ManagedObjectContext& context) {
    ZRCDTask* root = makeTask(context, kUnicode);
    root->setCreatedDay(20240229);
    root->setDate(-978307200.5);
    root->setUpdatedDate(7.25e8);
    root->setIsArchived(true);
    root->setIsVisibleDuringSearch(true);
    root->setIsVisibleInDataSelection(true);
    root->setIsVisibleInMenuBar(true);
    root->setTaskColor(Data{0x33, 0x22, 0x11, 0x00});
    root->setTaskDescription("line one\nline two, \"quoted\"; 'single' \\ back");
    root->setTaskIsSelected(true);
    root->setUids("OLD-1///OLD-2");
    root->setRunning(true);
    root->setRounding(SHRT_MIN);

    ZRCDTask* child = makeTask(context, "");  // empty, not absent
    child->setParentTask(root);
    child->setTaskColor(Data{});  // empty, not absent
    child->setTaskDescription(std::string("nul\0inside", 10));
    child->setRounding(SHRT_MAX);
    child->setCreatedDay(INT_MIN);
    ZRCDTask* grandChild = context.insertNewObject<ZRCDTask>();  // every optional absent
    grandChild->setParentTask(child);
    root->setNextTask(child);
    child->setNextTask(grandChild);

    ZRCDOrigin* origin = makeOrigin(context, SHRT_MAX);
    origin->setDevice("Mac\xE2\x80\x99s Laptop");
    origin->setDeviceNameChanged(1.5);
    origin->setUser("J\xC3\xB8rgen");
    origin->setUserNameChanged(-0.25);
    origin->setUid(INT_MAX);
    ZRCDOrigin* bare = context.insertNewObject<ZRCDOrigin>();
    bare->setUid(INT_MIN);
    bare->setType(SHRT_MIN);
    root->addOriginsObject(origin);
    child->addOriginsObject(origin);
    child->addOriginsObject(bare);

    ZRCDTiming* running = makeTiming(context, child, 7.0e8 + 0.001, kSentinelDate);
    running->setBilling(SHRT_MIN);
    running->setNote(kUnicode);
    running->setTimezone("America/Argentina/Buenos_Aires");
    running->setNewDayOffset(-1);
    running->setModified(7.0e8 + 0.5);
    running->setOrigin(origin);
    ZRCDTiming* stopped = makeTiming(context, child, -1.0e9, 1.0e12);
    stopped->setBilling(SHRT_MAX);
    stopped->setNewDayOffset(INT_MAX);
    stopped->setOrigin(bare);
    ZRCDTiming* empty = context.insertNewObject<ZRCDTiming>();  // no task, no dates
    empty->setNote("");

    ZRCDTimingSet* day1 = context.insertNewObject<ZRCDTimingSet>();
    day1->setTask(child);
    day1->setAbsDay(INT_MIN);
    day1->setDay(20240101);
    day1->setDuration(3600.125);
    day1->setRoundedDuration(-1.0);
    day1->setCachedRounding(SHRT_MIN);
    day1->setRunning(true);
    day1->setFullTaskName(kUnicode);
    ZRCDTimingSet* day2 = context.insertNewObject<ZRCDTimingSet>();
    day2->setTask(child);
    day2->setAbsDay(INT_MAX);
    day2->setDuration(1e-9);
    day2->setRoundedDuration(0.0);
    day2->setCachedRounding(SHRT_MAX);
    running->addTimingSetsObject(day1);
    running->addTimingSetsObject(day2);
    stopped->addTimingSetsObject(day2);
    running->setFirstTimingSet(day1);
    stopped->setFirstTimingSet(day2);

    ZRCDPreferences* preferences = context.insertNewObject<ZRCDPreferences>();
    preferences->setUuid("PREFERENCES");
    preferences->setAllowMultipleTimers(true);
    preferences->setNewDay(23);

    // Every export setting gets a value of its own, so that a column mixed up with another
    // shows.
    ZRCDExportPreferences* exportPreferences = context.insertNewObject<ZRCDExportPreferences>();
    int n = 0;
    for (const PropertyDescription& p : ZRCDExportPreferences::entityDescription().properties) {
        ++n;
        if (p.type == AttributeType::Bool) {
            exportPreferences->setValueForKey(p.name, std::int64_t{1});
        } else if (p.type == AttributeType::Int16) {
            exportPreferences->setValueForKey(p.name, std::int64_t{n * 1000 - 13500});
        } else {
            exportPreferences->setValueForKey(p.name, std::string("export-") + std::to_string(n));
        }
    }
}

class Persistence : public ::testing::Test {
protected:
    std::filesystem::path path() const { return folder / "store.sqlite"; }
    testing::TemporaryDirectory folder;
};

TEST_F(Persistence, EveryFieldAndLinkSurvivesASaveAndReload) {
    std::vector<std::string> saved;
    {
        auto opened = openStore(path());
        fillEveryField(*opened.context);
        saveOrThrow(*opened.context);
        saved = graphSnapshot(*opened.context);
    }
    auto reopened = openStore(path());
    EXPECT_EQ(graphSnapshot(*reopened.context), saved);
    EXPECT_THAT(graphProblems(*reopened.context), IsEmpty());
    ASSERT_EQ(saved.size(), 12u);

    // Each attribute of each entity holds something other than a fresh record's default in at
    // least one record, so none can be silently dropped by the file.
    for (const EntityDescription* entity : reopened.context->model().entities()) {
        const auto fresh = entity->create();
        for (const PropertyDescription& p : entity->properties) {
            if (p.isRelationship())
                continue;
            bool differs = false;
            for (ManagedObject* object : reopened.context->registeredObjects(*entity)) {
                differs = differs || p.get(*object) != p.get(*fresh);
            }
            EXPECT_TRUE(differs) << entity->name << "." << p.name << " is never exercised";
        }
    }

    // The values at the edges, read through the typed accessors.
    ManagedObjectContext& context = *reopened.context;
    ZRCDTask* root = context
                         .fetch(FetchRequest<ZRCDTask>{[](const ZRCDTask& t) {
                             return t.parentTask() == nullptr && t.taskName();
                         }})
                         .front();
    EXPECT_EQ(root->taskName(), kUnicode);
    EXPECT_EQ(root->rounding(), SHRT_MIN);
    EXPECT_EQ(root->date(), -978307200.5);
    ASSERT_EQ(root->childTasks().size(), 1u);
    ZRCDTask* child = *root->childTasks().begin();
    EXPECT_EQ(child->taskName(), std::optional<std::string>(""));
    EXPECT_EQ(child->taskColor(), std::optional<Data>(Data{}));
    EXPECT_EQ(child->taskDescription(), std::string("nul\0inside", 10));
    EXPECT_EQ(root->nextTask(), child);
    ZRCDTask* grandChild = child->nextTask();
    ASSERT_NE(grandChild, nullptr);
    EXPECT_EQ(grandChild->parentTask(), child);
    EXPECT_EQ(grandChild->taskName(), std::nullopt);
    EXPECT_EQ(grandChild->taskColor(), std::nullopt);
    EXPECT_EQ(grandChild->date(), std::nullopt);
    EXPECT_EQ(grandChild->rounding(), -1);

    auto running = context.fetch(
        FetchRequest<ZRCDTiming>{[](const ZRCDTiming& t) { return t.endDate() == kSentinelDate; }});
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0]->startDate(), 7.0e8 + 0.001);
    EXPECT_EQ(running[0]->newDayOffset(), -1);
    EXPECT_EQ(running[0]->timingSets().size(), 2u);
    EXPECT_EQ(running[0]->firstTimingSet()->absDay(), INT_MIN);
    EXPECT_EQ(running[0]->origin()->uid(), INT_MAX);
    auto noted =
        context.fetch(FetchRequest<ZRCDTiming>{[](const ZRCDTiming& t) { return t.note() == ""; }});
    ASSERT_EQ(noted.size(), 1u);
    EXPECT_EQ(noted[0]->task(), nullptr);
    EXPECT_EQ(noted[0]->startDate(), std::nullopt);
    EXPECT_EQ(noted[0]->endDate(), std::nullopt);
}

TEST_F(Persistence, ChangedAndClearedValuesAreWrittenOnUpdate) {
    std::vector<std::string> saved;
    {
        auto opened = openStore(path());
        ManagedObjectContext& context = *opened.context;
        fillEveryField(context);
        saveOrThrow(context);
        // Change every attribute of every record, including back to absent, and move links.
        int n = 0;
        for (const EntityDescription* entity : context.model().entities()) {
            for (ManagedObject* object : context.registeredObjects(*entity)) {
                for (const PropertyDescription& p : entity->properties) {
                    if (p.isRelationship())
                        continue;
                    ++n;
                    switch (p.type) {
                        case AttributeType::String:
                            object->setValueForKey(
                                p.name, n % 3 == 0 ? Value() : Value("v" + std::to_string(n)));
                            break;
                        case AttributeType::Data:
                            object->setValueForKey(p.name,
                                                   n % 3 == 0 ? Value() : Value(Data{1, 2, 3}));
                            break;
                        case AttributeType::Date:
                        case AttributeType::Double:
                            object->setValueForKey(p.name,
                                                   n % 3 == 0 && p.type == AttributeType::Date
                                                       ? Value()
                                                       : Value(n + 0.5));
                            break;
                        case AttributeType::Bool:
                            object->setValueForKey(p.name, std::int64_t{n % 2});
                            break;
                        default:
                            object->setValueForKey(p.name, std::int64_t{n});
                    }
                }
            }
        }
        auto tasks = context.fetchAll<ZRCDTask>();
        auto timings = context.fetchAll<ZRCDTiming>();
        for (ZRCDTiming* timing : timings)
            timing->setTask(tasks.back());
        tasks.front()->setNextTask(nullptr);
        tasks.back()->setNextTask(tasks.front());
        for (ZRCDTask* task : tasks)
            task->setValueForKey("origins", std::vector<ManagedObject*>{});
        timings.front()->setValueForKey("timingSets", std::vector<ManagedObject*>{});
        saveOrThrow(context);
        saved = graphSnapshot(context);
    }
    auto reopened = openStore(path());
    EXPECT_EQ(graphSnapshot(*reopened.context), saved);
    EXPECT_THAT(graphProblems(*reopened.context), IsEmpty());
}

TEST_F(Persistence, DeletedRecordsLeaveNoRowsAndNoLinksBehind) {
    std::string keptUuid;
    {
        auto opened = openStore(path());
        ManagedObjectContext& context = *opened.context;
        fillEveryField(context);
        saveOrThrow(context);
        std::vector<ZRCDTask*> subtasks;
        for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
            if (task->parentTask() != nullptr)
                subtasks.push_back(task);
        }
        for (ZRCDTask* task : subtasks)
            context.deleteObject(task);
        for (ZRCDOrigin* origin : context.fetchAll<ZRCDOrigin>())
            context.deleteObject(origin);
        context.deleteObject(context.fetchAll<ZRCDTimingSet>().front());
        saveOrThrow(context);
        keptUuid = *context.fetchAll<ZRCDTask>().front()->uuid();
    }
    const auto file = path();
    EXPECT_EQ(store_testing::countRows(file, "SELECT count(*) FROM ZRCDTask"), 1);
    EXPECT_EQ(store_testing::countRows(file, "SELECT count(*) FROM ZRCDTask_origins"), 0);
    EXPECT_EQ(store_testing::countRows(file, "SELECT count(*) FROM ZRCDTiming_timingSets"), 2);
    EXPECT_EQ(store_testing::countRows(file,
                                       "SELECT count(*) FROM ZRCDTiming WHERE task IS NOT "
                                       "NULL OR origin IS NOT NULL"),
              0);
    auto reopened = openStore(path());
    EXPECT_NE(findByUuid<ZRCDTask>(*reopened.context, keptUuid), nullptr);
    EXPECT_EQ(reopened.context->count<ZRCDTimingSet>(), 1u);
    EXPECT_THAT(graphProblems(*reopened.context), IsEmpty());
}

TEST_F(Persistence, ObjectURIsResolveAfterReloadAndNotForDeletedRecords) {
    std::string keptURI, deletedURI, uuid;
    {
        auto opened = openStore(path());
        ManagedObjectContext& context = *opened.context;
        ZRCDTask* kept = makeTask(context, "Kept");
        ZRCDTask* doomed = makeTask(context, "Doomed");
        saveOrThrow(context);
        keptURI = kept->uriRepresentation();
        deletedURI = doomed->uriRepresentation();
        uuid = *kept->uuid();
        EXPECT_EQ(context.objectWithURI(keptURI), kept);

        context.deleteObject(doomed);
        EXPECT_EQ(context.objectWithURI(deletedURI), nullptr);
        saveOrThrow(context);
        ZRCDTask* unsaved = makeTask(context, "Never saved");
        const std::string unsavedURI = unsaved->uriRepresentation();
        context.deleteObject(unsaved);
        EXPECT_EQ(context.objectWithURI(unsavedURI), nullptr);
    }
    // Records made after a restart must not take over the references of deleted ones.
    auto reopened = openStore(path());
    ManagedObjectContext& context = *reopened.context;
    for (int i = 0; i < 3; ++i)
        makeTask(context, "Later " + std::to_string(i));
    saveOrThrow(context);

    ManagedObject* resolved = context.objectWithURI(keptURI);
    ASSERT_NE(resolved, nullptr);
    EXPECT_EQ(static_cast<ZRCDTask*>(resolved)->uuid(), uuid);
    EXPECT_EQ(context.objectWithURI(deletedURI), nullptr);
}

TEST_F(Persistence, MalformedAndForeignURIsResolveToNothing) {
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    ZRCDTask* task = makeTask(context, "Task");
    saveOrThrow(context);
    const std::string uri = task->uriRepresentation();
    ASSERT_EQ(context.objectWithURI(uri), task);
    const std::string prefix = uri.substr(0, uri.rfind('/'));  // x-ravelong://<id>/ZRCDTask
    const std::string storePart = uri.substr(0, uri.find("/ZRCDTask"));
    const std::string key = uri.substr(uri.rfind('/') + 1);

    ManagedObjectContext elsewhere(ravelongModel());
    ZRCDTask* foreign = makeTask(elsewhere, "Foreign");
    for (const std::string& bad : {
             std::string(),
             std::string("x-ravelong://"),
             std::string("x-ravelong:///ZRCDTask/") + key,
             "http" + uri.substr(uri.find(':')),
             "X-RAVELONG" + uri.substr(uri.find(':')),
             prefix,
             prefix + "/",
             prefix + "/p",
             prefix + "/" + key.substr(1),
             prefix + "/p-1",
             prefix + "/p0",
             prefix + "/p" + key + "x",
             prefix + "/" + key + " ",
             prefix + "/" + key + "/",
             prefix + "/p99999999999999999999999",
             storePart + "/ZRCDTiming/" + key,
             storePart + "/NoSuchEntity/" + key,
             storePart + "//" + key,
             foreign->uriRepresentation(),
             std::string("x-ravelong://") + std::string(40, 'A') + "/ZRCDTask/" + key,
             uri + std::string("\0", 1),
         }) {
        EXPECT_EQ(context.objectWithURI(bad), nullptr) << "'" << bad << "'";
    }
    EXPECT_EQ(elsewhere.objectWithURI(uri), nullptr);
}

TEST_F(Persistence, AFailedSaveLeavesTheFileAndTheUnsavedChangesAsTheyWere) {
    LogCapture quiet;
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    ZRCDTask* task = makeTask(context, "Task");
    ZRCDOrigin* origin = makeOrigin(context, 0);
    ZRCDTiming* doomed = makeTiming(context, task, 0, 10);
    saveOrThrow(context);
    const std::string before = store_testing::tableDump(path());

    // A save with inserts, updates, link changes and a delete.
    task->setTaskName("Renamed");
    task->addOriginsObject(origin);
    ZRCDTiming* added = makeTiming(context, task, 20, 30);
    context.deleteObject(doomed);
    const auto expected = graphSnapshot(context);

    int failures = 0;
    for (int statements = 0; statements < 100; ++statements) {
        opened.store->failSaveAfterStatements(statements);
        Status status = context.save();
        if (status)
            break;
        ++failures;
        EXPECT_EQ(status.error().domain, kStoreErrorDomain);
        EXPECT_EQ(status.error().code, static_cast<int>(StoreErrorCode::SaveFailed));
        EXPECT_EQ(store_testing::tableDump(path()), before) << "after " << statements;
        EXPECT_TRUE(context.hasChanges());
        EXPECT_THAT(context.insertedObjects(), ElementsAre(added));
        EXPECT_THAT(context.deletedObjects(), ElementsAre(doomed));
        EXPECT_EQ(graphSnapshot(context), expected);
    }
    EXPECT_GE(failures, 4);
    EXPECT_FALSE(context.hasChanges());

    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM ZRCDTiming"), 1);
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM ZRCDTask_origins"), 1);
    EXPECT_EQ(store_testing::countRows(path(),
                                       "SELECT count(*) FROM ZRCDTask WHERE taskName = "
                                       "'Renamed'"),
              1);
}

TEST_F(Persistence, TheSaveAfterAFailedOneSucceeds) {
    LogCapture quiet;
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    makeTask(context, "First");
    opened.store->failSaveAfterStatements(0);
    ASSERT_FALSE(context.save().ok());

    Status retried = context.save();
    EXPECT_TRUE(retried.ok()) << (retried ? "" : retried.error().description);
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM ZRCDTask"), 1);
    makeTask(context, "Second");
    EXPECT_TRUE(context.save().ok());
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM ZRCDTask"), 2);
}

TEST_F(Persistence, AResetContextReadsTheFileAgain) {
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    makeTask(context, "Saved");
    saveOrThrow(context);
    makeTask(context, "Unsaved");
    context.reset();
    auto tasks = context.fetchAll<ZRCDTask>();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0]->taskName(), "Saved");
    EXPECT_FALSE(context.hasChanges());
    // Keys keep counting past the records that were dropped.
    ZRCDTask* next = makeTask(context, "Next");
    saveOrThrow(context);
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(DISTINCT pk) FROM ZRCDTask"), 2);
    EXPECT_NE(next->objectID(), tasks[0]->objectID());
}

TEST_F(Persistence, TheRecordListsOfALargeLoadedFileStayExactThroughDeletesAndRollback) {
    constexpr int kTimings = 60;  // well past the size where a record list indexes itself
    {
        auto opened = openStore(path());
        ZRCDTask* task = makeTask(*opened.context, "Task");
        for (int i = 0; i < kTimings; ++i)
            makeTiming(*opened.context, task, i * 100.0, i * 100.0 + 50.0);
        saveOrThrow(*opened.context);
    }
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    const std::vector<ZRCDTiming*> loaded = context.fetchAll<ZRCDTiming>();
    ASSERT_EQ(loaded.size(), static_cast<std::size_t>(kTimings));
    const ObjectSet& live = context.registeredObjects(ZRCDTiming::entityDescription());

    std::size_t deleted = 0;
    for (std::size_t i = 0; i < loaded.size(); i += 4, ++deleted)
        context.deleteObject(loaded[i]);
    for (std::size_t i = 0; i < loaded.size(); ++i)
        EXPECT_EQ(live.contains(loaded[i]), i % 4 != 0) << i;
    EXPECT_EQ(live.size(), loaded.size() - deleted);

    context.rollback();
    EXPECT_EQ(live.size(), loaded.size());
    for (ZRCDTiming* timing : loaded)
        EXPECT_TRUE(live.contains(timing));
    auto again = context.fetchAll<ZRCDTiming>();
    std::sort(again.begin(), again.end());
    EXPECT_TRUE(std::adjacent_find(again.begin(), again.end()) == again.end())
        << "a record is listed twice";

    context.deleteObject(loaded[7]);
    saveOrThrow(context);
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM ZRCDTiming"), kTimings - 1);
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

}  // namespace
}  // namespace ravelong
