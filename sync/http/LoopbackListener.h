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

// The end of a sign-in in the browser: listens on 127.0.0.1 (never another interface) for the one
// request the service sends the browser back with, answers it with a short page and hands what
// it carried to the main loop. Requests that are not that return (a favicon, a stray or forged
// request) are refused and the listener keeps waiting.
//
// open() fails when the port cannot be opened (a sandbox that forbids it); the user then pastes
// what the browser shows instead. Destroying the listener stops it; the completion then never
// runs.
class LoopbackListener {
public:
    // The sign-in's return, recognised: the text of the page the browser shows and what is
    // handed to the completion.
    struct Accepted {
        std::string page;
        Result<std::string> outcome;
    };
    // Looks at the target ("/?code=a&state=b") of each GET request, on the listener's thread;
    // nullopt refuses the request.
    using Inspect = std::function<std::optional<Accepted>(const std::string& target)>;
    using Completion = std::function<void(Result<std::string>)>;

    explicit LoopbackListener(MainLoop& loop) : loop_(loop) {}
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    // Starts listening on `port` (0: any free one); with `anyPortIfTaken` a free port is taken
    // when `port` is in use. `refusal` is the page text of a refused request. Call once.
    Status open(int port, bool anyPortIfTaken, std::string refusal, Inspect inspect,
                Completion completion);
    bool listening() const { return listenFd_ >= 0; }
    int port() const { return port_; }
    // "http://127.0.0.1:PORT/" once open.
    std::string redirectURI() const;

    // The value of a query parameter of a request target ("/?code=a&state=b"), percent-decoded.
    static std::optional<std::string> queryValue(const std::string& target,
                                                 const std::string& name);

private:
    void serve();

    MainLoop& loop_;
    std::string refusal_;
    Inspect inspect_;
    Completion completion_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::thread thread_;
};

}  // namespace ravelong
