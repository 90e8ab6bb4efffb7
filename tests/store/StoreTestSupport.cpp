#include "tests/store/StoreTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "foundation/Uuid.h"
#include "store/BackgroundReader.h"
#include "store/SqliteDatabase.h"

namespace ravelong::store_testing {

OpenedStore openStore(const std::filesystem::path& path, const StoreOptions& options) {
    return openStore(path, store_testing::storeTestModel(), options);
}

OpenedStore openStore(const std::filesystem::path& path, const ManagedObjectModel& model,
                      const StoreOptions& options) {
    auto store = PersistentStore::open(path, model, options);
    if (!store) {
        throw std::runtime_error("cannot open the store: " + store.error().description + " " +
                                 store.error().failureReason);
    }
    auto context = ManagedObjectContext::openMainContext(store.value());
    if (!context)
        throw std::runtime_error("cannot load the store: " + context.error().description);
    return OpenedStore{store.value(), std::move(context.value())};
}

void saveOrThrow(ManagedObjectContext& context) {
    Status saved = context.save();
    if (!saved) {
        throw std::runtime_error("save failed: " + saved.error().description + " " +
                                 saved.error().failureReason);
    }
}

std::unique_ptr<ManagedObjectContext> loadCopy(const PersistentStore& store) {
    auto reader = store.openBackgroundReader();
    if (!reader)
        throw std::runtime_error("no reader: " + reader.error().description);
    auto copy = reader.value()->loadContext();
    if (!copy)
        throw std::runtime_error("no copy: " + copy.error().description);
    return std::move(copy.value());
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TestTask* makeTask(ManagedObjectContext& context, const std::string& name) {
    auto* task = context.insertNewObject<TestTask>();
    task->setName(name);
    task->setUuid(makeUuid());
    return task;
}

TestEntry* makeEntry(ManagedObjectContext& context, TestTask* task, Instant start, Instant end) {
    auto* timing = context.insertNewObject<TestEntry>();
    timing->setUuid(makeUuid());
    timing->setStart(start);
    timing->setEnd(end);
    timing->setTask(task);
    return timing;
}

TestLabel* makeLabel(ManagedObjectContext& context, std::int16_t kind) {
    auto* label = context.insertNewObject<TestLabel>();
    label->setTitle("0a1b2c3d4e5f");
    label->setUid(1000);
    label->setKind(kind);
    return label;
}

TestDay* makeDay(ManagedObjectContext& context, TestTask* task, std::int32_t absDay) {
    auto* day = context.insertNewObject<TestDay>();
    day->setTask(task);
    day->setAbsDay(absDay);
    return day;
}

namespace {

std::string describe(const ManagedObject& object) {
    return object.entity().name + "/p" + std::to_string(object.objectID().primaryKey);
}

bool isLiveIn(const ManagedObjectContext& context, ManagedObject* object) {
    return object && !object->isDeleted() && object->managedObjectContext() == &context &&
           context.objectWithID(object->objectID()) == object;
}

bool pointsBack(const PropertyDescription& inverse, ManagedObject& target, ManagedObject* source) {
    if (inverse.kind == PropertyKind::ToOne)
        return inverse.toOne(target) == source;
    return inverse.toMany(target).contains(source);
}

}  // namespace

std::vector<std::string> graphProblems(const ManagedObjectContext& context) {
    std::vector<std::string> problems;
    for (const EntityDescription* entity : context.model().entities()) {
        for (ManagedObject* object : context.registeredObjects(*entity)) {
            for (const PropertyDescription& p : entity->properties) {
                std::vector<ManagedObject*> targets;
                if (p.kind == PropertyKind::ToOne) {
                    if (ManagedObject* target = p.toOne(*object))
                        targets.push_back(target);
                } else if (p.kind == PropertyKind::ToMany) {
                    targets = p.toMany(*object).items();
                } else {
                    continue;
                }
                for (ManagedObject* target : targets) {
                    const std::string where = describe(*object) + "." + p.name;
                    if (!isLiveIn(context, target)) {
                        problems.push_back(where + " points at a record that is not live");
                    } else if (!pointsBack(*p.inverse, *target, object)) {
                        problems.push_back(where + " -> " + describe(*target) + " has no inverse " +
                                           p.inverse->name);
                    }
                }
            }
        }
    }
    return problems;
}

namespace {

std::string describeValue(const Value& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "absent"; }
        std::string operator()(std::int64_t v) const { return "int " + std::to_string(v); }
        std::string operator()(double v) const {
            char text[64];
            std::snprintf(text, sizeof text, "double %.17g", v);
            return text;
        }
        std::string operator()(const std::string& v) const { return "string '" + v + "'"; }
        std::string operator()(const Data& v) const {
            std::string text = "data[" + std::to_string(v.size()) + "]";
            for (std::uint8_t byte : v)
                text += " " + std::to_string(byte);
            return text;
        }
        std::string operator()(ManagedObject* v) const {
            return v ? "-> " + describe(*v) : "-> none";
        }
        std::string operator()(const std::vector<ManagedObject*>& v) const {
            std::vector<std::string> names;
            for (ManagedObject* member : v)
                names.push_back(describe(*member));
            std::sort(names.begin(), names.end());
            std::string text = "{";
            for (const std::string& name : names)
                text += " " + name;
            return text + " }";
        }
    };
    return std::visit(Visitor{}, value);
}

}  // namespace

std::vector<std::string> graphSnapshot(const ManagedObjectContext& context) {
    std::vector<std::pair<std::pair<int, std::int64_t>, std::string>> records;
    for (const EntityDescription* entity : context.model().entities()) {
        for (ManagedObject* object : context.registeredObjects(*entity)) {
            std::string text = describe(*object);
            for (const PropertyDescription& p : entity->properties) {
                text += "\n  " + p.name + ": " + describeValue(p.get(*object));
            }
            records.push_back({{entity->index, object->objectID().primaryKey}, text});
        }
    }
    std::sort(records.begin(), records.end());
    std::vector<std::string> result;
    for (auto& [id, text] : records)
        result.push_back(std::move(text));
    return result;
}

std::string tableDump(const std::filesystem::path& path) {
    auto opened = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadWrite);
    if (!opened)
        throw std::runtime_error("cannot open " + path.string());
    SqliteDatabase& db = *opened.value();
    std::vector<std::string> tables;
    {
        auto names =
            db.prepare("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
        if (!names)
            throw std::runtime_error(names.error().description);
        while (names->step())
            tables.push_back(std::get<std::string>(names->column(0)));
    }
    std::string dump;
    for (const std::string& table : tables) {
        dump += "table " + table + "\n";
        auto rows = db.prepare("SELECT * FROM " + sqlQuoted(table) + " ORDER BY 1, 2");
        if (!rows)
            throw std::runtime_error(rows.error().description);
        while (rows->step()) {
            for (int i = 0; i < rows->columnCount(); ++i)
                dump += describeValue(rows->column(i)) + "|";
            dump += "\n";
        }
    }
    return dump;
}

std::int64_t countRows(const std::filesystem::path& path, const std::string& sql) {
    auto db = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadWrite);
    if (!db)
        throw std::runtime_error("cannot open " + path.string());
    auto count = db.value()->queryInt(sql);
    if (!count)
        throw std::runtime_error("query failed: " + count.error().description);
    return count.value();
}

void StoreFileTest::execute(const std::string& sql) const {
    auto db = SqliteDatabase::open(path(), SqliteDatabase::Mode::ReadWrite);
    ASSERT_TRUE(db.ok());
    Status status = db.value()->execute(sql);
    ASSERT_TRUE(status.ok()) << status.error().description;
}

int StoreFileTest::openError(const StoreOptions& options) const {
    auto store = PersistentStore::open(path(), storeTestModel(), options);
    if (store)
        return 0;
    EXPECT_EQ(store.error().domain, kStoreErrorDomain);
    EXPECT_FALSE(store.error().description.empty());
    return store.error().code;
}

}  // namespace ravelong::store_testing
