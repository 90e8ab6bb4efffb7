#pragma once

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "store/Value.h"

namespace ravelong {

// Field types for the records a large store holds hundreds of thousands of (timings, day
// aggregates). Each reads like the std::optional it stands for, in a word instead of two to five.

// An optional date or number in one double. NaN stands for none: SQLite stores a NaN as NULL,
// so no stored value is NaN, and a NaN given is taken as none.
class OptionalDouble {
public:
    OptionalDouble() = default;
    OptionalDouble(std::nullopt_t) {}
    OptionalDouble(double value) : value_(value) {}
    OptionalDouble(std::optional<double> value) : value_(value ? *value : kNone) {}

    bool has_value() const { return !std::isnan(value_); }
    explicit operator bool() const { return has_value(); }
    double operator*() const { return value_; }
    double value_or(double fallback) const { return has_value() ? value_ : fallback; }
    operator std::optional<double>() const {
        return has_value() ? std::optional<double>(value_) : std::nullopt;
    }

private:
    static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    double value_ = kNone;
};

// The reading side of std::optional<std::string>, shared by the text fields below.
template <class Field>
class OptionalTextReading {
public:
    bool has_value() const { return text() != nullptr; }
    explicit operator bool() const { return has_value(); }
    const std::string& operator*() const { return *text(); }
    const std::string* operator->() const { return text(); }
    const std::string& value() const {
        if (!text())
            throw std::bad_optional_access();
        return *text();
    }
    std::string value_or(std::string_view fallback) const {
        return text() ? *text() : std::string(fallback);
    }
    operator std::optional<std::string>() const {
        return text() ? std::optional<std::string>(*text()) : std::nullopt;
    }
    friend bool operator==(const Field& field, const Field& other) {
        return field.has_value() == other.has_value() && (!other || *field == *other);
    }
    friend bool operator==(const Field& field, const std::optional<std::string>& other) {
        return field.has_value() == other.has_value() && (!other || *field == *other);
    }
    friend bool operator==(const Field& field, const std::string& other) {
        return field.has_value() && *field == other;
    }
    friend bool operator==(const Field& field, std::nullopt_t) { return !field.has_value(); }
    friend bool operator==(const Field& field, const char* other) {
        return field.has_value() && *field == other;
    }

private:
    const std::string* text() const { return static_cast<const Field&>(*this).get(); }
};

// An optional text kept once for the whole process and shared by every field that holds it:
// for texts many records repeat (a time zone, a task's full name). A text, once kept, stays
// until the process ends.
class SharedText : public OptionalTextReading<SharedText> {
public:
    SharedText() = default;
    SharedText(std::nullopt_t) {}
    SharedText(const std::optional<std::string>& text);
    SharedText(std::string_view text);
    SharedText(const std::string& text) : SharedText(std::string_view(text)) {}
    SharedText(const char* text) : SharedText(std::string_view(text)) {}

    const std::string* get() const { return text_; }

private:
    const std::string* text_ = nullptr;
};

// An optional text in a field of one pointer: for texts most records leave out (a note).
class BoxedText : public OptionalTextReading<BoxedText> {
public:
    BoxedText() = default;
    BoxedText(std::nullopt_t) {}
    BoxedText(const std::optional<std::string>& text)
        : text_(text ? std::make_unique<std::string>(*text) : nullptr) {}
    BoxedText(std::string text) : text_(std::make_unique<std::string>(std::move(text))) {}
    BoxedText(const char* text) : BoxedText(std::string(text)) {}
    BoxedText(const BoxedText& other)
        : text_(other.text_ ? std::make_unique<std::string>(*other.text_) : nullptr) {}
    BoxedText& operator=(const BoxedText& other) {
        if (this != &other)
            text_ = other.text_ ? std::make_unique<std::string>(*other.text_) : nullptr;
        return *this;
    }
    BoxedText(BoxedText&&) noexcept = default;
    BoxedText& operator=(BoxedText&&) noexcept = default;

    const std::string* get() const { return text_.get(); }

private:
    std::unique_ptr<std::string> text_;
};

namespace value_conversion {

inline Value toValue(const OptionalDouble& v) {
    return v ? Value(*v) : Value();
}
template <class Field>
Value toValue(const OptionalTextReading<Field>& v) {
    return v ? Value(*v) : Value();
}
template <>
inline OptionalDouble fromValue<OptionalDouble>(const Value& value) {
    return fromValue<std::optional<double>>(value);
}
template <>
inline SharedText fromValue<SharedText>(const Value& value) {
    return fromValue<std::optional<std::string>>(value);
}
template <>
inline BoxedText fromValue<BoxedText>(const Value& value) {
    return fromValue<std::optional<std::string>>(value);
}

}  // namespace value_conversion
}  // namespace ravelong
