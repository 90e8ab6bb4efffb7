#include "sync/http/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sync/SECloudFileSystem.h"

namespace ravelong {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void reply(int fd, const char* status, const std::string& text) {
    std::string page =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Ravelong</title>"
        "</head><body><p>" +
        text + "</p></body></html>";
    std::string out = std::string("HTTP/1.1 ") + status +
                      "\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                      "Content-Length: " +
                      std::to_string(page.size()) + "\r\n\r\n" + page;
    (void)::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
}

}  // namespace

LoopbackListener::~LoopbackListener() {
    alive_.reset();
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

std::string LoopbackListener::redirectURI() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::optional<std::string> LoopbackListener::queryValue(const std::string& target,
                                                        const std::string& name) {
    auto question = target.find('?');
    if (question == std::string::npos)
        return std::nullopt;
    std::size_t at = question + 1;
    while (at <= target.size()) {
        std::size_t end = target.find('&', at);
        if (end == std::string::npos)
            end = target.size();
        std::string pair = target.substr(at, end - at);
        auto equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            std::string raw = equals == std::string::npos ? "" : pair.substr(equals + 1);
            std::string value;
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '+') {
                    value.push_back(' ');
                } else if (raw[i] == '%' && i + 2 < raw.size() + 0 && hexValue(raw[i + 1]) >= 0 &&
                           hexValue(raw[i + 2]) >= 0) {
                    value.push_back(
                        static_cast<char>(hexValue(raw[i + 1]) * 16 + hexValue(raw[i + 2])));
                    i += 2;
                } else {
                    value.push_back(raw[i]);
                }
            }
            return value;
        }
        at = end + 1;
    }
    return std::nullopt;
}

Status LoopbackListener::open(int port, bool anyPortIfTaken, std::string refusal, Inspect inspect,
                              Completion completion) {
    refusal_ = std::move(refusal);
    inspect_ = std::move(inspect);
    completion_ = std::move(completion);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    auto bindTo = [this](int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        return ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    };
    if (listenFd_ >= 0 && port != 0) {
        // The registered port again soon after the last sign-in, whose connection may linger.
        int on = 1;
        ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const bool bound =
        listenFd_ >= 0 && (bindTo(port) || (port != 0 && anyPortIfTaken && bindTo(0)));
    if (!bound || ::listen(listenFd_, 4) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Error e = makeSEError(kSEErrorNoConnection,
                              std::string("Cannot wait for the browser: ") + std::strerror(errno));
        if (listenFd_ >= 0)
            ::close(listenFd_);
        listenFd_ = -1;
        return e;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
    return Status();
}

void LoopbackListener::serve() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // Read the request line; a browser sends it at once, so a short wait is enough.
        std::string request;
        char buffer[4096];
        for (int rounds = 0; rounds < 50 && request.find("\r\n") == std::string::npos &&
                             request.size() < 16384 && !stop_;
             ++rounds) {
            pollfd c{fd, POLLIN, 0};
            if (::poll(&c, 1, 100) <= 0)
                continue;
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        auto lineEnd = request.find("\r\n");
        auto first = request.find(' ');
        auto second = first == std::string::npos ? first : request.find(' ', first + 1);
        std::optional<Accepted> accepted;
        if (lineEnd != std::string::npos && second != std::string::npos && second < lineEnd &&
            request.compare(0, 4, "GET ") == 0)
            accepted = inspect_(request.substr(first + 1, second - first - 1));
        if (!accepted) {
            reply(fd, "400 Bad Request", refusal_);
            ::close(fd);
            continue;
        }
        reply(fd, "200 OK", accepted->page);
        ::close(fd);
        loop_.runOnMainThread(
            [alive = std::weak_ptr<int>(alive_), this, outcome = std::move(accepted->outcome)] {
                if (alive.lock() && completion_)
                    completion_(outcome);
            });
        return;
    }
}

}  // namespace ravelong
