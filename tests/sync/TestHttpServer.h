#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ravelong::testing {

// A reply a fake web service sends; faults are injected by setting the last three members.
struct FakeReply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    double delaySeconds = 0;  // wait before answering
    bool drop = false;        // close the connection without answering
    // Announce the whole body but send only this many bytes, then close.
    std::optional<std::size_t> truncateAt;

    static FakeReply json(int status, const nlohmann::json& body);
    // A Dropbox 409 with a route error union built from tags: {"path", "not_found"}.
    static FakeReply routeError(const std::vector<std::string>& tags);
};

// What the fake web services inject, by route ("files/upload", "records/modify"), and what they
// count. Their handlers ask injectedFault() first and pass their reply through altered().
class FakeServiceFaults {
public:
    // The next `times` requests to a route get this reply instead.
    void failNext(const std::string& route, FakeReply reply, int times = 1);
    void clearFaults();
    // The next reply of a route is changed by `alter` after the route made it.
    void alterNext(const std::string& route, std::function<void(FakeReply&)> alter);
    // While a token is cut off, requests carrying it are dropped unanswered, as they would be
    // on a computer that lost its network.
    void setReachable(const std::string& token, bool reachable);
    // How many requests reached a route.
    int requestCount(const std::string& route) const;

protected:
    // Counts a request that carries `token` (may be empty); the reply it gets instead of the
    // route's, if any. Called with mutex_ held.
    std::optional<FakeReply> injectedFault(const std::string& route, const std::string& token);
    // Takes mutex_.
    FakeReply altered(const std::string& route, FakeReply reply);

    mutable std::mutex mutex_;
    std::map<std::string, int> counts_;

private:
    std::map<std::string, std::vector<FakeReply>> faults_;
    std::map<std::string, std::function<void(FakeReply&)>> alterations_;
    std::set<std::string> cutOffTokens_;
};

// The HTTP/1.1 side of the fake web services: listens on 127.0.0.1 (a free port) and serves each
// connection on a thread of its own, so parallel requests overlap as they would; every request is
// answered with what the handler returns (on the connection's thread), keeping the connection
// open for the next one.
class TestHttpServer {
public:
    struct Request {
        std::string method, target, body;
        std::map<std::string, std::string> headers;  // names in lower case
    };
    using Handler = std::function<FakeReply(Request)>;

    explicit TestHttpServer(Handler handler);
    // Stops first: the handler may use whatever its owner destroys after the server.
    ~TestHttpServer() { stop(); }
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return port_; }
    // The most requests that were being handled at one moment.
    int mostConcurrent() const { return mostConcurrent_; }
    // Closes every connection and waits for their threads.
    void stop();

private:
    void acceptLoop();
    void serve(int fd);

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptThread_;
    std::mutex threadsMutex_;
    std::vector<std::thread> threads_;
    std::vector<int> connections_;
    std::atomic<int> concurrent_{0};
    std::atomic<int> mostConcurrent_{0};
};

}  // namespace ravelong::testing
