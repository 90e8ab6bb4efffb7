#pragma once

#include <string>
#include <vector>

#include "foundation/Error.h"

namespace ravelong {

class SqliteDatabase;

// A table the file keeps beside the model's tables, derived from the table `source` and kept up
// to date by SQLite triggers on it, for readers that want sums without reading every row.
//
// A writable open that finds the table or one of its triggers missing makes them again and
// fills the table, in one transaction; when that fails, the store opens all the same, without
// them. A save that writes many rows of `source` (an import) makes the table again once at its
// end instead of running the triggers row by row.
struct DerivedTable {
    std::string name;
    std::string source;
    std::vector<std::string> triggers;  // the names of its triggers
    std::vector<std::string> create;    // statements that make the table and its triggers
    std::string fill;                   // fills the new table from `source`
};

namespace derived_tables {

// Whether `db` holds the table with all its triggers.
bool installed(SqliteDatabase& db, const DerivedTable& table);
// Drops the triggers and the table, where they are; makes them and fills the table. Inside a
// transaction of the caller's; the failure of the first statement that failed.
Status drop(SqliteDatabase& db, const DerivedTable& table);
Status make(SqliteDatabase& db, const DerivedTable& table);

}  // namespace derived_tables

}  // namespace ravelong
