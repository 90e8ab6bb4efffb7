#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Error.h"
#include "sync/http/HttpTransport.h"

namespace ravelong {

// Why a Dropbox call failed, decoded from the transfer and the reply.
struct DBError {
    enum class Kind {
        connection,      // no reply: refused, dropped, timed out
        cancelled,       // stopped by us (at quit)
        authorization,   // 401/403: the token is missing, expired or revoked
        badRequest,      // 400: the server could not take what we sent
        rateLimited,     // 429, once retrying gave up
        server,          // 5xx, once retrying gave up
        route,           // 409: the route's own error union (tags)
        malformedReply,  // a reply we cannot read (not JSON, too large, too deep, missing fields)
        local,           // a local file could not be read or written
    };

    Kind kind = Kind::connection;
    long httpStatus = 0;
    // The route error's tags from the outside in: {"path", "not_found"} for
    // {".tag": "path", "path": {".tag": "not_found"}}.
    std::vector<std::string> tags;
    std::string summary;  // the server's error_summary, or our own description
    std::optional<double> retryAfterSeconds;

    // True when the tags begin with these ({"path"} matches every path error).
    bool hasTags(std::initializer_list<std::string_view> prefix) const;
    // The error as the synchronisation engine sees it (kSEErrorDomain).
    Error toSEError() const;

    // Decodes a reply that is not a success, or a transfer that failed.
    static DBError fromResponse(const HttpResponse& response);
    static DBError malformed(std::string what);
    static DBError localFile(std::string what);
    // The tags of a union value: {".tag": "a", "a": {".tag": "b"}} gives {"a", "b"}.
    static std::vector<std::string> unionTags(const nlohmann::json& value);
};

}  // namespace ravelong
