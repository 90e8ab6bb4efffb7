#include "core/calendar/TzifFiles.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ravelong::tzif {

namespace {

constexpr int32_t kMaxOffset = 25 * 3600;
constexpr size_t kMaxFileSize = 1 << 20;  // the largest zone files are about 3 KB

Error malformed(std::string what) {
    return Error{
        kRavelongErrorDomain, kMalformed, "not a usable zone file: " + std::move(what), {}};
}

class Bytes {
public:
    explicit Bytes(std::string_view bytes) : bytes_(bytes) {}

    bool has(size_t count) const { return bytes_.size() - pos_ >= count; }
    size_t position() const { return pos_; }
    void skip(size_t count) { pos_ += count; }
    std::string_view rest() const { return bytes_.substr(pos_); }

    uint8_t byte() { return static_cast<uint8_t>(bytes_[pos_++]); }
    uint32_t u32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value << 8 | byte();
        }
        return value;
    }
    int64_t i64() {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            value = value << 8 | byte();
        }
        return static_cast<int64_t>(value);
    }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

struct Header {
    char version = 0;
    uint32_t isutcnt = 0, isstdcnt = 0, leapcnt = 0, timecnt = 0, typecnt = 0, charcnt = 0;

    // Size of the data block that follows, with `timeSize` bytes per instant.
    size_t dataSize(size_t timeSize) const {
        return timecnt * (timeSize + 1) + typecnt * 6 + charcnt + leapcnt * (timeSize + 4) +
               isstdcnt + isutcnt;
    }
};

std::optional<Header> readHeader(Bytes& in) {
    if (!in.has(44) || in.rest().substr(0, 4) != "TZif") {
        return std::nullopt;
    }
    in.skip(4);
    Header header;
    header.version = static_cast<char>(in.byte());
    in.skip(15);
    header.isutcnt = in.u32();
    header.isstdcnt = in.u32();
    header.leapcnt = in.u32();
    header.timecnt = in.u32();
    header.typecnt = in.u32();
    header.charcnt = in.u32();
    // Counts this large cannot fit a file we agreed to read; refusing them here keeps the size
    // sums below from overflowing.
    for (uint32_t count : {header.isutcnt, header.isstdcnt, header.leapcnt, header.timecnt,
                           header.typecnt, header.charcnt}) {
        if (count > kMaxFileSize) {
            return std::nullopt;
        }
    }
    return header;
}

Result<ZoneData> readData(Bytes& in, const Header& header, size_t timeSize) {
    if (header.typecnt == 0 || !in.has(header.dataSize(timeSize))) {
        return malformed("counts run past the end");
    }
    std::vector<int64_t> times(header.timecnt);
    for (auto& time : times) {
        time = timeSize == 8 ? in.i64() : static_cast<int32_t>(in.u32());
    }
    std::vector<uint8_t> typeOf(header.timecnt);
    for (auto& type : typeOf) {
        type = in.byte();
        if (type >= header.typecnt) {
            return malformed("transition to a missing type");
        }
    }
    std::vector<int32_t> typeOffsets(header.typecnt);
    std::vector<bool> typeSummer(header.typecnt);
    for (uint32_t i = 0; i < header.typecnt; ++i) {
        typeOffsets[i] = static_cast<int32_t>(in.u32());
        typeSummer[i] = in.byte() != 0;
        in.skip(1);  // abbreviation index
        if (typeOffsets[i] > kMaxOffset || typeOffsets[i] < -kMaxOffset) {
            return malformed("offset beyond 25 hours");
        }
    }
    // Abbreviations, leap seconds and the standard/UT indicators are not needed for offsets.
    in.skip(header.charcnt + header.leapcnt * (timeSize + 4) + header.isstdcnt + header.isutcnt);

    ZoneData data;
    // Before the first transition the first type applies.
    data.offsets.push_back(typeOffsets[0]);
    data.summer.push_back(typeSummer[0]);
    for (uint32_t i = 0; i < header.timecnt; ++i) {
        if (i > 0 && times[i] <= times[i - 1]) {
            return malformed("transitions out of order");
        }
        // A change of name alone (same offset) is no change for counting days.
        if (typeOffsets[typeOf[i]] == data.offsets.back()) {
            continue;
        }
        data.transitions.push_back(times[i]);
        data.offsets.push_back(typeOffsets[typeOf[i]]);
        data.summer.push_back(typeSummer[typeOf[i]]);
    }
    return data;
}

}  // namespace

Result<ZoneData> decode(std::string_view bytes) {
    Bytes in(bytes);
    const auto first = readHeader(in);
    if (!first) {
        return malformed("no zone file header");
    }
    if (first->version == 0) {
        return readData(in, *first, 4);
    }
    // Version 2 and later repeat everything with 64-bit instants after the 32-bit block, and end
    // with the rule for instants after the last transition between two newlines.
    if (!in.has(first->dataSize(4))) {
        return malformed("counts run past the end");
    }
    in.skip(first->dataSize(4));
    const auto second = readHeader(in);
    if (!second) {
        return malformed("no 64-bit header");
    }
    auto data = readData(in, *second, 8);
    if (!data) {
        return data;
    }
    const std::string_view rest = in.rest();
    if (rest.size() >= 2 && rest.front() == '\n') {
        const auto end = rest.find('\n', 1);
        if (end == std::string_view::npos) {
            return malformed("unterminated footer");
        }
        const std::string_view footer = rest.substr(1, end - 1);
        if (!footer.empty()) {
            data->footer = PosixZoneRule::parse(footer);
            if (!data->footer) {
                return malformed("footer rule \"" + std::string(footer) + "\"");
            }
        }
    }
    return data;
}

std::string zoneFolder() {
    const char* folder = std::getenv("TZDIR");
    return folder != nullptr && folder[0] != '\0' ? std::string(folder) : "/usr/share/zoneinfo";
}

bool isZoneFileName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '/' || name.back() == '/') {
        return false;
    }
    for (const char c : name) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                             (c >= '0' && c <= '9') || c == '_' || c == '+' || c == '-' ||
                             c == '/' || c == '.';
        if (!allowed) {
            return false;
        }
    }
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::optional<ZoneData> loadSystemZone(std::string_view name) {
    if (!isZoneFileName(name)) {
        return std::nullopt;
    }
    std::ifstream file(zoneFolder() + "/" + std::string(name), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(kMaxFileSize + 1);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(file.gcount()));
    if (bytes.size() > kMaxFileSize) {
        return std::nullopt;
    }
    auto data = decode(bytes);
    if (!data) {
        return std::nullopt;
    }
    return std::move(data).value();
}

}  // namespace ravelong::tzif
