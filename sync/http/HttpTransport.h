#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/MainLoop.h"

namespace ravelong {

// One HTTP exchange as the web clients (Dropbox, CloudKit web services) send it.
struct HttpRequest {
    std::string method = "POST";
    std::string url;
    std::vector<std::string> headers;  // "Name: value"
    std::string body;
    // When set, the body of a 2xx reply is written to this file instead of kept in memory (the
    // body of any other reply, an error object, is still kept). The caller owns the file.
    std::filesystem::path responseFile;
    // A reply body kept in memory that grows past this is refused (Failure::tooLarge).
    std::size_t maxResponseBytes = 32u << 20;
    double connectTimeoutSeconds = 15;
    // The whole exchange; 0 for no limit.
    double timeoutSeconds = 120;
    // A transfer slower than one byte a second for this long is given up (Failure::timeout).
    long stallSeconds = 60;
};

struct HttpResponse {
    enum class Failure { none, connection, timeout, tooLarge, file, cancelled };

    long status = 0;                             // 0 when no reply arrived
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    Failure failure = Failure::none;
    std::string failureMessage;

    bool received() const { return failure == Failure::none; }
    // The value of a header (name in lower case), "" when absent.
    std::string header(const std::string& lowerCaseName) const;
};

// Runs HTTP exchanges with libcurl's multi interface on one worker thread of its own, so that any
// number of transfers proceed together without a thread each and without ever blocking the main
// thread. The main loop has no way to watch sockets, which is why the transfers do not run on it;
// every completion is handed to the main loop and runs there, exactly once.
//
// At most maxConnectionsPerHost connections are open to one host; further requests wait in
// libcurl's queue. Redirects are not followed and only http and https are spoken.
//
// Call from the main thread. Destroying the transport aborts every transfer; completions that
// have not run by then never run.
class HttpTransport {
public:
    using RequestId = std::uint64_t;
    using Completion = std::function<void(HttpResponse)>;

    explicit HttpTransport(MainLoop& loop, long maxConnectionsPerHost = 8);
    ~HttpTransport();
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    RequestId send(HttpRequest request, Completion completion);
    // Aborts a transfer; its completion runs with Failure::cancelled unless it already finished.
    void cancel(RequestId id);
    // Aborts every transfer (at quit); each completion runs with Failure::cancelled.
    void cancelAll();

    MainLoop& mainLoop() const { return loop_; }

private:
    struct Pending {
        RequestId id;
        HttpRequest request;
        Completion completion;
    };
    struct Transfer;

    void run();
    Transfer* startTransfer(void* multi, Pending pending);
    void finishTransfer(void* multi, Transfer* transfer, HttpResponse::Failure failure,
                        std::string message);
    void post(Completion completion, HttpResponse response);

    MainLoop& loop_;
    long maxConnectionsPerHost_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    std::mutex mutex_;
    std::condition_variable started_;
    void* multi_ = nullptr;  // set by the worker once it can be woken
    std::deque<Pending> incoming_;
    std::set<RequestId> cancelled_;
    RequestId cancelBelow_ = 0;  // transfers with smaller ids are aborted
    bool stop_ = false;
    RequestId nextId_ = 1;
    std::thread worker_;
};

}  // namespace ravelong
