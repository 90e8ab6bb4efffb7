#include "exchange/BackupWriter.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "core/chain/TaskChain.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/BackupTexts.h"
#include "exchange/IntegrityDigest.h"
#include "exchange/XmlTextSink.h"
#include "foundation/AtomicFile.h"
#include "foundation/Log.h"

namespace ravelong {

namespace texts = backup_texts;

namespace {

std::string formatted(const char* format, auto value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// Seconds since 1970 with six decimals; an absent date is 0.000000.
std::string dateText(std::optional<Instant> instant) {
    return formatted("%f", instant ? unixTimeFromInstant(*instant) : 0.0);
}

// The text without the characters an XML 1.0 document cannot hold.
std::string xmlSafe(const std::optional<std::string>& value) {
    if (!value)
        return {};
    std::string text;
    text.reserve(value->size());
    for (char c : *value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r')
            continue;
        text += c;
    }
    return text;
}

std::string colorText(const ZRCDTask& task) {
    const auto& data = task.taskColor();
    if (!data || data->size() != 4)
        return "#000000";
    // The stored value is red << 16 | green << 8 | blue, little-endian.
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", unsigned{(*data)[2]},
                  unsigned{(*data)[1]}, unsigned{(*data)[0]});
    return buffer;
}

std::vector<ZRCDOrigin*> sortedOrigins(std::vector<ZRCDOrigin*> origins) {
    std::stable_sort(origins.begin(), origins.end(), [](const ZRCDOrigin* a, const ZRCDOrigin* b) {
        return std::tuple(a->udid(), a->uid(), a->type()) <
               std::tuple(b->udid(), b->uid(), b->type());
    });
    return origins;
}

// The file's sink and the digest's sink fed with the same elements; the root's attribute (its
// id) goes to the file alone.
struct PairOfSinks {
    XmlTextSink& file;
    XmlTextSink& digest;
    void start(std::string_view name) {
        file.start(name);
        digest.start(name);
    }
    void attribute(std::string_view name, std::string_view value) { file.attribute(name, value); }
    void end() {
        file.end();
        digest.end();
    }
    void element(std::string_view name, std::string_view content) {
        file.element(name, content);
        digest.element(name, content);
    }
};

}  // namespace

BackupWriter::BackupWriter(ManagedObjectContext& context) : context_(context) {
    // Origins by identity: the store holds them in no order of its own, and a file written
    // again after a restore must be the same file.
    origins_ = sortedOrigins(ZRCDOrigin::getAllOrigins_inContext(context));
    for (ZRCDTask* task : task_chain::sortArrayOfTasksByViewPosition(
             ZRCDTask::getAllTier1CoreDataTasks_inContext(context), context))
        tasks_.push_back(nodeFor(task, 1));
}

BackupWriter::~BackupWriter() = default;

BackupWriter::TaskNode BackupWriter::nodeFor(ZRCDTask* task, int tier) {
    TaskNode node;
    node.task = task;
    node.timings = task->timings().toVector();
    std::stable_sort(node.timings.begin(), node.timings.end(),
                     [](const ZRCDTiming* a, const ZRCDTiming* b) {
                         // Equal starts in uuid order, so that a file written again after a
                         // restore is the same file.
                         const Instant startA = a->startDate().value_or(0);
                         const Instant startB = b->startDate().value_or(0);
                         if (startA != startB)
                             return startA < startB;
                         return a->uuid() < b->uuid();
                     });
    // Tasks below the third tier cannot be stored; should a damaged store hold some, they are
    // not written.
    if (tier < 3) {
        for (ZRCDTask* child :
             task_chain::sortSetOfTasksByViewPosition(task->childTasks().toVector(), context_))
            node.children.push_back(nodeFor(child, tier + 1));
    }
    return node;
}

template <class Sink>
void BackupWriter::writeElements(Sink& sink, const std::string* id) const {
    sink.start(texts::kRootV3);
    if (id)
        sink.attribute(texts::kIdAttribute, *id);
    sink.start(texts::kOrigins);
    for (const ZRCDOrigin* origin : origins_) {
        sink.start(texts::kOriginDescription);
        sink.element(texts::kType, formatted("%hd", origin->type()));
        sink.element(texts::kUid, formatted("%d", origin->uid()));
        sink.element(texts::kUserDate, dateText(origin->userNameChanged()));
        sink.element(texts::kUser, xmlSafe(origin->user()));
        sink.element(texts::kUdid, xmlSafe(origin->udid()));
        sink.element(texts::kDeviceDate, dateText(origin->deviceNameChanged()));
        sink.element(texts::kDevice, xmlSafe(origin->device()));
        sink.end();
    }
    sink.end();
    sink.start(texts::kTasks);
    for (const TaskNode& node : tasks_)
        emitTask(sink, node);
    sink.end();
    sink.end();
}

template <class Sink>
void BackupWriter::emitTask(Sink& sink, const TaskNode& node) const {
    const ZRCDTask& task = *node.task;
    sink.start(texts::kTask);
    sink.element(texts::kName, xmlSafe(task.taskName()));
    sink.element(texts::kDescription, xmlSafe(task.taskDescription()));
    sink.element(texts::kArchived, task.isArchived() ? "1" : "0");
    sink.element(texts::kColor, colorText(task));
    sink.element(texts::kCreatedDay, formatted("%d", task.createdDay()));
    sink.element(texts::kUuid, xmlSafe(task.uuid()));
    sink.element(texts::kUids, xmlSafe(task.uids()));
    sink.element(texts::kDate, dateText(task.date()));
    if (task.rounding() >= 0)
        sink.element(texts::kRounding, formatted("%hi", task.rounding()));
    sink.start(texts::kTaskOrigins);
    for (const ZRCDOrigin* origin : sortedOrigins(task.origins().toVector()))
        sink.element(texts::kOrigin, xmlSafe(origin->uuid()));
    sink.end();
    if (!node.timings.empty()) {
        sink.start(texts::kTimings);
        for (const ZRCDTiming* timing : node.timings) {
            sink.start(texts::kTiming);
            sink.element(texts::kUuid, xmlSafe(timing->uuid()));
            sink.element(texts::kStartDate, dateText(timing->startDate()));
            sink.element(texts::kEndDate, dateText(timing->endDate()));
            sink.element(texts::kNewDay, formatted("%d", timing->newDayOffset()));
            sink.element(texts::kNote, xmlSafe(timing->note()));
            sink.element(texts::kTimezone, xmlSafe(timing->timezone()));
            sink.element(texts::kOrigin,
                         timing->origin() ? xmlSafe(timing->origin()->uuid()) : std::string());
            sink.end();
        }
        sink.end();
    }
    if (!node.children.empty()) {
        sink.start(texts::kChildTasks);
        for (const TaskNode& child : node.children)
            emitTask(sink, child);
        sink.end();
    }
    sink.end();
}

std::string BackupWriter::integrityCode() {
    if (!code_.empty())
        return code_;
    IntegrityDigest digest;
    {
        XmlTextSink sink(
            [&digest](const char* bytes, std::size_t length) {
                digest.write(bytes, length);
                return true;
            },
            false);
        writeElements(sink, nullptr);
        sink.flush();
    }
    return code_ = digest.hex();
}

std::string BackupWriter::document() {
    std::string text;
    XmlTextSink file(
        [&text](const char* bytes, std::size_t length) {
            text.append(bytes, length);
            return true;
        },
        true);
    file.startDocument();
    if (!code_.empty()) {
        writeElements(file, &code_);
        file.endDocument();
        return file.ok() ? text : std::string();
    }
    // One walk over the records feeds the file and the digest of its compact form together. The
    // root's id, which comes first, is written as a placeholder of the same length and put in
    // once the digest is known.
    IntegrityDigest digest;
    XmlTextSink compact(
        [&digest](const char* bytes, std::size_t length) {
            digest.write(bytes, length);
            return true;
        },
        false);
    const std::string placeholder(32, '0');
    PairOfSinks both{file, compact};
    writeElements(both, &placeholder);
    compact.flush();
    file.endDocument();
    code_ = digest.hex();
    const std::string marker = std::string(" ") + std::string(texts::kIdAttribute) + "=\"";
    const std::size_t at = text.find(marker + placeholder + "\"");
    if (!file.ok() || !compact.ok() || at == std::string::npos)
        return {};
    text.replace(at + marker.size(), placeholder.size(), code_);
    return text;
}

Status BackupWriter::writeTo(const std::filesystem::path& file) {
    const std::string text = document();
    Status written = text.empty() ? Status(Error{kRavelongErrorDomain, texts::kBackupWriteCode,
                                                 "The backup text could not be made.", ""})
                                  : writeFileAtomically(file, text);
    if (!written) {
        logError("backupToXML", texts::kCouldNotWrite);
        Error error = written.error();
        error.code = texts::kBackupWriteCode;
        return error;
    }
    return Status::success();
}

}  // namespace ravelong
