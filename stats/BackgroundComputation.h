#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "app/BackgroundConnection.h"
#include "foundation/Error.h"
#include "foundation/MainLoop.h"

namespace ravelong {

// One kind of read of the store's second connection, run on a thread of its own and handed back
// on the main loop. Starting a computation supersedes the one before: the older one is told to
// stop (its `cancelled` flag turns true) and its result, whenever it arrives, is dropped. Only
// the newest computation's result reaches `deliver`, and never after cancel() or destruction.
//
// Main thread only, except the work itself, which runs on its own thread with the connection to
// itself (BackgroundConnection::read). `loop` must outlive this object, whose destructor cancels
// and waits for the threads it started.
template <class T>
class BackgroundComputation {
public:
    using Work =
        std::function<Result<T>(BackgroundReader& reader, const std::atomic<bool>& cancelled)>;
    using Delivery = std::function<void(Result<T>& result)>;

    explicit BackgroundComputation(MainLoop& loop)
        : loop_(loop), alive_(std::make_shared<BackgroundComputation*>(this)) {}
    ~BackgroundComputation() {
        alive_.reset();
        cancel();
        waitForBackgroundWork();
    }
    BackgroundComputation(const BackgroundComputation&) = delete;
    BackgroundComputation& operator=(const BackgroundComputation&) = delete;

    void start(std::shared_ptr<BackgroundConnection> connection, Work work, Delivery deliver) {
        cancel();
        pruneFinished();
        auto operation = std::make_shared<Operation>();
        operation->connection = std::move(connection);
        operation->work = std::move(work);
        operation->deliver = std::move(deliver);
        current_ = operation;
        operations_.push_back(operation);
        Operation* raw = operation.get();
        std::weak_ptr<BackgroundComputation*> alive = alive_;
        MainLoop* loop = &loop_;
        operation->thread =
            std::thread([raw, alive, loop, weak = std::weak_ptr<Operation>(operation)] {
                std::optional<Result<T>> computed;
                const Status read = raw->connection->read([&](BackgroundReader& reader) {
                    computed.emplace(raw->work(reader, raw->cancelled));
                    return Status::success();
                });
                if (!read)
                    computed.emplace(read.error());
                raw->result = std::move(computed);
                raw->finished = true;
                loop->runOnMainThread([alive, weak] {
                    auto self = alive.lock();
                    auto finished = weak.lock();
                    if (self && finished)
                        (*self)->finish(finished);
                });
            });
    }

    // The running computation, if any, publishes nothing.
    void cancel() {
        if (current_)
            current_->cancelled = true;
        current_.reset();
    }

    bool running() const { return current_ != nullptr; }

    // Blocks until every computation started so far has finished its background part (its
    // result then waits on the main loop). For tests and measurements.
    void waitForBackgroundWork() {
        for (auto& operation : operations_)
            if (operation->thread.joinable())
                operation->thread.join();
    }

private:
    struct Operation {
        std::shared_ptr<BackgroundConnection> connection;
        Work work;
        Delivery deliver;
        std::atomic<bool> cancelled{false};
        std::atomic<bool> finished{false};
        std::optional<Result<T>> result;  // written by the thread before `finished`
        std::thread thread;
    };

    void finish(const std::shared_ptr<Operation>& operation) {
        if (operation != current_ || operation->cancelled || !operation->result)
            return;
        current_.reset();
        Delivery deliver = std::move(operation->deliver);
        Result<T> result = std::move(*operation->result);
        pruneFinished();
        deliver(result);
    }

    void pruneFinished() {
        std::erase_if(operations_, [](const std::shared_ptr<Operation>& operation) {
            if (!operation->finished)
                return false;
            if (operation->thread.joinable())
                operation->thread.join();
            return true;
        });
    }

    MainLoop& loop_;
    std::shared_ptr<Operation> current_;
    std::vector<std::shared_ptr<Operation>> operations_;
    std::shared_ptr<BackgroundComputation*> alive_;
};

}  // namespace ravelong
