#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "sync/SyncMerger.h"

namespace ravelong::testing {

// A merge engine whose merges end when the test says so: each merge is remembered with its
// options, and finish() ends the oldest one with the given status.
class ScriptedSyncMerger final : public SyncMerger {
public:
    void mergeWithOptions(std::uint64_t options, std::function<void(Status)> done) override {
        optionsSeen.push_back(options);
        pending.push_back(std::move(done));
    }
    // Ends the oldest running merge; false when none runs.
    bool finish(Status status = Status()) {
        if (pending.empty())
            return false;
        auto done = std::move(pending.front());
        pending.erase(pending.begin());
        done(std::move(status));
        return true;
    }
    bool running() const { return !pending.empty(); }
    void setConflictQuestion(ConflictQuestion question) override {
        conflictQuestion = std::move(question);
    }
    void setRemoteTimeObserver(std::function<void(Instant)> observer) override {
        remoteTimeObserver = std::move(observer);
    }

    // A merger that hands its merges to this one, for code that owns the merger it is given
    // (the factory of SyncSetup).
    std::unique_ptr<SyncMerger> makeHandle() {
        struct Handle final : SyncMerger {
            explicit Handle(ScriptedSyncMerger& to) : to(to) {}
            void mergeWithOptions(std::uint64_t options,
                                  std::function<void(Status)> done) override {
                to.mergeWithOptions(options, std::move(done));
            }
            void setConflictQuestion(ConflictQuestion question) override {
                to.setConflictQuestion(std::move(question));
            }
            void setRemoteTimeObserver(std::function<void(Instant)> observer) override {
                to.setRemoteTimeObserver(std::move(observer));
            }
            ScriptedSyncMerger& to;
        };
        return std::make_unique<Handle>(*this);
    }

    std::vector<std::uint64_t> optionsSeen;
    std::vector<std::function<void(Status)>> pending;
    // What the driver handed over.
    ConflictQuestion conflictQuestion;
    std::function<void(Instant)> remoteTimeObserver;
};

}  // namespace ravelong::testing
