#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/Error.h"

namespace ravelong {

class ManagedObjectContext;
class XmlTextSink;
class ZRCDOrigin;
class ZRCDTask;
class ZRCDTiming;

// Writes the whole store as a backup file of the current generation (root "dataV3"): the origins,
// the tasks of all three tiers in display order, each with its timings by start date, and the
// integrity value in the root's "id" attribute (IntegrityDigest). Numbers use the C formats the
// file format fixes ("%f" for dates as seconds since 1970, "%d", "%hd"); text is UTF-8, and the
// characters XML 1.0 cannot hold (control characters other than tab, line feed and carriage
// return) are left out, so that every backup can be read back.
//
// The writer takes a snapshot of the context when made; the context must not change while it is
// used (main thread, or a private copy on another thread).
class BackupWriter {
public:
    explicit BackupWriter(ManagedObjectContext& context);
    ~BackupWriter();

    // The integrity value of the snapshot.
    std::string integrityCode();
    // The whole document, pretty-printed (two spaces per level), with its integrity value; empty
    // when libxml2's writer failed.
    std::string document();
    // The document written to `file` atomically: a temporary file in the same folder, flushed to
    // disk and renamed over `file` only when complete. On failure nothing replaces `file`, the
    // line "Could not write document out..." is logged and the Error says why.
    Status writeTo(const std::filesystem::path& file);

private:
    struct TaskNode {
        ZRCDTask* task = nullptr;
        std::vector<ZRCDTiming*> timings;
        std::vector<TaskNode> children;
    };
    TaskNode nodeFor(ZRCDTask* task, int tier);
    // Over an XmlTextSink, or over a pair of them fed at once (the file and the digest).
    template <class Sink>
    void writeElements(Sink& sink, const std::string* id) const;
    template <class Sink>
    void emitTask(Sink& sink, const TaskNode& node) const;

    ManagedObjectContext& context_;
    std::vector<ZRCDOrigin*> origins_;
    std::vector<TaskNode> tasks_;
    std::string code_;
};

}  // namespace ravelong
