#include "sync/dropbox/DBError.h"

#include <algorithm>
#include <cstdlib>

#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBJson.h"

namespace ravelong {

bool DBError::hasTags(std::initializer_list<std::string_view> prefix) const {
    if (prefix.size() > tags.size())
        return false;
    std::size_t i = 0;
    for (auto tag : prefix)
        if (tags[i++] != tag)
            return false;
    return true;
}

std::vector<std::string> DBError::unionTags(const nlohmann::json& value) {
    std::vector<std::string> out;
    const nlohmann::json* at = &value;
    // Union members nest a few levels at most; the bound keeps a hostile reply from looping.
    for (int level = 0; level < 8 && at->is_object(); ++level) {
        std::string tag = dropbox_json::stringMember(*at, ".tag");
        if (tag.empty())
            break;
        out.push_back(tag);
        auto next = at->find(tag);
        if (next == at->end())
            break;
        at = &*next;
    }
    return out;
}

DBError DBError::malformed(std::string what) {
    DBError e;
    e.kind = Kind::malformedReply;
    e.summary = std::move(what);
    return e;
}

DBError DBError::localFile(std::string what) {
    DBError e;
    e.kind = Kind::local;
    e.summary = std::move(what);
    return e;
}

DBError DBError::fromResponse(const HttpResponse& response) {
    DBError e;
    e.httpStatus = response.status;
    switch (response.failure) {
        case HttpResponse::Failure::none:
            break;
        case HttpResponse::Failure::cancelled:
            e.kind = Kind::cancelled;
            e.summary = "The transfer was cancelled.";
            return e;
        case HttpResponse::Failure::tooLarge:
            return malformed("The server's reply is too large.");
        case HttpResponse::Failure::file:
            return localFile(response.failureMessage.empty() ? "A local file could not be written."
                                                             : response.failureMessage);
        case HttpResponse::Failure::connection:
        case HttpResponse::Failure::timeout:
            e.kind = Kind::connection;
            e.summary = response.failureMessage;
            return e;
    }

    std::string retryAfter = response.header("retry-after");
    if (!retryAfter.empty()) {
        char* end = nullptr;
        double seconds = std::strtod(retryAfter.c_str(), &end);
        if (end != retryAfter.c_str() && seconds >= 0)
            e.retryAfterSeconds = seconds;
    }
    long s = response.status;
    e.kind = s == 507               ? Kind::route
             : s == 401 || s == 403 ? Kind::authorization
             : s == 400             ? Kind::badRequest
             : s == 429             ? Kind::rateLimited
             : s >= 500             ? Kind::server
             : s == 409             ? Kind::route
                                    : Kind::malformedReply;
    // Error bodies are JSON when the server says so, plain text otherwise (400 always is).
    bool json = response.header("content-type").find("json") != std::string::npos;
    if (json) {
        auto parsed = dropbox_json::parseReply(response.body, 1u << 20);
        if (parsed.ok()) {
            e.summary = dropbox_json::stringMember(parsed.value(), "error_summary");
            auto error = parsed.value().find("error");
            if (error != parsed.value().end()) {
                e.tags = unionTags(*error);
                if (error->is_object() && error->contains("reason"))
                    e.tags = unionTags((*error)["reason"]);
                auto after = error->is_object() ? error->find("retry_after") : error->end();
                if (after != error->end() && after->is_number() && !e.retryAfterSeconds)
                    e.retryAfterSeconds = after->get<double>();
            }
        } else if (e.kind == Kind::route) {
            return malformed("The server's error reply cannot be read: " +
                             parsed.error().description);
        }
    } else {
        e.summary = response.body.substr(0, 300);
    }
    // 507 is a full account, not a passing fault: it is reported, not retried.
    if (s == 507 && e.tags.empty())
        e.tags = {"insufficient_space"};
    if (e.kind == Kind::route && e.tags.empty())
        return malformed("The server's error reply names no error.");
    if (e.summary.empty())
        e.summary = "HTTP status " + std::to_string(s);
    return e;
}

Error DBError::toSEError() const {
    int code = kSEErrorUnknown;
    std::string text;
    switch (kind) {
        case Kind::connection:
            code = kSEErrorNoConnection;
            text = "Dropbox cannot be reached.";
            break;
        case Kind::cancelled:
            text = "The Dropbox transfer was cancelled.";
            break;
        case Kind::authorization:
            code = kSEErrorAuthorization;
            text = "Dropbox refused the authorisation; link the account again.";
            break;
        case Kind::rateLimited:
            code = kSEErrorNoConnection;
            text = "Dropbox is busy; try again later.";
            break;
        case Kind::server:
            code = kSEErrorNoConnection;
            text = "Dropbox is not answering properly; try again later.";
            break;
        case Kind::badRequest:
            text = "Dropbox could not take the request.";
            break;
        case Kind::route:
            // Upload errors carry the write failure in a struct, so look at the summary too.
            if (std::find(tags.begin(), tags.end(), "insufficient_space") != tags.end() ||
                summary.find("insufficient_space") != std::string::npos)
                text = "Your Dropbox is full.";
            else if (tags.size() >= 2 && tags[1] == "not_found")
                text = "There is no such file or folder in Dropbox.";
            else if (tags.size() >= 2 && tags[1] == "conflict")
                text = "Something else already stands at that place in Dropbox.";
            else
                text = "Dropbox refused the operation.";
            break;
        case Kind::malformedReply:
            text = "Dropbox sent a reply that cannot be read.";
            break;
        case Kind::local:
            text = "A local file could not be read or written.";
            break;
    }
    return Error{kSEErrorDomain, code, text, summary};
}

}  // namespace ravelong
