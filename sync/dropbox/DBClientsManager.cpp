#include "sync/dropbox/DBClientsManager.h"

namespace ravelong {

DBClientsManager::DBClientsManager(MainLoop& loop, DBAccessTokenSource& tokens,
                                   DBClientOptions options)
    : transport_(loop), tokens_(tokens), client_(transport_, tokens, std::move(options)) {}

DBUserClient* DBClientsManager::authorizedClient() {
    auto token = tokens_.accessToken();
    return token && !token->empty() ? &client_ : nullptr;
}

void DBClientsManager::cancelAll() {
    client_.cancelAll();
    transport_.cancelAll();
}

}  // namespace ravelong
