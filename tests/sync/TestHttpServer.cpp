#include "sync/TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>

namespace ravelong::testing {

namespace {

bool sendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

const char* reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        case 409:
            return "Conflict";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

}  // namespace

void FakeServiceFaults::failNext(const std::string& route, FakeReply reply, int times) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < times; ++i)
        faults_[route].push_back(reply);
}

void FakeServiceFaults::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void FakeServiceFaults::alterNext(const std::string& route, std::function<void(FakeReply&)> alter) {
    std::lock_guard lock(mutex_);
    alterations_[route] = std::move(alter);
}

void FakeServiceFaults::setReachable(const std::string& token, bool reachable) {
    std::lock_guard lock(mutex_);
    if (reachable)
        cutOffTokens_.erase(token);
    else
        cutOffTokens_.insert(token);
}

int FakeServiceFaults::requestCount(const std::string& route) const {
    std::lock_guard lock(mutex_);
    auto it = counts_.find(route);
    return it == counts_.end() ? 0 : it->second;
}

std::optional<FakeReply> FakeServiceFaults::injectedFault(const std::string& route,
                                                          const std::string& token) {
    ++counts_[route];
    if (!token.empty() && cutOffTokens_.count(token)) {
        FakeReply lost;
        lost.drop = true;
        return lost;
    }
    auto faults = faults_.find(route);
    if (faults == faults_.end() || faults->second.empty())
        return std::nullopt;
    FakeReply reply = faults->second.front();
    faults->second.erase(faults->second.begin());
    return reply;
}

FakeReply FakeServiceFaults::altered(const std::string& route, FakeReply reply) {
    std::lock_guard lock(mutex_);
    auto alter = alterations_.find(route);
    if (alter != alterations_.end()) {
        alter->second(reply);
        alterations_.erase(alter);
    }
    return reply;
}

FakeReply FakeReply::json(int status, const nlohmann::json& body) {
    FakeReply r;
    r.status = status;
    r.headers.emplace_back("Content-Type", "application/json");
    r.body = body.dump();
    return r;
}

TestHttpServer::TestHttpServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 128) != 0)
        throw std::runtime_error("the test HTTP server cannot listen");
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

void TestHttpServer::stop() {
    if (stop_.exchange(true))
        return;
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    ::close(listenFd_);
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(threadsMutex_);
        for (int fd : connections_)
            ::shutdown(fd, SHUT_RDWR);
        threads.swap(threads_);
    }
    for (auto& t : threads)
        t.join();
}

void TestHttpServer::acceptLoop() {
    while (!stop_) {
        int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            if (stop_)
                return;
            continue;
        }
        int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        std::lock_guard lock(threadsMutex_);
        connections_.push_back(fd);
        threads_.emplace_back([this, fd] { serve(fd); });
    }
}

void TestHttpServer::serve(int fd) {
    std::string buffer;
    char chunk[65536];
    auto readMore = [&] {
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0)
            buffer.append(chunk, static_cast<std::size_t>(n));
        return n > 0;
    };
    bool open = true;
    while (open && !stop_) {
        std::size_t end;
        while (open && (end = buffer.find("\r\n\r\n")) == std::string::npos)
            open = readMore();
        if (!open)
            break;
        Request request;
        std::string head = buffer.substr(0, end);
        buffer.erase(0, end + 4);
        std::size_t lineEnd = std::min(head.find("\r\n"), head.size());
        std::string line = head.substr(0, lineEnd);
        auto space1 = line.find(' ');
        auto space2 = line.find(' ', space1 + 1);
        request.method = line.substr(0, space1);
        request.target = line.substr(space1 + 1, space2 - space1 - 1);
        for (std::size_t at = lineEnd + 2; at < head.size();) {
            std::size_t next = std::min(head.find("\r\n", at), head.size());
            std::string header = head.substr(at, next - at);
            if (auto colon = header.find(':'); colon != std::string::npos) {
                std::string name = header.substr(0, colon);
                std::transform(name.begin(), name.end(), name.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                auto value = header.find_first_not_of(' ', colon + 1);
                request.headers[name] = value == std::string::npos ? "" : header.substr(value);
            }
            at = next + 2;
        }
        std::size_t length = request.headers.count("content-length")
                                 ? std::stoul(request.headers["content-length"])
                                 : 0;
        while (open && buffer.size() < length)
            open = readMore();
        if (!open)
            break;
        request.body = buffer.substr(0, length);
        buffer.erase(0, length);

        int now = ++concurrent_;
        for (int most = mostConcurrent_;
             now > most && !mostConcurrent_.compare_exchange_weak(most, now);) {
        }
        FakeReply reply = handler_(std::move(request));
        if (reply.delaySeconds > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(reply.delaySeconds));
        --concurrent_;
        if (reply.drop)
            break;
        std::string out =
            "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) + "\r\n";
        for (const auto& [name, value] : reply.headers)
            out += name + ": " + value + "\r\n";
        out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n\r\n";
        if (reply.truncateAt) {
            sendAll(fd, out + reply.body.substr(0, *reply.truncateAt));
            break;
        }
        open = sendAll(fd, out + reply.body);
    }
    std::lock_guard lock(threadsMutex_);
    connections_.erase(std::find(connections_.begin(), connections_.end(), fd));
    ::close(fd);
}

}  // namespace ravelong::testing
