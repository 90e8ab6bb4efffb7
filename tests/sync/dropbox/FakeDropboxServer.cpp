#include "sync/dropbox/FakeDropboxServer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "sync/dropbox/DBContentHash.h"
#include "sync/dropbox/DBOAuthFlow.h"
#include "sync/http/LoopbackListener.h"

namespace ravelong::testing {

using json = nlohmann::json;

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string parentOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

void sleepFor(double seconds) {
    if (seconds > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace

FakeReply FakeReply::routeError(const std::vector<std::string>& tags) {
    nlohmann::json error = nlohmann::json::object();
    nlohmann::json* at = &error;
    std::string summary;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        (*at)[".tag"] = tags[i];
        summary += tags[i] + "/";
        if (i + 1 < tags.size()) {
            (*at)[tags[i]] = nlohmann::json::object();
            at = &(*at)[tags[i]];
        }
    }
    return json(409, {{"error_summary", summary + ".."}, {"error", error}});
}

FakeDropboxServer::FakeDropboxServer()
    : server_([this](TestHttpServer::Request r) {
          sleepFor(latencySeconds);
          std::string route = r.target.rfind("/2/", 0) == 0 ? r.target.substr(3) : r.target;
          return handle(Request{std::move(r.method), std::move(route), std::move(r.body),
                                std::move(r.headers)});
      }) {}

FakeDropboxServer::~FakeDropboxServer() {
    stop_ = true;
    {
        std::lock_guard lock(mutex_);
        changedSignal_.notify_all();
    }
    server_.stop();
}

DBClientOptions FakeDropboxServer::clientOptions() const {
    DBClientOptions o;
    std::string base = "http://127.0.0.1:" + std::to_string(port()) + "/2/";
    o.apiBase = o.contentBase = o.notifyBase = base;
    o.connectTimeoutSeconds = 5;
    o.requestTimeoutSeconds = 10;
    o.stallSeconds = 10;
    return o;
}

void FakeDropboxServer::setAccessToken(std::string token) {
    std::lock_guard lock(mutex_);
    token_ = std::move(token);
}

void FakeDropboxServer::acceptAccessToken(std::string token) {
    std::lock_guard lock(mutex_);
    otherTokens_.insert(std::move(token));
}

void FakeDropboxServer::setExpiredToken(std::string token) {
    std::lock_guard lock(mutex_);
    expiredToken_ = std::move(token);
}

void FakeDropboxServer::makeParents(const std::string& path) {
    for (std::string p = parentOf(path); !p.empty(); p = parentOf(p)) {
        auto& node = tree_[lower(p)];
        if (node.display.empty()) {
            node.display = p;
            node.folder = true;
        }
    }
}

void FakeDropboxServer::changed() {
    ++revision_;
    changedSignal_.notify_all();
}

void FakeDropboxServer::addFile(const std::string& path, const std::string& bytes) {
    std::lock_guard lock(mutex_);
    makeParents(path);
    tree_[lower(path)] = Node{path, false, bytes};
    changed();
}

void FakeDropboxServer::addFolder(const std::string& path) {
    std::lock_guard lock(mutex_);
    makeParents(path);
    tree_[lower(path)] = Node{path, true, {}};
    changed();
}

std::optional<std::string> FakeDropboxServer::fileContents(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = tree_.find(lower(path));
    if (it == tree_.end() || it->second.folder)
        return std::nullopt;
    return it->second.bytes;
}

bool FakeDropboxServer::folderExists(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = tree_.find(lower(path));
    return it != tree_.end() && it->second.folder;
}

std::size_t FakeDropboxServer::fileCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(tree_.begin(), tree_.end(), [](auto& e) { return !e.second.folder; }));
}

std::vector<std::string> FakeDropboxServer::apiArgHeaders(const std::string& route) const {
    std::lock_guard lock(mutex_);
    auto it = argHeaders_.find(route);
    return it == argHeaders_.end() ? std::vector<std::string>{} : it->second;
}

void FakeDropboxServer::issueCode(const std::string& code, const std::string& challenge) {
    std::lock_guard lock(mutex_);
    codes_[code] = challenge;
}

std::string FakeDropboxServer::accessToken() const {
    std::lock_guard lock(mutex_);
    return token_;
}

FakeReply FakeDropboxServer::oauthToken(const Request& request) {
    std::lock_guard lock(mutex_);
    ++counts_["oauth2/token"];
    std::map<std::string, std::string> form;
    std::string target = "/?" + request.body;
    for (const char* key :
         {"grant_type", "code", "client_id", "code_verifier", "refresh_token", "redirect_uri"})
        if (auto value = LoopbackListener::queryValue(target, key))
            form[key] = *value;
    auto invalidGrant = [] {
        return FakeReply::json(400, {{"error", "invalid_grant"},
                                     {"error_description", "code doesn't exist or has expired"}});
    };
    if (request.headers.count("content-type") == 0 ||
        request.headers.at("content-type") != "application/x-www-form-urlencoded" ||
        form["client_id"] != appKey)
        return FakeReply{400, {}, "bad token request"};
    if (form["grant_type"] == "authorization_code") {
        auto it = codes_.find(form["code"]);
        if (it == codes_.end() ||
            DBOAuthFlow::codeChallengeFor(form["code_verifier"]) != it->second)
            return invalidGrant();
        codes_.erase(it);
        return FakeReply::json(200, {{"access_token", token_},
                                     {"refresh_token", refreshToken},
                                     {"expires_in", 14400},
                                     {"token_type", "bearer"},
                                     {"account_id", accountId}});
    }
    if (form["grant_type"] == "refresh_token" && form["refresh_token"] == refreshToken) {
        token_ = "fresh-" + std::to_string(nextId_++);
        return FakeReply::json(200, {{"access_token", token_}, {"expires_in", 14400}});
    }
    return invalidGrant();
}

FakeReply FakeDropboxServer::handle(const Request& request) {
    if (request.route == "/oauth2/token")
        return oauthToken(request);
    std::string argText;
    {
        std::lock_guard lock(mutex_);
        auto auth = request.headers.find("authorization");
        const std::string given = auth == request.headers.end() ? "" : auth->second;
        if (auto fault =
                injectedFault(request.route, given.starts_with("Bearer ") ? given.substr(7) : ""))
            return *fault;
        if (request.route != "files/list_folder/longpoll") {
            if (!expiredToken_.empty() && given == "Bearer " + expiredToken_)
                return FakeReply::json(401, {{"error_summary", "expired_access_token/.."},
                                             {"error", {{".tag", "expired_access_token"}}}});
            if (given != "Bearer " + token_ &&
                !(given.starts_with("Bearer ") && otherTokens_.count(given.substr(7))))
                return FakeReply::json(401, {{"error_summary", "invalid_access_token/.."},
                                             {"error", {{".tag", "invalid_access_token"}}}});
        }
        auto arg = request.headers.find("dropbox-api-arg");
        if (arg != request.headers.end()) {
            argText = arg->second;
            argHeaders_[request.route].push_back(argText);
        }
    }
    bool content = request.route == "files/upload" || request.route == "files/download" ||
                   request.route.rfind("files/upload_session/", 0) == 0;
    if (request.route == "files/upload_session/finish_batch_v2")
        content = false;
    auto type = request.headers.count("content-type") ? request.headers.at("content-type") : "";
    if (!content) {
        if (type != "application/json")
            return FakeReply{400, {}, "Bad HTTP \"Content-Type\" header: \"" + type + "\"."};
        argText = request.body;
    } else if (request.route == "files/download" ? !type.empty()
                                                 : type != "application/octet-stream") {
        return FakeReply{400, {}, "Bad HTTP \"Content-Type\" header: \"" + type + "\"."};
    }
    auto arg = json::parse(argText, nullptr, false);
    if (arg.is_discarded())
        return FakeReply{400, {}, "Error in call: could not decode input as JSON"};
    return altered(request.route, route(request.route, arg, request));
}

json FakeDropboxServer::metadata(const Node& node) const {
    json m{{".tag", node.folder ? "folder" : "file"},
           {"name", nameOf(node.display)},
           {"path_display", node.display},
           {"path_lower", lower(node.display)},
           {"id", "id:" + std::to_string(std::hash<std::string>{}(lower(node.display)))}};
    if (!node.folder) {
        m["size"] = node.bytes.size();
        m["content_hash"] = dropbox_content_hash::ofBytes(node.bytes);
        m["rev"] = "015f" + std::to_string(revision_);
    }
    return m;
}

std::optional<FakeReply> FakeDropboxServer::commit(const std::string& path,
                                                   const std::string& bytes, const json& arg,
                                                   json& metadataOut) {
    auto key = lower(path);
    auto it = tree_.find(key);
    std::string mode = arg.value("mode", json("add")).is_string()
                           ? arg.value("mode", json("add")).get<std::string>()
                           : "update";
    if (it != tree_.end() && (it->second.folder || (mode == "add" && it->second.bytes != bytes)))
        return FakeReply::json(
            409, {{"error_summary", "path/conflict/file/.."},
                  {"error",
                   {{".tag", "path"}, {"reason", {{".tag", "conflict"}, {"conflict", "file"}}}}}});
    std::uint64_t used = 0;
    for (auto& [k, node] : tree_)
        if (k != key)
            used += node.bytes.size();
    if (used + bytes.size() > quotaBytes)
        return FakeReply::json(
            409, {{"error_summary", "path/insufficient_space/.."},
                  {"error", {{".tag", "path"}, {"reason", {{".tag", "insufficient_space"}}}}}});
    makeParents(path);
    Node& node = tree_[key];
    node = Node{path, false, bytes};
    changed();
    metadataOut = metadata(node);
    metadataOut.erase(".tag");
    return std::nullopt;
}

FakeReply FakeDropboxServer::route(const std::string& name, const json& arg,
                                   const Request& request) {
    std::unique_lock lock(mutex_);
    auto pathArg = [&]() { return arg.is_object() ? arg.value("path", std::string()) : ""; };
    auto notFound = [](const char* tag) { return FakeReply::routeError({tag, "not_found"}); };

    if (name == "users/get_current_account")
        return FakeReply::json(200, {{"account_id", accountId},
                                     {"name", {{"display_name", "Franz Ferdinand"}}},
                                     {"email", "franz@example.com"}});
    if (name == "files/get_metadata") {
        std::string path = pathArg();
        if (path.empty())
            return FakeReply{400, {}, "Error in call: the root folder is unsupported."};
        auto it = tree_.find(lower(path));
        if (it == tree_.end())
            return notFound("path");
        return FakeReply::json(200, metadata(it->second));
    }
    if (name == "files/list_folder" || name == "files/list_folder/get_latest_cursor") {
        std::string path = pathArg();
        std::string key = lower(path);
        if (!path.empty()) {
            auto it = tree_.find(key);
            if (it == tree_.end())
                return notFound("path");
            if (!it->second.folder)
                return FakeReply::routeError({"path", "not_folder"});
        }
        if (name == "files/list_folder/get_latest_cursor")
            return FakeReply::json(200, {{"cursor", "rev-" + std::to_string(revision_)}});
        bool recursive = arg.value("recursive", false);
        std::vector<json> entries;
        for (const auto& [k, node] : tree_) {
            bool inside = key.empty() ? true : k.rfind(key + "/", 0) == 0 || k == key;
            if (!inside)
                continue;
            bool direct = lower(parentOf(node.display)) == key;
            if (k == key ? recursive : (recursive || direct))
                entries.push_back(metadata(node));
        }
        std::string cursor = "page-" + std::to_string(nextId_++);
        pendingPages_[cursor] = std::move(entries);
        lock.unlock();
        return route("files/list_folder/continue", json{{"cursor", cursor}}, request);
    }
    if (name == "files/list_folder/continue") {
        std::string cursor = arg.value("cursor", std::string());
        auto it = pendingPages_.find(cursor);
        if (it == pendingPages_.end())
            return FakeReply::routeError({"reset"});
        std::size_t count = std::min<std::size_t>(listPageSize, it->second.size());
        json page = json::array();
        for (std::size_t i = 0; i < count; ++i)
            page.push_back(std::move(it->second[i]));
        it->second.erase(it->second.begin(),
                         it->second.begin() + static_cast<std::ptrdiff_t>(count));
        bool more = !it->second.empty();
        std::string next = "page-" + std::to_string(nextId_++);
        if (more)
            pendingPages_[next] = std::move(it->second);
        pendingPages_.erase(cursor);
        return FakeReply::json(200, {{"entries", page}, {"cursor", next}, {"has_more", more}});
    }
    if (name == "files/list_folder/longpoll") {
        std::string cursor = arg.value("cursor", std::string());
        if (cursor.rfind("rev-", 0) != 0)
            return FakeReply::routeError({"reset"});
        std::uint64_t seen = std::stoull(cursor.substr(4));
        double timeout = arg.value("timeout", 30.0);
        bool changes = changedSignal_.wait_for(lock, std::chrono::duration<double>(timeout),
                                               [&] { return stop_ || revision_ > seen; });
        json result{{"changes", changes && !stop_}};
        if (longpollBackoff)
            result["backoff"] = *longpollBackoff;
        return FakeReply::json(200, result);
    }
    if (name == "files/create_folder_v2") {
        std::string path = pathArg();
        auto it = tree_.find(lower(path));
        if (it != tree_.end())
            return FakeReply::routeError(
                {"path", "conflict", it->second.folder ? "folder" : "file"});
        makeParents(path);
        tree_[lower(path)] = Node{path, true, {}};
        changed();
        return FakeReply::json(200, {{"metadata", metadata(tree_[lower(path)])}});
    }
    if (name == "files/delete_v2") {
        std::string path = pathArg();
        std::string key = lower(path);
        auto it = tree_.find(key);
        if (it == tree_.end())
            return notFound("path_lookup");
        json m = metadata(it->second);
        for (auto i = tree_.begin(); i != tree_.end();)
            i = i->first == key || i->first.rfind(key + "/", 0) == 0 ? tree_.erase(i)
                                                                     : std::next(i);
        changed();
        return FakeReply::json(200, {{"metadata", m}});
    }
    if (name == "files/upload") {
        json m;
        if (auto error = commit(pathArg(), request.body, arg, m))
            return *error;
        return FakeReply::json(200, m);
    }
    if (name == "files/upload_session/start") {
        std::string id = "session-" + std::to_string(nextId_++);
        sessions_[id] = {request.body, arg.value("close", false)};
        return FakeReply::json(200, {{"session_id", id}});
    }
    auto sessionOf = [&](const json& cursor) -> std::pair<std::string, FakeReply> {
        std::string id = cursor.value("session_id", std::string());
        auto it = sessions_.find(id);
        if (it == sessions_.end())
            return {"", FakeReply::routeError({"lookup_failed", "not_found"})};
        if (cursor.value("offset", std::uint64_t(0)) != it->second.first.size())
            return {"", FakeReply::routeError({"lookup_failed", "incorrect_offset"})};
        return {id, {}};
    };
    if (name == "files/upload_session/append_v2") {
        auto [id, error] = sessionOf(arg.value("cursor", json::object()));
        if (id.empty())
            return error;
        if (sessions_[id].second)
            return FakeReply::routeError({"closed"});
        sessions_[id].first += request.body;
        sessions_[id].second = arg.value("close", false);
        return FakeReply::json(200, nullptr);
    }
    if (name == "files/upload_session/finish") {
        auto [id, error] = sessionOf(arg.value("cursor", json::object()));
        if (id.empty())
            return error;
        json m;
        json commitArg = arg.value("commit", json::object());
        auto bytes = sessions_[id].first + request.body;
        sessions_.erase(id);
        if (auto failure = commit(commitArg.value("path", std::string()), bytes, commitArg, m))
            return *failure;
        return FakeReply::json(200, m);
    }
    if (name == "files/upload_session/finish_batch_v2") {
        json results = json::array();
        if (!arg.contains("entries") || arg["entries"].size() > 1000)
            return FakeReply{400, {}, "Error in call: too many entries"};
        for (const auto& entry : arg["entries"]) {
            auto [id, error] = sessionOf(entry.value("cursor", json::object()));
            if (id.empty() || !sessions_[id].second) {
                results.push_back(
                    {{".tag", "failure"},
                     {"failure",
                      {{".tag", "lookup_failed"}, {"lookup_failed", {{".tag", "not_closed"}}}}}});
                continue;
            }
            json m;
            json commitArg = entry.value("commit", json::object());
            auto bytes = sessions_[id].first;
            sessions_.erase(id);
            if (auto failure =
                    commit(commitArg.value("path", std::string()), bytes, commitArg, m)) {
                auto body = json::parse(failure->body);
                results.push_back({{".tag", "failure"}, {"failure", body["error"]}});
                continue;
            }
            m[".tag"] = "success";
            results.push_back(m);
        }
        return FakeReply::json(200, {{"entries", results}});
    }
    if (name == "files/download") {
        auto it = tree_.find(lower(pathArg()));
        if (it == tree_.end() || it->second.folder)
            return it == tree_.end() ? notFound("path")
                                     : FakeReply::routeError({"path", "not_file"});
        json m = metadata(it->second);
        m.erase(".tag");
        FakeReply r;
        r.headers.emplace_back("Content-Type", "application/octet-stream");
        r.headers.emplace_back("Dropbox-API-Result", m.dump(-1, ' ', true));
        r.body = it->second.bytes;
        return r;
    }
    return FakeReply{400, {}, "Unknown API function: \"" + name + "\""};
}

}  // namespace ravelong::testing
