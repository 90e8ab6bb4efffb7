#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sync/TestHttpServer.h"
#include "sync/dropbox/DBUserClient.h"

namespace ravelong::testing {

// An in-process stand-in for the Dropbox HTTP API v2 on 127.0.0.1 (a free port): a file tree in
// memory behind the routes the client uses, with their error unions, plus injected faults (any
// status, delays, dropped connections, truncated bodies) and an added latency per request.
class FakeDropboxServer : public FakeServiceFaults {
public:
    FakeDropboxServer();
    ~FakeDropboxServer();
    FakeDropboxServer(const FakeDropboxServer&) = delete;
    FakeDropboxServer& operator=(const FakeDropboxServer&) = delete;

    int port() const { return server_.port(); }
    // Client options pointing all three hosts here, with timeouts fit for tests.
    DBClientOptions clientOptions() const;

    // The token requests must carry; anything else is answered 401.
    void setAccessToken(std::string token);
    void setExpiredToken(std::string token);  // answered 401 expired_access_token
    // Another token requests may carry (each computer of a test its own).
    void acceptAccessToken(std::string token);
    std::string accountId = "dbid:AAH4f99T0taONIb-OurWxbNQ6ywGRopQngc";

    // The token endpoint (/oauth2/token): a code issued for a PKCE challenge is exchanged once,
    // for the current access token and refreshToken; a refresh makes a new access token current.
    void issueCode(const std::string& code, const std::string& challenge);
    std::string appKey = "fakeappkey0123";  // letters and digits, as Dropbox makes them
    std::string refreshToken = "fake-refresh";
    std::string accessToken() const;

    void addFile(const std::string& path, const std::string& bytes);
    void addFolder(const std::string& path);
    std::optional<std::string> fileContents(const std::string& path) const;
    bool folderExists(const std::string& path) const;
    std::size_t fileCount() const;

    // Added before every reply.
    std::atomic<double> latencySeconds{0};
    // Entries per list_folder page.
    std::atomic<std::size_t> listPageSize{2000};
    // Bytes the account may hold; uploads beyond it fail with insufficient_space.
    std::atomic<std::uint64_t> quotaBytes{UINT64_MAX};
    // Sent with every long poll result when set.
    std::optional<double> longpollBackoff;

    // The Dropbox-API-Arg headers a route received.
    std::vector<std::string> apiArgHeaders(const std::string& route) const;
    // The most requests that were being served at one moment.
    int mostConcurrent() const { return server_.mostConcurrent(); }

private:
    struct Node {
        std::string display;
        bool folder = false;
        std::string bytes;
    };
    struct Request {
        std::string method, route, body;
        std::map<std::string, std::string> headers;
    };

    FakeReply handle(const Request& request);
    FakeReply oauthToken(const Request& request);
    FakeReply route(const std::string& name, const nlohmann::json& arg, const Request& request);
    nlohmann::json metadata(const Node& node) const;
    std::optional<FakeReply> commit(const std::string& path, const std::string& bytes,
                                    const nlohmann::json& arg, nlohmann::json& metadataOut);
    void makeParents(const std::string& path);
    void changed();

    std::atomic<bool> stop_{false};

    std::condition_variable changedSignal_;
    std::map<std::string, Node> tree_;  // by lower-case path
    std::uint64_t revision_ = 1;
    std::string token_ = "fake-token";
    std::string expiredToken_;
    std::set<std::string> otherTokens_;
    std::map<std::string, std::vector<std::string>> argHeaders_;
    std::map<std::string, std::vector<nlohmann::json>> pendingPages_;
    std::map<std::string, std::pair<std::string, bool>> sessions_;  // bytes, closed
    std::map<std::string, std::string> codes_;                      // code -> challenge
    std::uint64_t nextId_ = 1;
    TestHttpServer server_;  // last: it goes first, before what its handler uses
};

}  // namespace ravelong::testing
