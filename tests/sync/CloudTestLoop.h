#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Clock.h"
#include "support/VirtualMainLoop.h"
#include "sync/SECloudFileSystem.h"

namespace ravelong::testing {

// Runs a back-end's asynchronous operations to completion on a virtual main loop and hands back
// what the completion received; each call checks that the completion ran exactly once and not
// inside the call that started it.
class CloudTestLoop {
public:
    SettableClock clock{1000.0};
    VirtualMainLoop loop{clock};

    virtual ~CloudTestLoop() = default;
    // Runs the loop until done() holds or ten real seconds pass, for replies that arrive from
    // other threads in real time. Virtual time moves `virtualStep` seconds a round, so that retry
    // delays pass without real waiting.
    bool pumpUntil(const std::function<bool()>& done, double virtualStep = 0) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            loop.runPending();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (virtualStep > 0)
                loop.advance(virtualStep);
        }
        return false;
    }
    // Runs the loop until done() holds; on the virtual loop alone one round completes everything
    // due. Loops whose replies come from other threads wait for them.
    virtual void settle(const std::function<bool()>& done) {
        (void)done;
        loop.runPending();
    }

    template <class Start, class Result>
    Result run(Start start, Result initial) {
        int calls = 0;
        Result result = initial;
        start([&](Result value) {
            ++calls;
            result = std::move(value);
        });
        completedEarly = calls != 0;
        settle([&] { return calls != 0; });
        completions = calls;
        return result;
    }

    Status status(const std::function<void(SECloudFileSystem::Completion)>& start) {
        return run([&](auto done) { start([done](Status s) { done(s); }); },
                   Status(makeSEError(-99, "no completion")));
    }

    struct Exists {
        bool exists = false, isDirectory = false;
        Status status;
    };
    Exists exists(SECloudFileSystem& fs, const std::string& path) {
        return run(
            [&](auto done) {
                fs.fileExistsAtPath(path, [done](bool e, bool d, Status s) {
                    done(Exists{e, d, s});
                });
            },
            Exists{});
    }

    struct Listing {
        std::optional<std::vector<SECloudItem>> items;
        Status status;
        std::vector<std::string> names() const {
            std::vector<std::string> out;
            if (items)
                for (auto& i : *items)
                    out.push_back(i.name);
            return out;
        }
    };
    Listing list(SECloudFileSystem& fs, const std::string& path) {
        return run(
            [&](auto done) {
                fs.contentsOfDirectoryAtPath(path, [done](auto items, Status s) {
                    done(Listing{std::move(items), s});
                });
            },
            Listing{});
    }

    std::vector<std::uint64_t> hash(SECloudFileSystem& fs) {
        return run(
            [&](auto done) {
                fs.hashOfDirectoryWithCompletion([done](auto h, Status) { done(h); });
            },
            std::vector<std::uint64_t>{});
    }

    bool completedEarly = false;
    int completions = 0;
};

}  // namespace ravelong::testing
