#pragma once

#include <optional>
#include <string>

#include "sync/dropbox/FakeDropboxServer.h"

namespace ravelong::testing {

// Plays the user's browser and Dropbox's sign-in page: the page of an authorisation address
// gets a code for its PKCE challenge from the fake server, then the browser goes back to the
// redirect the address names (when told to follow it) or leaves the code for the user to paste.
class FakeBrowser {
public:
    enum class Answer { allow, deny };

    explicit FakeBrowser(FakeDropboxServer& server) : server_(server) {}

    // What one visit of a sign-in page came to.
    struct Visit {
        bool opened = false;              // the address was a sign-in page of the app key
        std::string code;                 // issued for the page ("" when denied)
        std::optional<std::string> back;  // the redirect address with the code and state
        int redirectStatus = 0;           // the program's answer, when the redirect was followed
    };

    // Opens `url`; follows the redirect when `follow` and the page names one.
    Visit open(const std::string& url, Answer answer = Answer::allow, bool follow = true);

    // A blocking GET of a 127.0.0.1 address; the HTTP status, 0 when nothing answered.
    static int get(const std::string& url);

    int visits = 0;
    std::string lastURL;

private:
    FakeDropboxServer& server_;
};

}  // namespace ravelong::testing
