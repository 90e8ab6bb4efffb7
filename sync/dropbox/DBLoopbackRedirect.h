#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "foundation/Error.h"
#include "foundation/MainLoop.h"

namespace ravelong {

// The end of the browser sign-in: listens on 127.0.0.1 (a free port, never another interface)
// for the one redirect that carries the authorisation code, answers the browser with a short
// page, and hands the code to the main loop. A redirect whose state differs from the sign-in's
// is refused (a page of another site may try to push its own code). The code is not logged.
//
// open() fails when the port cannot be opened (a sandbox that forbids it); the user then pastes
// the code instead. Destroying the object stops listening; the completion then never runs.
class DBLoopbackRedirect {
public:
    using Completion = std::function<void(Result<std::string> code)>;

    // `preferredPort`: the port tried first (an app registers its redirect address with the
    // service, port included); a free one when it is taken or 0.
    DBLoopbackRedirect(MainLoop& loop, std::string expectedState, int preferredPort = 0);
    ~DBLoopbackRedirect();
    DBLoopbackRedirect(const DBLoopbackRedirect&) = delete;
    DBLoopbackRedirect& operator=(const DBLoopbackRedirect&) = delete;

    // Starts listening; completion gets the code, or the error the redirect carried.
    Status open(Completion completion);
    // "http://127.0.0.1:PORT/" once open.
    std::string redirectURI() const;

    // The value of a query parameter of a request target ("/?code=a&state=b"), percent-decoded.
    static std::optional<std::string> queryValue(const std::string& target,
                                                 const std::string& name);

private:
    void serve();

    MainLoop& loop_;
    std::string state_;
    Completion completion_;
    int listenFd_ = -1;
    int preferredPort_ = 0;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::thread thread_;
};

}  // namespace ravelong
