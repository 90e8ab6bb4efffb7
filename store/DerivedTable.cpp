#include "store/DerivedTable.h"

#include "store/SqliteDatabase.h"

namespace ravelong::derived_tables {

namespace {

std::string literal(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

bool installed(SqliteDatabase& db, const DerivedTable& table) {
    std::string names = literal(table.name);
    for (const std::string& trigger : table.triggers)
        names += ", " + literal(trigger);
    auto present = db.queryInt("SELECT count(*) FROM sqlite_master WHERE name IN (" + names + ")");
    return present && present.value() == static_cast<std::int64_t>(table.triggers.size() + 1);
}

Status drop(SqliteDatabase& db, const DerivedTable& table) {
    for (const std::string& trigger : table.triggers) {
        if (Status s = db.execute("DROP TRIGGER IF EXISTS " + sqlQuoted(trigger)); !s)
            return s;
    }
    return db.execute("DROP TABLE IF EXISTS " + sqlQuoted(table.name));
}

Status make(SqliteDatabase& db, const DerivedTable& table) {
    for (const std::string& statement : table.create) {
        if (Status s = db.execute(statement); !s)
            return s;
    }
    return db.execute(table.fill);
}

}  // namespace ravelong::derived_tables
