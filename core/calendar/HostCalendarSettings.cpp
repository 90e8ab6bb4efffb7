#include "core/calendar/HostCalendarSettings.h"

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/calendar/TimeZones.h"
#include "foundation/Log.h"

namespace ravelong::host_calendar {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// "/usr/share/zoneinfo/posix/Europe/Berlin" -> "Europe/Berlin"; other texts unchanged.
std::string zoneNameFromPath(std::string_view path) {
    const auto marker = path.rfind("zoneinfo/");
    if (marker == std::string_view::npos) {
        return std::string(path);
    }
    std::string_view name = path.substr(marker + 9);
    for (std::string_view prefix : {"posix/", "right/"}) {
        if (name.substr(0, prefix.size()) == prefix) {
            name.remove_prefix(prefix.size());
        }
    }
    return std::string(name);
}

std::optional<ZoneRef> zoneFromLocaltimeLink(const std::string& path) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(path, error);
    if (error) {
        return std::nullopt;
    }
    return zones::lookUp(zoneNameFromPath(target.string()));
}

std::optional<ZoneRef> zoneFromTimezoneFile(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) {
        return std::nullopt;
    }
    return zones::lookUp(trimmed(line));
}

std::optional<ZoneRef> zoneFromIcuDetection() {
    std::unique_ptr<icu::TimeZone> detected(icu::TimeZone::detectHostTimeZone());
    if (!detected || *detected == icu::TimeZone::getUnknown()) {
        return std::nullopt;
    }
    icu::UnicodeString id;
    detected->getID(id);
    std::string name;
    id.toUTF8String(name);
    return zones::lookUp(name);
}

}  // namespace

Sources Sources::system() {
    Sources sources;
    sources.environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    return sources;
}

std::string icuLocaleIdFromPosix(std::string_view posixLocale) {
    std::string_view text = trimmed(posixLocale);
    std::string_view modifier;
    if (const auto at = text.find('@'); at != std::string_view::npos) {
        modifier = text.substr(at + 1);
        text = text.substr(0, at);
    }
    if (const auto dot = text.find('.'); dot != std::string_view::npos) {
        text = text.substr(0, dot);
    }
    if (text.empty() || text == "C" || text == "POSIX") {
        return "en_US_POSIX";
    }
    std::string id(text);
    // Only the script modifiers change how dates are written; "@euro" and the like do not.
    const char* script = modifier == "latin" ? "Latn" : modifier == "cyrillic" ? "Cyrl" : nullptr;
    if (script != nullptr) {
        const auto underscore = id.find('_');
        const std::string language = id.substr(0, underscore);
        const std::string rest = underscore == std::string::npos ? "" : id.substr(underscore);
        id = language + "_" + script + rest;
    }
    return id;
}

std::string hostLocaleId(const Sources& sources) {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const auto value = sources.environment(variable);
        if (value && !trimmed(*value).empty()) {
            return icuLocaleIdFromPosix(*value);
        }
    }
    return "en_US_POSIX";
}

ZoneRef hostTimeZone(const Sources& sources) {
    if (const auto tz = sources.environment("TZ")) {
        std::string_view text = trimmed(*tz);
        if (text.empty()) {
            return *zones::lookUp("UTC");
        }
        if (text.front() == ':') {
            text.remove_prefix(1);
        }
        // A zone name, a path into the zone database, or a rule such as
        // "CET-1CEST,M3.5.0,M10.5.0/3" (ZoneRules::create reads all three).
        if (auto zone = zones::lookUp(zoneNameFromPath(text))) {
            return *zone;
        }
        logWarning("time zone", "TZ=\"" + *tz +
                                    "\" is neither a known time zone nor a valid zone rule; "
                                    "using the system time zone");
    }
    if (auto zone = zoneFromLocaltimeLink(sources.localtimePath)) {
        return *zone;
    }
    if (auto zone = zoneFromTimezoneFile(sources.timezonePath)) {
        return *zone;
    }
    if (auto zone = zoneFromIcuDetection()) {
        return *zone;
    }
    logWarning("time zone", "cannot determine the system time zone; using GMT");
    return zones::gmt();
}

}  // namespace ravelong::host_calendar
