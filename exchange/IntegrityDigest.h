#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ravelong {

// The integrity value of a backup: the MD5 digest, as 32 lower-case hexadecimal digits, of the
// root element's compact text (without the "id" attribute), taken over the text's UTF-8 bytes cut
// to as many bytes as the text has UTF-16 code units. Files written since the first version of
// the format carry that value, so the odd length rule stays:
//
//   "<a>x</a>"   8 bytes, 8 units  -> MD5 of all 8 bytes
//   "<a>é</a>"   9 bytes, 8 units  -> MD5 of the first 8 bytes ("<a>é</a" cut inside "é</a>")
//
// The text arrives in pieces (write). The cut is only known at the end, so a text with other than
// ASCII characters needs a second run with the limit set: after the first run, needsSecondRun()
// tells whether the caller must produce the same text again into a digest made with
// IntegrityDigest(byteLimit()).
class IntegrityDigest {
public:
    static constexpr std::uint64_t kNoLimit = ~std::uint64_t{0};
    explicit IntegrityDigest(std::uint64_t byteLimit = kNoLimit);
    ~IntegrityDigest();
    IntegrityDigest(const IntegrityDigest&) = delete;
    IntegrityDigest& operator=(const IntegrityDigest&) = delete;

    void write(const char* bytes, std::size_t length);

    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t utf16Units() const { return units_; }
    // The number of bytes the digest must cover.
    std::uint64_t byteLimit() const { return units_; }
    bool needsSecondRun() const { return limit_ == kNoLimit && units_ != bytes_; }
    // The hexadecimal digest of the bytes written (up to the limit). Call once, at the end.
    std::string hex();

    // The digest of a whole text in one go, with the length rule applied.
    static std::string ofText(const std::string& text);

private:
    struct Md5;
    std::unique_ptr<Md5> md5_;
    std::uint64_t limit_;
    std::uint64_t bytes_ = 0;
    std::uint64_t units_ = 0;
};

}  // namespace ravelong
