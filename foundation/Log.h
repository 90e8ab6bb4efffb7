#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ravelong {

// Diagnostics for failures that must not interrupt the user (background work, unreadable
// settings, a sync that gave up). Each call writes one line "ravelong: <operation>: <message>"
// to stderr and to the system log (ident "ravelong", opened on first use), unless a silencing
// LogCapture is alive. Safe to call from any thread; lines from different threads never interleave.
void logError(std::string_view operation, std::string_view message);
void logWarning(std::string_view operation, std::string_view message);
void logInfo(std::string_view operation, std::string_view message);

enum class LogLevel { error, warning, info };

struct LogRecord {
    LogLevel level = LogLevel::info;
    std::string operation;
    std::string message;

    // The text as written to stderr, without the newline.
    std::string line() const;
};

// Collects every line logged (from any thread) while it is alive, so a test can assert that a
// failure was reported. A silent capture (the default) also keeps the lines away from stderr and
// the system log, so expected failures do not clutter test output. Captures may nest: each live
// capture sees every line, and output is silenced while any silent capture is alive.
class LogCapture {
public:
    enum class Output { silent, passThrough };

    explicit LogCapture(Output output = Output::silent);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogRecord> records() const;
    std::size_t count() const;
    void clear();

    // True when a record has this operation (empty matches any) and a message containing
    // messagePart (empty matches any).
    bool contains(std::string_view operation, std::string_view messagePart = {}) const;
    bool contains(LogLevel level, std::string_view operation,
                  std::string_view messagePart = {}) const;

private:
    friend void deliverLogRecord(const LogRecord& record);
    Output output_;
    std::vector<LogRecord> records_;  // guarded by the logging mutex
};

}  // namespace ravelong
