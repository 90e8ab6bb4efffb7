#include "exchange/csv/CsvEncoding.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace ravelong::csv {
namespace {

// The order of the export sheet's encoding menu. The fixed entries (0 to 3, 91 to 96, 98) are
// those that stored export preferences rely on; the others group the Latin, Windows, DOS, East
// Asian, Cyrillic and EBCDIC code pages iconv provides.
constexpr std::array<std::string_view, kExportEncodingCount> kExportEncodings = {
    "UTF-8",
    "UTF-16",
    "MACINTOSH",
    "WINDOWS-1252",
    "ISO-8859-1",
    "ISO-8859-2",
    "ISO-8859-3",
    "ISO-8859-4",
    "ISO-8859-5",
    "ISO-8859-6",
    "ISO-8859-7",
    "ISO-8859-8",
    "ISO-8859-9",
    "ISO-8859-10",
    "ISO-8859-11",
    "ISO-8859-13",
    "ISO-8859-14",
    "ISO-8859-15",
    "ISO-8859-16",
    "WINDOWS-1250",
    "WINDOWS-1251",
    "WINDOWS-1253",
    "WINDOWS-1254",
    "WINDOWS-1255",
    "WINDOWS-1256",
    "WINDOWS-1257",
    "WINDOWS-1258",
    "MAC-CENTRALEUROPE",
    "MACCYRILLIC",
    "MACUKRAINIAN",
    "MAC-IS",
    "MAC-SAMI",
    "CP437",
    "CP737",
    "CP775",
    "CP850",
    "CP852",
    "CP855",
    "CP857",
    "CP860",
    "CP861",
    "CP862",
    "CP863",
    "CP864",
    "CP865",
    "CP866",
    "CP869",
    "CP874",
    "CP932",
    "CP936",
    "CP949",
    "CP950",
    "EUC-JP",
    "EUC-KR",
    "EUC-CN",
    "EUC-TW",
    "GBK",
    "GB18030",
    "SHIFT_JIS",
    "ISO-2022-JP",
    "ISO-2022-JP-2",
    "ISO-2022-JP-3",
    "ISO-2022-KR",
    "ISO-2022-CN",
    "ISO-2022-CN-EXT",
    "KOI8-R",
    "KOI8-U",
    "KOI8-RU",
    "BIG5",
    "BIG5-HKSCS",
    "TIS-620",
    "VISCII",
    "ARMSCII-8",
    "GEORGIAN-PS",
    "TCVN5712-1",
    "CP1125",
    "IBM037",
    "IBM273",
    "IBM277",
    "IBM278",
    "IBM280",
    "IBM284",
    "IBM285",
    "IBM297",
    "IBM500",
    "IBM870",
    "IBM871",
    "IBM875",
    "IBM1026",
    "IBM1047",
    "IBM1140",
    "UTF-7",
    "UTF-16BE",
    "UTF-16LE",
    "UTF-32",
    "UTF-32BE",
    "UTF-32LE",
    "IBM1141",
    "ASCII",
    "IBM1142",
    "IBM1143",
    "IBM1144",
    "IBM1145",
    "IBM1146",
    "IBM1147",
    "IBM1148",
    "IBM1149",
};

bool isUtf8Name(std::string_view encoding) {
    return encoding == "UTF-8" || encoding == "utf-8" || encoding == "UTF8" || encoding == "utf8";
}

iconv_t handleOf(void* handle) {
    return static_cast<iconv_t>(handle);
}

Error encodingError(std::string description) {
    return Error{kCsvErrorDomain, kCsvEncodingError, std::move(description), {}};
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string_view exportEncodingName(int index) {
    if (index < 0 || index >= kExportEncodingCount)
        return kUtf8;
    return kExportEncodings[static_cast<std::size_t>(index)];
}

bool encodingIsSupported(std::string_view encoding) {
    if (isUtf8Name(encoding))
        return true;
    const std::string name(encoding);
    iconv_t handle = iconv_open("UTF-8", name.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(handle);
    return true;
}

std::size_t validUtf8Prefix(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        // Text is mostly ASCII: skip it eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            cp = c & 0x07;
        } else {
            return i;
        }
        if (i + length > n)
            return i;
        for (std::size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return i;
        i += length;
    }
    return n;
}

std::string_view sniffEncoding(std::string_view head, std::size_t* markLength) {
    *markLength = 0;
    if (head.size() > 512)
        head = head.substr(0, 512);
    if (head.empty())
        return kUtf8;
    if (head.size() >= 4) {
        if (startsWith(head, std::string_view("\x00\x00\xFE\xFF", 4))) {
            *markLength = 4;
            return "UTF-32BE";
        }
        if (startsWith(head, std::string_view("\xFF\xFE\x00\x00", 4))) {
            *markLength = 4;
            return "UTF-32LE";
        }
        if (startsWith(head, "\x1B\x24\x29\x43")) {
            // The escape announces the character set; the decoder needs to see it.
            *markLength = 0;
            return "ISO-2022-KR";
        }
    }
    if (head.size() >= 2) {
        if (startsWith(head, "\xFF\xFE")) {
            *markLength = 2;
            return "UTF-16LE";
        }
        if (startsWith(head, "\xFE\xFF")) {
            *markLength = 2;
            return "UTF-16BE";
        }
    }
    if (head.size() >= 3 && startsWith(head, "\xEF\xBB\xBF")) {
        *markLength = 3;
        return kUtf8;
    }
    // A head cut inside a multi-byte sequence still counts as UTF-8: up to 3 trailing bytes may
    // belong to a character that continues past the head.
    for (int attempt = 0; attempt < 4 && !head.empty(); ++attempt) {
        if (validUtf8Prefix(head) == head.size())
            return kUtf8;
        head.remove_suffix(1);
    }
    return kMacRoman;
}

// --- Decoder ---

CsvTextDecoder::CsvTextDecoder(void* handle, std::string encoding)
    : handle_(handle), encoding_(std::move(encoding)) {}

CsvTextDecoder::CsvTextDecoder(CsvTextDecoder&& other) noexcept
    : handle_(other.handle_),
      encoding_(std::move(other.encoding_)),
      pending_(std::move(other.pending_)),
      offset_(other.offset_) {
    other.handle_ = nullptr;
}

CsvTextDecoder::~CsvTextDecoder() {
    if (handle_)
        iconv_close(handleOf(handle_));
}

Result<CsvTextDecoder> CsvTextDecoder::open(std::string_view encoding) {
    const std::string name(encoding);
    iconv_t handle = iconv_open("UTF-8", name.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1))
        return encodingError("The text encoding \"" + name + "\" is not known.");
    return CsvTextDecoder(handle, name);
}

Status CsvTextDecoder::decode(std::string_view bytes, bool last, std::string& out) {
    std::string input;
    std::string_view source = bytes;
    if (!pending_.empty()) {
        input = pending_;
        input.append(bytes);
        source = input;
    }
    pending_.clear();
    char* in = const_cast<char*>(source.data());
    std::size_t inLeft = source.size();
    char buffer[16384];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(handleOf(handle_), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        const std::uint64_t at = offset_ + static_cast<std::uint64_t>(in - source.data());
        if (errno == EINVAL && !last) {
            pending_.assign(in, inLeft);
            inLeft = 0;
            break;
        }
        return encodingError("The file is not valid " + encoding_ + " text: byte " +
                             std::to_string(at) + " cannot be read.");
    }
    offset_ += source.size() - pending_.size();
    if (last) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(handleOf(handle_), nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    }
    return Status::success();
}

// --- Encoder ---

CsvTextEncoder::CsvTextEncoder(void* handle, std::string encoding)
    : handle_(handle), encoding_(std::move(encoding)), identity_(handle == nullptr) {}

CsvTextEncoder::CsvTextEncoder(CsvTextEncoder&& other) noexcept
    : handle_(other.handle_),
      encoding_(std::move(other.encoding_)),
      mark_(std::move(other.mark_)),
      identity_(other.identity_) {
    other.handle_ = nullptr;
}

CsvTextEncoder::~CsvTextEncoder() {
    if (handle_)
        iconv_close(handleOf(handle_));
}

Result<CsvTextEncoder> CsvTextEncoder::open(std::string_view encoding) {
    if (isUtf8Name(encoding))
        return CsvTextEncoder(nullptr, std::string(kUtf8));
    const std::string name(encoding);
    iconv_t handle = iconv_open(name.c_str(), "UTF-8");
    if (handle == reinterpret_cast<iconv_t>(-1))
        return encodingError("The text encoding \"" + name + "\" is not known.");
    CsvTextEncoder encoder(handle, name);
    std::string one, two;
    if (!encoder.convert("a", one).ok() || !encoder.convert("aa", two).ok())
        return encodingError("The text encoding \"" + name + "\" cannot be written.");
    if (two.size() != 2 * one.size() && 2 * one.size() > two.size())
        encoder.mark_ = one.substr(0, 2 * one.size() - two.size());
    return encoder;
}

Status CsvTextEncoder::convert(std::string_view text, std::string& out) {
    iconv(handleOf(handle_), nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[16384];
    const std::size_t start = out.size();
    for (bool flushed = false; !flushed;) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t result;
        if (inLeft > 0) {
            result = iconv(handleOf(handle_), &in, &inLeft, &outPtr, &outLeft);
        } else {
            result = iconv(handleOf(handle_), nullptr, nullptr, &outPtr, &outLeft);
            flushed = result != static_cast<std::size_t>(-1);
        }
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out.resize(start);
            std::string shown(text.substr(0, 60));
            return encodingError("The text \"" + shown + "\" cannot be written in the encoding " +
                                 encoding_ + ".");
        }
    }
    return Status::success();
}

Status CsvTextEncoder::encode(std::string_view text, std::string& out) {
    if (identity_) {
        if (validUtf8Prefix(text) != text.size())
            return encodingError("The text to write is not valid UTF-8.");
        out.append(text);
        return Status::success();
    }
    const std::size_t start = out.size();
    Status status = convert(text, out);
    if (!status.ok())
        return status;
    if (!mark_.empty() && std::string_view(out).substr(start).starts_with(mark_))
        out.erase(start, mark_.size());
    return Status::success();
}

}  // namespace ravelong::csv
