#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace ravelong {

// A failure that can reach the user: a domain and integer code for programs to test, and the
// texts an alert shows.
struct Error {
    std::string domain;
    int code = 0;
    std::string description;
    std::string failureReason;

    bool operator==(const Error&) const = default;
};

// Error domain of our own failures (files, store, settings).
inline constexpr const char* kRavelongErrorDomain = "org.ravelong";

// Either a value or the Error that prevented it. Operations return this instead of throwing.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }

    const Error& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

// The outcome of an operation that produces nothing but can fail.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : error_(std::move(error)) {}
    static Status success() { return Status(); }

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

}  // namespace ravelong
