#pragma once

#include "sync/dropbox/DBUserClient.h"
#include "sync/http/HttpTransport.h"

namespace ravelong {

// Owns the connection machinery of the Dropbox back-end: one transport (one worker thread) and
// the user client that speaks through it with the token of the linked account. Build one per
// program, on the main thread, and keep it alive longer than every file system that uses it.
class DBClientsManager {
public:
    DBClientsManager(MainLoop& loop, DBAccessTokenSource& tokens, DBClientOptions options = {});

    // The client while an account is linked (the token source holds a token), else nullptr.
    DBUserClient* authorizedClient();
    HttpTransport& transport() { return transport_; }

    // Ends every transfer at quit; their completions report a cancellation.
    void cancelAll();

private:
    HttpTransport transport_;
    DBAccessTokenSource& tokens_;
    DBUserClient client_;
};

}  // namespace ravelong
