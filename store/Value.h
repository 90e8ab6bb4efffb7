#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ravelong {

class ManagedObject;

using Data = std::vector<std::uint8_t>;

// A property value in generic form, used by undo, change sets, child merges and persistence.
// Absent attributes are std::monostate; booleans and all integer widths are std::int64_t;
// dates and doubles are double. A to-one relationship is a ManagedObject* (nullptr when
// absent); a to-many relationship is the list of its members.
using Value = std::variant<std::monostate, std::int64_t, double, std::string, Data, ManagedObject*,
                           std::vector<ManagedObject*>>;

inline bool isAbsent(const Value& value) {
    return std::holds_alternative<std::monostate>(value);
}

// Conversions between the typed fields of the records and Value.
namespace value_conversion {

inline Value toValue(bool v) {
    return std::int64_t{v};
}
inline Value toValue(std::int16_t v) {
    return std::int64_t{v};
}
inline Value toValue(std::int32_t v) {
    return std::int64_t{v};
}
inline Value toValue(std::int64_t v) {
    return v;
}
inline Value toValue(double v) {
    return v;
}
template <class T>
Value toValue(const std::optional<T>& v) {
    return v ? Value(*v) : Value();
}

template <class T>
T fromValue(const Value& value);

template <>
inline bool fromValue<bool>(const Value& value) {
    if (auto i = std::get_if<std::int64_t>(&value))
        return *i != 0;
    if (auto d = std::get_if<double>(&value))
        return *d != 0.0;
    return false;
}

template <class Int>
Int integerFromValue(const Value& value) {
    if (auto i = std::get_if<std::int64_t>(&value))
        return static_cast<Int>(*i);
    if (auto d = std::get_if<double>(&value))
        return static_cast<Int>(*d);
    return Int{0};
}
template <>
inline std::int16_t fromValue<std::int16_t>(const Value& v) {
    return integerFromValue<std::int16_t>(v);
}
template <>
inline std::int32_t fromValue<std::int32_t>(const Value& v) {
    return integerFromValue<std::int32_t>(v);
}
template <>
inline std::int64_t fromValue<std::int64_t>(const Value& v) {
    return integerFromValue<std::int64_t>(v);
}

template <>
inline double fromValue<double>(const Value& value) {
    if (auto d = std::get_if<double>(&value))
        return *d;
    if (auto i = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*i);
    return 0.0;
}
template <>
inline std::optional<double> fromValue<std::optional<double>>(const Value& value) {
    if (isAbsent(value))
        return std::nullopt;
    return fromValue<double>(value);
}
template <>
inline std::optional<std::string> fromValue<std::optional<std::string>>(const Value& value) {
    if (auto s = std::get_if<std::string>(&value))
        return *s;
    return std::nullopt;
}
template <>
inline std::optional<Data> fromValue<std::optional<Data>>(const Value& value) {
    if (auto d = std::get_if<Data>(&value))
        return *d;
    return std::nullopt;
}

}  // namespace value_conversion
}  // namespace ravelong
