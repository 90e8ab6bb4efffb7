#include "tests/app/AppTestSupport.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "app/SavePathTexts.h"
#include "support/FixedDeviceIdentity.h"

namespace ravelong::app_testing {

namespace {

void check(const Status& status, const std::string& what) {
    if (!status)
        throw std::runtime_error(what + ": " + status.error().description);
}

}  // namespace

AppEnvironment::AppEnvironment()
    : defaults_(folder_.path() / "settings.json"),
      scopedDefaults_(UserDefaults::Suite::standard, defaults_),
      scopedAlerts_(alerts_),
      clock_(kNow),
      scopedClock_(clock_),
      scopedIdentity_(identity_),
      log_(LogCapture::Output::silent) {
    NotificationCenter::setDefaultCenter(&center_);
    center_.addObserver("", nullptr, [this](const Notification& note) {
        if (note.name == kRavelongChangesSaved)
            ++savesPosted_;
        else
            posted_.push_back(note.name);
    });
}

AppEnvironment::~AppEnvironment() {
    NotificationCenter::setDefaultCenter(nullptr);
}

void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::unique_ptr<SqliteDatabase> openRaw(const std::filesystem::path& path) {
    auto opened = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadWrite);
    if (!opened)
        throw std::runtime_error("cannot open " + path.string());
    return std::move(opened.value());
}

std::unique_ptr<SqliteDatabase> createFileOfLayout(const std::filesystem::path& path,
                                                   const store_layouts::StoreLayout& layout) {
    auto db = openRaw(path);
    // Test files need no durability; without it they are made in a blink.
    execute(*db, "PRAGMA synchronous = OFF");
    execute(*db, "BEGIN");
    for (const std::string& sql : store_layouts::createStatements(layout))
        execute(*db, sql);
    execute(*db,
            "INSERT INTO Z_METADATA (key, value) VALUES ('storeUUID', "
            "'6B1C2E04-5A3D-4F0E-9C47-2D8B1A0E3F55')");
    execute(*db, "PRAGMA user_version = " + std::to_string(layout.version));
    execute(*db, "COMMIT");
    return db;
}

void insertRow(SqliteDatabase& db, const std::string& table, const Row& row) {
    std::string names;
    std::string marks;
    for (const auto& [name, value] : row) {
        names += (names.empty() ? "" : ", ") + sqlQuoted(name);
        marks += marks.empty() ? "?" : ", ?";
    }
    auto statement =
        db.prepare("INSERT INTO " + sqlQuoted(table) + " (" + names + ") VALUES (" + marks + ")");
    if (!statement)
        throw std::runtime_error(statement.error().description);
    for (std::size_t i = 0; i < row.size(); ++i)
        statement->bind(static_cast<int>(i) + 1, row[i].second);
    check(statement->run(), "insert into " + table);
}

void execute(SqliteDatabase& db, const std::string& sql) {
    check(db.execute(sql), sql);
}

std::int64_t queryInt(SqliteDatabase& db, const std::string& sql) {
    auto value = db.queryInt(sql);
    if (!value)
        throw std::runtime_error(sql + ": " + value.error().description);
    return *value;
}

std::vector<std::string> schemaOf(const std::filesystem::path& path) {
    auto db = openRaw(path);
    std::vector<std::string> lines;
    auto objects = db->prepare(
        "SELECT type, name, tbl_name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' "
        "ORDER BY name");
    if (!objects)
        throw std::runtime_error(objects.error().description);
    while (objects->step()) {
        const std::string type = std::get<std::string>(objects->column(0));
        const std::string name = std::get<std::string>(objects->column(1));
        const std::string table = std::get<std::string>(objects->column(2));
        std::string line = type + " " + name + (type == "index" ? " on " + table : "") + ":";
        auto columns =
            db->prepare(type == "table" ? "SELECT name, type, pk FROM pragma_table_info(?)"
                                        : "SELECT name, '', 0 FROM pragma_index_info(?)");
        if (!columns)
            throw std::runtime_error(columns.error().description);
        columns->bind(1, Value(name));
        while (columns->step()) {
            line += " " + std::get<std::string>(columns->column(0));
            const Value columnType = columns->column(1);
            if (const auto* text = std::get_if<std::string>(&columnType); text && !text->empty())
                line += " " + *text;
            if (columns->columnInt(2) != 0)
                line += " (key)";
            line += ",";
        }
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace ravelong::app_testing
