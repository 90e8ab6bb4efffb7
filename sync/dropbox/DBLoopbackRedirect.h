#pragma once

#include <functional>
#include <string>

#include "foundation/Error.h"
#include "foundation/MainLoop.h"
#include "sync/http/LoopbackListener.h"

namespace ravelong {

// The end of the Dropbox sign-in in the browser: the loopback listener waiting for the one
// redirect that carries the authorisation code. A redirect whose state differs from the
// sign-in's is refused (a page of another site may try to push its own code). The code is not
// logged. Destroying the object stops listening; the completion then never runs.
class DBLoopbackRedirect {
public:
    using Completion = LoopbackListener::Completion;

    // `preferredPort`: the port tried first (an app registers its redirect address with the
    // service, port included); a free one when it is taken or 0.
    DBLoopbackRedirect(MainLoop& loop, std::string expectedState, int preferredPort = 0)
        : listener_(loop), state_(std::move(expectedState)), preferredPort_(preferredPort) {}

    // Starts listening; completion gets the code, or the error the redirect carried.
    Status open(Completion completion);
    // "http://127.0.0.1:PORT/" once open.
    std::string redirectURI() const { return listener_.redirectURI(); }

private:
    LoopbackListener listener_;
    const std::string state_;
    int preferredPort_;
};

}  // namespace ravelong
