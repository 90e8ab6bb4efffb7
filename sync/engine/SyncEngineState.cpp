#include "sync/engine/SyncEngineState.h"

#include "store/SqliteDatabase.h"
#include "sync/SECloudFileSystem.h"
#include "sync/SyncEventFile.h"

namespace ravelong {

namespace {

constexpr std::int64_t kStateVersion = 1;
// "RVLS" in the file header's application id: a state file of this program.
constexpr std::int64_t kApplicationId = 0x52564C53;

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS records (entity TEXT NOT NULL, uuid TEXT NOT NULL, body TEXT NOT NULL,
                                    PRIMARY KEY (entity, uuid)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS applied (lamport INTEGER NOT NULL, device TEXT NOT NULL,
                                    PRIMARY KEY (lamport, device)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS outbox (lamport INTEGER NOT NULL, device TEXT NOT NULL,
                                   event BLOB NOT NULL, PRIMARY KEY (lamport, device)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS seen (name TEXT PRIMARY KEY) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS marks (kind TEXT NOT NULL, entity TEXT NOT NULL, uuid TEXT NOT NULL,
                                  PRIMARY KEY (kind, entity, uuid)) WITHOUT ROWID;
)";

Error stateError(const std::string& what) {
    return makeSEError(kSEErrorDamagedFile, "The synchronisation state " + what);
}

std::string bodyOf(const SyncReplica::Record& record) {
    return SyncReplica::recordToJson(record).dump();
}

std::optional<SyncReplica::Record> recordFrom(const std::string& text) {
    auto body = nlohmann::json::parse(text, nullptr, false);
    if (body.is_discarded())
        return std::nullopt;
    return SyncReplica::recordFromJson(body);
}

std::string text(const Value& value) {
    auto s = std::get_if<std::string>(&value);
    return s ? *s : std::string();
}

}  // namespace

SyncEngineState::SyncEngineState(std::unique_ptr<SqliteDatabase> db) : db_(std::move(db)) {}
SyncEngineState::~SyncEngineState() = default;

Result<std::unique_ptr<SyncEngineState>> SyncEngineState::open(
    const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    auto opened = SqliteDatabase::open(folder / kFileName, SqliteDatabase::Mode::ReadWrite);
    if (!opened.ok())
        return opened.error();
    auto db = std::move(opened.value());
    auto id = db->queryInt("PRAGMA application_id");
    auto version = db->queryInt("PRAGMA user_version");
    if (!id.ok() || !version.ok())
        return stateError("cannot be read: " + db->lastError());
    if (*id != 0 && *id != kApplicationId)
        return makeSEError(kSEErrorForeignFile,
                           "The synchronisation state file belongs to another program.");
    if (*version > kStateVersion)
        return makeSEError(kSEErrorFutureVersion,
                           "The synchronisation state was written by a newer Ravelong.");
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"}) {
        if (Status done = db->execute(pragma); !done.ok())
            return done.error();
    }
    if (Status made = db->execute(kSchema); !made.ok())
        return made.error();
    if (Status marked = db->execute("PRAGMA application_id=" + std::to_string(kApplicationId) +
                                    "; PRAGMA user_version=" + std::to_string(kStateVersion));
        !marked.ok())
        return marked.error();
    return std::unique_ptr<SyncEngineState>(new SyncEngineState(std::move(db)));
}

Result<SyncEngineState::Loaded> SyncEngineState::load(SyncReplica& replica) {
    Loaded loaded;
    auto records = db_->prepare("SELECT entity, uuid, body FROM records");
    if (!records.ok())
        return records.error();
    while (records->step()) {
        auto record = recordFrom(text(records->column(2)));
        if (!record)
            return stateError("holds a damaged record.");
        replica.restoreRecord({text(records->column(0)), text(records->column(1))},
                              std::move(*record));
    }
    if (records->failed())
        return stateError("cannot be read: " + records->error());

    auto applied = db_->prepare("SELECT lamport, device FROM applied");
    if (!applied.ok())
        return applied.error();
    while (applied->step()) {
        SyncOrderingKey key{static_cast<std::uint64_t>(applied->columnInt(0)),
                            text(applied->column(1))};
        replica.restoreApplied(key);
        savedApplied_.insert(std::move(key));
    }

    auto outbox = db_->prepare("SELECT event FROM outbox ORDER BY lamport, device");
    if (!outbox.ok())
        return outbox.error();
    while (outbox->step()) {
        Value column = outbox->column(0);
        auto bytes = std::get_if<Data>(&column);
        auto decoded = bytes ? sync_event_file::decode(std::string_view(
                                   reinterpret_cast<const char*>(bytes->data()), bytes->size()))
                             : Result<SyncEvent>(stateError("holds an empty event."));
        if (!decoded.ok())
            return decoded.error();
        loaded.outbox.push_back(std::move(decoded.value()));
    }

    auto seen = db_->prepare("SELECT name FROM seen");
    if (!seen.ok())
        return seen.error();
    while (seen->step())
        loaded.seenNames.insert(text(seen->column(0)));
    savedSeen_ = loaded.seenNames;

    auto marks = db_->prepare("SELECT kind, entity, uuid FROM marks");
    if (!marks.ok())
        return marks.error();
    while (marks->step()) {
        auto& into = text(marks->column(0)) == "pending" ? loaded.pending : loaded.heldBack;
        into.insert({text(marks->column(1)), text(marks->column(2))});
    }
    return loaded;
}

Status SyncEngineState::commit(const SyncReplica& replica, const Commit& commit) {
    if (Status begun = db_->execute("BEGIN IMMEDIATE"); !begun.ok())
        return begun;
    auto fail = [&](Status status) {
        (void)db_->execute("ROLLBACK");
        return status;
    };
    auto putRecord =
        db_->prepare("INSERT OR REPLACE INTO records (entity, uuid, body) VALUES (?, ?, ?)");
    auto putApplied = db_->prepare("INSERT OR IGNORE INTO applied (lamport, device) VALUES (?, ?)");
    auto putOutbox =
        db_->prepare("INSERT OR REPLACE INTO outbox (lamport, device, event) VALUES (?, ?, ?)");
    auto dropOutbox = db_->prepare("DELETE FROM outbox WHERE lamport = ? AND device = ?");
    auto putSeen = db_->prepare("INSERT OR IGNORE INTO seen (name) VALUES (?)");
    auto putMark =
        db_->prepare("INSERT OR IGNORE INTO marks (kind, entity, uuid) VALUES (?, ?, ?)");
    for (auto* statement : {&putRecord, &putApplied, &putOutbox, &dropOutbox, &putSeen, &putMark}) {
        if (!statement->ok())
            return fail(statement->error());
    }
    for (const auto& id : commit.records) {
        const SyncReplica::Record* record = replica.record(id);
        if (!record)
            continue;
        putRecord->bind(1, Value(id.first));
        putRecord->bind(2, Value(id.second));
        putRecord->bind(3, Value(bodyOf(*record)));
        if (Status put = putRecord->run(); !put.ok())
            return fail(put);
    }
    std::vector<SyncOrderingKey> newApplied;
    for (const auto& key : replica.appliedKeys()) {
        if (savedApplied_.contains(key))
            continue;
        putApplied->bindInt(1, static_cast<std::int64_t>(key.lamport));
        putApplied->bind(2, Value(key.deviceId));
        if (Status put = putApplied->run(); !put.ok())
            return fail(put);
        newApplied.push_back(key);
    }
    for (const auto& event : commit.outboxAdded) {
        std::string bytes = sync_event_file::encode(event);
        putOutbox->bindInt(1, static_cast<std::int64_t>(event.key.lamport));
        putOutbox->bind(2, Value(event.key.deviceId));
        putOutbox->bind(3, Value(Data(bytes.begin(), bytes.end())));
        if (Status put = putOutbox->run(); !put.ok())
            return fail(put);
    }
    for (const auto& key : commit.outboxRemoved) {
        dropOutbox->bindInt(1, static_cast<std::int64_t>(key.lamport));
        dropOutbox->bind(2, Value(key.deviceId));
        if (Status dropped = dropOutbox->run(); !dropped.ok())
            return fail(dropped);
    }
    std::vector<std::string> newSeen;
    if (commit.seenNames) {
        for (const auto& name : *commit.seenNames) {
            if (savedSeen_.contains(name))
                continue;
            putSeen->bind(1, Value(name));
            if (Status put = putSeen->run(); !put.ok())
                return fail(put);
            newSeen.push_back(name);
        }
    }
    auto putMarks = [&](const char* kind,
                        const std::optional<std::set<SyncReplica::RecordId>>& ids) -> Status {
        if (!ids)
            return Status();
        if (Status cleared =
                db_->execute(std::string("DELETE FROM marks WHERE kind = '") + kind + "'");
            !cleared.ok())
            return cleared;
        for (const auto& id : *ids) {
            putMark->bind(1, Value(std::string(kind)));
            putMark->bind(2, Value(id.first));
            putMark->bind(3, Value(id.second));
            if (Status put = putMark->run(); !put.ok())
                return put;
        }
        return Status();
    };
    if (Status put = putMarks("pending", commit.pending); !put.ok())
        return fail(put);
    if (Status put = putMarks("held", commit.heldBack); !put.ok())
        return fail(put);
    if (Status committed = db_->execute("COMMIT"); !committed.ok())
        return fail(committed);
    savedApplied_.insert(newApplied.begin(), newApplied.end());
    savedSeen_.insert(newSeen.begin(), newSeen.end());
    return Status();
}

}  // namespace ravelong
