#pragma once

#include <string>
#include <vector>

#include "store/EntityDescription.h"

// The table layouts of the store files of each model version, written out rather than derived
// from the record classes: a file format does not change when the classes do, and the upgrade of
// an old file must know both ends exactly.
//
// Layout rules (the same as the object store's): one table per entity named after it, with the
// integer column "pk" first and then one column per attribute and per stored to-one relationship
// (the related record's pk); one table "<Entity>_<relationship>" (owner, member) per stored
// many-to-many relationship; a table Z_METADATA (key, value) for the store's own bookkeeping. The
// model version is the file's PRAGMA user_version.
namespace ravelong::store_layouts {

struct ColumnLayout {
    std::string name;
    std::string type;                   // INTEGER, REAL, TEXT or BLOB
    std::string defaultValue = "NULL";  // SQL literal for rows that predate the column
};

struct TableLayout {
    std::string name;
    std::vector<ColumnLayout> columns;  // after "pk"; for join tables: owner and member
    bool isJoinTable = false;
};

struct IndexLayout {
    std::string table;
    IndexDescription index;
};

struct StoreLayout {
    int version = 0;
    std::vector<TableLayout> tables;
    // The indexes the record classes declare: they have been the same in every version.
    std::vector<IndexLayout> indexes;

    const TableLayout* table(const std::string& name) const;
};

// Model versions 13 and 14 share one layout: timings carry `timezoneOffset` (seconds east of
// GMT) and `maxDate` (the end of the timing's last day) instead of `timezone` and
// `newDayOffset`, and have no `modified` or `billing`. The other entities are as in version 15.
const StoreLayout& layoutOfVersion13Or14(int version = 14);
// The current layout, the one the record classes of core/model read and write.
const StoreLayout& layoutOfVersion15();

// Statements that make an empty file of the layout: tables, indexes and Z_METADATA (without the
// user_version, which the caller sets when the file is complete).
std::vector<std::string> createStatements(const StoreLayout& layout);
std::string createTableStatement(const TableLayout& table);
// Index names and definitions are the object store's: "<table>_<column>_<column>...", and
// "<join>_member".
std::vector<std::string> createIndexStatements(const StoreLayout& layout);

}  // namespace ravelong::store_layouts
