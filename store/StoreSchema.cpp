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

std::string indexName(const std::string& table, const IndexDescription& index) {
    std::string name = table;
    for (const std::string& column : index.columns)
        name += "_" + column;
    return name;
}

std::string createIndexStatement(const std::string& table, const IndexDescription& index,
                                 bool ifNotExists) {
    std::string list;
    for (const std::string& column : index.columns)
        list += (list.empty() ? "" : ", ") + sqlQuoted(column);
    return std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " +
           (ifNotExists ? "IF NOT EXISTS " : "") + sqlQuoted(indexName(table, index)) + " ON " +
           sqlQuoted(table) + " (" + list + ")";
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
    // The entities' own indexes come after every table, in model order.
    for (const EntityDescription* entity : model.entities()) {
        for (const IndexDescription& index : entity->indexes)
            statements.push_back(createIndexStatement(entity->name, index));
    }
    statements.push_back("CREATE TABLE Z_METADATA (key TEXT PRIMARY KEY, value TEXT)");
    return statements;
}

}  // namespace ravelong::store_schema
