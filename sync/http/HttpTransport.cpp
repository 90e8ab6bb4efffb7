#include "sync/http/HttpTransport.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>

namespace ravelong {

namespace {

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

std::string HttpResponse::header(const std::string& lowerCaseName) const {
    auto it = headers.find(lowerCaseName);
    return it == headers.end() ? std::string() : it->second;
}

struct HttpTransport::Transfer {
    RequestId id = 0;
    HttpRequest request;
    Completion completion;
    HttpResponse response;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::FILE* file = nullptr;
    bool decided = false;  // whether the body goes to the file, known at its first byte
    bool toFile = false;
    HttpResponse::Failure abortReason = HttpResponse::Failure::none;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    ~Transfer() {
        if (file)
            std::fclose(file);
        curl_slist_free_all(headers);
    }

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        std::string_view line(data, size * count);
        if (line.rfind("HTTP/", 0) == 0) {
            // A new status line (after an interim 100 reply) starts a fresh set of headers.
            t->response.headers.clear();
        } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
            t->response.headers[lowerCase(std::string(line.substr(0, colon)))] =
                trimmed(line.substr(colon + 1));
        }
        return size * count;
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        std::size_t bytes = size * count;
        if (!t->decided) {
            t->decided = true;
            long status = 0;
            curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
            if (!t->request.responseFile.empty() && status >= 200 && status < 300) {
                t->file = std::fopen(t->request.responseFile.c_str(), "wb");
                if (!t->file) {
                    t->abortReason = HttpResponse::Failure::file;
                    return 0;
                }
                t->toFile = true;
            }
        }
        if (t->toFile) {
            if (std::fwrite(data, 1, bytes, t->file) != bytes) {
                t->abortReason = HttpResponse::Failure::file;
                return 0;
            }
            return bytes;
        }
        if (t->response.body.size() + bytes > t->request.maxResponseBytes) {
            t->abortReason = HttpResponse::Failure::tooLarge;
            return 0;
        }
        t->response.body.append(data, bytes);
        return bytes;
    }
};

HttpTransport::HttpTransport(MainLoop& loop, long maxConnectionsPerHost)
    : loop_(loop), maxConnectionsPerHost_(maxConnectionsPerHost) {
    initialiseCurlOnce();
    worker_ = std::thread([this] { run(); });
    std::unique_lock lock(mutex_);
    started_.wait(lock, [this] { return multi_ != nullptr; });
}

HttpTransport::~HttpTransport() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        curl_multi_wakeup(multi_);
    }
    worker_.join();
    // Only now: the worker reads the token for every reply it posts. Replies already posted
    // find it gone and are dropped.
    alive_.reset();
}

HttpTransport::RequestId HttpTransport::send(HttpRequest request, Completion completion) {
    std::lock_guard lock(mutex_);
    RequestId id = nextId_++;
    incoming_.push_back(Pending{id, std::move(request), std::move(completion)});
    curl_multi_wakeup(multi_);
    return id;
}

void HttpTransport::cancel(RequestId id) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(incoming_.begin(), incoming_.end(),
                           [id](const Pending& p) { return p.id == id; });
    if (it != incoming_.end()) {
        HttpResponse response;
        response.failure = HttpResponse::Failure::cancelled;
        response.failureMessage = "The transfer was cancelled.";
        post(std::move(it->completion), std::move(response));
        incoming_.erase(it);
        return;
    }
    cancelled_.insert(id);
    curl_multi_wakeup(multi_);
}

void HttpTransport::cancelAll() {
    std::lock_guard lock(mutex_);
    for (auto& pending : incoming_) {
        HttpResponse response;
        response.failure = HttpResponse::Failure::cancelled;
        response.failureMessage = "The transfer was cancelled.";
        post(std::move(pending.completion), std::move(response));
    }
    incoming_.clear();
    cancelBelow_ = nextId_;
    curl_multi_wakeup(multi_);
}

void HttpTransport::post(Completion completion, HttpResponse response) {
    loop_.runOnMainThread([alive = std::weak_ptr<int>(alive_), completion = std::move(completion),
                           response = std::move(response)]() mutable {
        if (alive.lock())
            completion(std::move(response));
    });
}

HttpTransport::Transfer* HttpTransport::startTransfer(void* multiHandle, Pending pending) {
    auto* multi = static_cast<CURLM*>(multiHandle);
    auto* t = new Transfer;
    t->id = pending.id;
    t->request = std::move(pending.request);
    t->completion = std::move(pending.completion);
    t->easy = curl_easy_init();
    CURL* e = t->easy;
    const auto& r = t->request;
    curl_easy_setopt(e, CURLOPT_PRIVATE, t);
    curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->errorBuffer);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(r.connectTimeoutSeconds * 1000));
    if (r.timeoutSeconds > 0)
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(r.timeoutSeconds * 1000));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, r.stallSeconds);
    if (r.method == "POST") {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, r.body.data());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
    } else if (r.method != "GET") {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.method.c_str());
    }
    for (const auto& h : r.headers)
        t->headers = curl_slist_append(t->headers, h.c_str());
    // Bodies go out at once: waiting for "100 Continue" costs a round trip per upload.
    t->headers = curl_slist_append(t->headers, "Expect:");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headers);
    curl_multi_add_handle(multi, e);
    return t;
}

void HttpTransport::finishTransfer(void* multiHandle, Transfer* t, HttpResponse::Failure failure,
                                   std::string message) {
    curl_multi_remove_handle(static_cast<CURLM*>(multiHandle), t->easy);
    curl_easy_cleanup(t->easy);
    if (t->file) {
        if (std::fclose(t->file) != 0 && failure == HttpResponse::Failure::none) {
            failure = HttpResponse::Failure::file;
            message = "The downloaded file could not be written.";
        }
        t->file = nullptr;
    }
    // A 2xx reply with an empty body never opened the file; the caller still expects one.
    if (failure == HttpResponse::Failure::none && !t->request.responseFile.empty() && !t->toFile &&
        t->response.status >= 200 && t->response.status < 300) {
        if (std::FILE* f = std::fopen(t->request.responseFile.c_str(), "wb"))
            std::fclose(f);
    }
    t->response.failure = failure;
    t->response.failureMessage = std::move(message);
    if (failure != HttpResponse::Failure::none)
        t->response.status = 0;
    post(std::move(t->completion), std::move(t->response));
    delete t;
}

void HttpTransport::run() {
    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, maxConnectionsPerHost_);
    curl_multi_setopt(multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
    {
        std::lock_guard lock(mutex_);
        multi_ = multi;
    }
    started_.notify_all();

    std::vector<Transfer*> active;
    for (;;) {
        std::deque<Pending> arrived;
        std::set<RequestId> cancelled;
        RequestId cancelBelow = 0;
        bool stop = false;
        {
            std::lock_guard lock(mutex_);
            arrived.swap(incoming_);
            cancelled.swap(cancelled_);
            cancelBelow = cancelBelow_;
            stop = stop_;
        }
        if (stop)
            break;
        for (auto& pending : arrived)
            active.push_back(startTransfer(multi, std::move(pending)));
        for (std::size_t i = 0; i < active.size();) {
            Transfer* t = active[i];
            if (t->id < cancelBelow || cancelled.count(t->id)) {
                active.erase(active.begin() + static_cast<std::ptrdiff_t>(i));
                finishTransfer(multi, t, HttpResponse::Failure::cancelled,
                               "The transfer was cancelled.");
            } else {
                ++i;
            }
        }

        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            Transfer* t = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
            CURLcode code = msg->data.result;
            long status = 0;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_RESPONSE_CODE, &status);
            t->response.status = status;
            auto failure = HttpResponse::Failure::none;
            std::string message;
            if (code != CURLE_OK) {
                message = t->errorBuffer[0] ? t->errorBuffer : curl_easy_strerror(code);
                if (t->abortReason != HttpResponse::Failure::none)
                    failure = t->abortReason;
                else if (code == CURLE_OPERATION_TIMEDOUT)
                    failure = HttpResponse::Failure::timeout;
                else
                    failure = HttpResponse::Failure::connection;
            }
            active.erase(std::find(active.begin(), active.end(), t));
            finishTransfer(multi, t, failure, std::move(message));
        }
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }

    // Abort whatever is left; the transport is going away, so nobody hears of it.
    for (Transfer* t : active) {
        curl_multi_remove_handle(multi, t->easy);
        curl_easy_cleanup(t->easy);
        delete t;
    }
    {
        std::lock_guard lock(mutex_);
        multi_ = nullptr;
    }
    curl_multi_cleanup(multi);
}

}  // namespace ravelong
