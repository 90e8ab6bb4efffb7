#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "sync/dropbox/DBError.h"
#include "sync/http/HttpTransport.h"

namespace ravelong {

// Either what a route returned or why it failed.
template <class T>
class DBResult {
public:
    DBResult(T value) : state_(std::move(value)) {}
    DBResult(DBError error) : state_(std::move(error)) {}
    bool ok() const { return state_.index() == 0; }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    const DBError& error() const { return std::get<1>(state_); }

private:
    std::variant<T, DBError> state_;
};

struct DBNothing {};

// A file's or folder's metadata as the routes return it.
struct DBMetadata {
    enum class Kind { file, folder, deleted };
    Kind kind = Kind::file;
    std::string name;
    std::string pathDisplay;
    std::string pathLower;
    std::uint64_t size = 0;
    std::string contentHash;  // files only, may be empty
};

struct DBListFolderResult {
    std::vector<DBMetadata> entries;
    std::string cursor;
    bool hasMore = false;
};

struct DBLongpollResult {
    bool changes = false;
    std::optional<double> backoffSeconds;
};

// Where an upload session stands: its id and how many bytes it holds.
struct DBUploadSessionCursor {
    std::string sessionId;
    std::uint64_t offset = 0;
};

// Where the client takes its access token from. Tokens live in the desktop's secret store (or,
// in tests, in memory); they never pass through a file, a log line or a command line.
class DBAccessTokenSource {
public:
    virtual ~DBAccessTokenSource() = default;
    // The token to send, nullopt when no account is linked.
    virtual std::optional<std::string> accessToken() const = 0;
    // Called when the server calls the token expired: completion(true) once a fresh token is in
    // place. By default no fresh token can be had.
    virtual void refreshAccessToken(std::function<void(bool refreshed)> completion) {
        completion(false);
    }
};

struct DBClientOptions {
    // The three hosts of the API, each ending in "/2/".
    std::string apiBase = "https://api.dropboxapi.com/2/";
    std::string contentBase = "https://content.dropboxapi.com/2/";
    std::string notifyBase = "https://notify.dropboxapi.com/2/";
    // 429 and 5xx replies and dropped connections are tried again, up to maxAttempts tries in
    // all: after the server's Retry-After (at most maxRetryAfterSeconds) or else after
    // firstRetrySeconds, doubling up to maxRetrySeconds.
    int maxAttempts = 5;
    double firstRetrySeconds = 1;
    double maxRetrySeconds = 60;
    double maxRetryAfterSeconds = 300;
    // Files larger than this travel in upload sessions, in pieces of this size (a multiple of
    // 4 MiB, as the server asks).
    std::size_t uploadChunkBytes = 8u << 20;
    // How many files of one batch are read and sent at a time.
    std::size_t parallelFiles = 16;
    double connectTimeoutSeconds = 15;
    double requestTimeoutSeconds = 300;
    long stallSeconds = 60;
};

// The typed client of the Dropbox HTTP API v2 routes the sync back-end uses: one method per
// route, arguments and results as C++ values, route errors decoded into DBError.
//
// Every call completes exactly once, on the main loop. Calls may overlap freely; the transport
// runs them in parallel. Retries wait on the main loop, so they never block anything.
// Destroying the client drops its pending calls without completing them; cancelAll() completes
// them with a cancelled error instead (at quit).
class DBUserClient {
public:
    template <class T>
    using Callback = std::function<void(DBResult<T>)>;

    DBUserClient(HttpTransport& transport, DBAccessTokenSource& tokens,
                 DBClientOptions options = {});
    ~DBUserClient();
    DBUserClient(const DBUserClient&) = delete;
    DBUserClient& operator=(const DBUserClient&) = delete;

    const DBClientOptions& options() const { return options_; }
    MainLoop& mainLoop() const { return transport_.mainLoop(); }

    // users/get_current_account: the account id ("dbid:...").
    void getCurrentAccount(Callback<std::string> completion);
    void getMetadata(const std::string& path, Callback<DBMetadata> completion);
    // list_folder with media info, deleted entries and explicit shared members left out.
    void listFolder(const std::string& path, bool recursive,
                    Callback<DBListFolderResult> completion);
    void listFolderContinue(const std::string& cursor, Callback<DBListFolderResult> completion);
    // list_folder followed by list_folder/continue until the last page.
    void listFolderAllPages(const std::string& path, bool recursive,
                            Callback<std::vector<DBMetadata>> completion);
    void listFolderGetLatestCursor(const std::string& path, bool recursive,
                                   Callback<std::string> completion);
    // Waits up to timeoutSeconds (30 to 480) for a change after the cursor. Not retried. The id
    // lets the caller cancel the wait.
    HttpTransport::RequestId listFolderLongpoll(const std::string& cursor, int timeoutSeconds,
                                                Callback<DBLongpollResult> completion);
    void createFolderV2(const std::string& path, Callback<DBMetadata> completion);
    void deleteV2(const std::string& path, Callback<DBMetadata> completion);

    // files/upload of bytes held in memory (up to 150 MB), muted, other commit settings left to
    // the route's defaults.
    void upload(const std::string& path, std::string bytes, Callback<DBMetadata> completion);
    void uploadSessionStart(std::string bytes, bool close, Callback<std::string> completion);
    void uploadSessionAppendV2(const DBUploadSessionCursor& cursor, std::string bytes, bool close,
                               Callback<DBNothing> completion);
    void uploadSessionFinish(const DBUploadSessionCursor& cursor, const std::string& path,
                             std::string bytes, Callback<DBMetadata> completion);
    // Commits up to 1000 closed sessions at once; one result per entry, in order.
    void uploadSessionFinishBatchV2(
        const std::vector<std::pair<DBUploadSessionCursor, std::string>>& entries,
        Callback<std::vector<DBResult<DBMetadata>>> completion);

    // Uploads one local file to a path: in one request, or in an upload session when it is
    // larger than a chunk.
    void uploadFile(const std::filesystem::path& localFile, const std::string& path,
                    Callback<DBMetadata> completion);
    // Uploads many files: every file goes into a closed upload session (parallelFiles at a time),
    // then all are committed with uploadSessionFinishBatchV2, so the account's folder is locked
    // once per thousand files rather than once per file. One result per file, in order.
    using BatchCallback = std::function<void(std::vector<DBResult<DBMetadata>>)>;
    void uploadFiles(const std::vector<std::pair<std::filesystem::path, std::string>>& files,
                     BatchCallback completion);

    // Downloads a file. The local file appears whole or not at all: the bytes go to a hidden
    // file beside it, are checked against the size and content hash the server announced, and
    // only then replace the local file. Missing parent folders are created.
    void download(const std::string& path, const std::filesystem::path& localFile,
                  Callback<DBMetadata> completion);

    // Ends every pending call with a cancelled error (at quit).
    void cancelAll();

    // Metadata from a route result; `kind` applies when the value carries no ".tag".
    static std::optional<DBMetadata> parseMetadata(const nlohmann::json& value,
                                                   DBMetadata::Kind kind);

private:
    enum class Host { api, content, notify };
    struct Call;
    using RawCompletion = std::function<void(DBResult<HttpResponse>)>;

    void call(Host host, const std::string& route, const nlohmann::json& arg, std::string body,
              RawCompletion completion, std::filesystem::path responseFile = {});
    void perform(std::shared_ptr<Call> call);
    void finished(std::shared_ptr<Call> call, HttpResponse response);
    void rpcJson(Host host, const std::string& route, const nlohmann::json& arg, std::string body,
                 std::function<void(DBResult<nlohmann::json>)> completion);
    struct FileUpload;
    // Sends a whole local file into a new upload session and closes it.
    void uploadToSession(std::shared_ptr<FileUpload> upload,
                         Callback<DBUploadSessionCursor> completion);
    struct BatchUpload;
    void uploadNextOfBatch(std::shared_ptr<BatchUpload> batch);
    void finishBatches(std::shared_ptr<BatchUpload> batch, std::size_t from);

    HttpTransport& transport_;
    DBAccessTokenSource& tokens_;
    DBClientOptions options_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::set<std::shared_ptr<Call>> calls_;  // waiting for a reply or a retry
};

}  // namespace ravelong
