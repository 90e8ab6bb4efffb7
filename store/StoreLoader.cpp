#include "store/StoreLoader.h"

#include <algorithm>
#include <vector>

#include "foundation/Log.h"
#include "store/ManagedObjectContext.h"
#include "store/PrimaryKeyAllocator.h"
#include "store/StoreError.h"
#include "store/StoreSchema.h"

namespace ravelong {

std::string StoreLoader::maximumKeyName(const EntityDescription& entity) {
    return "maxKey." + entity.name;
}

std::int64_t StoreLoader::savedMaximumKey(SqliteDatabase& db, const EntityDescription& entity) {
    auto statement = db.prepare("SELECT value FROM Z_METADATA WHERE key = ?");
    if (!statement)
        return 0;
    statement->bind(1, Value(maximumKeyName(entity)));
    return statement->step() ? statement->columnInt(0) : 0;
}

Status StoreLoader::loadRecords(SqliteDatabase& db, ManagedObjectContext& context) {
    const ManagedObjectModel& model = context.model();
    auto readFailed = [](const std::string& reason) {
        return storeError(StoreErrorCode::ReadFailed, "The data file could not be read.", reason);
    };
    // One read transaction, so that every table is read from the same state of the file.
    const bool ownTransaction = !db.inTransaction();
    if (ownTransaction) {
        if (Status s = db.execute("BEGIN"); !s)
            return readFailed(s.error().description);
    }
    struct Link {
        ManagedObject* object;
        const PropertyDescription* property;
        std::int64_t target;
    };
    std::vector<Link> links;
    std::size_t dangling = 0;
    Status status = Status::success();

    // A copy of the records names the store as the main context does, so that the object URIs
    // of a background copy resolve in the main context and the other way round.
    if (auto identifier = db.prepare("SELECT value FROM Z_METADATA WHERE key = 'storeUUID'");
        identifier && identifier->step()) {
        const Value stored = identifier->column(0);
        if (auto text = std::get_if<std::string>(&stored); text && !text->empty())
            context.storeIdentifier_ = *text;
    }

    // The row counts size the context's tables and the list of links up front; growing them
    // record by record would rehash and copy them over and over on a large file.
    std::size_t linkCount = 0;
    for (const EntityDescription* entity : model.entities()) {
        auto rows = db.queryInt("SELECT count(*) FROM " + sqlQuoted(entity->name));
        if (!rows || *rows <= 0)
            continue;
        const auto count = static_cast<std::size_t>(*rows);
        context.reserveRecords(entity->index, count);
        for (const PropertyDescription* p : store_schema::columns(*entity))
            linkCount += p->kind == PropertyKind::Attribute ? 0 : count;
    }
    links.reserve(linkCount);

    for (const EntityDescription* entity : model.entities()) {
        const auto columns = store_schema::columns(*entity);
        std::string sql = "SELECT pk";
        for (const PropertyDescription* p : columns)
            sql += ", " + sqlQuoted(p->name);
        auto statement = db.prepare(sql + " FROM " + sqlQuoted(entity->name));
        if (!statement) {
            status = readFailed(statement.error().description);
            break;
        }
        std::int64_t maxKey = 0;
        while (statement->step()) {
            std::unique_ptr<ManagedObject> object = entity->create();
            const std::int64_t key = statement->columnInt(0);
            for (std::size_t i = 0; i < columns.size(); ++i) {
                const int column = static_cast<int>(i) + 1;
                if (columns[i]->kind == PropertyKind::Attribute) {
                    columns[i]->setPrimitive(*object, statement->column(column));
                } else if (!statement->columnIsNull(column)) {
                    links.push_back({object.get(), columns[i], statement->columnInt(column)});
                }
            }
            context.adopt(std::move(object), key, true);
            maxKey = std::max(maxKey, key);
        }
        if (statement->failed()) {
            status = readFailed(statement->error());
            break;
        }
        context.keys_->reserveUpTo(entity->index, std::max(maxKey, savedMaximumKey(db, *entity)));
    }

    if (status) {
        for (const Link& link : links) {
            const PropertyDescription& p = *link.property;
            ManagedObject* target = context.objectWithID({p.destination->index, link.target});
            if (!target) {
                ++dangling;
                continue;
            }
            p.setPrimitive(*link.object, Value(target));
            if (p.inverse->kind == PropertyKind::ToMany) {
                p.inverse->toMany(*target).appendUnchecked(link.object);
            } else {
                p.inverse->setPrimitive(*target, Value(link.object));
            }
        }
        for (const EntityDescription* entity : model.entities()) {
            for (const PropertyDescription* p : store_schema::joinRelationships(*entity)) {
                auto statement = db.prepare("SELECT owner, member FROM " +
                                            sqlQuoted(store_schema::joinTableName(*entity, *p)));
                if (!statement) {
                    status = readFailed(statement.error().description);
                    break;
                }
                while (statement->step()) {
                    ManagedObject* owner =
                        context.objectWithID({entity->index, statement->columnInt(0)});
                    ManagedObject* member =
                        context.objectWithID({p->destination->index, statement->columnInt(1)});
                    if (!owner || !member) {
                        ++dangling;
                        continue;
                    }
                    p->toMany(*owner).appendUnchecked(member);
                    p->inverse->toMany(*member).appendUnchecked(owner);
                }
            }
        }
    }
    if (ownTransaction)
        (void)db.execute("COMMIT");
    if (dangling > 0) {
        logWarning("StoreLoader::loadRecords",
                   std::to_string(dangling) + " references to missing records were ignored");
    }
    return status;
}

}  // namespace ravelong
