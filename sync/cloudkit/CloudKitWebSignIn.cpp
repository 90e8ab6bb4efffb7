#include "sync/cloudkit/CloudKitWebSignIn.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBLoopbackRedirect.h"

namespace ravelong {

namespace {

void answer(int fd, const char* status, const char* text) {
    std::string page =
        std::string(
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Ravelong</title>"
            "</head><body><p>") +
        text + "</p></body></html>";
    std::string out = std::string("HTTP/1.1 ") + status +
                      "\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                      "Content-Length: " +
                      std::to_string(page.size()) + "\r\n\r\n" + page;
    (void)::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
}

std::string trimmed(const std::string& text) {
    auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

Error errorOf(const CKError& e) {
    return Error{kCKErrorDomain, e.code, e.description, {}};
}

}  // namespace

CloudKitWebSignIn::CloudKitWebSignIn(MainLoop& loop, CloudKitWebServicesDatabase& database,
                                     DBSecretStore& store, OpenURL openURL, int loopbackPort)
    : loop_(loop),
      database_(database),
      store_(store),
      openURL_(std::move(openURL)),
      port_(loopbackPort) {}

CloudKitWebSignIn::~CloudKitWebSignIn() {
    alive_.reset();
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

std::string CloudKitWebSignIn::redirectURI() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::optional<std::string> CloudKitWebSignIn::tokenFromText(const std::string& text) {
    std::string t = trimmed(text);
    if (t.empty())
        return std::nullopt;
    if (t.find("ckWebAuthToken=") != std::string::npos) {
        std::string target = t.find('?') == std::string::npos ? "?" + t : t;
        // A fragment (#…) is not part of the query.
        if (auto hash = target.find('#'); hash != std::string::npos)
            target = target.substr(0, hash);
        auto token = DBLoopbackRedirect::queryValue(target, "ckWebAuthToken");
        if (!token || token->empty())
            return std::nullopt;
        return token;
    }
    // A bare token: one word of printable characters.
    for (unsigned char c : t)
        if (c <= ' ' || c >= 0x7f)
            return std::nullopt;
    if (t.find("://") != std::string::npos)
        return std::nullopt;
    return t;
}

void CloudKitWebSignIn::start(Completion completion) {
    completion_ = std::move(completion);
    database_.fetchUserRecordID(
        [this, alive = std::weak_ptr<int>(alive_)](std::optional<CKRecordID>, CKError e) {
            if (!alive.lock())
                return;
            if (e.ok())
                return finish(Status());
            if (e.code != CKErrorCode::notAuthenticated || database_.signInURL().empty())
                return finish(errorOf(e));
            waiting_ = true;
            // Where the port cannot be opened or the browser does not start, the user can still
            // open the page and paste the token.
            if (listenFd_ < 0)
                (void)listen();
            (void)openURL_(database_.signInURL());
        });
}

void CloudKitWebSignIn::paste(const std::string& text) {
    auto token = tokenFromText(text);
    if (!token)
        return finish(makeSEError(kSEErrorAuthorization,
                                  "The pasted text holds no iCloud web sign-in token."));
    received(*token);
}

void CloudKitWebSignIn::received(const std::string& token) {
    if (!waiting_)
        return;
    waiting_ = false;
    if (Status saved = store_.save(token); !saved.ok())
        return finish(saved);
    database_.fetchUserRecordID(
        [this, alive = std::weak_ptr<int>(alive_)](std::optional<CKRecordID>, CKError e) {
            if (!alive.lock())
                return;
            if (!e.ok())
                (void)store_.erase();  // a token the service refuses is of no use later
            finish(e.ok() ? Status() : Status(errorOf(e)));
        });
}

void CloudKitWebSignIn::finish(Status status) {
    waiting_ = false;
    if (auto completion = std::move(completion_)) {
        completion_ = nullptr;
        completion(std::move(status));
    }
}

Status CloudKitWebSignIn::listen() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    if (listenFd_ >= 0)
        ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    socklen_t length = sizeof address;
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 4) != 0 ||
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

void CloudKitWebSignIn::serve() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
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
        auto first = request.find(' ');
        auto second = first == std::string::npos ? first : request.find(' ', first + 1);
        std::optional<std::string> token;
        if (request.compare(0, 4, "GET ") == 0 && second != std::string::npos)
            token = DBLoopbackRedirect::queryValue(request.substr(first + 1, second - first - 1),
                                                   "ckWebAuthToken");
        if (!token || token->empty()) {
            // Not the sign-in's return (a favicon, a stray request): keep waiting.
            answer(fd, "400 Bad Request", "This is not an iCloud sign-in reply.");
            ::close(fd);
            continue;
        }
        answer(fd, "200 OK", "Ravelong has your iCloud sign-in. You can close this window.");
        ::close(fd);
        loop_.runOnMainThread([alive = std::weak_ptr<int>(alive_), this, t = *token] {
            if (alive.lock())
                received(t);
        });
        return;
    }
}

}  // namespace ravelong
