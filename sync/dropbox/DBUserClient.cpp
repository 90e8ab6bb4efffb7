#include "sync/dropbox/DBUserClient.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <system_error>

#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBContentHash.h"
#include "sync/dropbox/DBJson.h"

namespace ravelong {

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

// The server commits at most this many sessions in one finish_batch call.
constexpr std::size_t kFinishBatchLimit = 1000;

DBError cancelledError() {
    DBError e;
    e.kind = DBError::Kind::cancelled;
    e.summary = "The transfer was cancelled.";
    return e;
}

Result<std::string> readChunk(const fs::path& file, std::uint64_t offset, std::size_t length) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return makeSEError(kSEErrorUnknown, "Cannot read " + file.string() + ".");
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(length, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(length));
    if (static_cast<std::size_t>(in.gcount()) != length)
        return makeSEError(kSEErrorUnknown, file.string() + " changed while it was uploaded.");
    return bytes;
}

json listArguments(const std::string& path, bool recursive) {
    return json{{"path", path},
                {"recursive", recursive},
                {"include_media_info", false},
                {"include_deleted", false},
                {"include_has_explicit_shared_members", false}};
}

json cursorArgument(const DBUploadSessionCursor& cursor) {
    return json{{"session_id", cursor.sessionId}, {"offset", cursor.offset}};
}

json commitArgument(const std::string& path) {
    // An upload replaces what the path holds, as writing a file in a folder does: the route's
    // default ("add") refuses a file that differs from the one there, and the synchronisation
    // writes some files again (a device's acknowledgement of what it applied). Autorename and
    // the modification date keep the route's defaults.
    return json{{"path", path}, {"mode", "overwrite"}, {"mute", true}};
}

std::atomic<unsigned> downloadCounter{0};

}  // namespace

struct DBUserClient::Call {
    Host host = Host::api;
    std::string route;
    std::string argument;
    std::string body;
    fs::path responseFile;
    RawCompletion completion;
    bool retry = true;
    double timeoutSeconds = 0;
    int attempt = 0;
    bool refreshed = false;
    std::string sentToken;  // the access token of the latest attempt
    bool cancelled = false;
    bool inFlight = false;
    HttpTransport::RequestId request = 0;
    MainLoop::TimerId timer = 0;
};

struct DBUserClient::FileUpload {
    fs::path localFile;
    std::uint64_t size = 0;
    DBUploadSessionCursor cursor;
};

struct DBUserClient::BatchUpload {
    std::vector<std::pair<fs::path, std::string>> files;
    std::vector<std::optional<DBUploadSessionCursor>> cursors;
    std::vector<std::optional<DBResult<DBMetadata>>> results;
    std::size_t next = 0;
    std::size_t running = 0;
    BatchCallback completion;
};

DBUserClient::DBUserClient(HttpTransport& transport, DBAccessTokenSource& tokens,
                           DBClientOptions options)
    : transport_(transport), tokens_(tokens), options_(std::move(options)) {}

DBUserClient::~DBUserClient() {
    alive_.reset();
    for (const auto& c : calls_) {
        if (c->timer)
            mainLoop().cancel(c->timer);
        if (c->inFlight)
            transport_.cancel(c->request);
    }
}

void DBUserClient::cancelAll() {
    auto calls = calls_;
    for (const auto& c : calls) {
        c->cancelled = true;
        if (c->inFlight) {
            transport_.cancel(c->request);  // its completion reports the cancellation
        } else if (c->timer) {
            mainLoop().cancel(c->timer);
            c->timer = 0;
            calls_.erase(c);
            mainLoop().runOnMainThread([alive = std::weak_ptr<int>(alive_), c] {
                if (alive.lock())
                    c->completion(cancelledError());
            });
        }
    }
}

void DBUserClient::call(Host host, const std::string& route, const json& arg, std::string body,
                        RawCompletion completion, fs::path responseFile) {
    auto c = std::make_shared<Call>();
    c->host = host;
    c->route = route;
    c->argument = dropbox_json::headerSafe(arg);
    c->body = std::move(body);
    c->responseFile = std::move(responseFile);
    c->completion = std::move(completion);
    c->timeoutSeconds = options_.requestTimeoutSeconds;
    calls_.insert(c);
    perform(c);
}

void DBUserClient::perform(std::shared_ptr<Call> c) {
    c->timer = 0;
    ++c->attempt;
    HttpRequest r;
    r.connectTimeoutSeconds = options_.connectTimeoutSeconds;
    r.timeoutSeconds = c->timeoutSeconds;
    r.stallSeconds = options_.stallSeconds;
    r.responseFile = c->responseFile;
    const std::string& base = c->host == Host::api       ? options_.apiBase
                              : c->host == Host::content ? options_.contentBase
                                                         : options_.notifyBase;
    r.url = base + c->route;
    if (c->host != Host::notify) {
        auto token = tokens_.accessToken();
        if (!token || token->empty()) {
            DBError e;
            e.kind = DBError::Kind::authorization;
            e.summary = "No Dropbox account is linked.";
            calls_.erase(c);
            mainLoop().runOnMainThread([alive = std::weak_ptr<int>(alive_), c, e] {
                if (alive.lock())
                    c->completion(e);
            });
            return;
        }
        r.headers.push_back("Authorization: Bearer " + *token);
        c->sentToken = *token;
    }
    if (c->host == Host::content) {
        r.headers.push_back("Dropbox-API-Arg: " + c->argument);
        // Downloads send no body and must not claim the form type curl would give them.
        r.headers.push_back(c->responseFile.empty() ? "Content-Type: application/octet-stream"
                                                    : "Content-Type:");
        r.body = c->body;
    } else {
        r.headers.push_back("Content-Type: application/json");
        r.body = c->argument;
    }
    c->inFlight = true;
    c->request =
        transport_.send(std::move(r), [alive = std::weak_ptr<int>(alive_), this, c](auto response) {
            if (alive.lock())
                finished(c, std::move(response));
        });
}

void DBUserClient::finished(std::shared_ptr<Call> c, HttpResponse response) {
    c->inFlight = false;
    if (c->cancelled) {
        calls_.erase(c);
        c->completion(cancelledError());
        return;
    }
    if (response.received() && response.status >= 200 && response.status < 300) {
        calls_.erase(c);
        c->completion(std::move(response));
        return;
    }
    DBError e = DBError::fromResponse(response);
    bool expired = e.kind == DBError::Kind::authorization &&
                   std::find(e.tags.begin(), e.tags.end(), "expired_access_token") != e.tags.end();
    if (expired && tokens_.accessToken().value_or(c->sentToken) != c->sentToken) {
        // Another call refreshed the token while this one was on its way: send it again with
        // the fresh token instead of asking for yet another one.
        --c->attempt;
        perform(c);
        return;
    }
    if (expired && !c->refreshed) {
        c->refreshed = true;
        tokens_.refreshAccessToken([alive = std::weak_ptr<int>(alive_), this, c, e](bool ok) {
            if (!alive.lock())
                return;
            if (ok && !c->cancelled) {
                --c->attempt;  // the expired token was not the server's fault
                perform(c);
            } else {
                calls_.erase(c);
                c->completion(c->cancelled ? cancelledError() : e);
            }
        });
        return;
    }
    bool transient = e.kind == DBError::Kind::rateLimited || e.kind == DBError::Kind::server ||
                     e.kind == DBError::Kind::connection;
    if (c->retry && transient && c->attempt < options_.maxAttempts) {
        double delay = e.retryAfterSeconds
                           ? std::min(*e.retryAfterSeconds, options_.maxRetryAfterSeconds)
                           : std::min(options_.firstRetrySeconds * std::pow(2.0, c->attempt - 1),
                                      options_.maxRetrySeconds);
        c->timer = mainLoop().runAfter(delay, [alive = std::weak_ptr<int>(alive_), this, c] {
            if (alive.lock())
                perform(c);
        });
        return;
    }
    calls_.erase(c);
    c->completion(e);
}

void DBUserClient::rpcJson(Host host, const std::string& route, const json& arg, std::string body,
                           std::function<void(DBResult<json>)> completion) {
    call(host, route, arg, std::move(body),
         [completion = std::move(completion)](DBResult<HttpResponse> result) {
             if (!result.ok())
                 return completion(result.error());
             auto parsed = dropbox_json::parseReply(result.value().body);
             if (!parsed.ok())
                 return completion(DBError::malformed(parsed.error().description));
             completion(std::move(parsed.value()));
         });
}

std::optional<DBMetadata> DBUserClient::parseMetadata(const json& value, DBMetadata::Kind kind) {
    if (!value.is_object())
        return std::nullopt;
    std::string tag = dropbox_json::stringMember(value, ".tag");
    if (tag == "file")
        kind = DBMetadata::Kind::file;
    else if (tag == "folder")
        kind = DBMetadata::Kind::folder;
    else if (tag == "deleted")
        kind = DBMetadata::Kind::deleted;
    else if (!tag.empty() && tag != "success")
        return std::nullopt;
    DBMetadata m;
    m.kind = kind;
    m.name = dropbox_json::stringMember(value, "name");
    m.pathDisplay = dropbox_json::stringMember(value, "path_display");
    m.pathLower = dropbox_json::stringMember(value, "path_lower");
    m.contentHash = dropbox_json::stringMember(value, "content_hash");
    if (m.name.empty())
        return std::nullopt;
    if (kind == DBMetadata::Kind::file) {
        auto size = value.find("size");
        if (size == value.end() || !size->is_number_unsigned())
            return std::nullopt;
        m.size = size->get<std::uint64_t>();
    }
    return m;
}

namespace {

// Reads the list_folder result; nullopt when an entry or the cursor is unreadable.
std::optional<DBListFolderResult> parseListing(const json& value) {
    if (!value.is_object() || !value.contains("entries") || !value["entries"].is_array())
        return std::nullopt;
    DBListFolderResult out;
    for (const auto& entry : value["entries"]) {
        if (dropbox_json::stringMember(entry, ".tag").empty())
            return std::nullopt;
        auto m = DBUserClient::parseMetadata(entry, DBMetadata::Kind::file);
        if (!m)
            return std::nullopt;
        out.entries.push_back(std::move(*m));
    }
    out.cursor = dropbox_json::stringMember(value, "cursor");
    auto more = value.find("has_more");
    out.hasMore = more != value.end() && more->is_boolean() && more->get<bool>();
    if (out.cursor.empty())
        return std::nullopt;
    return out;
}

template <class T>
std::function<void(DBResult<json>)> expecting(std::function<std::optional<T>(const json&)> parse,
                                              std::string what,
                                              std::function<void(DBResult<T>)> completion) {
    return [parse = std::move(parse), what = std::move(what),
            completion = std::move(completion)](DBResult<json> result) {
        if (!result.ok())
            return completion(result.error());
        auto value = parse(result.value());
        if (!value)
            return completion(DBError::malformed("The server's " + what + " cannot be read."));
        completion(std::move(*value));
    };
}

std::optional<DBMetadata> metadataMember(const json& value, DBMetadata::Kind kind) {
    if (!value.is_object() || !value.contains("metadata"))
        return std::nullopt;
    return DBUserClient::parseMetadata(value["metadata"], kind);
}

}  // namespace

void DBUserClient::getCurrentAccount(Callback<std::string> completion) {
    rpcJson(Host::api, "users/get_current_account", nullptr, {},
            expecting<std::string>(
                [](const json& v) -> std::optional<std::string> {
                    auto id = dropbox_json::stringMember(v, "account_id");
                    return id.empty() ? std::nullopt : std::optional(id);
                },
                "account", std::move(completion)));
}

void DBUserClient::getMetadata(const std::string& path, Callback<DBMetadata> completion) {
    rpcJson(Host::api, "files/get_metadata", json{{"path", path}}, {},
            expecting<DBMetadata>(
                [](const json& v) -> std::optional<DBMetadata> {
                    if (dropbox_json::stringMember(v, ".tag").empty())
                        return std::nullopt;
                    return parseMetadata(v, DBMetadata::Kind::file);
                },
                "metadata", std::move(completion)));
}

void DBUserClient::listFolder(const std::string& path, bool recursive,
                              Callback<DBListFolderResult> completion) {
    rpcJson(Host::api, "files/list_folder", listArguments(path, recursive), {},
            expecting<DBListFolderResult>(parseListing, "folder listing", std::move(completion)));
}

void DBUserClient::listFolderContinue(const std::string& cursor,
                                      Callback<DBListFolderResult> completion) {
    rpcJson(Host::api, "files/list_folder/continue", json{{"cursor", cursor}}, {},
            expecting<DBListFolderResult>(parseListing, "folder listing", std::move(completion)));
}

void DBUserClient::listFolderAllPages(const std::string& path, bool recursive,
                                      Callback<std::vector<DBMetadata>> completion) {
    struct Pages {
        std::vector<DBMetadata> entries;
        Callback<std::vector<DBMetadata>> completion;
        std::function<void(DBResult<DBListFolderResult>)> onPage;
    };
    auto pages = std::make_shared<Pages>();
    pages->completion = std::move(completion);
    pages->onPage = [this, weak = std::weak_ptr<Pages>(pages)](DBResult<DBListFolderResult> r) {
        auto p = weak.lock();
        if (!p)
            return;
        if (!r.ok()) {
            auto done = std::move(p->completion);
            p->onPage = nullptr;
            return done(r.error());
        }
        auto& page = r.value();
        std::move(page.entries.begin(), page.entries.end(), std::back_inserter(p->entries));
        if (page.hasMore) {
            listFolderContinue(page.cursor, [p](auto next) { p->onPage(std::move(next)); });
            return;
        }
        auto done = std::move(p->completion);
        auto entries = std::move(p->entries);
        p->onPage = nullptr;
        done(std::move(entries));
    };
    listFolder(path, recursive, [pages](auto first) { pages->onPage(std::move(first)); });
}

void DBUserClient::listFolderGetLatestCursor(const std::string& path, bool recursive,
                                             Callback<std::string> completion) {
    rpcJson(Host::api, "files/list_folder/get_latest_cursor", listArguments(path, recursive), {},
            expecting<std::string>(
                [](const json& v) -> std::optional<std::string> {
                    auto cursor = dropbox_json::stringMember(v, "cursor");
                    return cursor.empty() ? std::nullopt : std::optional(cursor);
                },
                "cursor", std::move(completion)));
}

HttpTransport::RequestId DBUserClient::listFolderLongpoll(const std::string& cursor,
                                                          int timeoutSeconds,
                                                          Callback<DBLongpollResult> completion) {
    auto c = std::make_shared<Call>();
    c->host = Host::notify;
    c->route = "files/list_folder/longpoll";
    c->argument = dropbox_json::headerSafe(json{{"cursor", cursor}, {"timeout", timeoutSeconds}});
    c->retry = false;
    // The server adds up to 90 seconds of its own to the wait.
    c->timeoutSeconds = timeoutSeconds + 120;
    c->completion = [completion = std::move(completion)](DBResult<HttpResponse> result) {
        if (!result.ok())
            return completion(result.error());
        auto parsed = dropbox_json::parseReply(result.value().body);
        if (!parsed.ok())
            return completion(DBError::malformed(parsed.error().description));
        auto changes = parsed.value().find("changes");
        if (!parsed.value().is_object() || changes == parsed.value().end() ||
            !changes->is_boolean())
            return completion(DBError::malformed("The server's poll result cannot be read."));
        DBLongpollResult out;
        out.changes = changes->get<bool>();
        auto backoff = parsed.value().find("backoff");
        if (backoff != parsed.value().end() && backoff->is_number())
            out.backoffSeconds = backoff->get<double>();
        completion(out);
    };
    calls_.insert(c);
    perform(c);
    return c->request;
}

void DBUserClient::createFolderV2(const std::string& path, Callback<DBMetadata> completion) {
    rpcJson(Host::api, "files/create_folder_v2", json{{"path", path}, {"autorename", false}}, {},
            expecting<DBMetadata>(
                [](const json& v) { return metadataMember(v, DBMetadata::Kind::folder); }, "folder",
                std::move(completion)));
}

void DBUserClient::deleteV2(const std::string& path, Callback<DBMetadata> completion) {
    rpcJson(Host::api, "files/delete_v2", json{{"path", path}}, {},
            expecting<DBMetadata>(
                [](const json& v) { return metadataMember(v, DBMetadata::Kind::file); },
                "deletion result", std::move(completion)));
}

void DBUserClient::upload(const std::string& path, std::string bytes,
                          Callback<DBMetadata> completion) {
    rpcJson(Host::content, "files/upload", commitArgument(path), std::move(bytes),
            expecting<DBMetadata>(
                [](const json& v) { return parseMetadata(v, DBMetadata::Kind::file); },
                "upload result", std::move(completion)));
}

void DBUserClient::uploadSessionStart(std::string bytes, bool close,
                                      Callback<std::string> completion) {
    rpcJson(Host::content, "files/upload_session/start", json{{"close", close}}, std::move(bytes),
            expecting<std::string>(
                [](const json& v) -> std::optional<std::string> {
                    auto id = dropbox_json::stringMember(v, "session_id");
                    return id.empty() ? std::nullopt : std::optional(id);
                },
                "upload session", std::move(completion)));
}

void DBUserClient::uploadSessionAppendV2(const DBUploadSessionCursor& cursor, std::string bytes,
                                         bool close, Callback<DBNothing> completion) {
    call(Host::content, "files/upload_session/append_v2",
         json{{"cursor", cursorArgument(cursor)}, {"close", close}}, std::move(bytes),
         [completion = std::move(completion)](DBResult<HttpResponse> result) {
             if (!result.ok())
                 return completion(result.error());
             completion(DBNothing{});
         });
}

void DBUserClient::uploadSessionFinish(const DBUploadSessionCursor& cursor, const std::string& path,
                                       std::string bytes, Callback<DBMetadata> completion) {
    rpcJson(Host::content, "files/upload_session/finish",
            json{{"cursor", cursorArgument(cursor)}, {"commit", commitArgument(path)}},
            std::move(bytes),
            expecting<DBMetadata>(
                [](const json& v) { return parseMetadata(v, DBMetadata::Kind::file); },
                "upload result", std::move(completion)));
}

void DBUserClient::uploadSessionFinishBatchV2(
    const std::vector<std::pair<DBUploadSessionCursor, std::string>>& entries,
    Callback<std::vector<DBResult<DBMetadata>>> completion) {
    json list = json::array();
    for (const auto& [cursor, path] : entries)
        list.push_back(json{{"cursor", cursorArgument(cursor)}, {"commit", commitArgument(path)}});
    std::size_t count = entries.size();
    rpcJson(Host::api, "files/upload_session/finish_batch_v2", json{{"entries", list}}, {},
            expecting<std::vector<DBResult<DBMetadata>>>(
                [count](const json& v) -> std::optional<std::vector<DBResult<DBMetadata>>> {
                    if (!v.is_object() || !v.contains("entries") || !v["entries"].is_array() ||
                        v["entries"].size() != count)
                        return std::nullopt;
                    std::vector<DBResult<DBMetadata>> out;
                    for (const auto& entry : v["entries"]) {
                        std::string tag = dropbox_json::stringMember(entry, ".tag");
                        if (tag == "failure" && entry.contains("failure")) {
                            DBError e;
                            e.kind = DBError::Kind::route;
                            e.tags = DBError::unionTags(entry["failure"]);
                            e.summary = "upload failed: " + entry["failure"].dump(-1, ' ', true);
                            out.emplace_back(std::move(e));
                            continue;
                        }
                        auto m = tag == "success" ? parseMetadata(entry, DBMetadata::Kind::file)
                                                  : std::nullopt;
                        if (!m)
                            return std::nullopt;
                        out.emplace_back(std::move(*m));
                    }
                    return out;
                },
                "batch upload result", std::move(completion)));
}

void DBUserClient::uploadToSession(std::shared_ptr<FileUpload> up,
                                   Callback<DBUploadSessionCursor> completion) {
    std::size_t chunk = std::max<std::size_t>(options_.uploadChunkBytes, 1);
    std::uint64_t offset = up->cursor.offset;
    std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk, up->size - offset));
    bool last = offset + length >= up->size;
    auto bytes = readChunk(up->localFile, offset, length);
    if (!bytes.ok()) {
        DBError e = DBError::localFile(bytes.error().description);
        mainLoop().runOnMainThread([completion = std::move(completion), e] { completion(e); });
        return;
    }
    auto next = [this, up, length, last,
                 completion = std::move(completion)](std::optional<DBError> error) mutable {
        if (error)
            return completion(*error);
        up->cursor.offset += length;
        if (last)
            return completion(up->cursor);
        uploadToSession(up, std::move(completion));
    };
    if (offset == 0) {
        uploadSessionStart(std::move(bytes.value()), last,
                           [up, next = std::move(next)](DBResult<std::string> r) mutable {
                               if (!r.ok())
                                   return next(r.error());
                               up->cursor.sessionId = r.value();
                               next(std::nullopt);
                           });
    } else {
        uploadSessionAppendV2(up->cursor, std::move(bytes.value()), last,
                              [next = std::move(next)](DBResult<DBNothing> r) mutable {
                                  next(r.ok() ? std::nullopt : std::optional(r.error()));
                              });
    }
}

void DBUserClient::uploadFile(const fs::path& localFile, const std::string& path,
                              Callback<DBMetadata> completion) {
    std::error_code ec;
    auto size = fs::file_size(localFile, ec);
    if (ec) {
        DBError e = DBError::localFile("Cannot read " + localFile.string() + ": " + ec.message());
        mainLoop().runOnMainThread([completion = std::move(completion), e] { completion(e); });
        return;
    }
    if (size <= options_.uploadChunkBytes) {
        auto bytes = readChunk(localFile, 0, static_cast<std::size_t>(size));
        if (!bytes.ok()) {
            DBError e = DBError::localFile(bytes.error().description);
            mainLoop().runOnMainThread([completion = std::move(completion), e] { completion(e); });
            return;
        }
        upload(path, std::move(bytes.value()), std::move(completion));
        return;
    }
    auto up = std::make_shared<FileUpload>();
    up->localFile = localFile;
    up->size = size;
    uploadToSession(up, [this, path, completion = std::move(completion)](
                            DBResult<DBUploadSessionCursor> r) mutable {
        if (!r.ok())
            return completion(r.error());
        uploadSessionFinish(r.value(), path, {}, std::move(completion));
    });
}

void DBUserClient::uploadFiles(const std::vector<std::pair<fs::path, std::string>>& files,
                               BatchCallback completion) {
    auto batch = std::make_shared<BatchUpload>();
    batch->files = files;
    batch->cursors.resize(files.size());
    batch->results.resize(files.size());
    batch->completion = std::move(completion);
    if (files.empty()) {
        mainLoop().runOnMainThread([batch] { batch->completion({}); });
        return;
    }
    std::size_t workers = std::min(std::max<std::size_t>(options_.parallelFiles, 1), files.size());
    for (std::size_t i = 0; i < workers; ++i)
        uploadNextOfBatch(batch);
}

void DBUserClient::uploadNextOfBatch(std::shared_ptr<BatchUpload> batch) {
    if (batch->next >= batch->files.size()) {
        if (batch->running == 0)
            finishBatches(batch, 0);
        return;
    }
    std::size_t i = batch->next++;
    ++batch->running;
    auto up = std::make_shared<FileUpload>();
    up->localFile = batch->files[i].first;
    std::error_code ec;
    up->size = fs::file_size(up->localFile, ec);
    if (ec) {
        batch->results[i] =
            DBError::localFile("Cannot read " + up->localFile.string() + ": " + ec.message());
        mainLoop().runOnMainThread([this, alive = std::weak_ptr<int>(alive_), batch] {
            if (!alive.lock())
                return;
            --batch->running;
            uploadNextOfBatch(batch);
        });
        return;
    }
    uploadToSession(up, [this, batch, i](DBResult<DBUploadSessionCursor> r) {
        if (r.ok())
            batch->cursors[i] = r.value();
        else
            batch->results[i] = r.error();
        --batch->running;
        uploadNextOfBatch(batch);
    });
}

void DBUserClient::finishBatches(std::shared_ptr<BatchUpload> batch, std::size_t from) {
    // The sessions are committed a thousand at a time, one commit after another.
    std::vector<std::size_t> indices;
    std::vector<std::pair<DBUploadSessionCursor, std::string>> entries;
    std::size_t i = from;
    for (; i < batch->files.size() && entries.size() < kFinishBatchLimit; ++i) {
        if (!batch->cursors[i])
            continue;
        indices.push_back(i);
        entries.emplace_back(*batch->cursors[i], batch->files[i].second);
    }
    if (entries.empty()) {
        std::vector<DBResult<DBMetadata>> results;
        for (auto& r : batch->results)
            results.push_back(r ? std::move(*r) : DBResult<DBMetadata>(cancelledError()));
        auto done = std::move(batch->completion);
        return done(std::move(results));
    }
    uploadSessionFinishBatchV2(entries, [this, batch, indices, end = i](auto r) {
        for (std::size_t k = 0; k < indices.size(); ++k) {
            batch->cursors[indices[k]].reset();
            if (r.ok())
                batch->results[indices[k]] = std::move(r.value()[k]);
            else
                batch->results[indices[k]] = r.error();
        }
        finishBatches(batch, end);
    });
}

void DBUserClient::download(const std::string& path, const fs::path& localFile,
                            Callback<DBMetadata> completion) {
    std::error_code ec;
    if (localFile.has_parent_path())
        fs::create_directories(localFile.parent_path(), ec);
    fs::path temporary = localFile.parent_path() /
                         ("." + localFile.filename().string() + ".download-" +
                          std::to_string(::getpid()) + "-" + std::to_string(++downloadCounter));
    call(
        Host::content, "files/download", json{{"path", path}}, {},
        [localFile, temporary, path,
         completion = std::move(completion)](DBResult<HttpResponse> result) {
            std::error_code ignored;
            auto fail = [&](DBError e) {
                fs::remove(temporary, ignored);
                completion(std::move(e));
            };
            if (!result.ok())
                return fail(result.error());
            auto header = dropbox_json::parseReply(result.value().header("dropbox-api-result"));
            std::optional<DBMetadata> m;
            if (header.ok())
                m = parseMetadata(header.value(), DBMetadata::Kind::file);
            if (!m)
                return fail(DBError::malformed("The server did not describe the download of " +
                                               path + "."));
            std::error_code sizeError;
            auto size = fs::file_size(temporary, sizeError);
            if (sizeError || size != m->size)
                return fail(DBError::malformed("The download of " + path + " arrived incomplete."));
            if (!m->contentHash.empty()) {
                auto hash = dropbox_content_hash::ofFile(temporary);
                if (!hash.ok())
                    return fail(DBError::localFile(hash.error().description));
                if (hash.value() != m->contentHash)
                    return fail(
                        DBError::malformed("The download of " + path + " arrived damaged."));
            }
            std::error_code renameError;
            fs::rename(temporary, localFile, renameError);
            if (renameError)
                return fail(DBError::localFile("Cannot write " + localFile.string() + ": " +
                                               renameError.message()));
            completion(std::move(*m));
        },
        temporary);
}

}  // namespace ravelong
