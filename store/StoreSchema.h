#pragma once

#include <string>
#include <vector>

#include "store/ManagedObjectModel.h"

namespace ravelong::store_schema {

// How the model maps onto tables: one table per entity named after it, with the integer column
// "pk", one column per attribute and one per stored to-one relationship (the related record's
// pk); one table "<Entity>_<relationship>" (owner, member) per stored many-to-many relationship.

// The columns of an entity's table after "pk", in order: attributes and stored to-one
// relationships.
std::vector<const PropertyDescription*> columns(const EntityDescription& entity);

// The stored many-to-many relationships of an entity.
std::vector<const PropertyDescription*> joinRelationships(const EntityDescription& entity);

std::string joinTableName(const EntityDescription& entity, const PropertyDescription& property);

// The name an index of `table` has in the file: "<table>_<column>_<column>...".
std::string indexName(const std::string& table, const IndexDescription& index);

// "CREATE [UNIQUE] INDEX [IF NOT EXISTS] <name> ON <table> (<columns>)". SQLite keeps the
// statement without "IF NOT EXISTS", so both forms leave the same definition in a file.
std::string createIndexStatement(const std::string& table, const IndexDescription& index,
                                 bool ifNotExists = false);

// Statements that create every table and index of the model in an empty file: each entity's
// table with its join tables (and their member indexes), then the indexes the entities declare,
// then Z_METADATA.
std::vector<std::string> createStatements(const ManagedObjectModel& model);

}  // namespace ravelong::store_schema
