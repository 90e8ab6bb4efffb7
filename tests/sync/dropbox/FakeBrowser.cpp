#include "sync/dropbox/FakeBrowser.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "sync/dropbox/DBOAuthFlow.h"
#include "sync/http/LoopbackListener.h"

namespace ravelong::testing {

FakeBrowser::Visit FakeBrowser::open(const std::string& url, Answer answer, bool follow) {
    ++visits;
    lastURL = url;
    Visit visit;
    auto value = [&](const char* name) { return LoopbackListener::queryValue(url, name); };
    if (value("client_id") != server_.appKey || value("response_type") != "code" ||
        !value("code_challenge") || !value("state"))
        return visit;
    visit.opened = true;
    const std::string state = *value("state");
    std::string back = "?state=" + DBOAuthFlow::formEncode(state);
    if (answer == Answer::allow) {
        visit.code = "code-" + std::to_string(visits) + "-" + state.substr(0, 6);
        server_.issueCode(visit.code, *value("code_challenge"));
        back += "&code=" + DBOAuthFlow::formEncode(visit.code);
    } else {
        back += "&error=access_denied&error_description=The+user+chose+not+to+give+access.";
    }
    if (auto redirect = value("redirect_uri")) {
        visit.back = *redirect + back;
        if (follow)
            visit.redirectStatus = get(*visit.back);
    }
    return visit;
}

int FakeBrowser::get(const std::string& url) {
    const std::string prefix = "http://127.0.0.1:";
    if (url.rfind(prefix, 0) != 0)
        return 0;
    std::size_t slash = url.find('/', prefix.size());
    int port = std::stoi(url.substr(prefix.size(), slash - prefix.size()));
    std::string target = slash == std::string::npos ? "/" : url.substr(slash);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int status = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::string request =
            "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        std::string reply;
        char buffer[1024];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            reply.append(buffer, static_cast<std::size_t>(n));
        if (reply.rfind("HTTP/1.1 ", 0) == 0 && reply.size() >= 12)
            status = std::stoi(reply.substr(9, 3));
    }
    ::close(fd);
    return status;
}

}  // namespace ravelong::testing
