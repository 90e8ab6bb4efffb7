#include "store/StoreSchema.h"

#include "store/SqliteDatabase.h"

namespace ravelong::store_schema {

namespace {

const char* sqlType(AttributeType type) {
    switch (type) {
        case AttributeType::Double:
        case AttributeType::Date:
            return "REAL";
        case AttributeType::String:
            return "TEXT";
        case AttributeType::Data:
            return "BLOB";
        default:
            return "INTEGER";
    }
}

// Indexes for the look-ups that must not scan: records by uuid, the records of a relationship
// by their owner, and the day aggregates by day and task (the statistics sum them on a
// background connection).
const std::vector<std::pair<std::string, std::vector<std::string>>>& indexes() {
    static const std::vector<std::pair<std::string, std::vector<std::string>>> list = {
        {"ZRCDTask", {"uuid"}},
        {"ZRCDTask", {"parentTask"}},
        {"ZRCDTiming", {"uuid"}},
        {"ZRCDTiming", {"task", "startDate"}},
        {"ZRCDTiming", {"endDate"}},
        {"ZRCDTiming", {"origin"}},
        {"ZRCDTimingSet", {"absDay", "task"}},
        {"ZRCDTimingSet", {"task", "absDay"}},
    };
    return list;
}

}  // namespace

std::vector<const PropertyDescription*> columns(const EntityDescription& entity) {
    std::vector<const PropertyDescription*> result;
    for (const PropertyDescription& p : entity.properties) {
        if (p.kind == PropertyKind::Attribute || (p.kind == PropertyKind::ToOne && p.persisted)) {
            result.push_back(&p);
        }
    }
    return result;
}

std::vector<const PropertyDescription*> joinRelationships(const EntityDescription& entity) {
    std::vector<const PropertyDescription*> result;
    for (const PropertyDescription& p : entity.properties) {
        if (p.isManyToMany() && p.persisted)
            result.push_back(&p);
    }
    return result;
}

std::string joinTableName(const EntityDescription& entity, const PropertyDescription& property) {
    return entity.name + "_" + property.name;
}

std::vector<std::string> createStatements(const ManagedObjectModel& model) {
    std::vector<std::string> statements;
    for (const EntityDescription* entity : model.entities()) {
        std::string sql = "CREATE TABLE " + sqlQuoted(entity->name) + " (pk INTEGER PRIMARY KEY";
        for (const PropertyDescription* p : columns(*entity)) {
            sql += ", " + sqlQuoted(p->name) + " " +
                   (p->kind == PropertyKind::Attribute ? sqlType(p->type) : "INTEGER");
        }
        statements.push_back(sql + ")");
        for (const PropertyDescription* p : joinRelationships(*entity)) {
            const std::string table = joinTableName(*entity, *p);
            statements.push_back("CREATE TABLE " + sqlQuoted(table) +
                                 " (owner INTEGER NOT NULL, member INTEGER NOT NULL, "
                                 "PRIMARY KEY (owner, member)) WITHOUT ROWID");
            statements.push_back("CREATE INDEX " + sqlQuoted(table + "_member") + " ON " +
                                 sqlQuoted(table) + " (member)");
        }
    }
    for (const auto& [table, indexColumns] : indexes()) {
        if (!model.entity(table))
            continue;
        std::string name = table;
        std::string list;
        for (const std::string& column : indexColumns) {
            name += "_" + column;
            list += (list.empty() ? "" : ", ") + sqlQuoted(column);
        }
        statements.push_back("CREATE INDEX " + sqlQuoted(name) + " ON " + sqlQuoted(table) + " (" +
                             list + ")");
    }
    statements.push_back("CREATE TABLE Z_METADATA (key TEXT PRIMARY KEY, value TEXT)");
    return statements;
}

}  // namespace ravelong::store_schema
