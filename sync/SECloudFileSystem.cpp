#include "sync/SECloudFileSystem.h"

#include <memory>

namespace ravelong {

Error makeSEError(int code, std::string description) {
    return Error{kSEErrorDomain, code, std::move(description), {}};
}

namespace {

// Runs step(i, next) for i = 0..count-1 one after another; each step calls next with its status.
// The completion gets the last failure (or success), after every step has run.
void runInSequence(std::size_t count,
                   std::function<void(std::size_t, std::function<void(Status)>)> step,
                   std::function<void(Status)> completion) {
    struct State {
        std::size_t count;
        std::function<void(std::size_t, std::function<void(Status)>)> step;
        std::function<void(Status)> completion;
        Status last;
        std::function<void(std::size_t)> run;
    };
    auto state = std::make_shared<State>();
    state->count = count;
    state->step = std::move(step);
    state->completion = std::move(completion);
    state->run = [weak = std::weak_ptr<State>(state)](std::size_t i) {
        auto s = weak.lock();
        if (!s)
            return;
        if (i >= s->count) {
            auto done = std::move(s->completion);
            Status last = s->last;
            done(last);
            return;
        }
        s->step(i, [s, i](Status status) {
            if (!status.ok())
                s->last = status;
            s->run(i + 1);
        });
    };
    // The first step holds the state alive through its "next" callback.
    auto keep = state;
    keep->run(0);
}

Status unsupported(const char* operation) {
    return makeSEError(kSEErrorUnsupported,
                       std::string("The storage service does not offer ") + operation + ".");
}

}  // namespace

void SECloudFileSystem::directoryExistsAtPath(const std::string& path,
                                              DirectoryExistsCompletion completion) {
    fileExistsAtPath(
        path, [completion = std::move(completion)](bool exists, bool isDirectory, Status status) {
            completion(status.ok() && exists && isDirectory, status);
        });
}

void SECloudFileSystem::uploadLocalFiles(const std::vector<std::filesystem::path>& localFiles,
                                         const std::vector<std::string>& paths,
                                         Completion completion) {
    if (localFiles.size() != paths.size()) {
        deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnknown, "Upload lists of different lengths."));
        });
        return;
    }
    if (paths.empty()) {
        deliver([completion = std::move(completion)] { completion(Status()); });
        return;
    }
    runInSequence(
        paths.size(),
        [this, localFiles, paths](std::size_t i, std::function<void(Status)> next) {
            uploadLocalFile(localFiles[i], paths[i], std::move(next));
        },
        std::move(completion));
}

void SECloudFileSystem::downloadFromPaths(const std::vector<std::string>& paths,
                                          const std::vector<std::filesystem::path>& localFiles,
                                          Completion completion) {
    if (localFiles.size() != paths.size()) {
        deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnknown, "Download lists of different lengths."));
        });
        return;
    }
    if (paths.empty()) {
        deliver([completion = std::move(completion)] { completion(Status()); });
        return;
    }
    runInSequence(
        paths.size(),
        [this, localFiles, paths](std::size_t i, std::function<void(Status)> next) {
            downloadFromPath(paths[i], localFiles[i], std::move(next));
        },
        std::move(completion));
}

void SECloudFileSystem::removeItemsAtPaths(const std::vector<std::string>& paths,
                                           Completion completion) {
    if (paths.empty()) {
        deliver([completion = std::move(completion)] { completion(Status()); });
        return;
    }
    runInSequence(
        paths.size(),
        [this, paths](std::size_t i, std::function<void(Status)> next) {
            removeItemAtPath(paths[i], std::move(next));
        },
        std::move(completion));
}

void SECloudFileSystem::performInitialPreparation(Completion completion) {
    deliver([completion = std::move(completion)] {
        completion(unsupported("an initial preparation"));
    });
}

void SECloudFileSystem::primeForActivityWithCompletion(Completion completion) {
    deliver([completion = std::move(completion)] { completion(unsupported("priming")); });
}

void SECloudFileSystem::repairSyncDirectory(const std::string&, Completion completion) {
    deliver([completion = std::move(completion)] {
        completion(unsupported("repairing the sync folder"));
    });
}

void SECloudFileSystem::hashOfDirectoryWithCompletion(HashCompletion completion) {
    deliver([completion = std::move(completion)] { completion({}, unsupported("a folder hash")); });
}

}  // namespace ravelong
