#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "sync/CloudTestLoop.h"
#include "sync/dropbox/DBClientsManager.h"
#include "sync/dropbox/DBUserClient.h"
#include "sync/dropbox/FakeDropboxServer.h"

namespace ravelong::testing {

// A token held in memory for the tests; refreshing hands out `fresh` when it is set.
class MemoryTokenSource final : public DBAccessTokenSource {
public:
    std::optional<std::string> token = "fake-token";
    std::optional<std::string> fresh;
    int refreshes = 0;

    std::optional<std::string> accessToken() const override { return token; }
    void refreshAccessToken(std::function<void(bool)> completion) override {
        ++refreshes;
        if (fresh)
            token = fresh;
        completion(fresh.has_value());
    }
};

// One computer's way into the fake account, on a loop of its own (a computer of the
// synchronisation simulation): a token of its own, which the fake accepts, and the clients.
struct DropboxComputerClient {
    DropboxComputerClient(MainLoop& loop, FakeDropboxServer& server, const std::string& token)
        : clients(loop, tokens, server.clientOptions()) {
        tokens.token = token;
        server.acceptAccessToken(token);
    }
    MemoryTokenSource tokens;
    DBClientsManager clients;
};

// The fake server, a virtual main loop and a way to wait for replies that arrive from the
// transport's thread in real time.
struct DropboxTestLoop : CloudTestLoop {
    FakeDropboxServer server;

    void settle(const std::function<bool()>& done) override { pumpUntil(done, 0.5); }

    // Starts an operation, runs it to its completion and returns what the completion got.
    template <class T, class Start>
    std::optional<T> await(Start start, double virtualStep = 0.5) {
        std::optional<T> got;
        start([&](T value) { got.emplace(std::move(value)); });
        pumpUntil([&] { return got.has_value(); }, virtualStep);
        return got;
    }
};

}  // namespace ravelong::testing
