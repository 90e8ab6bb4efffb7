#include "exchange/LegacyStoreUpgrade.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/PreferenceKeys.h"
#include "app/StoreStack.h"
#include "app/ZRUserDefaults.h"
#include "app/legacy/CoreDataTask.h"
#include "app/legacy/CoreDataTimedEntry.h"
#include "app/legacy/CoreDataUniqueID.h"
#include "exchange/BackupRestore.h"
#include "exchange/BackupTexts.h"
#include "exchange/IntegrityDigest.h"
#include "exchange/XmlTextSink.h"
#include "foundation/AtomicFile.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

namespace ravelong {

namespace texts = backup_texts;

namespace {

constexpr const char* kTransferName = "RavelongTransfer.xml";

std::string formatted(const char* format, auto value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string dateText(std::optional<Instant> instant) {
    return formatted("%f", instant ? unixTimeFromInstant(*instant) : 0.0);
}

std::string text(const std::optional<std::string>& value) {
    std::string result;
    for (char c : value.value_or("")) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            result += c;
    }
    return result;
}

// Colours of the old stores in the 4-byte form (little-endian red << 16 | green << 8 | blue);
// anything else was an archived object of another toolkit and reads as black.
std::string colorText(const std::optional<Data>& data) {
    if (!data || data->size() != 4)
        return "#000000";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", unsigned{(*data)[2]},
                  unsigned{(*data)[1]}, unsigned{(*data)[0]});
    return buffer;
}

void writeIdentifiers(XmlTextSink& sink, std::vector<CoreDataUniqueID*> identifiers) {
    std::stable_sort(
        identifiers.begin(), identifiers.end(),
        [](const CoreDataUniqueID* a, const CoreDataUniqueID* b) { return a->date() < b->date(); });
    sink.start(texts::kUids);
    for (const CoreDataUniqueID* identifier : identifiers) {
        sink.start(texts::kUid);
        sink.element(texts::kOrigin, formatted("%d", int{identifier->origin()}));
        sink.element(texts::kTid, formatted("%lld", static_cast<long long>(identifier->tid())));
        sink.element(texts::kCid, formatted("%lld", static_cast<long long>(identifier->uid())));
        sink.element(texts::kSeconds, formatted("%f", identifier->seconds()));
        sink.element(texts::kDate, dateText(identifier->date()));
        sink.element(texts::kOffset, formatted("%d", identifier->timezoneOffset()));
        sink.end();
    }
    sink.end();
}

std::vector<CoreDataTask*> byViewPosition(std::vector<CoreDataTask*> tasks) {
    std::stable_sort(tasks.begin(), tasks.end(), [](const CoreDataTask* a, const CoreDataTask* b) {
        return a->viewPosition() < b->viewPosition();
    });
    return tasks;
}

void writeTask(XmlTextSink& sink, const CoreDataTask& task, int tier) {
    sink.start(texts::kTask);
    sink.element(texts::kName, text(task.taskName()));
    sink.element(texts::kDescription, text(task.taskDescription()));
    sink.element(texts::kColor, colorText(task.taskColor()));
    sink.element(texts::kArchived, task.isArchived() ? "1" : "0");
    sink.element(texts::kCreatedDay, formatted("%d", task.createdDay()));
    sink.element(texts::kId, formatted("%lld", static_cast<long long>(task.taskID())));
    writeIdentifiers(sink, task.uniqueIDs().toVector());
    std::vector<CoreDataTimedEntry*> entries = task.timedEntries().toVector();
    std::stable_sort(entries.begin(), entries.end(),
                     [](const CoreDataTimedEntry* a, const CoreDataTimedEntry* b) {
                         return a->startDate() < b->startDate();
                     });
    if (!entries.empty()) {
        sink.start(texts::kTimings);
        for (const CoreDataTimedEntry* entry : entries) {
            sink.start(texts::kTiming);
            sink.element(texts::kAbsDay, formatted("%d", entry->absDay()));
            sink.element(texts::kDay, formatted("%d", entry->day()));
            sink.element(texts::kDuration, formatted("%f", entry->duration()));
            sink.element(texts::kNotes, text(entry->notes()));
            sink.element(texts::kTimezone,
                         formatted("%d", static_cast<int>(entry->timezoneOffset())));
            sink.element(texts::kStartDate, dateText(entry->startDate()));
            sink.element(texts::kEndDate, dateText(entry->endDate()));
            sink.element(texts::kMaxDate, dateText(entry->maxDate()));
            writeIdentifiers(sink, entry->uniqueIDs().toVector());
            sink.end();
        }
        sink.end();
    }
    // The old stores allowed three tiers as well; anything deeper is not carried over.
    const std::vector<CoreDataTask*> children = byViewPosition(task.childTasks().toVector());
    if (tier < 3 && !children.empty()) {
        sink.start(texts::kChildTasks);
        for (const CoreDataTask* child : children)
            writeTask(sink, *child, tier + 1);
        sink.end();
    }
    sink.end();
}

void writeDocument(XmlTextSink& sink, const std::vector<CoreDataTask*>& tasks,
                   const std::string* id) {
    sink.start(texts::kRootV1);
    if (id)
        sink.attribute(texts::kIdAttribute, *id);
    for (const CoreDataTask* task : tasks)
        writeTask(sink, *task, 1);
    sink.end();
}

}  // namespace

LegacyStoreUpgrade::LegacyStoreUpgrade(StoreStack& stack) : stack_(stack) {}

std::filesystem::path LegacyStoreUpgrade::transferFile() const {
    auto folder = ZRUserDefaults::getTransferLocation(stack_.locations());
    return (folder ? *folder : stack_.locations().transferDirectory()) / kTransferName;
}

double LegacyStoreUpgrade::getUIDCount() {
    auto legacy = stack_.managedObjectContextV1();
    return legacy ? static_cast<double>((*legacy)->count<CoreDataUniqueID>()) : 0.0;
}

Status LegacyStoreUpgrade::backupV1ForMigrationToV2(ManagedObjectContext& legacy,
                                                    const std::filesystem::path& file) {
    std::vector<CoreDataTask*> tasks;
    for (CoreDataTask* task : legacy.fetchAll<CoreDataTask>())
        if (!task->parentTask())
            tasks.push_back(task);
    tasks = byViewPosition(std::move(tasks));

    IntegrityDigest digest;
    {
        XmlTextSink sink(
            [&digest](const char* bytes, std::size_t length) {
                digest.write(bytes, length);
                return true;
            },
            false);
        writeDocument(sink, tasks, nullptr);
        sink.flush();
    }
    const std::string id = digest.hex();

    std::string document;
    XmlTextSink sink(
        [&document](const char* bytes, std::size_t length) {
            document.append(bytes, length);
            return true;
        },
        true);
    sink.startDocument();
    writeDocument(sink, tasks, &id);
    sink.endDocument();
    Status written = sink.ok() ? writeFileAtomically(file, document)
                               : Status(Error{kRavelongErrorDomain, texts::kBackupWriteCode,
                                              "The transfer file could not be made.", ""});
    if (!written)
        logError("backupV1ForMigrationToV2", texts::kCouldNotWrite);
    return written;
}

Status LegacyStoreUpgrade::importRavelongV1File(const std::filesystem::path& file,
                                                ManagedObjectContext& context,
                                                const std::function<void(double)>& progress) {
    auto info = checkBackupFile(file);
    if (!info)
        return info.error();
    if (info->generation != 1)
        return Error{kRavelongErrorDomain, texts::kBackupContentCode,
                     "The transfer file is not of the first generation.", ""};
    auto outcome = backup_restore::readInto(
        *info, context, backup_restore::Mode::restore,
        [&progress](std::uint64_t done) {
            if (progress)
                progress(static_cast<double>(done));
        },
        false);
    if (!outcome)
        return outcome.error();
    return Status::success();
}

void LegacyStoreUpgrade::continueDatabaseMigration(const std::function<void(double)>& progress) {
    const std::filesystem::path file = transferFile();
    auto legacy = stack_.managedObjectContextV1();
    auto main = stack_.managedObjectContext();
    if (legacy && main) {
        if (Status written = backupV1ForMigrationToV2(**legacy, file); !written) {
            logError("continueDatabaseMigration", written.error().description);
        } else {
            // Read on a copy of the main context and pushed in only when complete, so that a
            // file that cannot be read leaves nothing half-made behind.
            std::unique_ptr<ManagedObjectContext> copy = stack_.newPrivateContext();
            Status read = copy ? importRavelongV1File(file, *copy, progress)
                               : Status(Error{kRavelongErrorDomain, texts::kBackupStoreCode,
                                              "The store cannot be opened.", ""});
            if (read)
                read = copy->save();  // into the main context, which the launch saves
            if (!read) {
                logError("continueDatabaseMigration",
                         read.error().description + " " + read.error().failureReason);
            } else {
                std::error_code error;
                std::filesystem::remove(file, error);
            }
            if (copy)
                stack_.discardContext(std::move(copy));
        }
    }
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setBool(kZRNotMigrated, false);
    (void)defaults.synchronize();
}

}  // namespace ravelong
