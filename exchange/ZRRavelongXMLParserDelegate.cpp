#include "exchange/ZRRavelongXMLParserDelegate.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/model/ZRCDOrigin.h"
#include "exchange/BackupTexts.h"

namespace ravelong {

namespace texts = backup_texts;

ZRRavelongXMLParserDelegate::ZRRavelongXMLParserDelegate(ManagedObjectContext& context,
                                                         bool updatingDatabase)
    : context_(context), updatingDatabase_(updatingDatabase) {
    for (ZRCDOrigin* origin : ZRCDOrigin::getAllOrigins_inContext(context))
        origins_.emplace(origin->uuid(), origin);  // the first of an identity wins
}

void ZRRavelongXMLParserDelegate::advanceProgress() {
    ++done_;
    if (progress_)
        progress_(done_);
}

void ZRRavelongXMLParserDelegate::timingRefused(const std::string& uuid,
                                                std::string_view taskName) {
    ++counts_.numberOfSkippedTimings;
    refusedTimings_.push_back("timing " + (uuid.empty() ? std::string("without uuid") : uuid) +
                              " of task \"" + std::string(taskName) +
                              "\": incomplete, ends before it starts, or too long");
}

Error ZRRavelongXMLParserDelegate::contentError(std::string description) {
    return Error{kRavelongErrorDomain, texts::kBackupContentCode, std::move(description),
                 std::string(texts::kNoChanges)};
}

std::string_view ZRRavelongXMLParserDelegate::trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

Result<std::int64_t> ZRRavelongXMLParserDelegate::integer(std::string_view element,
                                                          std::string_view text,
                                                          std::int64_t minimum,
                                                          std::int64_t maximum) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value < minimum || value > maximum)
        return contentError("The value \"" + std::string(text) + "\" of \"" + std::string(element) +
                            "\" is not a number in its range.");
    return value;
}

Result<double> ZRRavelongXMLParserDelegate::decimal(std::string_view element,
                                                    std::string_view text) {
    const std::string value(trimmed(text));
    // Decimal digits only: no "nan", "inf" or hexadecimal forms that strtod would take.
    bool digits = !value.empty();
    for (char c : value)
        digits = digits && ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+');
    char* end = nullptr;
    errno = 0;
    const double number = digits ? std::strtod(value.c_str(), &end) : 0.0;
    if (!digits || errno != 0 || end != value.c_str() + value.size() || !std::isfinite(number))
        return contentError("The value \"" + value + "\" of \"" + std::string(element) +
                            "\" is not a decimal number.");
    return number;
}

Result<std::optional<Instant>> ZRRavelongXMLParserDelegate::date(std::string_view element,
                                                                 std::string_view text) {
    auto seconds = decimal(element, text);
    if (!seconds)
        return seconds.error();
    // Years 1 to 9999: anything else is not a date a record can have.
    if (*seconds < -62135596800.0 || *seconds > 253402300799.0)
        return contentError("The date \"" + std::string(trimmed(text)) + "\" of \"" +
                            std::string(element) + "\" is out of range.");
    if (*seconds == 0.0)
        return std::optional<Instant>();
    return std::optional<Instant>(instantFromUnixTime(*seconds));
}

Result<TaskColor> ZRRavelongXMLParserDelegate::color(std::string_view text) {
    text = trimmed(text);
    if (text.empty())
        return TaskColor{};
    unsigned value = 0;
    const char* begin = text.data() + 1;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(begin, last, value, 16);
    if (text.size() != 7 || text.front() != '#' || error != std::errc() || end != last)
        return contentError("The colour \"" + std::string(text) + "\" is not of the form #RRGGBB.");
    return TaskColor{((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0,
                     (value & 0xFF) / 255.0, 1.0};
}

std::optional<std::string> ZRRavelongXMLParserDelegate::nonEmpty(std::string_view text) {
    text = trimmed(text);
    if (text.empty())
        return std::nullopt;
    return std::string(text);
}

std::optional<std::string> ZRRavelongXMLParserDelegate::nonEmptyText(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    return std::string(text);
}

Status ZRRavelongXMLParserDelegate::firstTaskUUID(const std::string& uuid) {
    if (!uuid.empty() && !taskUUIDs_.insert(uuid).second)
        return contentError("The file holds the task " + uuid + " twice.");
    return Status::success();
}

Status ZRRavelongXMLParserDelegate::firstTimingUUID(const std::string& uuid) {
    if (!uuid.empty() && !timingUUIDs_.insert(uuid).second)
        return contentError("The file holds the timing " + uuid + " twice.");
    return Status::success();
}

ZRCDOrigin* ZRRavelongXMLParserDelegate::originNamed(std::string_view text) {
    text = trimmed(text);
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find("//", from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? text.npos : at - from));
        if (at == std::string_view::npos)
            break;
        from = at + 2;
    }
    std::int16_t type = 0;
    if (parts.size() == 3) {
        auto uid = integer(texts::kUid, parts[1], INT32_MIN, INT32_MAX);
        auto parsedType = integer(texts::kType, parts[2], INT16_MIN, INT16_MAX);
        if (uid && parsedType) {
            type = static_cast<std::int16_t>(*parsedType);
            const std::string key =
                std::string(parts[0]) + "//" + std::to_string(*uid) + "//" + std::to_string(type);
            if (auto found = origins_.find(key); found != origins_.end()) {
                if (!found->second->isDeleted())
                    return found->second;
                origins_.erase(found);  // merged into another since
            }
        }
    }
    ZRCDOrigin* origin =
        ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(type, context_);
    rememberOrigin(origin);
    return origin;
}

void ZRRavelongXMLParserDelegate::rememberOrigin(ZRCDOrigin* origin) {
    if (origin)
        origins_.emplace(origin->uuid(), origin);
}

}  // namespace ravelong
