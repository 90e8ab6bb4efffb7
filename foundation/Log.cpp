#include "foundation/Log.h"

#include <syslog.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace ravelong {

// Declared as LogCapture's friend; hands a record to the captures and the outputs.
void deliverLogRecord(const LogRecord& record);

namespace {

// One mutex serialises the captures and the output, so a line is written whole and a capture
// never misses a line that raced with its destruction.
std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<LogCapture*>& liveCaptures() {
    static std::vector<LogCapture*> captures;
    return captures;
}

int syslogPriority(LogLevel level) {
    switch (level) {
        case LogLevel::error:
            return LOG_ERR;
        case LogLevel::warning:
            return LOG_WARNING;
        case LogLevel::info:
            break;
    }
    return LOG_INFO;
}

void writeToSystem(const LogRecord& record) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("ravelong", LOG_PID, LOG_USER); });
    const std::string line = record.line();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    // syslog adds its own ident, so it gets the text after "ravelong: ".
    syslog(syslogPriority(record.level), "%s: %s", record.operation.c_str(),
           record.message.c_str());
}

void writeLog(LogLevel level, std::string_view operation, std::string_view message) {
    deliverLogRecord(LogRecord{level, std::string(operation), std::string(message)});
}

bool matches(const LogRecord& record, std::string_view operation, std::string_view messagePart) {
    return (operation.empty() || record.operation == operation) &&
           (messagePart.empty() || record.message.find(messagePart) != std::string::npos);
}

}  // namespace

void deliverLogRecord(const LogRecord& record) {
    std::lock_guard lock(logMutex());
    bool silenced = false;
    for (LogCapture* capture : liveCaptures()) {
        capture->records_.push_back(record);
        silenced = silenced || capture->output_ == LogCapture::Output::silent;
    }
    if (!silenced) {
        writeToSystem(record);
    }
}

void logError(std::string_view operation, std::string_view message) {
    writeLog(LogLevel::error, operation, message);
}

void logWarning(std::string_view operation, std::string_view message) {
    writeLog(LogLevel::warning, operation, message);
}

void logInfo(std::string_view operation, std::string_view message) {
    writeLog(LogLevel::info, operation, message);
}

std::string LogRecord::line() const {
    return "ravelong: " + operation + ": " + message;
}

LogCapture::LogCapture(Output output) : output_(output) {
    std::lock_guard lock(logMutex());
    liveCaptures().push_back(this);
}

LogCapture::~LogCapture() {
    std::lock_guard lock(logMutex());
    auto& captures = liveCaptures();
    captures.erase(std::remove(captures.begin(), captures.end(), this), captures.end());
}

std::vector<LogRecord> LogCapture::records() const {
    std::lock_guard lock(logMutex());
    return records_;
}

std::size_t LogCapture::count() const {
    std::lock_guard lock(logMutex());
    return records_.size();
}

void LogCapture::clear() {
    std::lock_guard lock(logMutex());
    records_.clear();
}

bool LogCapture::contains(std::string_view operation, std::string_view messagePart) const {
    std::lock_guard lock(logMutex());
    return std::any_of(records_.begin(), records_.end(), [&](const LogRecord& record) {
        return matches(record, operation, messagePart);
    });
}

bool LogCapture::contains(LogLevel level, std::string_view operation,
                          std::string_view messagePart) const {
    std::lock_guard lock(logMutex());
    return std::any_of(records_.begin(), records_.end(), [&](const LogRecord& record) {
        return record.level == level && matches(record, operation, messagePart);
    });
}

}  // namespace ravelong
