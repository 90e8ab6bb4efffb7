#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <tuple>

#include "sync/CloudTestLoop.h"
#include "sync/cloudkit/CloudKitWebServicesDatabase.h"
#include "sync/cloudkit/FakeCloudKitServer.h"
#include "sync/dropbox/MemorySecretStore.h"

namespace ravelong::testing {

// One computer's signed-in database on a loop of its own (a computer of the synchronisation
// simulation): a web auth token of its own, which the fake accepts, and the transport it talks
// through.
struct CloudKitWebComputerClient {
    CloudKitWebComputerClient(MainLoop& loop, FakeCloudKitServer& server,
                              const std::string& webToken)
        : transport(loop, 16) {
        server.acceptWebAuthToken(webToken);
        tokens.secret = webToken;
        database =
            std::make_shared<CloudKitWebServicesDatabase>(transport, tokens, server.config());
    }
    HttpTransport transport;
    MemorySecretStore tokens;  // the web auth token
    std::shared_ptr<CloudKitWebServicesDatabase> database;
};

// The fake service, a virtual main loop, the transport and a signed-in database talking to the
// fake; replies arrive from the transport's thread in real time.
struct CloudKitWebTestLoop : CloudTestLoop {
    FakeCloudKitServer server;
    MemorySecretStore tokens;  // the web auth token
    HttpTransport transport{loop, 16};
    std::optional<CloudKitWebServicesDatabase> database;

    explicit CloudKitWebTestLoop(bool signedIn = true) {
        if (signedIn) {
            server.acceptWebAuthToken("web-token-1");
            tokens.secret = "web-token-1";
        }
        database.emplace(transport, tokens, server.config());
    }

    // Virtual time moves on while waiting, so that retry delays pass.
    bool pumpUntil(const std::function<bool()>& done, double virtualStep = 0.5) {
        return CloudTestLoop::pumpUntil(done, virtualStep);
    }
    void settle(const std::function<bool()>& done) override { pumpUntil(done); }

    // The browser's side: a GET of an address, as the sign-in page's redirect makes it; the
    // reply's status, -1 when none came.
    long browse(const std::string& url) {
        std::optional<long> status;
        HttpRequest r;
        r.method = "GET";
        r.url = url;
        transport.send(r, [&](HttpResponse response) { status = response.status; });
        pumpUntil([&] { return status.has_value(); });
        return status.value_or(-1);
    }

    // Starts an operation, runs it to its completion and returns the completion's arguments.
    template <class... Args, class Start>
    std::optional<std::tuple<std::decay_t<Args>...>> await(Start start) {
        std::optional<std::tuple<std::decay_t<Args>...>> got;
        int calls = 0;
        start([&](Args... values) {
            ++calls;
            got.emplace(std::move(values)...);
        });
        bool early = calls != 0;
        pumpUntil([&] { return got.has_value(); });
        if (early)
            got.reset();  // a completion inside the starting call is a fault
        return got;
    }
};

}  // namespace ravelong::testing
