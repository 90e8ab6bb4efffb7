#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "foundation/Error.h"

namespace ravelong {

class BackupElementHandler;
class IntegrityDigest;

// One streaming pass of libxml2's text reader over a backup file: the file is never held whole
// in memory, and nothing in it reaches beyond it. Entities are never substituted, no DTD is
// loaded, the network is off, and a document type that declares entities is refused outright
// (billion laughs, external entities naming local files). A text longer than kMaxTextBytes,
// nesting deeper than kMaxDepth, bytes that are not UTF-8, and a file cut short end the pass with
// an Error (kBackupUnreadableCode, the reason naming the line). With a schema, the file is
// validated while it streams by (after a first reading without it, since libxml2's validator
// must not meet a file that is not well-formed), and the first violation ends the pass with
// kBackupInvalidCode.
//
// Any thread; one pass per object.
class BackupFilePass {
public:
    static constexpr std::size_t kMaxTextBytes = 1 << 20;
    static constexpr int kMaxDepth = 32;

    explicit BackupFilePass(std::filesystem::path file);

    // Validate against this schema file while reading.
    void setSchema(std::filesystem::path schema) { schema_ = std::move(schema); }
    // Feed the compact text of the root element, without its "id" attribute, to a digest.
    void setDigest(IntegrityDigest* digest) { digest_ = digest; }
    void setHandler(BackupElementHandler* handler) { handler_ = handler; }
    // Stop after the root element's start (for learning its name cheaply).
    void setStopAfterRoot(bool stop) { stopAfterRoot_ = stop; }

    Status run();

    const std::string& rootName() const { return rootName_; }
    // The root's "id" attribute, when it has one.
    const std::optional<std::string>& rootId() const { return rootId_; }
    // Elements of the kinds the progress counts ("originDescription", "task", "timing").
    std::uint64_t progressElements() const { return progressElements_; }

private:
    std::filesystem::path file_;
    std::optional<std::filesystem::path> schema_;
    IntegrityDigest* digest_ = nullptr;
    BackupElementHandler* handler_ = nullptr;
    bool stopAfterRoot_ = false;
    std::string rootName_;
    std::optional<std::string> rootId_;
    std::uint64_t progressElements_ = 0;
};

}  // namespace ravelong
